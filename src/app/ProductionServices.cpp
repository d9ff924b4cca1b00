#include "app/ProductionServices.h"

#include "platform/DesktopNotifications.h"
#include "platform/FileBrowser.h"
#include "platform/Keychain.h"
#include "platform/PlexMediaServer.h"
#include "platform/SleepWakeMonitor.h"
#include "platform/VolumeMounter.h"

#include <variant>

namespace {

class LinuxShare final : public SharePort
{
public:
    std::optional<QString> mountPoint(const QString &host, const QString &share) override
    {
        return VolumeMounter::mountPoint(host, share);
    }

    // GIO mounts asynchronously on the main context, so nothing blocks here; the mounter
    // gives up on a silent server after its own 60 s.
    void mount(const MountRequest &request, std::function<void(MountOutcome)> done) override
    {
        VolumeMounter::mount(
            request.scheme, request.host, request.share, request.username, request.password,
            [done = std::move(done)](VolumeMounter::MountResult result) {
                if (const auto *mountPoint = std::get_if<QString>(&result))
                    done(MountOutcome{true, *mountPoint, {}});
                else
                    done(MountOutcome{
                        false, {}, std::get<VolumeMounter::MountError>(result).description()});
            });
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
