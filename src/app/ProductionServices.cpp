#include "app/ProductionServices.h"

#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "platform/DesktopNotifications.h"
#include "platform/FileBrowser.h"
#include "platform/Keychain.h"
#include "platform/MountTable.h"
#include "platform/PlexMediaServer.h"
#include "platform/SleepWakeMonitor.h"
#include "platform/VolumeMounter.h"
#include "settings/AppSettings.h"

namespace {

class LinuxShare final : public SharePort
{
public:
    std::optional<QString> mountPoint(const QString &host, const QString &share) override
    {
        return MountTable::mountPoint(host, share);
    }

    // GIO mounts asynchronously on the main context, so nothing blocks here; the mounter
    // gives up on a silent server after its own 60 s.
    void mount(const MountRequest &request, std::function<void(MountOutcome)> done) override
    {
        VolumeMounter::mount(request.scheme, request.host, request.share, request.username,
                             request.password, std::move(done));
    }

    void openFolder(const QString &path) override { FileBrowser::openFolder(path); }
};

class LinuxCredentials final : public CredentialPort
{
public:
    std::optional<QString> password(const QString &account) override
    {
        return Keychain::password(account);
    }
};

} // namespace

WatchdogServices makeProductionServices()
{
    return WatchdogServices{std::make_shared<PlexMediaServer>(), std::make_shared<LinuxShare>(),
                            std::make_shared<LinuxCredentials>(),
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
