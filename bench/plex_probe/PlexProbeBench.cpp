// A check cycle of the media server with the identity probe (a healthy stand-in answering
// GET /identity on loopback) beside the same cycle without it, in one run. Each reports its
// wall time per cycle and, as the counter main_cpu_us, the main thread's CPU time per cycle:
// the probe may add little of either, since the request runs on Qt's network thread.
#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "platform/PlexMediaServer.h"
#include "settings/AppSettings.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>

#include <ctime>
#include <unistd.h>

namespace {

Watchdog *watchdog = nullptr;
AppSettings *settings = nullptr;

double threadCpuMicroseconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

void runCycles(benchmark::State &state, bool probe)
{
    settings->setRestartUnresponsivePlex(probe);
    double cpu = 0;
    for (auto _ : state) {
        const double before = threadCpuMicroseconds();
        QCoro::waitFor(watchdog->checkNow(QStringLiteral("timer")));
        cpu += threadCpuMicroseconds() - before;
        if (watchdog->plexRunning() != true) {
            state.SkipWithError("the cycle did not find the server answering");
            break;
        }
    }
    state.counters["main_cpu_us"] = benchmark::Counter(
        cpu / double(std::max<benchmark::IterationCount>(state.iterations(), 1)));
}

void BM_PlexCycleWithProbe(benchmark::State &state)
{
    runCycles(state, true);
}
BENCHMARK(BM_PlexCycleWithProbe)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_PlexCycleWithoutProbe(benchmark::State &state)
{
    runCycles(state, false);
}
BENCHMARK(BM_PlexCycleWithoutProbe)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const QString port = QString::number(40000 + ::getpid() % 20000);
    QProcess server;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VIGILMOUNT_STANDIN_PORT"), port);
    server.setProcessEnvironment(environment);
    server.start(QStringLiteral(STANDIN_PATH));
    if (!server.waitForStarted())
        return 1;
    QThread::msleep(200);

    QTemporaryDir folder;
    AppSettings appSettings;
    appSettings.setWatchPlex(true);
    appSettings.setWatchVolume(false);
    appSettings.setPlexPort(port.toLongLong());
    appSettings.setNotifyOnAction(false);
    appSettings.setVerboseLogging(false);
    EventLog log(folder.filePath(QStringLiteral("history")));
    auto mediaServer = std::make_shared<PlexMediaServer>();
    Watchdog dog(appSettings, log, {mediaServer, nullptr, nullptr, nullptr, nullptr},
                 {.serverStartupGrace = std::chrono::milliseconds(0)});
    watchdog = &dog;
    settings = &appSettings;
    QCoro::waitFor(dog.checkNow(QStringLiteral("startup")));
    if (dog.plexRunning() != true) {
        std::fprintf(stderr, "the stand-in isn't found: %s\n", qPrintable(dog.lastMessage()));
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    server.kill();
    server.waitForFinished();
    return 0;
}
