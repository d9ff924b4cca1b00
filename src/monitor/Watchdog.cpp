#include "monitor/Watchdog.h"

#include "history/EventLog.h"
#include "monitor/CompletionAwaiter.h"
#include "monitor/RepairNotifier.h"
#include "monitor/SingleFlight.h"
#include "settings/AppSettings.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>

using Kind = LogEvent::Kind;

namespace {

constexpr double secondsPerMinute = 60.0;

// Between the texts of the two steps in lastMessage: space, middle dot, space.
const QString summarySeparator = QStringLiteral(" \u00B7 ");
// "Plex down — ..." and "Volume down — ...": space, em dash, space.
const QString downSeparator = QStringLiteral(" \u2014 ");
const QString manualPrefix = QStringLiteral("Manual \u00B7 ");

// An outcome's sentence is recorded in English; the fixed sentences of the platform carry the
// "Outcome" context, so notifications and the summary show them in the user's language.
QString shown(const QString &recorded)
{
    return QCoreApplication::translate("Outcome", recorded.toUtf8().constData());
}

QString secondsText(std::chrono::milliseconds span)
{
    return QString::number(static_cast<double>(span.count()) / 1000.0);
}

// Lets a launch or a restart, started through a CompletionAwaiter, be run as a task.
QCoro::Task<LaunchOutcome> awaited(CompletionAwaiter<LaunchOutcome> operation)
{
    co_return co_await operation;
}

const QString notAnsweringDetail = QStringLiteral("Plex Media Server isn't answering");
const char *const keepsHanging = QT_TRANSLATE_NOOP(
    "Outcome", "Plex Media Server keeps hanging; Vigilmount stopped restarting it for now.");

} // namespace

// Everything the watchdog keeps besides its observable state.
struct Watchdog::Private
{
    Private(AppSettings &settings, EventLog &log, WatchdogServices services, Timing timing)
        : settings(settings), log(log), services(std::move(services)),
          notifier(settings, this->services.notifications), wakeDelay(timing.wakeDelay),
          launchBound(timing.launchBound), mountBound(timing.mountBound),
          serviceBound(timing.serviceBound), serverStartupGrace(timing.serverStartupGrace),
          probeRetryDelay(timing.probeRetryDelay), serverProbeBound(timing.serverProbeBound),
          restartBound(timing.restartBound), restartWindow(timing.restartWindow),
          shareProbeBound(timing.shareProbeBound), confirmDelay(timing.confirmDelay),
          backendBound(timing.backendBound), timerPeriodOverride(timing.timerPeriod)
    {}

    AppSettings &settings;
    EventLog &log;
    WatchdogServices services;
    RepairNotifier notifier;

    // The memory that turns findings into transitions: none = no finding yet.
    std::optional<bool> previousPlexUp;
    std::optional<bool> previousVolumeUp;
    // The missing desktop services already recorded; cleared by a mount that works.
    QStringList reportedMissing;

    SingleFlight<LaunchOutcome> launches;
    // The hung process whose "isn't answering" is recorded; the restarts of hung servers within
    // the window; whether "keeps hanging" and a launched program that isn't the server are
    // recorded (each once, until things change).
    std::optional<ServerProcess> recordedHung;
    std::vector<Instant> restarts;
    bool keepsHangingRecorded = false;
    bool unrecognisedRecorded = false;

    const std::chrono::milliseconds wakeDelay;
    const std::chrono::milliseconds launchBound;
    const std::chrono::milliseconds mountBound;
    const std::chrono::milliseconds serviceBound;
    const std::chrono::milliseconds serverStartupGrace;
    const std::chrono::milliseconds probeRetryDelay;
    const std::chrono::milliseconds serverProbeBound;
    const std::chrono::milliseconds restartBound;
    const std::chrono::milliseconds restartWindow;
    const std::chrono::milliseconds shareProbeBound;
    const std::chrono::milliseconds confirmDelay;
    const std::chrono::milliseconds backendBound;
    const std::optional<std::chrono::milliseconds> timerPeriodOverride;

