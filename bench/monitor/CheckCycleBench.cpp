// The check cycle with everything up, with and without the share probe (the probe's added wall
// and main-thread time), the event loop's longest stall during a cycle on a frozen share, and
// the cycle beside two ways of finding the same answers:
//   a check cycle of the production watchdog  vs listing /proc and reading one file of each
//                                                process (comm, the cheapest to produce)
//                                             vs running pgrep -f and findmnt
// The machine holds about 500 processes (idle children of this program), the media server
// stand-in starts after them (so the name pass reads nearly every process before it finds it),
// and the Samba share of the harness is mounted through GVfs.
//
// Needs the harness's components: run inside private namespaces as
//   tests/harness/run-test.sh --samba --gvfs -- CheckCycleBench
// (bench/run.sh does).
#include "app/ProductionServices.h"
#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "platform/GvfsShare.h"
#include "platform/VolumeMounter.h"
#include "settings/AppSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr int machineProcesses = 500;
const QString standIn = QStringLiteral(STANDIN_PATH);

std::vector<pid_t> &children()
{
    static std::vector<pid_t> pids;
    return pids;
}

Watchdog *watchdog = nullptr;
Watchdog *unprobedWatchdog = nullptr;
Watchdog *waitingWatchdog = nullptr;
AppSettings *benchSettings = nullptr;

// The production share with its probe answered without asking anybody: at once (the cycle
// without the probe), or after as long as a real probe takes. The second is the baseline of the
// main thread's time: a cycle that sleeps a few milliseconds finds the process table colder
// afterwards (this VM's scan then costs 1 to 3 ms more), which is the wait's cost, not the
// probe's work.
struct UnprobedShare final : SharePort
{
    explicit UnprobedShare(std::chrono::milliseconds wait = {}) : wait(wait) {}
    std::chrono::milliseconds wait;
    GvfsShare real;
    std::optional<QString> mountPoint(const QString &host, const QString &share) override
    {
        return real.mountPoint(host, share);
    }
    void mount(const MountRequest &request, std::function<void(MountOutcome)> done) override
    {
        real.mount(request, std::move(done));
    }
    void openFolder(const QString &path) override { real.openFolder(path); }
    void missingService(std::function<void(MissingService)> done) override
    {
        real.missingService(std::move(done));
    }
    void probe(const QString &, std::function<void(ShareHealth)> done) override
    {
        if (wait.count() == 0)
            done(ShareHealth::alive);
        else
            QTimer::singleShot(wait, [done] { done(ShareHealth::alive); });
    }
    void endBackend(const QString &, std::function<void(bool)> done) override { done(false); }
};

// One cycle, with the event loop run until it ends (the probe answers through it).
bool runCycle(Watchdog &dog)
{
    dog.checkNow(QStringLiteral("timer"));
    while (dog.isChecking())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return dog.plexRunning() == true && dog.volumeMounted() == true;
}

void signalSmbd(int signal)
{
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(entry));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "smbd")
            ::kill(entry.toInt(), signal);
    }
}

int countProcesses()
{
    int count = 0;
    DIR *proc = ::opendir("/proc");
    while (const dirent *entry = proc ? ::readdir(proc) : nullptr) {
        if (entry->d_name[0] >= '1' && entry->d_name[0] <= '9')
            ++count;
    }
    if (proc)
        ::closedir(proc);
    return count;
}

// A child that ends with this program (also when it crashes).
pid_t spawnChild(const char *program, const char *argument)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::execl(program, program, argument, static_cast<char *>(nullptr));
        ::_exit(127);
    }
    if (child > 0)
        children().push_back(child);
    return child;
}

void endChildren()
{
    for (pid_t child : children())
        ::kill(child, SIGKILL);
    for (pid_t child : children())
        ::waitpid(child, nullptr, 0);
    children().clear();
}

// cpu_time is this (the main) thread's: the probe's child and GDBus's worker are not in it.
void BM_CheckCycle500(benchmark::State &state)
{
    for (auto _ : state) {
        if (!runCycle(*watchdog)) {
            state.SkipWithError("the cycle did not find everything up");
            break;
        }
    }
}
BENCHMARK(BM_CheckCycle500)->Unit(benchmark::kMicrosecond);

void BM_CheckCycleUnprobed500(benchmark::State &state)
{
    for (auto _ : state) {
        if (!runCycle(*unprobedWatchdog)) {
            state.SkipWithError("the cycle did not find everything up");
            break;
        }
    }
}
BENCHMARK(BM_CheckCycleUnprobed500)->Unit(benchmark::kMicrosecond);

void BM_CheckCycleWaiting500(benchmark::State &state)
{
    for (auto _ : state) {
        if (!runCycle(*waitingWatchdog)) {
            state.SkipWithError("the cycle did not find everything up");
            break;
        }
    }
}
BENCHMARK(BM_CheckCycleWaiting500)->Unit(benchmark::kMicrosecond);

