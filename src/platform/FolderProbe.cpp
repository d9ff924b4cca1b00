#include "platform/FolderProbe.h"

#include "platform/FileDescriptor.h"
#include "platform/Pidfd.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QSocketNotifier>
#include <QThreadPool>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef P_PIDFD
#define P_PIDFD 3
#endif

namespace FolderProbe {

namespace {

// One child and what waits for it, from the request on (its pidfd arrives from the spawning
// thread). Lives until the child has ended and been reaped, or could not be started.
struct Child
{
    QString folder;
    std::function<void(Answer)> done;
    std::unique_ptr<FileDescriptor> pidfd;
    std::unique_ptr<QSocketNotifier> exited;
    std::unique_ptr<QTimer> bound;
    bool boundPassed = false;
};

// The children alive, by folder.
QHash<QString, Child *> &children()
{
    static QHash<QString, Child *> live;
    return live;
}

void answer(Child *child, Answer value)
{
    if (std::function<void(Answer)> done = std::exchange(child->done, {}))
        done(value);
}

void reap(Child *child)
{
    siginfo_t info{};
    if (::waitid(idtype_t(P_PIDFD), id_t(child->pidfd->get()), &info, WEXITED | WNOHANG) != 0 ||
        info.si_pid == 0)
        return;
    answer(child,
           info.si_code == CLD_EXITED && info.si_status == 0 ? Answer::answered : Answer::failed);
    children().remove(child->folder);
    child->exited->setEnabled(false);
    // Deleted from the event loop: this runs inside the notifier's own signal.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [child] { delete child; }, Qt::QueuedConnection);
}

// Past the bound: the child is killed now, or as soon as its pidfd arrives.
void giveUp(Child *child)
{
    child->boundPassed = true;
    if (child->pidfd)
        Pidfd::signal(child->pidfd->get(), SIGKILL);
    answer(child, Answer::noAnswer);
}

// Starts `stat -f` on the folder. posix_spawn shares this process's memory only until the
// exec (a fork would copy its page tables, and every page this process writes afterwards would
// cost a copy-on-write fault on the main thread). -1 when it could not be started.
pid_t spawnStatfs(const QByteArray &path)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char program[] = "stat";
    char option[] = "-f";
    char end[] = "--";
    QByteArray folder = path;
    char *arguments[] = {program, option, end, folder.data(), nullptr};
    char *noEnvironment[] = {nullptr};
    pid_t pid = -1;
    const int failed =
        ::posix_spawn(&pid, "/usr/bin/stat", &actions, nullptr, arguments, noEnvironment);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : pid;
}

void deliverLater(std::function<void(Answer)> done, Answer value)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [done = std::move(done), value] { done(value); },
        Qt::QueuedConnection);
}

// A pidfd for a new `stat -f` of the folder; -1 when none could be started. Runs on a spawning
// thread: creating a process costs the calling thread far more than it costs the child.
int spawnWithPidfd(const QByteArray &path)
{
    const pid_t pid = spawnStatfs(path);
    const int pidfd = pid > 0 ? Pidfd::open(pid) : -1;
    if (pidfd < 0 && pid > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    return pidfd;
}

// The thread that starts the children; kept for the life of the process, so that a check cycle
// does not create one.
QThreadPool &spawner()
{
    static QThreadPool pool;
    pool.setExpiryTimeout(-1);
    return pool;
}

// On the main thread, once the spawning thread is done: follows the child, or answers failed.
void adopt(Child *child, int pidfd)
{
    if (pidfd < 0) {
        answer(child, Answer::failed);
        children().remove(child->folder);
        delete child;
        return;
    }
    child->pidfd = std::make_unique<FileDescriptor>(pidfd);
    if (child->boundPassed)
        Pidfd::signal(pidfd, SIGKILL);
    child->exited = std::make_unique<QSocketNotifier>(pidfd, QSocketNotifier::Read);
    QObject::connect(child->exited.get(), &QSocketNotifier::activated, [child] { reap(child); });
}

} // namespace

void statfsInChild(const QString &folder, std::chrono::milliseconds bound,
                   std::function<void(Answer)> done)
{
    if (children().contains(folder)) {
        deliverLater(std::move(done), Answer::noAnswer);
        return;
    }
    // Registered now, so that no second child is started for the folder while this one is
    // being started; the bound counts from the request.
    auto *child = new Child{folder, std::move(done), nullptr, nullptr, nullptr};
    children().insert(folder, child);
    child->bound = std::make_unique<QTimer>();
    child->bound->setSingleShot(true);
    QObject::connect(child->bound.get(), &QTimer::timeout, [child] { giveUp(child); });
    child->bound->start(bound);
    spawner().start([child, path = QFile::encodeName(folder)] {
        const int pidfd = spawnWithPidfd(path);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [child, pidfd] { adopt(child, pidfd); },
            Qt::QueuedConnection);
    });
}

} // namespace FolderProbe