    QTimer timer;
    std::chrono::milliseconds interval{0};
    std::optional<Instant> timerArmedAt;
    QMetaObject::Connection intervalSubscription;
    QMetaObject::Connection wakeSubscription;
    // One mount at a time: Mount Now beside a cycle's mount joins it.
    SingleFlight<MountOutcome> mountFlight;

    LaunchOutcome launchTimedOut(std::chrono::milliseconds bound) const
    {
        return LaunchOutcome::failure(
            QStringLiteral("Plex Media Server didn't report back within %1 seconds of being "
                           "started.")
                .arg(secondsText(bound)));
    }

    // Starts the launch of the media server and waits (bounded) for its outcome.
    CompletionAwaiter<LaunchOutcome> launch(QObject *owner, const QString &path,
                                            bool interactive) const
    {
        const std::shared_ptr<MediaServerPort> server = services.mediaServer;
        return CompletionAwaiter<LaunchOutcome>(
            owner,
            [server, path, interactive](std::function<void(LaunchOutcome)> done) {
                server->launch(path, interactive, std::move(done));
            },
            launchBound, launchTimedOut(launchBound));
    }

    // Starts the restart of a hung server and waits (bounded) for its outcome.
    CompletionAwaiter<LaunchOutcome> restart(QObject *owner, const ServerProcess &hung,
                                             const QString &path) const
    {
        const std::shared_ptr<MediaServerPort> server = services.mediaServer;
        return CompletionAwaiter<LaunchOutcome>(
            owner,
            [server, hung, path](std::function<void(LaunchOutcome)> done) {
                server->restart(hung, path, std::move(done));
            },
            restartBound, launchTimedOut(restartBound));
    }

    // Asks the server whether it answers; no answer in time counts as none.
    CompletionAwaiter<bool> probeServer(QObject *owner) const
    {
        const std::shared_ptr<MediaServerPort> server = services.mediaServer;
        const auto port = quint16(settings.plexPort());
        return CompletionAwaiter<bool>(
            owner,
            [server, port](std::function<void(bool)> done) {
                server->probe(port, std::move(done));
            },
            serverProbeBound, false);
    }

    // Waits without an operation: the bound alone ends it.
    CompletionAwaiter<bool> pause(QObject *owner, std::chrono::milliseconds span) const
    {
        return CompletionAwaiter<bool>(
            owner, [](std::function<void(bool)>) {}, span, true);
    }

    // Starts the mount (it never blocks this thread) and waits (bounded) for its outcome.
    CompletionAwaiter<MountOutcome> mount(QObject *owner, const MountRequest &request) const
    {
        const std::shared_ptr<SharePort> share = services.share;
        const MountOutcome timedOut = MountOutcome::failure(
            QStringLiteral("The share didn't finish mounting within %1 seconds.")
                .arg(secondsText(mountBound)));
        return CompletionAwaiter<MountOutcome>(
            owner,
            [share, request](std::function<void(MountOutcome)> done) {
                share->mount(request, std::move(done));
            },
            mountBound, timedOut);
    }

    // Probes the mounted share; no answer in time counts as frozen.
    CompletionAwaiter<ShareHealth> probeShare(QObject *owner, const QString &mountPoint) const
    {
        const std::shared_ptr<SharePort> share = services.share;
        return CompletionAwaiter<ShareHealth>(
            owner,
            [share, mountPoint](std::function<void(ShareHealth)> done) {
                share->probe(mountPoint, std::move(done));
            },
            shareProbeBound, ShareHealth::frozen);
    }

    // Ends the backend of a frozen share; false when there was none to end in time.
    CompletionAwaiter<bool> endBackend(QObject *owner, const QString &mountPoint) const
    {
        const std::shared_ptr<SharePort> share = services.share;
        return CompletionAwaiter<bool>(
            owner,
            [share, mountPoint](std::function<void(bool)> done) {
                share->endBackend(mountPoint, std::move(done));
            },
            backendBound, false);
    }

