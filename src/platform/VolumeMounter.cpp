#include "platform/VolumeMounter.h"

#include "common/HorizontalBlanks.h"
#include "platform/GLibPointers.h"
#include "platform/MountErrors.h"
#include "platform/MountTable.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QThread>
#include <QUrl>

#include <gio/gio.h>

#include <algorithm>
#include <utility>

namespace VolumeMounter {

namespace {

using MountResult = Outcome<QString>;

struct SourceDestroy
{
    void operator()(GSource *source) const
    {
        g_source_destroy(source);
        g_source_unref(source);
    }
};

struct MountJob
{
    std::function<void(MountResult)> done;
    std::optional<QByteArray> username;
    std::optional<QByteArray> password;
    QString fallbackPath;
    GObjectPtr<GFile> location;
    GObjectPtr<GMountOperation> operation;
    GObjectPtr<GCancellable> cancellable;
    std::unique_ptr<GSource, SourceDestroy> boundSource;
    int asks = 0;
    bool refused = false;
    bool timedOut = false;

    ~MountJob()
    {
        if (operation)
            g_signal_handlers_disconnect_by_data(operation.get(), this);
        if (password)
            password->fill('\0');
    }
};

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
    g_cancellable_cancel(job->cancellable.get());
    return G_SOURCE_REMOVE;
}

void onEnclosingMount(GObject *source, GAsyncResult *result, gpointer data)
{
    auto *job = static_cast<MountJob *>(data);
    QString path = job->fallbackPath;
    const GObjectPtr<GMount> mount(
        g_file_find_enclosing_mount_finish(G_FILE(source), result, nullptr));
    if (mount) {
        const GObjectPtr<GFile> root(g_mount_get_root(mount.get()));
        if (const GCharPtr local{g_file_get_path(root.get())})
            path = QFile::decodeName(local.get());
    }
    finish(job, MountResult::success(path));
}

void onMounted(GObject *source, GAsyncResult *result, gpointer data)
{
    auto *job = static_cast<MountJob *>(data);
    GError *failure = nullptr;
    if (!g_file_mount_enclosing_volume_finish(G_FILE(source), result, &failure)) {
        const GErrorPtr error(failure);
        const int code = MountErrors::errnoForGioError(error.get(), job->refused, job->timedOut);
        finish(job, MountResult::failure(MountErrors::sentenceForCode(code)));
        return;
    }
    g_file_find_enclosing_mount_async(job->location.get(), G_PRIORITY_DEFAULT,
                                      job->cancellable.get(), onEnclosingMount, job);
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

// scheme://host/share, or an invalid URL when the pieces form none.
QUrl shareUrl(const QString &scheme, const QString &host, const QString &share)
{
    QUrl url;
    url.setScheme(scheme);
    url.setHost(host, QUrl::DecodedMode);
    url.setPath(QLatin1Char('/') + share, QUrl::DecodedMode);
    if (url.scheme().isEmpty() || url.host().isEmpty())
        return {};
    return url;
}

// Starts the GIO mount of the job's location, answered by the job and cut at the bound.
void start(MountJob *job, std::chrono::milliseconds bound)
{
    job->cancellable.reset(g_cancellable_new());
    job->operation.reset(g_mount_operation_new());
    g_signal_connect(job->operation.get(), "ask-password", G_CALLBACK(onAskPassword), job);
    g_signal_connect(job->operation.get(), "ask-question", G_CALLBACK(onAskQuestion), job);

    job->boundSource.reset(
        g_timeout_source_new(static_cast<guint>(std::max<qint64>(bound.count(), 0))));
    g_source_set_callback(job->boundSource.get(), onBound, job, nullptr);
    g_source_attach(job->boundSource.get(), g_main_context_get_thread_default());

    g_file_mount_enclosing_volume(job->location.get(), G_MOUNT_MOUNT_NONE, job->operation.get(),
                                  job->cancellable.get(), onMounted, job);
}

} // namespace

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
        deliverLater(std::move(done),
                     MountResult::failure(QString::fromUtf8(QT_TRANSLATE_NOOP(
                         "Outcome", "Set the server address and share name in Settings first."))));
        return;
    }
    const QUrl url = shareUrl(scheme, trimmedHost, trimmedShare);
    if (!url.isValid()) {
        deliverLater(std::move(done),
                     MountResult::failure(QString::fromUtf8(QT_TRANSLATE_NOOP(
                         "Outcome", "The server address or share name isn't a valid URL."))));
        return;
    }

    auto *job = new MountJob;
    job->done = std::move(done);
    job->username = utf8OrNone(username);
    job->password = utf8OrNone(password);
    job->fallbackPath = qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/gvfs/") +
                        MountTable::gvfsShareFolder(scheme, trimmedHost, trimmedShare);
    job->location.reset(g_file_new_for_uri(url.toEncoded(QUrl::FullyEncoded).constData()));
    start(job, bound);
}

} // namespace VolumeMounter
