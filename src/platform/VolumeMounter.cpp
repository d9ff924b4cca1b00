#include "platform/VolumeMounter.h"

#include "common/HorizontalBlanks.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QThread>
#include <QUrl>

#include <gio/gio.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mntent.h>
#include <utility>

namespace VolumeMounter {

namespace {

const char *const kFuseType = "fuse.gvfsd-fuse";

// Kernel file system types of network shares.
constexpr const char *kNetworkTypes[] = {"cifs", "smb3", "nfs", "nfs4", "davfs", "fuse.sshfs"};

bool isNetworkType(const char *type)
{
    return std::any_of(std::begin(kNetworkTypes), std::end(kNetworkTypes),
                       [type](const char *network) { return std::strcmp(type, network) == 0; });
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

QString takeString(char *text)
{
    QString result = text ? QString::fromUtf8(text) : QString();
    g_free(text);
    return result;
}

QList<MountedShare> gvfsShares(const QList<MountedShare> &kernelEntries)
{
    QList<MountedShare> shares;
    // One monitor for the life of the process: it follows mounts and unmounts through the
    // main loop, so a lookup does not ask every volume monitor service afresh.
    static GVolumeMonitor *const monitor = g_volume_monitor_get();
    GList *mounts = g_volume_monitor_get_mounts(monitor);
    for (GList *item = mounts; item; item = item->next) {
        GFile *root = g_mount_get_root(G_MOUNT(item->data));
        const QString scheme = takeString(g_file_get_uri_scheme(root));
        if (isNetworkScheme(scheme)) {
            char *path = g_file_get_path(root);
            if (path) {
                const QString on = QFile::decodeName(path);
                if (isUnderGvfsFuse(on, kernelEntries))
                    shares.append({takeString(g_file_get_uri(root)), on, scheme});
            }
            g_free(path);
        }
        g_object_unref(root);
    }
    g_list_free_full(mounts, g_object_unref);
    return shares;
}

// --- Mounting -----------------------------------------------------------------------------

// The errno value whose system text ends a GIO message ("Failed to mount Windows share: No
// such file or directory" gives ENOENT), or 0. The longest matching text wins.
int errnoFromMessage(const char *message)
{
    const size_t length = message ? std::strlen(message) : 0;
    int best = 0;
    size_t bestLength = 0;
    for (int code = 1; code < 134; ++code) {
        const char *text = g_strerror(code);
        const size_t textLength = std::strlen(text);
        if (textLength == 0 || textLength > length || textLength <= bestLength)
            continue;
        const char *tail = message + (length - textLength);
        if (std::strcmp(tail, text) != 0)
            continue;
        if (tail != message && tail[-1] != ' ')
            continue;
        best = code;
        bestLength = textLength;
    }
    return best;
}

struct MountJob
{
    std::function<void(MountResult)> done;
    std::optional<QByteArray> username;
    std::optional<QByteArray> password;
    QString fallbackPath;
    GFile *location = nullptr;
    GMountOperation *operation = nullptr;
    GCancellable *cancellable = nullptr;
    GSource *boundSource = nullptr;
    int asks = 0;
    bool refused = false;
    bool timedOut = false;

    ~MountJob()
    {
        if (boundSource) {
            g_source_destroy(boundSource);
            g_source_unref(boundSource);
        }
        if (operation) {
            g_signal_handlers_disconnect_by_data(operation, this);
            g_object_unref(operation);
        }
        g_clear_object(&cancellable);
        g_clear_object(&location);
        if (password)
            password->fill('\0');
    }
};

int errnoFor(const GError *error, const MountJob &job)
{
    if (error->domain == G_IO_ERROR && error->code == G_IO_ERROR_CANCELLED)
        return job.timedOut ? ETIMEDOUT : ECANCELED;
    if (job.refused)
        return EACCES;
    if (error->domain != G_IO_ERROR)
        return EIO;
    switch (error->code) {
    case G_IO_ERROR_FAILED_HANDLED:
    case G_IO_ERROR_PERMISSION_DENIED:
        return EACCES;
    case G_IO_ERROR_ALREADY_MOUNTED:
        return EEXIST;
    case G_IO_ERROR_TIMED_OUT:
        return ETIMEDOUT;
    case G_IO_ERROR_HOST_NOT_FOUND:
    case G_IO_ERROR_HOST_UNREACHABLE:
        return EHOSTUNREACH;
    case G_IO_ERROR_NETWORK_UNREACHABLE:
        return ENETUNREACH;
    case G_IO_ERROR_CONNECTION_REFUSED:
        return ECONNREFUSED;
    case G_IO_ERROR_NOT_FOUND:
        return ENOENT;
    case G_IO_ERROR_FAILED:
        if (const int code = errnoFromMessage(error->message))
            return code;
        return EIO;
    default:
        return EIO;
    }
}

// Hands the result on after the job is gone, so `done` may start another mount at once.
void finish(MountJob *job, MountResult result)
{
    std::function<void(MountResult)> done = std::move(job->done);
    delete job;
    done(std::move(result));
}

void onAskPassword(GMountOperation *operation, char * /*message*/, char * /*defaultUser*/,
                   char * /*defaultDomain*/, GAskPasswordFlags flags, gpointer data)
{
    auto *job = static_cast<MountJob *>(data);
    // The server asks again only when it refused the previous answer.
    if (++job->asks > 1) {
        job->refused = true;
        g_mount_operation_reply(operation, G_MOUNT_OPERATION_ABORTED);
        return;
    }
    if (!job->username && !job->password) {
        if (flags & G_ASK_PASSWORD_ANONYMOUS_SUPPORTED)
            g_mount_operation_set_anonymous(operation, TRUE);
    } else {
        if (job->username)
            g_mount_operation_set_username(operation, job->username->constData());
        if (job->password)
            g_mount_operation_set_password(operation, job->password->constData());
    }
    g_mount_operation_set_password_save(operation, G_PASSWORD_SAVE_NEVER);
    g_mount_operation_reply(operation, G_MOUNT_OPERATION_HANDLED);
}

void onAskQuestion(GMountOperation *operation, char * /*message*/, char ** /*choices*/,
                   gpointer /*data*/)
{
    g_mount_operation_reply(operation, G_MOUNT_OPERATION_ABORTED);
}

gboolean onBound(gpointer data)
{
    auto *job = static_cast<MountJob *>(data);
    job->timedOut = true;
    g_cancellable_cancel(job->cancellable);
    return G_SOURCE_REMOVE;
}

void onEnclosingMount(GObject *source, GAsyncResult *result, gpointer data)
{
    auto *job = static_cast<MountJob *>(data);
    QString path = job->fallbackPath;
    if (GMount *mount = g_file_find_enclosing_mount_finish(G_FILE(source), result, nullptr)) {
        GFile *root = g_mount_get_root(mount);
        if (char *local = g_file_get_path(root)) {
            path = QFile::decodeName(local);
            g_free(local);
        }
        g_object_unref(root);
        g_object_unref(mount);
    }
    finish(job, path);
}

void onMounted(GObject *source, GAsyncResult *result, gpointer data)
{
    auto *job = static_cast<MountJob *>(data);
    GError *error = nullptr;
    if (!g_file_mount_enclosing_volume_finish(G_FILE(source), result, &error)) {
        const int code = errnoFor(error, *job);
        g_error_free(error);
        finish(job, MountError::netfs(code));
        return;
    }
    g_file_find_enclosing_mount_async(job->location, G_PRIORITY_DEFAULT, job->cancellable,
                                      onEnclosingMount, job);
}

void deliverLater(std::function<void(MountResult)> done, MountResult result)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [done = std::move(done), result = std::move(result)]() { done(result); },
        Qt::QueuedConnection);
}

std::optional<QByteArray> utf8OrNone(const std::optional<QString> &text)
{
    if (!text || text->isEmpty())
        return std::nullopt;
    return text->toUtf8();
}

} // namespace