    // Asks the keyring for the share password and waits (bounded) for its answer.
    CompletionAwaiter<PasswordOutcome> password(QObject *owner, const QString &account) const
    {
        const std::shared_ptr<CredentialPort> credentials = services.credentials;
        return CompletionAwaiter<PasswordOutcome>(
            owner,
            [credentials, account](std::function<void(PasswordOutcome)> done) {
                credentials->password(account, std::move(done));
            },
            serviceBound,
            PasswordOutcome::failure(QString::fromUtf8(
                QT_TRANSLATE_NOOP("Outcome", "The login keyring didn't answer."))));
    }

    // Asks one port whether its desktop service is missing; no answer in time says nothing.
    template <typename Port>
    CompletionAwaiter<MissingService> missingService(QObject *owner,
                                                     std::shared_ptr<Port> port) const
    {
        return CompletionAwaiter<MissingService>(
            owner,
            [port](std::function<void(MissingService)> done) {
                port->missingService(std::move(done));
            },
            serviceBound, std::nullopt);
    }
};

Watchdog::Watchdog(AppSettings &settings, EventLog &log, WatchdogServices services, Timing timing,
                   QObject *parent)
    : QObject(parent), d(std::make_unique<Private>(settings, log, std::move(services), timing))
{
    d->timer.setSingleShot(false);
    d->timer.setTimerType(Qt::CoarseTimer);
    // Dropping a returned task is safe: a QCoro task starts at once, runs on when its handle
    // is gone and frees itself when it ends. A cycle still waiting when the watchdog is
    // destroyed ends there too (its wait throws OwnerGone), without touching the watchdog.
    connect(&d->timer, &QTimer::timeout, this, [this] { checkNow(QStringLiteral("timer")); });
}

Watchdog::~Watchdog() = default;

// ---- check cycle ----------------------------------------------------------------------

QCoro::Task<> Watchdog::checkNow(QString reason)
{
    if (m_isChecking)
        co_return;
    setIsChecking(true);

    if (d->settings.verboseLogging())
        d->log.record(Kind::checkStarted, reason);

    QStringList texts;
    if (d->settings.watchPlex()) {
        const QString text = co_await checkPlex();
        texts.append(text);
    } else {
        setPlexRunning(std::nullopt);
    }

    // Read only now: the media server step may have waited on a launch.
    if (d->settings.watchVolume()) {
        const QString text = co_await checkVolume();
        texts.append(text);
    } else {
        setVolumeMounted(std::nullopt);
        setVolumeMountPoint(std::nullopt);
    }

    setLastCheck(Clock::now());
    setLastMessage(texts.isEmpty() ? tr("Nothing is being monitored")
                                   : texts.join(summarySeparator));
    setIsChecking(false);
}

QCoro::Task<QString> Watchdog::checkPlex()
{
    // One look at /proc per cycle: the process found is also the one the probes judge.
    if (const std::optional<ServerProcess> process = d->services.mediaServer->runningProcess()) {
        if (d->settings.restartUnresponsivePlex()) {
            const std::optional<ServerProcess> hung = co_await findHungServer(*process);
            if (hung)
                co_return co_await repairHungServer(*hung);
        }
        if (m_plexNotAnswering)
            setPlexNotAnswering(false);
        d->recordedHung.reset();
        setPlexRunning(true);
        if (d->previousPlexUp == false)
            d->log.record(Kind::plexOK, QStringLiteral("Plex is running again"));
        else if (d->settings.verboseLogging())
            d->log.record(Kind::plexOK);
        d->previousPlexUp = true;
        co_return tr("Plex running");
    }

    if (m_plexNotAnswering)
        setPlexNotAnswering(false);
    setPlexRunning(false);
    if (!d->previousPlexUp.has_value())
        d->log.record(Kind::plexDown, QStringLiteral("Not running when Vigilmount checked"));
    else if (*d->previousPlexUp)
        d->log.record(Kind::plexDown, QStringLiteral("Plex stopped running"));
    d->previousPlexUp = false;
    co_return co_await launchPlex();
}

