#include "platform/FolderProbe.h"

#include "platform/FileDescriptor.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <memory>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef P_PIDFD
#define P_PIDFD 3
#endif

namespace FolderProbe {

namespace {

// One child and what waits for it. Lives until the child has ended and been reaped.
struct Child
{
    QString folder;
    pid_t pid = -1;
    FileDescriptor pidfd;
    std::function<void(Answer)> done;
    std::unique_ptr<QSocketNotifier> exited;
    std::unique_ptr<QTimer> bound;
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
    if (::waitid(idtype_t(P_PIDFD), id_t(child->pidfd.get()), &info, WEXITED | WNOHANG) != 0 ||
        info.si_pid == 0)
        return;
    const bool exited = info.si_code == CLD_EXITED;
    answer(child, exited && info.si_status == 0          ? Answer::answered
                  : exited && info.si_status == ENOTCONN ? Answer::disconnected
                                                         : Answer::failed);
    children().remove(child->folder);
    child->exited->setEnabled(false);
    // Deleted from the event loop: this runs inside the notifier's own signal.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [child] { delete child; }, Qt::QueuedConnection);
}

void giveUp(Child *child)
{
    ::syscall(SYS_pidfd_send_signal, child->pidfd.get(), SIGKILL, nullptr, 0);
    answer(child, Answer::noAnswer);
}

void deliverLater(std::function<void(Answer)> done, Answer value)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [done = std::move(done), value] { done(value); },
        Qt::QueuedConnection);
}

} // namespace

void statfsInChild(const QString &folder, std::chrono::milliseconds bound,
                   std::function<void(Answer)> done)
{
    if (children().contains(folder)) {
        deliverLater(std::move(done), Answer::noAnswer);
        return;
    }
    const QByteArray path = QFile::encodeName(folder);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exit.
        struct statfs info
        {};
        // The exit status is the errno (all fit below 256), or 0.
        ::_exit(::statfs(path.constData(), &info) == 0 ? 0 : errno);
    }
    const int pidfd = pid > 0 ? int(::syscall(SYS_pidfd_open, pid, 0)) : -1;
    if (pidfd < 0) {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        deliverLater(std::move(done), Answer::failed);
        return;
    }

    auto *child = new Child{folder, pid, FileDescriptor(pidfd), std::move(done), nullptr, nullptr};
    children().insert(folder, child);
    child->exited = std::make_unique<QSocketNotifier>(child->pidfd.get(), QSocketNotifier::Read);
    QObject::connect(child->exited.get(), &QSocketNotifier::activated, [child] { reap(child); });
    child->bound = std::make_unique<QTimer>();
    child->bound->setSingleShot(true);
    QObject::connect(child->bound.get(), &QTimer::timeout, [child] { giveUp(child); });
    child->bound->start(bound);
}

} // namespace FolderProbe
