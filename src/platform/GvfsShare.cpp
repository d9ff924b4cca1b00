#include "platform/GvfsShare.h"

#include "platform/FileBrowser.h"
#include "platform/MountTable.h"
#include "platform/SessionBusNames.h"
#include "platform/VolumeMounter.h"

std::optional<QString> GvfsShare::mountPoint(const QString &host, const QString &share)
{
    return MountTable::mountPoint(host, share);
}

void GvfsShare::mount(const MountRequest &request, std::function<void(MountOutcome)> done)
{
    VolumeMounter::mount(request.scheme, request.host, request.share, request.username,
                         request.password, std::move(done));
}

void GvfsShare::openFolder(const QString &path)
{
    FileBrowser::openFolder(path);
}

void GvfsShare::missingService(std::function<void(MissingService)> done)
{
    SessionBusNames::missingOwner(
        QStringLiteral("org.gtk.vfs.Daemon"),
        QString::fromUtf8(QT_TRANSLATE_NOOP(
            "Outcome", "The desktop's network-share service (GVfs) isn't running.")),
        std::move(done));
}
