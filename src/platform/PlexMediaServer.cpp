#include "platform/PlexMediaServer.h"

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

// When the machine booted, for turning start ticks into a time.
Instant bootTime()
{
    static const Instant boot = [] {
        QFile stat(QStringLiteral("/proc/stat"));
        if (stat.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : stat.readAll().split('\n')) {
                if (line.startsWith("btime "))
                    return Instant(std::chrono::seconds(line.mid(6).trimmed().toLongLong()));
            }
        }
        return Instant{};
    }();
    return boot;
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

bool PlexMediaServer::isRunning()
{
    return ServerProcessScanner::findOnThisMachine().has_value();
}

std::optional<ServerProcess> PlexMediaServer::runningProcess()
{
    const std::optional<RunningInstance> found = ServerProcessScanner::findOnThisMachine();
    if (!found)
        return std::nullopt;
    static const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    const auto sinceBoot =
        std::chrono::milliseconds(qint64(found->startTicks * 1000 / quint64(ticksPerSecond)));
    return ServerProcess{found->pid, found->startTicks, bootTime() + sinceBoot, found->name,
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
