#include "platform/ShareProbe.h"

#include "platform/FolderProbe.h"
#include "platform/GAsyncCall.h"
#include "platform/MountTable.h"

#include <QCoreApplication>

#include <memory>
#include <optional>

namespace {

using FolderProbe::Answer;

QCoro::Task<Answer> askFreeSpace(QByteArray uri, GCancellable *cancellable)
{
    const GObjectPtr<GFile> file(g_file_new_for_uri(uri.constData()));
    const GObjectPtr<GAsyncResult> result =
        co_await GAsyncCall([&](GAsyncReadyCallback ready, gpointer data) {
            g_file_query_filesystem_info_async(file.get(), G_FILE_ATTRIBUTE_FILESYSTEM_FREE,
                                               G_PRIORITY_DEFAULT, cancellable, ready, data);
        });
    const GObjectPtr<GFileInfo> info(
        g_file_query_filesystem_info_finish(file.get(), result.get(), nullptr));
    co_return info ? Answer::answered : Answer::failed;
}

// The verdict once both answers are in; a probe not asked counts as answered.
ShareHealth verdict(bool gvfs, bool bridged, Answer query, Answer folder)
{
    if (!gvfs)
        return folder == Answer::answered ? ShareHealth::alive
               : folder == Answer::failed ? ShareHealth::notAnswering
                                          : ShareHealth::frozen;
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

    std::optional<MountTable::MountedShare> found;
    for (const MountTable::MountedShare &share : MountTable::mountedShares()) {
        if (share.on == mountPoint)
            found = share;
    }
    if (!found) {
        // Gone since the lookup: nothing answers there.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [all = m_waiting, mountPoint] { finish(all, mountPoint, ShareHealth::notAnswering); },
            Qt::QueuedConnection);
        return;
    }
    const bool gvfs = !found->from.startsWith(QLatin1Char('/')) && found->from.contains(u"://");
    const bool bridged = !gvfs || MountTable::isUnderGvfsBridge(mountPoint);

    auto round = std::make_shared<Round>();
    round->complete = [all = m_waiting, mountPoint, gvfs, bridged](Answer query, Answer folder) {
        finish(all, mountPoint, verdict(gvfs, bridged, query, folder));
    };
    if (gvfs) {
        const QByteArray uri = found->from.toUtf8();
        BoundedGLib::run<Answer>(
            [uri](GCancellable *cancellable) { return askFreeSpace(uri, cancellable); },
            m_bounds.query, Answer::noAnswer, [round](Answer answer) {
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
