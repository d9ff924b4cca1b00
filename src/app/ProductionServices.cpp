#include "app/ProductionServices.h"

#include "platform/DesktopNotifications.h"
#include "platform/GvfsShare.h"
#include "platform/KeyringCredentials.h"
#include "platform/PlexMediaServer.h"
#include "platform/SleepWakeMonitor.h"

WatchdogServices makeProductionServices(std::function<void(NotificationSubject)> openSettings)
{
    return WatchdogServices{
        std::make_shared<PlexMediaServer>(), std::make_shared<GvfsShare>(),
        std::make_shared<KeyringCredentials>(),
        std::make_shared<DesktopNotifications>(std::chrono::seconds(5), std::move(openSettings)),
        std::make_shared<SleepWakeMonitor>()};
}
