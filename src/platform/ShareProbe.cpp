#include "platform/ShareProbe.h"

#include "platform/FolderProbe.h"
#include "platform/GAsyncCall.h"
#include "platform/MountTable.h"

#include <QCoreApplication>
#include <QCoroProcess>
#include <QProcess>

#include <memory>
#include <optional>

namespace {

using FolderProbe::Answer;

// GIO in a process of its own, which looks the mount up afresh; killed at the bound.
QCoro::Task<Answer> askFreeSpaceElsewhere(QByteArray uri, std::chrono::milliseconds bound)
{
    QProcess gio;
    gio.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    gio.setStandardOutputFile(QProcess::nullDevice());
    gio.start(QStringLiteral("gio"),
              {QStringLiteral("info"), QStringLiteral("--filesystem"),
               QStringLiteral("--attributes=filesystem::free"), QString::fromUtf8(uri)});
    const bool finished = co_await qCoro(gio).waitForFinished(bound);
    if (!finished) {
        gio.kill();
        co_return Answer::noAnswer;
    }
    co_return gio.exitStatus() == QProcess::NormalExit &&gio.exitCode() == 0 ? Answer::answered
                                                                             : Answer::failed;
}

QCoro::Task<Answer> askFreeSpace(QByteArray uri, std::chrono::milliseconds bound,
                                 GCancellable *cancellable)
{
    const GObjectPtr<GFile> file(g_file_new_for_uri(uri.constData()));
    const GObjectPtr<GAsyncResult> result =
        co_await GAsyncCall([&](GAsyncReadyCallback ready, gpointer data) {
            g_file_query_filesystem_info_async(file.get(), G_FILE_ATTRIBUTE_FILESYSTEM_FREE,
                                               G_PRIORITY_DEFAULT, cancellable, ready, data);
        });
    GError *failure = nullptr;
    const GObjectPtr<GFileInfo> info(
        g_file_query_filesystem_info_finish(file.get(), result.get(), &failure));
    const GErrorPtr error(failure);
    // GIO keeps each mount's backend by its bus name and object, and forgets them only when
    // this process saw the backend end. After a remount it may still ask the old name or
    // object, and the bus answers that no such name, object or method exists (a D-Bus error,
    // not the server's): then a fresh GIO client asks.
    if (error && error->domain == G_DBUS_ERROR)
        co_return co_await askFreeSpaceElsewhere(uri, bound);
    co_return info ? Answer::answered : Answer::failed;
}

ShareHealth byFolder(Answer folder)
{
    switch (folder) {
    case Answer::answered:
        return ShareHealth::alive;
    case Answer::noAnswer:
        return ShareHealth::frozen;
    default:
        return ShareHealth::notAnswering;
    }
}

// The verdict once both answers are in; a probe not asked counts as answered.
ShareHealth verdict(bool gvfs, bool bridged, Answer query, Answer folder)
{
    if (!gvfs)
        return byFolder(folder);
    if (query == Answer::noAnswer)
        return ShareHealth::frozen;
    if (query == Answer::failed)
        return ShareHealth::notAnswering;
    return bridged && folder == Answer::answered ? ShareHealth::alive
                                                 : ShareHealth::folderUnreachable;
}

// The two answers of one probe, and what to do once both are in.
struct Round
{
    std::optional<Answer> query, folder;
    std::function<void(Answer, Answer)> complete;

    void settle()
    {
        if (query && folder && complete)
            std::exchange(complete, {})(*query, *folder);
    }
};

void finish(const std::shared_ptr<ShareProbe::Waiting> &waiting, const QString &mountPoint,
            ShareHealth health)
{
    for (const std::function<void(ShareHealth)> &done : waiting->take(mountPoint))
        done(health);
}

} // namespace

void ShareProbe::probe(const QString &mountPoint, std::function<void(ShareHealth)> done)
{
    std::vector<std::function<void(ShareHealth)>> &waiting = (*m_waiting)[mountPoint];
    waiting.push_back(std::move(done));
    if (waiting.size() > 1)
        return;

    const std::optional<MountTable::ShareAt> found = MountTable::shareAt(mountPoint);
    if (!found) {
        // Gone since the lookup: nothing answers there.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [all = m_waiting, mountPoint] { finish(all, mountPoint, ShareHealth::notAnswering); },
            Qt::QueuedConnection);
        return;
    }
    const bool gvfs = found->viaGvfs;
    const bool bridged = found->folderBridged;

    auto round = std::make_shared<Round>();
    round->complete = [all = m_waiting, mountPoint, gvfs, bridged](Answer query, Answer folder) {
        finish(all, mountPoint, verdict(gvfs, bridged, query, folder));
    };
    if (gvfs) {
        const QByteArray uri = found->share.from.toUtf8();
        BoundedGLib::run<Answer>(
            [uri, bound = m_bounds.query](GCancellable *cancellable) {
                return askFreeSpace(uri, bound, cancellable);
            },
            m_bounds.query, Answer::noAnswer,
            [round](Answer answer) {
                round->query = answer;
                round->settle();
            });
    } else {
        round->query = Answer::answered;
    }
    if (!bridged) {
        // Without its bridge the folder is no share's: nothing to ask there.
        round->folder = Answer::failed;
        return;
    }
    FolderProbe::statfsInChild(mountPoint, m_bounds.folder, [round](Answer answer) {
        round->folder = answer;
        round->settle();
    });
}
