#include "platform/GvfsShare.h"

#include "platform/FileBrowser.h"
#include "platform/GvfsBackend.h"
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

void GvfsShare::probe(const QString &mountPoint, std::function<void(ShareHealth)> done)
{
    m_probe.probe(mountPoint, std::move(done));
}

void GvfsShare::endBackend(const QString &mountPoint, std::function<void(bool)> done)
{
    GvfsBackend::endFor(mountPoint, std::move(done), m_backendBound);
}