QCoro::Task<QString> Watchdog::launchPlex()
{
    // A program started earlier that still runs but isn't the server: another start would only
    // add a copy of it.
    const std::optional<QString> program = d->services.mediaServer->unrecognisedLaunch();
    if (program) {
        const QString recorded = QStringLiteral("The program at ") + *program +
                                 QStringLiteral(" is running but isn't recognised as Plex "
                                                "Media Server.");
        const QString text =
            tr("The program at %1 is running but isn't recognised as Plex Media Server.")
                .arg(*program);
        if (!std::exchange(d->unrecognisedRecorded, true)) {
            d->log.record(Kind::plexLaunchFailed, recorded);
            d->notifier.notify(NotificationSubject::plex, tr("Couldn't start Plex"), text);
        }
        co_return tr("Plex down") + downSeparator + text;
    }
    d->unrecognisedRecorded = false;

    const LaunchOutcome outcome = co_await launchOnce(false);
    if (outcome.ok()) {
        d->log.record(Kind::plexLaunched, outcome.value());
        d->notifier.notify(NotificationSubject::plex, tr("Plex restarted"),
                           tr("Plex Media Server wasn't running, so Vigilmount started it."));
        setPlexRunning(true);
        d->previousPlexUp = true;
        co_return tr("Plex restarted");
    }

    d->log.record(Kind::plexLaunchFailed, outcome.error());
    d->notifier.notify(NotificationSubject::plex, tr("Couldn't start Plex"),
                       shown(outcome.error()));
    co_return tr("Plex down") + downSeparator + shown(outcome.error());
}

QCoro::Task<std::optional<ServerProcess>> Watchdog::findHungServer(ServerProcess process)
{
    // A server that just started is still loading its database.
    if (Clock::now() - process.startedAt < d->serverStartupGrace)
        co_return std::nullopt;
    for (int failures = 1;; ++failures) {
        const bool answered = co_await d->probeServer(this);
        if (answered)
            co_return std::nullopt;
        if (failures == 3)
            co_return process;
        const bool paused = co_await d->pause(this, d->probeRetryDelay);
        Q_UNUSED(paused)
        // Only failures of the same process add up.
        if (d->services.mediaServer->runningProcess() != process)
            co_return std::nullopt;
    }
}

QCoro::Task<QString> Watchdog::repairHungServer(ServerProcess hung)
{
    if (d->recordedHung != hung)
        d->log.record(Kind::plexDown, notAnsweringDetail);
    d->recordedHung = hung;
    d->previousPlexUp = false;
    setPlexRunning(false);
    setPlexNotAnswering(true);
    const QString down = tr("Plex down") + downSeparator + tr("Not answering");
    if (!shareIsHealthy())
        co_return down;

    const Instant now = Clock::now();
    std::erase_if(d->restarts, [&](Instant at) { return now - at >= d->restartWindow; });
    if (d->restarts.size() >= 2) {
        if (!std::exchange(d->keepsHangingRecorded, true)) {
            d->log.record(Kind::plexLaunchFailed, QString::fromUtf8(keepsHanging));
            d->notifier.notify(NotificationSubject::plex, tr("Couldn't start Plex"),
                               shown(QString::fromUtf8(keepsHanging)));
        }
        co_return tr("Plex down") + downSeparator + shown(QString::fromUtf8(keepsHanging));
    }
    d->keepsHangingRecorded = false;
    d->restarts.push_back(now);

    const LaunchOutcome outcome = co_await restartOnce(hung);
    if (!outcome.ok()) {
        d->log.record(Kind::plexLaunchFailed, outcome.error());
        d->notifier.notify(NotificationSubject::plex, tr("Couldn't start Plex"),
                           shown(outcome.error()));
        co_return tr("Plex down") + downSeparator + shown(outcome.error());
    }
    d->log.record(Kind::plexLaunched, outcome.value());
    d->notifier.notify(NotificationSubject::plex, tr("Plex restarted"),
                       tr("Plex Media Server stopped answering, so Vigilmount restarted it."));
    d->recordedHung.reset();
    d->previousPlexUp = true;
    setPlexNotAnswering(false);
    setPlexRunning(true);
    co_return tr("Plex restarted");
}

