#pragma once

#include <QList>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>
#include <variant>

// Finds and mounts the network share. Mounted shares come from the kernel's mount table and
// from the user's GVfs mounts; mounting goes through GIO (GVfs) and never blocks the caller.
namespace VolumeMounter {

// One mounted file system.
struct MountedShare
{
    QString from; // mounted-from name as the system reports it, not decoded
    QString on;   // local mount point path
    QString type; // file system type (kernel) or URI scheme (GVfs)

    bool operator==(const MountedShare &) const = default;
};

// Why a mount failed. The description is the only thing that travels on.
class MountError
{
public:
    enum class Case { netfs, notConfigured, badURL };

    // The mount itself failed; code is an errno value.
    static MountError netfs(int code) { return MountError(Case::netfs, code); }
    // The server address or the share name is blank.
    static MountError notConfigured() { return MountError(Case::notConfigured, 0); }
    // No URL could be formed from scheme, server address and share.
    static MountError badURL() { return MountError(Case::badURL, 0); }

    Case kind() const { return m_case; }
    // The errno value of a netfs error; 0 for the other cases.
    int code() const { return m_code; }
    QString description() const;

    bool operator==(const MountError &) const = default;

private:
    MountError(Case kind, int code) : m_case(kind), m_code(code) {}

    Case m_case;
    int m_code;
};

using MountResult = std::variant<QString, MountError>;

// The sentence for an errno value (without the code).
QString messageForCode(int code);

// Kernel file system types that count as network shares ("cifs", "nfs4", ...; exact match).
bool isNetworkFileSystemType(const QString &type);
// URI schemes of GVfs mounts that count as network shares ("smb", "afp", ...; exact match).
bool isNetworkScheme(const QString &scheme);

// The network shares in a mount table file in the format of /proc/self/mounts, in file order.
// Empty when the file cannot be read.
QList<MountedShare> sharesInMountTable(const QString &mountTablePath);

// Every mounted network share: the kernel's (/proc/self/mounts) first, then the user's GVfs
// mounts that have a local path. Main thread only; never fails (empty on any error).
QList<MountedShare> mountedShares();

// The local mount point of the configured share, or none. Main thread only.
std::optional<QString> mountPoint(const QString &host, const QString &share);
// The same matching over a given list.
std::optional<QString> mountPoint(const QString &host, const QString &share,
                                  const QList<MountedShare> &shares);

// Name of the folder GVfs's FUSE daemon shows a share under, e.g.
// "smb-share:server=box.lan,share=media".
QString gvfsShareFolder(const QString &scheme, const QString &host, const QString &share);

// Mounts scheme://host/share. Returns at once; `done` gets the local mount point or the
// error exactly once, later, on the main thread (also for notConfigured and badURL, which are
// found before anything is asked of GIO). A mount still running after `bound` is cancelled
// and reported as ETIMEDOUT. The credentials answer the server's password question once
// (anonymous when both are absent) and are never saved. Needs a QCoreApplication whose event
// loop runs GLib's main context (Qt's default on Linux).
void mount(const QString &scheme, const QString &host, const QString &share,
           const std::optional<QString> &username, const std::optional<QString> &password,
           std::function<void(MountResult)> done,
           std::chrono::milliseconds bound = std::chrono::seconds(60));

} // namespace VolumeMounter
