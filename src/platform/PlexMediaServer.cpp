#include "platform/PlexMediaServer.h"

#include "history/Clock.h"

#include "platform/PlexController.h"
#include "platform/ProcessTable.h"
#include "platform/ServerIdentityProbe.h"
#include "platform/ServerProcessScanner.h"

#include <QFile>
#include <mutex>
#include <unistd.h>

struct PlexMediaServer::Launched
{
    std::mutex lock;
    qint64 pid = 0;
    quint64 startTicks = 0;
    QString path;

    // Remembers the process a launch started (none: forgets the last one).
    void remember(const PlexController::LaunchReport &report)
    {
        const std::lock_guard guard(lock);
        pid = report.startedPid.value_or(0);
        startTicks = pid ? ProcessTable(QStringLiteral("/proc")).startTicksOf(pid).value_or(0) : 0;
        path = report.outcome ? report.outcome.value() : QString();
    }
};

namespace {

// When a process started, from its start ticks and the time since boot (/proc/uptime is
// precise to 10 ms; the boot time in /proc/stat only to the second).
Instant startTime(quint64 startTicks)
{
    static const quint64 ticksPerSecond = quint64(::sysconf(_SC_CLK_TCK));
    QFile uptime(QStringLiteral("/proc/uptime"));
    const double secondsUp =
        uptime.open(QIODevice::ReadOnly) ? uptime.readLine().split(' ').value(0).toDouble() : 0.0;
    const auto sinceStart = std::chrono::milliseconds(qint64(secondsUp * 1000.0) -
                                                      qint64(startTicks * 1000 / ticksPerSecond));
    return Clock::now() - sinceStart;
}

std::function<void(PlexController::LaunchReport)>
rememberingStart(std::shared_ptr<PlexMediaServer::Launched> launched,
                 std::function<void(LaunchOutcome)> done)
{
    return [launched = std::move(launched),
            done = std::move(done)](const PlexController::LaunchReport &report) {
        if (report.outcome)
            launched->remember(report);
        done(report.outcome);
    };
}

} // namespace

PlexMediaServer::PlexMediaServer() : PlexMediaServer(Bounds{}) {}

PlexMediaServer::PlexMediaServer(Bounds bounds)
    : m_bounds(bounds), m_probe(std::make_unique<ServerIdentityProbe>(bounds.probe)),
      m_launched(std::make_shared<Launched>())
{}

PlexMediaServer::~PlexMediaServer() = default;

std::optional<ServerProcess> PlexMediaServer::runningProcess()
{
    const std::optional<RunningInstance> found = ServerProcessScanner::findOnThisMachine();
    if (!found)
        return std::nullopt;
    return ServerProcess{found->pid, found->startTicks, startTime(found->startTicks), found->name,
                         found->inSystemUnit};
}

void PlexMediaServer::probe(quint16 port, std::function<void(bool)> done)
{
    m_probe->probe(port, std::move(done));
}

void PlexMediaServer::launch(const QString &path, bool interactive,
                             std::function<void(LaunchOutcome)> done)
{
    PlexController::launch(path, interactive, rememberingStart(m_launched, std::move(done)));
}

void PlexMediaServer::restart(const ServerProcess &hung, const QString &path,
                              std::function<void(LaunchOutcome)> done)
{
    const PlexController::HungProcess process{hung.pid, hung.startTicks, hung.executable,
                                              hung.inSystemUnit};
    PlexController::restart(process, path, m_bounds.stopGrace,
                            rememberingStart(m_launched, std::move(done)));
}

std::optional<QString> PlexMediaServer::unrecognisedLaunch()
{
    const std::lock_guard guard(m_launched->lock);
    if (!m_launched->pid)
        return std::nullopt;
    ProcessTable table(QStringLiteral("/proc"));
    if (!table.isAlive(m_launched->pid) ||
        table.startTicksOf(m_launched->pid) != m_launched->startTicks) {
        m_launched->pid = 0;
        return std::nullopt;
    }
    if (ServerProcessScanner::findOnThisMachine())
        return std::nullopt;
    return m_launched->path;
}
