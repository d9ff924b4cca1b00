#include "platform/ServerStop.h"

#include "platform/FileDescriptor.h"
#include "platform/Pidfd.h"
#include "platform/ProcessTable.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <unistd.h>

namespace ServerStop {

namespace {

// The held process ended (a pidfd turns readable when it exits, reaped or not).
bool endedWithin(int pidfd, std::chrono::milliseconds bound)
{
    pollfd watch{pidfd, POLLIN, 0};
    int ready = 0;
    do
        ready = ::poll(&watch, 1, int(bound.count()));
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

} // namespace

Status stop(qint64 pid, quint64 startTicks, const QString &executable,
            std::chrono::milliseconds grace)
{
    const FileDescriptor held(Pidfd::open(pid_t(pid)));
    if (!held.valid())
        return Status::success({});
    ProcessTable table(QStringLiteral("/proc"));
    if (table.startTicksOf(pid) != startTicks || !table.isAlive(pid))
        return Status::success({});
    if (table.ownerOf(pid) != ::getuid() ||
        table.nameOf(pid) != QFile::encodeName(executable).toStdString())
        return Status::failure(QString::fromUtf8(
            QT_TRANSLATE_NOOP("Outcome", "Plex Media Server isn't answering, and it runs under "
                                         "another account, so Vigilmount can't restart it.")));
    if (Pidfd::signal(held.get(), SIGTERM) && endedWithin(held.get(), grace))
        return Status::success({});
    Pidfd::signal(held.get(), SIGKILL);
    if (endedWithin(held.get(), grace))
        return Status::success({});
    return Status::failure(QString::fromUtf8(QT_TRANSLATE_NOOP(
        "Outcome", "Plex Media Server isn't answering and didn't stop when asked to.")));
}

} // namespace ServerStop