QCoro::Task<LaunchOutcome> Watchdog::launchOnce(bool interactive)
{
    const QString path = d->settings.plexAppPath();
    return d->launches.run(
        this, [this, path, interactive] { return awaited(d->launch(this, path, interactive)); },
        d->launchBound, d->launchTimedOut(d->launchBound));
}

QCoro::Task<LaunchOutcome> Watchdog::restartOnce(const ServerProcess &hung)
{
    const QString path = d->settings.plexAppPath();
    return d->launches.run(
        this, [this, hung, path] { return awaited(d->restart(this, hung, path)); }, d->restartBound,
        d->launchTimedOut(d->restartBound));
}

bool Watchdog::shareIsHealthy() const
{
    if (!d->settings.watchVolume() || !d->settings.isVolumeConfigured())
        return true;
    return m_volumeMounted == true && !m_volumeNotResponding;
}

QCoro::Task<QString> Watchdog::checkVolume()
{
    if (!d->settings.isVolumeConfigured()) {
        setVolumeMounted(std::nullopt);
        setVolumeMountPoint(std::nullopt);
        co_return tr("Volume not configured");
    }

    const QString host = d->settings.serverHost();
    const QString share = d->settings.shareName();

    if (const std::optional<QString> mountPoint = d->services.share->mountPoint(host, share)) {
        const ShareHealth health = co_await confirmedHealth(*mountPoint);
        if (health != ShareHealth::alive)
            co_return co_await volumeUnwell(share, *mountPoint, health);
        if (d->previousVolumeUp == false)
            d->log.record(Kind::volumeOK,
                          QStringLiteral("Share reachable again at ") + *mountPoint);
        else if (d->settings.verboseLogging())
            d->log.record(Kind::volumeOK, *mountPoint);
        d->previousVolumeUp = true;
        d->reportedMissing.clear();
        setVolumeNotResponding(false);
        setVolumeMounted(true);
        setVolumeMountPoint(*mountPoint);
        co_return tr("Volume mounted");
    }

    if (!d->previousVolumeUp.has_value())
        d->log.record(Kind::volumeDown,
                      share + QStringLiteral(" was not mounted when Vigilmount checked"));
    else if (*d->previousVolumeUp)
        d->log.record(Kind::volumeDown, share + QStringLiteral(" disconnected"));
    d->previousVolumeUp = false;
    setVolumeNotResponding(false);
    setVolumeMounted(false);
    setVolumeMountPoint(std::nullopt);
    co_return co_await remountVolume(host, share);
}

QCoro::Task<ShareHealth> Watchdog::confirmedHealth(QString mountPoint)
{
    const ShareHealth first = co_await d->probeShare(this, mountPoint);
    if (first == ShareHealth::alive)
        co_return first;
    // A share that was only busy for a moment gets a second chance before anything is said.
    co_await d->pause(this, d->confirmDelay);
    co_return co_await d->probeShare(this, mountPoint);
}

QCoro::Task<QString> Watchdog::volumeUnwell(QString share, QString mountPoint, ShareHealth health)
{
    const bool folder = health == ShareHealth::folderUnreachable;
    if (d->previousVolumeUp != false)
        d->log.record(Kind::volumeDown,
                      share + (folder ? QStringLiteral(" is mounted but its local folder isn't "
                                                       "reachable")
                                      : QStringLiteral(" is mounted but not responding")));
    d->previousVolumeUp = false;
    // The mount point stays: the share is still mounted there.
    setVolumeNotResponding(true);
    setVolumeMounted(false);
    setVolumeMountPoint(mountPoint);

    // Only a frozen share is repaired: a stopped server comes back by itself, and a missing
    // folder bridge is not the share's backend. The next probe waits for the next cycle.
    if (health != ShareHealth::frozen || !d->settings.repairUnresponsiveVolume())
        co_return folder ? tr("Volume folder unreachable") : tr("Volume not responding");
    const bool ended = co_await d->endBackend(this, mountPoint);
    if (!ended)
        co_return tr("Volume not responding");
    setVolumeNotResponding(false);
    setVolumeMountPoint(std::nullopt);
    co_return co_await remountVolume(d->settings.serverHost(), share);
}

