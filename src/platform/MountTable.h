#pragma once

#include <QList>
#include <QString>
#include <optional>

// Finds mounted network shares: the kernel's mount table and the user's GVfs mounts. Every
// lookup asks only what the system already holds; nothing touches a share's path, so a server
// that hangs cannot block the caller.
namespace MountTable {

// One mounted file system.
struct MountedShare
{
    QString from; // mounted-from name as the system reports it, not decoded
    QString on;   // local mount point path
    QString type; // file system type (kernel) or URI scheme (GVfs)

    bool operator==(const MountedShare &) const = default;
};

// The network shares in a mount table file in the format of /proc/self/mounts, in file order
// (kernel types "cifs", "smb3", "nfs", "nfs4", "davfs", "fuse.sshfs"). Empty when the file
// cannot be read.
QList<MountedShare> sharesInMountTable(const QString &mountTablePath);

// Every mounted network share: the kernel's (/proc/self/mounts) first, then the user's GVfs
// mounts of schemes "smb", "afp", "dav", "davs" and "nfs" that have a local path (also when
// the FUSE bridge that serves that path is gone). Main thread only; never fails (empty on any
// error).
QList<MountedShare> mountedShares();

// The share mounted at a local path, as a probe needs it: a GVfs mount or a kernel one, and
// whether its folder is reachable as a file system (a kernel mount always; a GVfs mount while
// GVfs's FUSE bridge is mounted above it). One read of the mount table. Main thread only.
struct ShareAt
{
    MountedShare share;
    bool viaGvfs = false;
    bool folderBridged = false;
};
std::optional<ShareAt> shareAt(const QString &mountPoint);

// Whether a configured server address names the host of a mount: an IP address whole, a host
// name by its first label, both case-insensitive; a blank address names any host.
bool sameHost(const QString &configured, const QString &mounted);
// The host part of a mounted-from name ("//host/share", "host:/path", "smb://user@host:445/s/").
QString hostOf(const QString &from);

// The local mount point of the configured share, or none. Main thread only.
std::optional<QString> mountPoint(const QString &host, const QString &share);
// The same matching over a given list.
std::optional<QString> mountPoint(const QString &host, const QString &share,
                                  const QList<MountedShare> &shares);

// Name of the folder GVfs's FUSE daemon shows a share under, e.g.
// "smb-share:server=box.lan,share=media".
QString gvfsShareFolder(const QString &scheme, const QString &host, const QString &share);

} // namespace MountTable