QString MountError::description() const
{
    switch (m_case) {
    case Case::netfs:
        return messageForCode(m_code) + QStringLiteral(" (code ") + QString::number(m_code) +
               QLatin1Char(')');
    case Case::notConfigured:
        return QStringLiteral("Set the server address and share name in Settings first.");
    case Case::badURL:
        return QStringLiteral("The server address or share name isn't a valid URL.");
    }
    return {};
}

QString messageForCode(int code)
{
    switch (code) {
    case EPERM:
    case EACCES:
        return QStringLiteral("The server rejected the user name or password.");
    case ENOENT:
        return QStringLiteral("The share doesn't exist on that server.");
    case EBUSY:
        return QStringLiteral("The volume is busy.");
    case EEXIST:
        return QStringLiteral("That volume is already mounted.");
    case ENETDOWN:
    case ENETUNREACH:
    case EHOSTDOWN:
    case EHOSTUNREACH:
        return QStringLiteral("The server couldn't be reached on the network.");
    case ETIMEDOUT:
        return QStringLiteral("The server didn't respond in time.");
    case ECANCELED:
        return QStringLiteral("The mount was cancelled.");
    default:
        return QStringLiteral("The share couldn't be mounted.");
    }
}

bool isNetworkFileSystemType(const QString &type)
{
    return std::any_of(std::begin(kNetworkTypes), std::end(kNetworkTypes),
                       [&type](const char *network) { return type == QLatin1String(network); });
}