QCoro::Task<QString> Watchdog::remountVolume(QString host, QString share)
{
    // A request beside a mount in flight takes that mount's outcome, which its starter records.
    const bool joining = d->mountFlight.inFlight();
    // Named first: g++ 12 mishandles non-trivial temporaries inside a co_await expression.
    std::function<QCoro::Task<MountOutcome>()> operation = [this, host, share] {
        return repairVolume(host, share);
    };
    MountOutcome timedOut =
        MountOutcome::failure(QStringLiteral("The share didn't finish mounting within %1 seconds.")
                                  .arg(secondsText(d->mountBound)));
    const MountOutcome outcome = co_await d->mountFlight.run(
        this, std::move(operation), d->serviceBound + d->mountBound, std::move(timedOut));
    if (outcome.ok()) {
        if (!joining) {
            d->log.record(Kind::volumeMounted, outcome.value());
            d->notifier.notify(NotificationSubject::volume, tr("Plex volume reconnected"),
                               tr("%1 is mounted at %2.").arg(share, outcome.value()));
        }
        setVolumeMounted(true);
        setVolumeMountPoint(outcome.value());
        d->previousVolumeUp = true;
        d->reportedMissing.clear();
        co_return tr("Volume remounted");
    }

    if (!joining) {
        d->log.record(Kind::volumeMountFailed, outcome.error());
        co_await reportMissingServices();
        d->notifier.notify(NotificationSubject::volume, tr("Couldn't mount %1").arg(share),
                           shown(outcome.error()));
    }
    co_return tr("Volume down") + downSeparator + shown(outcome.error());
}

QCoro::Task<MountOutcome> Watchdog::repairVolume(QString host, QString share)
{
    // A keyring that gives no answer fails the repair: a mount without the password would
    // only end in a misleading password error.
    const PasswordOutcome password = co_await d->password(this, d->settings.keychainAccount());
    if (!password.ok())
        co_return MountOutcome::failure(password.error());

    // The mount gets copies of everything it needs; the password goes nowhere else.
    MountRequest request;
    request.scheme = rawValue(d->settings.shareProtocol());
    request.host = host;
    request.share = share;
    request.username = d->settings.username();
    request.password = password.value();
    co_return co_await d->mount(this, request);
}

QCoro::Task<> Watchdog::reportMissingServices()
{
    const MissingService keyring = co_await d->missingService(this, d->services.credentials);
    const MissingService shares = co_await d->missingService(this, d->services.share);
    QStringList missing;
    for (const MissingService &found : {keyring, shares}) {
        if (found && !missing.contains(*found))
            missing.append(*found);
    }
    for (const QString &sentence : std::as_const(missing)) {
        if (!d->reportedMissing.contains(sentence))
            d->log.record(Kind::error, sentence);
    }
    d->reportedMissing = missing;
}

// ---- operations on request ------------------------------------------------------------

QCoro::Task<> Watchdog::launchPlexNow()
{
    const std::optional<QString> program = d->services.mediaServer->unrecognisedLaunch();
    if (program) {
        d->log.record(Kind::plexLaunchFailed,
                      manualPrefix + QStringLiteral("The program at ") + *program +
                          QStringLiteral(" is running but isn't recognised as Plex Media "
                                         "Server."));
        co_return;
    }
    const LaunchOutcome outcome = co_await launchOnce(true);
    if (outcome.ok()) {
        d->log.record(Kind::plexLaunched, manualPrefix + outcome.value());
        setPlexRunning(true);
        d->previousPlexUp = true;
    } else {
        d->log.record(Kind::plexLaunchFailed, manualPrefix + outcome.error());
    }
}

QCoro::Task<> Watchdog::mountVolumeNow()
{
    const QString summary = co_await checkVolume();
    Q_UNUSED(summary)
}

void Watchdog::openVolume()
{
    std::optional<QString> path = m_volumeMountPoint;
    if (!path)
        path = d->services.share->mountPoint(d->settings.serverHost(), d->settings.shareName());
    if (path)
        d->services.share->openFolder(*path);
}

