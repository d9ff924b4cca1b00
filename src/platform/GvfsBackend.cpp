#include "platform/GvfsBackend.h"

#include "platform/FileDescriptor.h"
#include "platform/GAsyncCall.h"
#include "platform/MountTable.h"
#include "platform/Pidfd.h"

#include <QCoroTimer>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace GvfsBackend {

namespace {

using namespace std::chrono_literals;

QCoro::Task<GVariantPtr> call(GDBusConnection *bus, const char *name, const char *path,
                              const char *interface, const char *method, GVariant *arguments,
                              GCancellable *cancellable)
{
    const GObjectPtr<GAsyncResult> answered =
        co_await GAsyncCall([&](GAsyncReadyCallback ready, gpointer data) {
            g_dbus_connection_call(bus, name, path, interface, method, arguments, nullptr,
                                   G_DBUS_CALL_FLAGS_NONE, -1, cancellable, ready, data);
        });
    co_return GVariantPtr(g_dbus_connection_call_finish(bus, answered.get(), nullptr));
}

// The bus name of the backend serving the mount at the path, from ListMounts2's
// a(sossssssbay(aya{sv})ay): the first field, where the tenth (the FUSE path) matches.
QByteArray backendName(GVariant *reply, const QByteArray &mountPoint)
{
    const GVariantPtr mounts(g_variant_get_child_value(reply, 0));
    for (gsize i = 0; i < g_variant_n_children(mounts.get()); ++i) {
        const GVariantPtr mount(g_variant_get_child_value(mounts.get(), i));
        const GVariantPtr name(g_variant_get_child_value(mount.get(), 0));
        const GVariantPtr fusePath(g_variant_get_child_value(mount.get(), 9));
        if (mountPoint == g_variant_get_bytestring(fusePath.get()))
            return g_variant_get_string(name.get(), nullptr);
    }
    return {};
}

// The user's own process, running a GVfs backend (not the daemon, the FUSE bridge or the
// metadata store, which serve every mount).
bool isOwnBackend(pid_t pid)
{
    const QString proc = QStringLiteral("/proc/%1").arg(pid);
    struct stat info
    {};
    if (::stat(QFile::encodeName(proc).constData(), &info) != 0 || info.st_uid != ::getuid())
        return false;
    const QString program =
        QFileInfo(QFile::symLinkTarget(proc + QStringLiteral("/exe"))).fileName();
    return program.startsWith(QLatin1String("gvfsd-")) && program != QLatin1String("gvfsd-fuse") &&
           program != QLatin1String("gvfsd-metadata");
}

bool listed(const QString &mountPoint)
{
    const QList<MountTable::MountedShare> shares = MountTable::mountedShares();
    return std::any_of(shares.begin(), shares.end(), [&](const MountTable::MountedShare &share) {
        return share.on == mountPoint;
    });
}

QCoro::Task<bool> end(QString mountPoint, GCancellable *cancellable)
{
    const GObjectPtr<GAsyncResult> connected =
        co_await GAsyncCall([cancellable](GAsyncReadyCallback ready, gpointer data) {
            g_bus_get(G_BUS_TYPE_SESSION, cancellable, ready, data);
        });
    const GObjectPtr<GDBusConnection> bus(g_bus_get_finish(connected.get(), nullptr));
    if (!bus)
        co_return false;
    const GVariantPtr mounts = co_await call(
        bus.get(), "org.gtk.vfs.Daemon", "/org/gtk/vfs/mounttracker", "org.gtk.vfs.MountTracker",
        "ListMounts2", g_variant_new("(b)", FALSE), cancellable);
    const QByteArray name = mounts ? backendName(mounts.get(), QFile::encodeName(mountPoint)) : "";
    if (name.isEmpty())
        co_return false;
    const GVariantPtr owner = co_await call(
        bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "GetConnectionUnixProcessID", g_variant_new("(s)", name.constData()), cancellable);
    guint32 pid = 0;
    if (!owner)
        co_return false;
    g_variant_get(owner.get(), "(u)", &pid);

    // Checked through a pidfd: if the pid was reused before it was opened, the checks see the
    // new process, and a process that ends after them can no longer be signalled.
    const FileDescriptor pidfd(Pidfd::open(pid_t(pid)));
    if (!pidfd.valid() || !isOwnBackend(pid_t(pid)) || !Pidfd::signal(pidfd.get(), SIGKILL))
        co_return false;
    // GVfs drops the mount once the backend's bus connection is gone (within half a second).
    while (listed(mountPoint) && !g_cancellable_is_cancelled(cancellable))
        co_await QCoro::sleepFor(50ms);
    co_return true;
}

} // namespace

void endFor(const QString &mountPoint, std::function<void(bool)> done,
            std::chrono::milliseconds bound)
{
    // Past the bound the backend may have been ended, but the mount is still listed: remounting
    // then would fail, so it counts as not repaired.
    BoundedGLib::run<bool>(
        [mountPoint](GCancellable *cancellable) { return end(mountPoint, cancellable); }, bound,
        false, std::move(done));
}

} // namespace GvfsBackend
