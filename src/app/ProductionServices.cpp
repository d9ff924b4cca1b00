#include "app/ProductionServices.h"

#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "platform/DesktopNotifications.h"
#include "platform/GvfsShare.h"
#include "platform/KeyringCredentials.h"
#include "platform/PlexMediaServer.h"
#include "platform/SleepWakeMonitor.h"
#include "settings/AppSettings.h"

WatchdogServices makeProductionServices()
{
    return WatchdogServices{std::make_shared<PlexMediaServer>(), std::make_shared<GvfsShare>(),
                            std::make_shared<KeyringCredentials>(),
                            std::make_shared<DesktopNotifications>(),
                            std::make_shared<SleepWakeMonitor>()};
}

Watchdog &Watchdog::shared()
{
    // Lives until the process ends, like the settings and the history it works with.
    static Watchdog *const instance =
        new Watchdog(AppSettings::shared(), EventLog::shared(), makeProductionServices());
    return *instance;
}