// ---- scheduling -----------------------------------------------------------------------

void Watchdog::start()
{
    // The prune first: it judges the clock against the newest record of earlier runs.
    d->log.prune(std::max(AppSettings::minimumRetentionDays, d->settings.logRetentionDays()));
    d->log.record(Kind::appStarted);
    d->notifier.requestPermissionIfEnabled();

    // Every later set re-arms the timer, also with an unchanged value.
    disconnect(d->intervalSubscription);
    d->intervalSubscription = connect(&d->settings, &AppSettings::checkIntervalMinutesChanged, this,
                                      [this] { scheduleTimer(); });
    disconnect(d->wakeSubscription);
    if (d->services.wake)
        d->wakeSubscription =
            connect(d->services.wake.get(), &WakePort::didWake, this, [this] { systemDidWake(); });

    scheduleTimer();

    // Runs once the caller has returned to the event loop.
    QMetaObject::invokeMethod(
        this, [this] { checkNow(QStringLiteral("startup")); }, Qt::QueuedConnection);
}

void Watchdog::stop()
{
    d->timer.stop();
    d->timerArmedAt.reset();
    d->log.record(Kind::appStopped);
}

std::chrono::milliseconds Watchdog::intervalForMinutes(double minutes)
{
    // NaN fails the comparison and takes the floor too.
    const double seconds = minutes * secondsPerMinute;
    const double floor = AppSettings::minimumCheckIntervalSeconds;
    const double chosen = seconds > floor ? seconds : floor;
    // Anything beyond what a timer can hold (about 24 days) is held at that.
    const double ms =
        std::min(chosen * 1000.0, static_cast<double>(std::numeric_limits<int>::max()));
    return std::chrono::milliseconds(static_cast<qint64>(std::llround(ms)));
}

void Watchdog::scheduleTimer()
{
    d->timer.stop();
    d->interval = intervalForMinutes(d->settings.checkIntervalMinutes());
    // A coarse timer fires within 5 % of its interval.
    d->timer.start(d->timerPeriodOverride.value_or(d->interval));
    d->timerArmedAt = Clock::now();
}

void Watchdog::systemDidWake()
{
    if (!d->settings.checkOnWake())
        return;
    d->log.record(Kind::wake);
    QTimer::singleShot(d->wakeDelay, this, [this] { checkNow(QStringLiteral("wake")); });
}

bool Watchdog::isTimerArmed() const
{
    return d->timer.isActive();
}

std::chrono::milliseconds Watchdog::timerInterval() const
{
    return d->interval;
}

std::optional<Instant> Watchdog::timerArmedAt() const
{
    return d->timerArmedAt;
}

// ---- observable state -----------------------------------------------------------------

void Watchdog::setPlexRunning(std::optional<bool> value)
{
    m_plexRunning = value;
    Q_EMIT plexRunningChanged();
}

void Watchdog::setVolumeMounted(std::optional<bool> value)
{
    m_volumeMounted = value;
    Q_EMIT volumeMountedChanged();
}

void Watchdog::setVolumeMountPoint(std::optional<QString> value)
{
    m_volumeMountPoint = std::move(value);
    Q_EMIT volumeMountPointChanged();
}

void Watchdog::setPlexNotAnswering(bool value)
{
    m_plexNotAnswering = value;
    Q_EMIT plexNotAnsweringChanged();
}

void Watchdog::setVolumeNotResponding(bool value)
{
    m_volumeNotResponding = value;
    Q_EMIT volumeNotRespondingChanged();
}

void Watchdog::setLastCheck(std::optional<Instant> value)
{
    m_lastCheck = value;
    Q_EMIT lastCheckChanged();
}

void Watchdog::setIsChecking(bool value)
{
    m_isChecking = value;
    Q_EMIT isCheckingChanged();
}

void Watchdog::setLastMessage(const QString &value)
{
    m_lastMessage = value;
    Q_EMIT lastMessageChanged();
}
