#include "platform/DetachedSpawn.h"

#include "platform/LaunchEnvironment.h"
#include "platform/ProcessSetup.h"
#include "platform/SystemMessage.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// What the children tell the parent through the pipe: the grandchild's pid, or an errno.
struct SpawnRecord
{
    enum Kind : int { pid = 1, error = 2 };
    int kind;
    qint64 value;
};

void writeRecord(int fd, SpawnRecord::Kind kind, qint64 value)
{
    const SpawnRecord record{kind, value};
    [[maybe_unused]] ssize_t written = ::write(fd, &record, sizeof record);
}

// Everything the children need, prepared before fork: after it only async-signal-safe calls
// are allowed (other threads may hold locks).
struct ExecPlan
{
    explicit ExecPlan(const QString &program)
        : executable(QFile::encodeName(program)), home(QFile::encodeName(QDir::homePath())),
          environment(LaunchEnvironment().entries())
    {
        for (QByteArray &entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        argv[0] = executable.data();
    }
    ExecPlan(const ExecPlan &) = delete;
    ExecPlan &operator=(const ExecPlan &) = delete;

    QByteArray executable;
    QByteArray home;
    QList<QByteArray> environment;
    std::vector<char *> envp;
    char *argv[2] = {nullptr, nullptr};
};

// The first child: forks the server's process and exits at once, so that the server is
// reparented away from this process. Async-signal-safe calls only.
[[noreturn]] void runChild(const ExecPlan &plan, int channel)
{
    const pid_t grandchild = ::fork();
    if (grandchild < 0) {
        writeRecord(channel, SpawnRecord::error, errno);
        ::_exit(1);
    }
    if (grandchild > 0) {
        writeRecord(channel, SpawnRecord::pid, grandchild);
        ::_exit(0);
    }
    ::setsid();
    ProcessSetup::resetForExec();
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (null > 2)
            ::close(null);
    }
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    if (::chdir(plan.home.constData()) != 0) [[maybe_unused]]
        int ignored = ::chdir("/");
    ::execve(plan.executable.constData(), plan.argv, plan.envp.data());
    writeRecord(channel, SpawnRecord::error, errno);
    ::_exit(127);
}

// Reaps the first child and reads what the children reported; the pipe closes when both are
// gone (the exec closes the grandchild's end).
Outcome<qint64> collect(pid_t child, int channel)
{
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    qint64 pid = -1;
    int error = 0;
    SpawnRecord record;
    for (;;) {
        const ssize_t got = ::read(channel, &record, sizeof record);
        if (got < 0 && errno == EINTR)
            continue;
        if (got != sizeof record)
            break;
        if (record.kind == SpawnRecord::pid)
            pid = record.value;
        else
            error = int(record.value);
    }
    ::close(channel);
    if (error == 0 && pid < 0)
        error = ECHILD;
    return error == 0 ? Outcome<qint64>::success(pid)
                      : Outcome<qint64>::failure(systemMessage(error));
}

} // namespace

Outcome<qint64> spawnDetached(const QString &program)
{
    const ExecPlan plan(program);
    int channel[2];
    if (::pipe2(channel, O_CLOEXEC) != 0)
        return Outcome<qint64>::failure(systemMessage(errno));
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(channel[0]);
        ::close(channel[1]);
        return Outcome<qint64>::failure(systemMessage(error));
    }
    if (child == 0) {
        ::close(channel[0]);
        runChild(plan, channel[1]);
    }
    ::close(channel[1]);
    return collect(child, channel[0]);
}
