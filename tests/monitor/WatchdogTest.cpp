// The watchdog against fake services: the check cycle (transitions, repairs, notifications,
// summaries, re-entry, requests, bounded waits) and its schedule (start, timer, wake, stop).

#include "EngineFakes.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <limits>

using namespace std::chrono_literals;

namespace {
using namespace EngineFakes;
const QString dot = QStringLiteral(" \u00B7 ");
const QString dash = QStringLiteral(" \u2014 ");
const Instant t0 = Clock::fromDateTime(QDateTime(QDate(2026, 3, 1), QTime(8, 0), Qt::UTC));

inline QString text(std::optional<bool> value)
{
    return value ? QString(*value ? "true" : "false") : QString("none");
}

struct WatchdogRig : EngineWorld
{
    using EngineWorld::EngineWorld;

    void cycle(const QString &reason = QStringLiteral("manual"))
    {
        QCoro::waitFor(dog.checkNow(reason));
    }
    // The history as "kind: detail" lines ("kind" alone when the detail is empty).
    QStringList lines() const
    {
        QStringList out;
        for (const LogEvent &e : log.events())
            out.append(LogEvent::rawValue(e.kind) +
                       (e.detail.isEmpty() ? QString() : QStringLiteral(": ") + e.detail));
        return out;
    }
    int count(const QString &line) const { return lines().count(line); }
    int countKind(const QString &kind) const { return lines().filter(kind).size(); }
    int cycles(const QString &reason) const { return count("checkStarted: " + reason); }
};

// Findings per cycle: "up", "down+ok" (repaired) or "down+fail". The state and the summary
// follow the last finding; summaries lists the subject's for "up", "down+ok" and "down+fail".
void addTransitionRows(const char *subject, const QString &down, const QString &stopped,
                       const QString &back, const QString &repaired, const QString &failed,
                       const QStringList &summaries)
{
    using L = QStringList;
    const auto row = [&](const char *name, const L &findings, const L &history) {
        const qsizetype last = L{"up", "down+ok", "down+fail"}.indexOf(findings.last());
        QTest::addRow("%s: %s", subject, name)
            << QString::fromLatin1(subject) << findings << history
            << QString(last == 2 ? "false" : "true") << summaries.at(last);
    };
    row("none, up", {"up"}, {});
    row("true, up", {"up", "up"}, {});
    row("false, up", {"down+fail", "up"}, {down, failed, back});
    row("none, down", {"down+ok"}, {down, repaired});
    row("true, down", {"up", "down+fail"}, {stopped, failed});
    row("false, down: no second down record", {"down+fail", "down+ok"}, {down, failed, repaired});
    row("up after a repair", {"down+ok", "up"}, {down, repaired});
    row("down after a repair", {"down+ok", "down+fail"}, {down, repaired, stopped, failed});
}

// Cycles quick and visible: the server runs, verbose logging is on.
struct QuietRig : WatchdogRig
{
    explicit QuietRig(Watchdog::Timing timing = {}) : WatchdogRig(timing)
    {
        fake.running = true, settings.setVerboseLogging(true);
    }
};
} // namespace

class WatchdogTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { Clock::setSourceForTesting({}); }

    void transitions_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QStringList>("findings");
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<QString>("up");
        QTest::addColumn<QString>("summary");
        addTransitionRows("plex", "plexDown: Not running when Vigilmount checked",
                          "plexDown: Plex stopped running", "plexOK: Plex is running again",
                          "plexLaunched: " + plexPath, "plexLaunchFailed: " + launchError,
                          {"Plex running", "Plex restarted", "Plex down" + dash + launchError});
        addTransitionRows(
            "volume", "volumeDown: media was not mounted when Vigilmount checked",
            "volumeDown: media disconnected", "volumeOK: Share reachable again at /mnt/media",
            "volumeMounted: " + mountedAt, "volumeMountFailed: " + mountError,
            {"Volume mounted", "Volume remounted", "Volume down" + dash + mountError});
    }
    void transitions()
    {
        QFETCH(QString, subject);
        QFETCH(QStringList, findings);
        const bool plex = subject == "plex";
        WatchdogRig rig;
        rig.configureShare();
        rig.settings.setWatchPlex(plex);
        rig.settings.setWatchVolume(!plex);
        for (const QString &finding : findings) {
            rig.fake.running = finding == "up";
            rig.fake.mounted =
                finding == "up" ? std::optional<QString>("/mnt/media") : std::nullopt;
            rig.fake.launchAnswers.answer = rig.fake.mountAnswers.answer =
                finding.endsWith("fail") ? Answer::fail : Answer::succeed;
            rig.cycle();
        }
        QTEST(rig.lines(), "history");
        QTEST(text(plex ? rig.dog.plexRunning() : rig.dog.volumeMounted()), "up");
        QTEST(rig.dog.lastMessage(), "summary");
        const int repairs = int(findings.filter("down").size());
        QCOMPARE(rig.fake.launches.size() + rig.fake.requests.size(), repairs);
        for (const FakeMachine::Posted &post : std::as_const(rig.fake.posted))
            QCOMPARE(post.subject, plex ? NotificationSubject::plex : NotificationSubject::volume);
    }

    void failedRepairsAreRetriedAndNotifiedEveryCycle()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.fake.launchAnswers.answer = rig.fake.mountAnswers.answer = Answer::fail;
        for (int i = 0; i < 3; ++i)
            rig.cycle();
        QCOMPARE(rig.countKind("Down") + rig.countKind("Failed"), 2 + 6);
        const QList<FakeMachine::Posted> &posted = rig.fake.posted;
        QCOMPARE(posted.size(), 6);
        const QRegularExpression uuid("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$");
        QSet<QString> identifiers;
        for (int i = 0; i < posted.size(); ++i) {
            QCOMPARE(posted[i].title, i % 2 ? "Couldn't mount media" : "Couldn't start Plex");
            QCOMPARE(posted[i].body, i % 2 ? mountError : launchError);
            QCOMPARE(posted[i].subject,
                     i % 2 ? NotificationSubject::volume : NotificationSubject::plex);
            QVERIFY2(uuid.match(posted[i].identifier).hasMatch(), qPrintable(posted[i].identifier));
            identifiers.insert(posted[i].identifier);
        }
        QCOMPARE(identifiers.size(), 6);
    }

    void repairsWithoutNotifications()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.settings.setUsername("ana");
        rig.settings.setNotifyOnAction(false);
        rig.settings.setShareProtocol(ShareProtocol::afp);
        rig.fake.passwords.insert("ana@box.lan/media", "s3cret-pw");
        rig.fake.mountAnswers.answer = Answer::fail;
        rig.cycle();
        QCOMPARE(rig.countKind("plexLaunched") + rig.countKind("volumeMountFailed"), 2);
        QVERIFY(rig.fake.posted.isEmpty());
        const MountRequest request = rig.fake.requests.value(0);
        QCOMPARE(request.scheme + request.host + request.share, "afpbox.lanmedia");
        QCOMPARE(request.username, std::optional<QString>("ana"));
        QCOMPARE(request.password, std::optional<QString>("s3cret-pw"));
        QVERIFY(!rig.lines().join(' ').contains("s3cret"));
    }

    void summaries()
    {
        WatchdogRig rig;
        QCOMPARE(rig.dog.lastMessage(), "Not checked yet");
        rig.fake.running = true;
        rig.settings.setServerHost(" \t");
        rig.settings.setShareName("media");
        rig.cycle();
        QCOMPARE(rig.dog.lastMessage(), "Plex running" + dot + "Volume not configured");
        QVERIFY(rig.lines().isEmpty());
        QCOMPARE(rig.fake.shareLookups, 0);

        rig.configureShare();
        rig.fake.mounted = "/mnt/media";
        rig.settings.setVerboseLogging(true);
        rig.cycle("timer");
        QCOMPARE(rig.lines(),
                 (QStringList{"checkStarted: timer", "plexOK", "volumeOK: /mnt/media"}));

        // Both watches off: only the start of the cycle is recorded, and the state is cleared.
        Clock::setSourceForTesting([] { return t0; });
        rig.settings.setWatchPlex(false);
        rig.settings.setWatchVolume(false);
        rig.cycle("wake");
        QCOMPARE(text(rig.dog.plexRunning()) + text(rig.dog.volumeMounted()), "nonenone");
        QCOMPARE(rig.dog.volumeMountPoint(), std::nullopt);
        QCOMPARE(rig.lines().mid(3), QStringList{"checkStarted: wake"});
        QCOMPARE(rig.dog.lastMessage(), "Nothing is being monitored");
        QCOMPARE(rig.dog.lastCheck(), std::optional<Instant>(t0));
    }

    void secondCycleWhileOneWaitsOnAMountDoesNothing()
    {
        QuietRig rig;
        rig.configureShare();
        rig.fake.mountAnswers.answer = Answer::hold;
        auto timerCycle = rig.dog.checkNow("timer");
        QVERIFY(rig.dog.isChecking());
        QTRY_COMPARE(rig.fake.mountAnswers.held.size(), size_t(1)); // past the password read
        const QStringList before = rig.lines();
        const int lookups = rig.fake.plexLookups + rig.fake.shareLookups;
        QSignalSpy message(&rig.dog, &Watchdog::lastMessageChanged);
        QSignalSpy checking(&rig.dog, &Watchdog::isCheckingChanged);

        QVERIFY(rig.dog.checkNow("manual").isReady());
        QCOMPARE(rig.lines(), before);
        QCOMPARE(rig.fake.plexLookups + rig.fake.shareLookups, lookups);
        QCOMPARE(message.size() + checking.size(), 0);

        rig.fake.mountAnswers.release(0);
        QCoro::waitFor(timerCycle);
        QCOMPARE(rig.dog.lastMessage(), "Plex running" + dot + "Volume remounted");
        QCOMPARE(rig.countKind("checkStarted"), 1);
    }

    void requestsLeaveTheCycleStateAlone()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.settings.setWatchPlex(false);
        rig.settings.setWatchVolume(false);
        QSignalSpy checking(&rig.dog, &Watchdog::isCheckingChanged);
        QSignalSpy message(&rig.dog, &Watchdog::lastMessageChanged);
        QSignalSpy lastCheck(&rig.dog, &Watchdog::lastCheckChanged);
        rig.fake.launchAnswers.answer = Answer::fail;
        QCoro::waitFor(rig.dog.launchPlexNow());
        rig.fake.launchAnswers.answer = Answer::succeed;
        QCoro::waitFor(rig.dog.launchPlexNow());
        QCoro::waitFor(rig.dog.mountVolumeNow());

        QCOMPARE(rig.lines(), (QStringList{"plexLaunchFailed: Manual" + dot + launchError,
                                           "plexLaunched: Manual" + dot + plexPath,
                                           "volumeDown: media was not mounted when Vigilmount "
                                           "checked",
                                           "volumeMounted: " + mountedAt}));
        QCOMPARE(rig.dog.volumeMountPoint(), std::optional<QString>(mountedAt));
        QCOMPARE(rig.fake.posted.size(), 1); // the mount's, not the manual launch's
        QCOMPARE(checking.size() + message.size() + lastCheck.size(), 0);
        QCOMPARE(rig.dog.lastMessage(), "Not checked yet");
        QVERIFY(!rig.dog.isChecking() && !rig.dog.lastCheck());
    }

    // Probe answers per cycle ("n" not answering, "f" frozen, "u" folder unreachable, "a"
    // alive; a cycle's second letter is the confirming probe) and what the history says.
    void shareHealth_data()
    {
        QTest::addColumn<QStringList>("cycles");
        QTest::addColumn<bool>("repair");
        QTest::addColumn<bool>("backendEnds");
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<bool>("notResponding");
        QTest::addColumn<int>("mounts");
        const QString notResponding = "volumeDown: media is mounted but not responding";
        const QString back = "volumeOK: Share reachable again at /mnt/media";
        QTest::newRow("alive") << QStringList{"a"} << true << true << QStringList{} << false << 0;
        QTest::newRow("a blip is not recorded")
            << QStringList{"na"} << true << true << QStringList{} << false << 0;
        QTest::newRow("not answering, then back without a remount")
            << QStringList{"nn", "nn", "a"} << true << true << QStringList{notResponding, back}
            << false << 0;
        QTest::newRow("folder unreachable: no mounts, no loop")
            << QStringList{"uu", "uu"} << true << true
            << QStringList{"volumeDown: media is mounted but its local folder isn't reachable"}
            << true << 0;
        QTest::newRow("frozen: backend ended, remounted")
            << QStringList{"ff"} << true << true
            << QStringList{notResponding, "volumeMounted: " + mountedAt} << false << 1;
        QTest::newRow("frozen, repair off")
            << QStringList{"ff"} << false << true << QStringList{notResponding} << true << 0;
        QTest::newRow("frozen, no backend to end")
            << QStringList{"ff"} << true << false << QStringList{notResponding} << true << 0;
    }
    void shareHealth()
    {
        QFETCH(QStringList, cycles);
        QFETCH(bool, repair);
        WatchdogRig rig({.confirmDelay = 1ms});
        rig.configureShare();
        rig.settings.setWatchPlex(false);
        rig.settings.setRepairUnresponsiveVolume(repair);
        QFETCH(bool, backendEnds);
        rig.fake.backendEnds = backendEnds;
        const QHash<QChar, ShareHealth> health{{'a', ShareHealth::alive},
                                               {'n', ShareHealth::notAnswering},
                                               {'f', ShareHealth::frozen},
                                               {'u', ShareHealth::folderUnreachable}};
        int probes = 0;
        for (const QString &cycle : cycles) {
            rig.fake.mounted = "/mnt/media";
            for (const QChar answer : cycle)
                rig.fake.health.append(health[answer]);
            rig.cycle();
            probes += int(cycle.size());
            QCOMPARE(rig.fake.shareProbes, probes); // a frozen share is not probed again
        }
        QTEST(rig.lines(), "history");
        QTEST(rig.dog.volumeNotResponding(), "notResponding");
        QTEST(int(rig.fake.requests.size()), "mounts");
        QCOMPARE(rig.dog.volumeMounted(), std::optional(!rig.dog.volumeNotResponding()));
        QCOMPARE(rig.fake.endedBackends.size(), cycles.first() == "ff" && repair ? 1 : 0);
        if (rig.dog.volumeNotResponding())
            QCOMPARE(rig.dog.volumeMountPoint(), std::optional<QString>("/mnt/media"));
    }

    // The confirming probe waits inside the cycle; Mount Now beside a cycle's mount joins it.
    void confirmationAndJoinedMounts()
    {
        WatchdogRig rig({.confirmDelay = 50ms});
        rig.configureShare();
        rig.settings.setWatchPlex(false);
        rig.fake.mounted = "/mnt/media";
        rig.fake.health = {ShareHealth::frozen, ShareHealth::alive};
        auto cycle = rig.dog.checkNow("timer");
        QVERIFY(rig.dog.isChecking() && rig.dog.checkNow("manual").isReady());
        QCoro::waitFor(cycle);
        QCOMPARE(rig.fake.shareProbes, 2);
        QVERIFY(rig.lines().isEmpty());

        rig.fake.mounted.reset();
        rig.fake.mountAnswers.answer = Answer::hold;
        cycle = rig.dog.checkNow("timer");
        QTRY_COMPARE(rig.fake.mountAnswers.held.size(), size_t(1));
        auto mountNow = rig.dog.mountVolumeNow();
        QTest::qWait(20);
        QVERIFY(!mountNow.isReady());
        rig.fake.mountAnswers.release(0);
        QCoro::waitFor(mountNow);
        QCoro::waitFor(cycle);
        QCOMPARE(rig.fake.requests.size(), 1);
        QCOMPARE(rig.count("volumeMounted: " + mountedAt), 1);
        QCOMPARE(rig.countKind("volumeMountFailed"), 0);
        QCOMPARE(rig.dog.volumeMounted(), std::optional(true));
    }

    void waitsThatNeverEndFailAfterTheirBound()
    {
        WatchdogRig rig({.launchBound = 50ms, .mountBound = 40ms});
        rig.configureShare();
        rig.fake.launchAnswers.answer = rig.fake.mountAnswers.answer = Answer::hold;
        const QString launchText =
            "Plex Media Server didn't report back within 0.05 seconds of being started.";
        const QString mountText = "The share didn't finish mounting within 0.04 seconds.";

        rig.dog.checkNow("timer");
        QTRY_VERIFY(!rig.dog.isChecking());
        QCOMPARE(rig.dog.lastMessage(),
                 "Plex down" + dash + launchText + dot + "Volume down" + dash + mountText);

        // A late answer, or a second one, changes nothing.
        rig.fake.launchAnswers.release(0);
        rig.fake.launchAnswers.release(0);
        QTest::qWait(30);
        QCOMPARE(rig.countKind("plexLaunched"), 0);
        QCOMPARE(rig.dog.plexRunning(), std::optional<bool>(false));

        // A watchdog destroyed mid-wait ends its waits; their answers then record nothing.
        auto dog = std::make_unique<Watchdog>(rig.settings, rig.log, rig.services());
        auto cycle = dog->checkNow("timer");
        auto mount = dog->mountVolumeNow();
        const QStringList before = rig.lines();
        dog.reset();
        QVERIFY(cycle.isReady() && mount.isReady());
        rig.fake.launchAnswers.release(1);
        QCOMPARE(rig.fake.mountAnswers.held.size(), size_t(1)); // it was reading the password
        QTest::qWait(20);
        QCOMPARE(rig.lines(), before);
    }

    // A keyring that fails or stays silent fails the repair without a mount; a missing
    // desktop service is recorded once until a mount works again.
    void keyringFailuresAndMissingServices()
    {
        QuietRig rig({.serviceBound = 40ms});
        rig.configureShare();
        const QString silent = "The login keyring didn't answer.";
        for (const Answer answer : {Answer::fail, Answer::hold}) {
            rig.fake.passwordAnswers.answer = answer;
            rig.cycle();
            const QString failure = answer == Answer::fail ? keyringLocked : silent;
            QCOMPARE(rig.lines().last(), "volumeMountFailed: " + failure);
            QCOMPARE(rig.dog.lastMessage(), "Plex running" + dot + "Volume down" + dash + failure);
        }
        QVERIFY(rig.fake.requests.isEmpty());

        rig.fake.passwordAnswers.answer = Answer::succeed;
        const QString noKeyring = "The login keyring isn't available.";
        const QString noGvfs = "The desktop's network-share service (GVfs) isn't running.";
        const auto errorsAfter = [&rig](const std::optional<QString> &missing, Answer mount) {
            rig.fake.missing = missing;
            rig.fake.mountAnswers.answer = mount;
            rig.cycle();
            return rig.lines().filter(QRegularExpression("^error: ")).size();
        };
        QCOMPARE(errorsAfter(noKeyring, Answer::fail), 1);
        QCOMPARE(rig.lines().last(), "error: " + noKeyring); // after the failure it explains
        QCOMPARE(errorsAfter(noKeyring, Answer::fail), 1);
        QCOMPARE(errorsAfter(noGvfs, Answer::fail), 2);
        QCOMPARE(errorsAfter(std::nullopt, Answer::fail), 2);
        QCOMPARE(errorsAfter(noGvfs, Answer::fail), 3);
        QCOMPARE(errorsAfter(noGvfs, Answer::succeed), 3);
        QCOMPARE(errorsAfter(noGvfs, Answer::fail), 4);
    }

    void startRunsItsStepsInOrderAndStopEndsTheTimer()
    {
        QuietRig rig({.timerPeriod = 20ms});
        QStringList historyAtPermission;
        bool timerArmedAtPermission = true;
        rig.fake.onPermissionRequest = [&] {
            historyAtPermission = rig.lines();
            timerArmedAtPermission = rig.dog.isTimerArmed();
        };
        for (int days : {10, 5}) {
            Clock::setSourceForTesting([days] { return t0 - days * 24h; });
            rig.log.record(LogEvent::Kind::info, QString("%1 days old").arg(days));
        }
        Clock::setSourceForTesting([] { return t0; });
        rig.settings.setLogRetentionDays(3); // pruned to at least 7 days

        rig.dog.start();
        QCOMPARE(historyAtPermission.size(), 2);
        QVERIFY(historyAtPermission[0].endsWith("5 days old"));
        QCOMPARE(historyAtPermission[1], "appStarted");
        QVERIFY(!timerArmedAtPermission);
        QVERIFY(rig.dog.isTimerArmed());
        QCOMPARE(rig.dog.timerArmedAt(), std::optional<Instant>(t0));

        // The start-up cycle waits until the caller is back in the event loop.
        QCOMPARE(rig.fake.plexLookups, 0);
        QVERIFY(!rig.dog.isChecking());
        QTRY_COMPARE(rig.cycles("startup"), 1);
        QCOMPARE(rig.lines().mid(1, 3),
                 (QStringList{"appStarted", "checkStarted: startup", "plexOK"}));

        QTRY_VERIFY(rig.cycles("timer") >= 2);
        rig.dog.stop();
        QVERIFY(!rig.dog.isTimerArmed());
        QTest::qWait(120);
        QCOMPARE(rig.lines().last(), "appStopped");
    }

    void everyIntervalSetReArmsTheTimerAboveItsFloor()
    {
        QuietRig rig;
        Instant now = t0;
        Clock::setSourceForTesting([&now] { return now; });
        rig.settings.setCheckIntervalMinutes(std::numeric_limits<double>::quiet_NaN());
        rig.dog.start();
        QCOMPARE(rig.dog.timerInterval(), 30'000ms); // the floor
        for (double minutes : {0.25, 0.0, -2.0}) {
            rig.settings.setCheckIntervalMinutes(minutes);
            QCOMPARE(rig.dog.timerInterval(), 30'000ms);
        }
        now = t0 + 100s;
        rig.settings.setCheckIntervalMinutes(10);
        QCOMPARE(rig.dog.timerInterval(), 600'000ms);
        QCOMPARE(rig.dog.timerArmedAt(), std::optional<Instant>(t0 + 100s));
        now = t0 + 150s;
        rig.settings.setCheckIntervalMinutes(10); // the same value re-arms too
        QCOMPARE(rig.dog.timerArmedAt(), std::optional<Instant>(t0 + 150s));

        // Cycles of their own do not move the schedule.
        now = t0 + 170s;
        QTRY_COMPARE(rig.cycles("startup"), 1);
        rig.cycle();
        QCOMPARE(rig.dog.timerArmedAt(), std::optional<Instant>(t0 + 150s));
    }

    void wakeRecordsAtOnceAndChecksAfterTheDelay_data()
    {
        QTest::addColumn<bool>("checkOnWake");
        QTest::newRow("on") << true;
        QTest::newRow("off") << false;
    }
    void wakeRecordsAtOnceAndChecksAfterTheDelay()
    {
        QFETCH(bool, checkOnWake);
        QuietRig rig({.wakeDelay = 150ms});
        rig.settings.setCheckOnWake(checkOnWake);
        rig.dog.start();
        QTRY_COMPARE(rig.cycles("startup"), 1);
        const QStringList before = rig.lines();
        const int lookups = rig.fake.plexLookups;

        QElapsedTimer elapsed;
        elapsed.start();
        rig.fake.wake();
        rig.fake.wake(); // within the delay: two records, two delayed cycles
        QCOMPARE(rig.fake.plexLookups, lookups);
        if (!checkOnWake) {
            QTest::qWait(250);
            QCOMPARE(rig.lines(), before);
            return;
        }
        QCOMPARE(rig.lines().mid(before.size()), (QStringList{"wake", "wake"}));
        QTRY_COMPARE(rig.cycles("wake"), 2);
        QVERIFY2(elapsed.elapsed() >= 140, qPrintable(QString::number(elapsed.elapsed())));
    }

    // A server that fails three probes in a row on the same process is recorded once as not
    // answering and restarted, at most twice within the window, and never while the share is
    // unhealthy. cycles: probe answers per cycle ("n" fails, "y" answers).
    void hungServer_data()
    {
        QTest::addColumn<QStringList>("cycles");
        QTest::addColumn<bool>("shareDown");
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<int>("probes");
        const QString hung = "plexDown: Plex Media Server isn't answering";
        const QString restarted = "plexLaunched: " + plexPath;
        QTest::newRow("two failures, then an answer")
            << QStringList{"nny"} << false << QStringList{} << 3;
        QTest::newRow("three failures: one restart")
            << QStringList{"nnn", "y"} << false << QStringList{hung, restarted} << 4;
        QTest::newRow("share unhealthy: reported once, no restart")
            << QStringList{"nnn", "nnn"} << true << QStringList{hung} << 6;
        QTest::newRow("a third hang within the hour is left alone, recorded once")
            << QStringList{"nnn", "nnn", "nnn", "nnn"} << false
            << QStringList{hung,
                           restarted,
                           hung,
                           restarted,
                           hung,
                           "plexLaunchFailed: Plex Media Server keeps hanging; Vigilmount "
                           "stopped restarting it for now."}
            << 12;
    }

    void hungServer()
    {
        QFETCH(QStringList, cycles);
        QFETCH(bool, shareDown);
        Clock::setSourceForTesting([] { return t0; });
        WatchdogRig rig({.probeRetryDelay = 1ms});
        rig.settings.setWatchVolume(shareDown);
        rig.configureShare();
        rig.fake.mountAnswers.answer = Answer::fail;
        rig.fake.running = true;
        rig.fake.process = ServerProcess{.pid = 7, .startedAt = t0 - 121s};
        for (const QString &answers : cycles) {
            for (QChar answer : answers)
                rig.fake.probeAnswers.append(answer == u'y');
            rig.cycle();
        }
        QTEST(rig.lines().filter(QRegularExpression("^plex")), "history");
        QTEST(rig.fake.serverProbes, "probes");
        QCOMPARE(rig.fake.restarted.size(), rig.countKind("plexLaunched"));
        QCOMPARE(rig.dog.plexNotAnswering(), cycles.last() == "nnn");
        QCOMPARE(rig.dog.plexRunning(), std::optional(cycles.last() != "nnn"));
        if (!rig.fake.restarted.isEmpty())
            QCOMPARE(rig.fake.posted.first().body,
                     "Plex Media Server stopped answering, so Vigilmount restarted it.");

        // A server that started within the grace period is not probed; the window passes.
        const int probed = rig.fake.serverProbes;
        rig.fake.process->startedAt = t0 - 119s;
        rig.cycle();
        QCOMPARE(rig.fake.serverProbes, probed);
    }

    // "Start Plex Now" while a cycle's launch is out joins it; a launched program that isn't
    // the server is not started again and is recorded once.
    void oneLaunchAtATime()
    {
        WatchdogRig rig;
        rig.settings.setWatchVolume(false);
        rig.fake.launchAnswers.answer = Answer::hold;
        auto cycle = rig.dog.checkNow("timer");
        auto manual = rig.dog.launchPlexNow();
        QCOMPARE(rig.fake.launches, QStringList{plexPath});
        rig.fake.launchAnswers.release();
        QCoro::waitFor(std::move(cycle));
        QCoro::waitFor(std::move(manual));
        QCOMPARE(rig.countKind("plexLaunched"), 2);

        rig.fake.stray = "/opt/other";
        rig.cycle();
        rig.cycle();
        QCoro::waitFor(rig.dog.launchPlexNow());
        QCOMPARE(rig.fake.launches.size(), 1);
        QCOMPARE(rig.count("plexLaunchFailed: The program at /opt/other is running but isn't "
                           "recognised as Plex Media Server."),
                 1);
        QCOMPARE(rig.countKind("plexLaunchFailed: Manual"), 1);
    }
};

QTEST_GUILESS_MAIN(WatchdogTest)
#include "WatchdogTest.moc"