bool isNetworkScheme(const QString &scheme)
{
    static const QStringList schemes = {
        QStringLiteral("smb"),  QStringLiteral("afp"), QStringLiteral("dav"),
        QStringLiteral("davs"), QStringLiteral("nfs"),
    };
    return schemes.contains(scheme);
}

QList<MountedShare> sharesInMountTable(const QString &mountTablePath)
{
    return readMountTable(mountTablePath, false);
}

QList<MountedShare> mountedShares()
{
    const QList<MountedShare> kernelEntries =
        readMountTable(QStringLiteral("/proc/self/mounts"), true);
    return networkEntries(kernelEntries) + gvfsShares(kernelEntries);
}

std::optional<QString> mountPoint(const QString &host, const QString &share)
{
    if (trimmedHorizontalBlanks(share).isEmpty())
        return std::nullopt;
    return mountPoint(host, share, mountedShares());
}

std::optional<QString> mountPoint(const QString &host, const QString &share,
                                  const QList<MountedShare> &shares)
{
    const QString lowerHost = trimmedHorizontalBlanks(host).toLower();
    const QStringList hostPieces = lowerHost.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    const QString hostKey = hostPieces.isEmpty() ? lowerHost : hostPieces.first();

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
        if (hostKey.isEmpty() || from.contains(hostKey))
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

void mount(const QString &scheme, const QString &host, const QString &share,
           const std::optional<QString> &username, const std::optional<QString> &password,
           std::function<void(MountResult)> done, std::chrono::milliseconds bound)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (QThread::currentThread() != app->thread()) {
        // GIO answers on the context of the thread that started the mount: start it on the
        // main thread.
        QMetaObject::invokeMethod(
            app, [=]() { mount(scheme, host, share, username, password, done, bound); },
            Qt::QueuedConnection);
        return;
    }

    const QString trimmedHost = trimmedHorizontalBlanks(host);
    const QString trimmedShare = trimmedHorizontalBlanks(share);
    if (trimmedHost.isEmpty() || trimmedShare.isEmpty()) {
        deliverLater(std::move(done), MountError::notConfigured());
        return;
    }
    QUrl url;
    url.setScheme(scheme);
    url.setHost(trimmedHost, QUrl::DecodedMode);
    url.setPath(QLatin1Char('/') + trimmedShare, QUrl::DecodedMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty()) {
        deliverLater(std::move(done), MountError::badURL());
        return;
    }

    auto *job = new MountJob;
    job->done = std::move(done);
    job->username = utf8OrNone(username);
    job->password = utf8OrNone(password);
    job->fallbackPath = qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/gvfs/") +
                        gvfsShareFolder(scheme, trimmedHost, trimmedShare);
    job->location = g_file_new_for_uri(url.toEncoded(QUrl::FullyEncoded).constData());
    job->cancellable = g_cancellable_new();
    job->operation = g_mount_operation_new();
    g_signal_connect(job->operation, "ask-password", G_CALLBACK(onAskPassword), job);
    g_signal_connect(job->operation, "ask-question", G_CALLBACK(onAskQuestion), job);

    GMainContext *context = g_main_context_ref_thread_default();
    job->boundSource = g_timeout_source_new(static_cast<guint>(std::max<qint64>(bound.count(), 0)));
    g_source_set_callback(job->boundSource, onBound, job, nullptr);
    g_source_attach(job->boundSource, context);
    g_main_context_unref(context);

    g_file_mount_enclosing_volume(job->location, G_MOUNT_MOUNT_NONE, job->operation,
                                  job->cancellable, onMounted, job);
}

} // namespace VolumeMounter