// One cycle on a frozen share (bounds cut to seconds, no repair): the longest gap between two
// turns of the event loop, reported as the counter stall_ms. Runs last: it leaves the mount
// in its backend's state after the server resumes.
// With the server watched too (its /proc scan of 500 processes is one stretch of the main
// thread), and with the share alone (what the frozen share itself costs the loop).
void BM_FrozenShareStall(benchmark::State &state)
{
    AppSettings &settings = *benchSettings;
    settings.setWatchPlex(state.range(0) != 0);
    settings.setRepairUnresponsiveVolume(false);
    EventLog log(EventLog::defaultDirectory());
    WatchdogServices services = makeProductionServices();
    services.share = std::make_shared<GvfsShare>(ShareProbe::Bounds{1500ms, 1000ms}, 5s);
    Watchdog dog(settings, log, services, {.shareProbeBound = 3s, .confirmDelay = 500ms});
    double longest = 0;
    for (auto _ : state) {
        signalSmbd(SIGSTOP);
        QElapsedTimer sinceTick;
        sinceTick.start();
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longest = std::max(longest, double(sinceTick.nsecsElapsed()) / 1e6 - 1.0);
            sinceTick.restart();
        });
        ticker.start(1ms);
        runCycle(dog);
        signalSmbd(SIGCONT);
    }
    state.counters["stall_ms"] = longest;
    settings.setWatchPlex(true);
}
BENCHMARK(BM_FrozenShareStall)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ProcScanBaseline500(benchmark::State &state)
{
    for (auto _ : state) {
        DIR *proc = ::opendir("/proc");
        int read = 0;
        char path[300];
        char buffer[512];
        while (const dirent *entry = ::readdir(proc)) {
            if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
                continue;
            std::snprintf(path, sizeof path, "/proc/%s/comm", entry->d_name);
            const int file = ::open(path, O_RDONLY | O_CLOEXEC);
            if (file < 0)
                continue;
            read += ::read(file, buffer, sizeof buffer) > 0;
            ::close(file);
        }
        ::closedir(proc);
        benchmark::DoNotOptimize(read);
    }
}
BENCHMARK(BM_ProcScanBaseline500)->Unit(benchmark::kMicrosecond);

void BM_PgrepFindmntBaseline500(benchmark::State &state)
{
    const QByteArray gvfs = qgetenv("XDG_RUNTIME_DIR") + "/gvfs";
    for (auto _ : state) {
        QProcess pgrep;
        QProcess findmnt;
        pgrep.start(QStringLiteral("pgrep"),
                    {QStringLiteral("-f"), QStringLiteral("Plex Media Server")});
        findmnt.start(QStringLiteral("findmnt"),
                      {QStringLiteral("-rn"), QStringLiteral("-o"), QStringLiteral("TARGET"),
                       QStringLiteral("-t"), QStringLiteral("fuse.gvfsd-fuse")});
        pgrep.waitForFinished();
        findmnt.waitForFinished();
        if (pgrep.readAllStandardOutput().trimmed().isEmpty() ||
            findmnt.readAllStandardOutput().trimmed() != gvfs) {
            state.SkipWithError("pgrep or findmnt did not find everything up");
            break;
        }
    }
}
BENCHMARK(BM_PgrepFindmntBaseline500)->Unit(benchmark::kMicrosecond);

bool mountShare(const QString &host, const QString &user, const QString &password)
{
    bool done = false;
    bool mounted = false;
    VolumeMounter::mount(QStringLiteral("smb"), host, QStringLiteral("media"), user, password,
                         [&](const Outcome<QString> &result) {
                             done = true;
                             mounted = result.ok();
                             if (!mounted)
                                 std::fprintf(stderr, "mount failed: %s\n",
                                              qPrintable(result.error()));
                         });
    QElapsedTimer clock;
    clock.start();
    while (!done && clock.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return mounted;
}

} // namespace

int main(int argc, char **argv)
{
    const QString host = qEnvironmentVariable("VIGILMOUNT_SMB_HOST");
    if (host.isEmpty()) {
        std::fprintf(stderr, "CheckCycleBench needs the harness: tests/harness/run-test.sh "
                             "--samba --gvfs -- CheckCycleBench\n");
        return 2;
    }
    // The idle crowd first (before any thread exists), then the server with the highest pid.
    const int idle = machineProcesses - countProcesses() - 1;
    for (int i = 0; i < idle; ++i)
        spawnChild("/bin/sleep", "3600");
    const QByteArray server = QFile::encodeName(standIn);
    spawnChild(server.constData(), nullptr);
    std::atexit(endChildren);

    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    AppSettings settings;
    settings.setWatchPlex(true);
    settings.setPlexAppPath(standIn);
    settings.setWatchVolume(true);
    settings.setShareProtocol(ShareProtocol::smb);
    settings.setServerHost(host);
    settings.setShareName(QStringLiteral("media"));
    settings.setUsername(qEnvironmentVariable("VIGILMOUNT_SMB_USER"));
    settings.setNotifyOnAction(false);
    settings.setVerboseLogging(false);
    if (!mountShare(host, settings.username(), qEnvironmentVariable("VIGILMOUNT_SMB_PASSWORD")))
        return 1;

    EventLog log(EventLog::defaultDirectory());
    Watchdog cycleWatchdog(settings, log, makeProductionServices());
    benchSettings = &settings;
    watchdog = &cycleWatchdog;
    WatchdogServices unprobed = makeProductionServices();
    unprobed.share = std::make_shared<UnprobedShare>();
    Watchdog unprobedCycleWatchdog(settings, log, unprobed);
    unprobedWatchdog = &unprobedCycleWatchdog;
    WatchdogServices waiting = makeProductionServices();
    // About what the real probe takes here: starting `stat` costs about 10 ms on this VM.
    waiting.share = std::make_shared<UnprobedShare>(std::chrono::milliseconds(10));
    Watchdog waitingCycleWatchdog(settings, log, waiting);
    waitingWatchdog = &waitingCycleWatchdog;
    if (!runCycle(cycleWatchdog)) {
        std::fprintf(stderr, "the first cycle did not find everything up: %s\n",
                     qPrintable(cycleWatchdog.lastMessage()));
        return 1;
    }
    std::fprintf(stderr, "%d processes; first cycle: %s\n", countProcesses(),
                 qPrintable(cycleWatchdog.lastMessage()));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    signalSmbd(SIGCONT);
    watchdog = nullptr;
    unprobedWatchdog = nullptr;
    waitingWatchdog = nullptr;
    return 0;
}
