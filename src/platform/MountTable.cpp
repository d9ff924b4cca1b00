#include "platform/MountTable.h"

#include "common/HorizontalBlanks.h"
#include "platform/GLibPointers.h"
#include "platform/GObjectList.h"

#include <QFile>
#include <QStringList>

#include <gio/gio.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <mntent.h>

namespace MountTable {

namespace {

const char *const kFuseType = "fuse.gvfsd-fuse";

// Kernel file system types of network shares.
constexpr const char *kNetworkTypes[] = {"cifs", "smb3", "nfs", "nfs4", "davfs", "fuse.sshfs"};

bool isNetworkType(const char *type)
{
    return std::any_of(std::begin(kNetworkTypes), std::end(kNetworkTypes),
                       [type](const char *network) { return std::strcmp(type, network) == 0; });
}

bool isNetworkFileSystemType(const QString &type)
{
    return std::any_of(std::begin(kNetworkTypes), std::end(kNetworkTypes),
                       [&type](const char *network) { return type == QLatin1String(network); });
}

// URI schemes of GVfs mounts that count as network shares.
bool isNetworkScheme(const QString &scheme)
{
    static const QStringList schemes = {
        QStringLiteral("smb"),  QStringLiteral("afp"), QStringLiteral("dav"),
        QStringLiteral("davs"), QStringLiteral("nfs"),
    };
    return schemes.contains(scheme);
}

// The entries of a mount table file that the lookups use, in file order: the network shares
// and, when asked, GVfs's FUSE mounts (getmntent decodes the octal escapes). Every check cycle
// reads the table, so the many local entries are skipped before anything is copied.
QList<MountedShare> readMountTable(const QString &path, bool withGvfsFuse)
{
    QList<MountedShare> entries;
    FILE *table = setmntent(QFile::encodeName(path).constData(), "r");
    if (!table)
        return entries;
    mntent entry{};
    char buffer[4096 * 4];
    while (getmntent_r(table, &entry, buffer, sizeof buffer)) {
        if (isNetworkType(entry.mnt_type) ||
            (withGvfsFuse && std::strcmp(entry.mnt_type, kFuseType) == 0)) {
            entries.append({QFile::decodeName(entry.mnt_fsname), QFile::decodeName(entry.mnt_dir),
                            QFile::decodeName(entry.mnt_type)});
        }
    }
    endmntent(table);
    return entries;
}

QList<MountedShare> networkEntries(const QList<MountedShare> &entries)
{
    QList<MountedShare> shares;
    for (const MountedShare &entry : entries) {
        if (isNetworkFileSystemType(entry.type))
            shares.append(entry);
    }
    return shares;
}

// A GVfs path is local only while gvfsd-fuse is mounted above it. Checked against the mount
// table, never by touching the path: a share whose server hangs would block the caller.
bool isUnderGvfsFuse(const QString &path, const QList<MountedShare> &kernelEntries)
{
    return std::any_of(kernelEntries.begin(), kernelEntries.end(), [&](const MountedShare &m) {
        return m.type == QLatin1String(kFuseType) && path.startsWith(m.on + QLatin1Char('/'));
    });
}

QString utf8Text(const GCharPtr &text)
{
    return text ? QString::fromUtf8(text.get()) : QString();
}

QList<MountedShare> gvfsShares()
{
    QList<MountedShare> shares;
    // One monitor for the life of the process: it follows mounts and unmounts through the
    // main loop, so a lookup does not ask every volume monitor service afresh.
    static GVolumeMonitor *const monitor = g_volume_monitor_get();
    const GObjectListPtr mounts(g_volume_monitor_get_mounts(monitor));
    for (GList *item = mounts.get(); item; item = item->next) {
        const GObjectPtr<GFile> root(g_mount_get_root(G_MOUNT(item->data)));
        const QString scheme = utf8Text(GCharPtr(g_file_get_uri_scheme(root.get())));
        if (!isNetworkScheme(scheme))
            continue;
        const GCharPtr path(g_file_get_path(root.get()));
        if (!path)
            continue;
        // Listed also when the bridge is gone: the share is still mounted, and mounting it again
        // would only fail as "already mounted". The probe finds the folder unreachable.
        shares.append({utf8Text(GCharPtr(g_file_get_uri(root.get()))),
                       QFile::decodeName(path.get()), scheme});
    }
    return shares;
}

} // namespace

QList<MountedShare> sharesInMountTable(const QString &mountTablePath)
{
    return readMountTable(mountTablePath, false);
}

QList<MountedShare> mountedShares()
{
    const QList<MountedShare> kernelEntries =
        readMountTable(QStringLiteral("/proc/self/mounts"), true);
    return networkEntries(kernelEntries) + gvfsShares();
}

std::optional<QString> mountPoint(const QString &host, const QString &share)
{
    if (trimmedHorizontalBlanks(share).isEmpty())
        return std::nullopt;
    return mountPoint(host, share, mountedShares());
}

std::optional<ShareAt> shareAt(const QString &mountPoint)
{
    const QList<MountedShare> kernelEntries =
        readMountTable(QStringLiteral("/proc/self/mounts"), true);
    for (const MountedShare &share : networkEntries(kernelEntries)) {
        if (share.on == mountPoint)
            return ShareAt{share, false, true};
    }
    for (const MountedShare &share : gvfsShares()) {
        if (share.on == mountPoint)
            return ShareAt{share, true, isUnderGvfsFuse(mountPoint, kernelEntries)};
    }
    return std::nullopt;
}

bool sameHost(const QString &configured, const QString &mounted)
{
    const QString wanted = trimmedHorizontalBlanks(configured).toLower();
    const QString found = mounted.toLower();
    if (wanted.isEmpty())
        return true;
    // An address counts whole: 192.168.1.20 is not 192.168.1.200, nor a server named "192".
    const QByteArray address = wanted.toLatin1();
    unsigned char bytes[16];
    if (::inet_pton(AF_INET, address.constData(), bytes) == 1 ||
        ::inet_pton(AF_INET6, address.constData(), bytes) == 1)
        return found == wanted;
    // A name by its first label, so that "box" and "box.local" meet.
    return found.section(QLatin1Char('.'), 0, 0) == wanted.section(QLatin1Char('.'), 0, 0);
}

QString hostOf(const QString &from)
{
    QString rest = from;
    if (const qsizetype scheme = rest.indexOf(QLatin1String("://")); scheme >= 0)
        rest = rest.mid(scheme + 3).section(QLatin1Char('/'), 0, 0); // smb://user@host:port/
    else if (rest.startsWith(QLatin1String("//")))
        rest = rest.mid(2).section(QLatin1Char('/'), 0, 0); // cifs: //host/share
    else if (rest.startsWith(QLatin1Char('[')))
        rest = rest.section(QLatin1Char(']'), 0, 0) + QLatin1Char(']'); // nfs: [v6]:/path
    else
        rest = rest.section(QLatin1Char(':'), 0, 0); // nfs: host:/path, sshfs: user@host:path
    rest = rest.section(QLatin1Char('@'), -1);
    if (rest.startsWith(QLatin1Char('[')))
        return rest.mid(1).section(QLatin1Char(']'), 0, 0);
    return rest.section(QLatin1Char(':'), 0, 0);
}

std::optional<QString> mountPoint(const QString &host, const QString &share,
                                  const QList<MountedShare> &shares)
{
    const QString shareKey =
        trimmedHorizontalBlanks(share).toLower().normalized(QString::NormalizationForm_C);
    if (shareKey.isEmpty())
        return std::nullopt;

    for (const MountedShare &mounted : shares) {
        const QString from = mounted.from.toLower();
        const QStringList pieces = from.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (pieces.isEmpty())
            continue;
        if (pieces.last().normalized(QString::NormalizationForm_C) != shareKey)
            continue;
        if (sameHost(host, hostOf(mounted.from)))
            return mounted.on;
    }
    return std::nullopt;
}

QString gvfsShareFolder(const QString &scheme, const QString &host, const QString &share)
{
    const QString server = trimmedHorizontalBlanks(host).toLower();
    const QString name = trimmedHorizontalBlanks(share).toLower();
    if (scheme == QLatin1String("afp"))
        return QStringLiteral("afp-volume:host=%1,volume=%2").arg(server, name);
    if (scheme == QLatin1String("smb"))
        return QStringLiteral("smb-share:server=%1,share=%2").arg(server, name);
    return QStringLiteral("%1:host=%2").arg(scheme, server);
}

} // namespace MountTable
