// The check cycle against fake platform services: transitions and their records, repairs and
// their notifications, summary texts, the re-entry guard, the operations on request, and the
// bridge from completions (any thread, or never) back into the cycle.

#include "WatchdogRig.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

namespace {
const QString plexPath = QStringLiteral("/usr/lib/plexmediaserver/Plex Media Server");
const QString launchError = QStringLiteral("Plex Media Server wasn't found at \"/opt/plex\"");
const QString mountedAt =
    QStringLiteral("/run/user/1000/gvfs/smb-share:server=box.lan,share=media");
const QString mountError =
    QStringLiteral("The server couldn't be reached on the network. (code 113)");
} // namespace

class WatchdogCycleTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        resetSettingsFile();
        Clock::setSourceForTesting({});
    }

    // ---- transitions ---------------------------------------------------------------------

    void mediaServerTransitions_data()
    {
        QTest::addColumn<QStringList>("findings");
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<QString>("running");
        QTest::addColumn<QString>("summary");

        const QString notRunning = QStringLiteral("plexDown: Not running when Vigilmount checked");
        const QString stopped = QStringLiteral("plexDown: Plex stopped running");
        const QString launched = QStringLiteral("plexLaunched: ") + plexPath;
        const QString failed = QStringLiteral("plexLaunchFailed: ") + launchError;
        const QString restartedText = QStringLiteral("Plex restarted");
        const QString downText = QStringLiteral("Plex down \u2014 ") + launchError;

        QTest::newRow("none, up") << QStringList{"up"} << QStringList{} << "true"
                                  << "Plex running";
        QTest::newRow("true, up") << QStringList{"up", "up"} << QStringList{} << "true"
                                  << "Plex running";
        QTest::newRow("false, up")
            << QStringList{"down+fail", "up"}
            << QStringList{notRunning, failed, "plexOK: Plex is running again"} << "true"
            << "Plex running";
        QTest::newRow("none, down, repaired")
            << QStringList{"down+ok"} << QStringList{notRunning, launched} << "true"
            << restartedText;
        QTest::newRow("true, down, not repaired")
            << QStringList{"up", "down+fail"} << QStringList{stopped, failed} << "false"
            << downText;
        QTest::newRow("false, down: no second down record")
            << QStringList{"down+fail", "down+ok"} << QStringList{notRunning, failed, launched}
            << "true" << restartedText;
        QTest::newRow("up after a repair: no running-again record")
            << QStringList{"down+ok", "up"} << QStringList{notRunning, launched} << "true"
            << "Plex running";
        QTest::newRow("down after a repair: stopped running")
            << QStringList{"down+ok", "down+fail"}
            << QStringList{notRunning, launched, stopped, failed} << "false" << downText;
    }

    void mediaServerTransitions()
    {
        QFETCH(QStringList, findings);
        WatchdogRig rig;
        rig.settings.setWatchVolume(false);
        for (const QString &finding : findings) {
            rig.server->running = finding == QLatin1String("up");
            rig.server->answer =
                finding == QLatin1String("down+fail") ? Answer::fail : Answer::succeed;
            rig.cycle();
        }
        QTEST(rig.lines(), "history");
        QTEST(text(rig.dog.plexRunning()), "running");
        QTEST(rig.dog.lastMessage(), "summary");
        QCOMPARE(rig.server->launches.size(), findings.filter(QStringLiteral("down")).size());
    }

    void shareTransitions_data()
    {
        QTest::addColumn<QStringList>("findings");
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<QString>("mounted");
        QTest::addColumn<QString>("mountPoint");
        QTest::addColumn<QString>("summary");

        const QString notMounted =
            QStringLiteral("volumeDown: media was not mounted when Vigilmount checked");
        const QString disconnected = QStringLiteral("volumeDown: media disconnected");
        const QString remounted = QStringLiteral("volumeMounted: ") + mountedAt;
        const QString failed = QStringLiteral("volumeMountFailed: ") + mountError;
        const QString downText = QStringLiteral("Volume down \u2014 ") + mountError;

        QTest::newRow("none, up") << QStringList{"up"} << QStringList{} << "true"
                                  << "/mnt/media"
                                  << "Volume mounted";
        QTest::newRow("true, up") << QStringList{"up", "up"} << QStringList{} << "true"
                                  << "/mnt/media"
                                  << "Volume mounted";
        QTest::newRow("false, up")
            << QStringList{"down+fail", "up"}
            << QStringList{notMounted, failed, "volumeOK: Share reachable again at /mnt/media"}
            << "true"
            << "/mnt/media"
            << "Volume mounted";
        QTest::newRow("none, down, remounted")
            << QStringList{"down+ok"} << QStringList{notMounted, remounted} << "true" << mountedAt
            << "Volume remounted";
        QTest::newRow("true, down, not remounted")
            << QStringList{"up", "down+fail"} << QStringList{disconnected, failed} << "false"
            << "" << downText;
        QTest::newRow("false, down: no second down record")
            << QStringList{"down+fail", "down+ok"} << QStringList{notMounted, failed, remounted}
            << "true" << mountedAt << "Volume remounted";
        QTest::newRow("up after a remount: no reachable-again record")
            << QStringList{"down+ok", "up"} << QStringList{notMounted, remounted} << "true"
            << "/mnt/media"
            << "Volume mounted";
        QTest::newRow("down after a remount: disconnected")
            << QStringList{"down+ok", "down+fail"}
            << QStringList{notMounted, remounted, disconnected, failed} << "false"
            << "" << downText;
    }

    void shareTransitions()
    {
        QFETCH(QStringList, findings);
        WatchdogRig rig;
        rig.settings.setWatchPlex(false);
        rig.configureShare();
        for (const QString &finding : findings) {
            rig.share->mounted = finding == QLatin1String("up")
                                     ? std::optional<QString>(QStringLiteral("/mnt/media"))
                                     : std::nullopt;
            rig.share->answer =
                finding == QLatin1String("down+fail") ? Answer::fail : Answer::succeed;
            rig.cycle();
        }
        QTEST(rig.lines(), "history");
        QTEST(text(rig.dog.volumeMounted()), "mounted");
        QTEST(rig.dog.volumeMountPoint().value_or(QString()), "mountPoint");
        QTEST(rig.dog.lastMessage(), "summary");
    }

    // ---- repairs and notifications -------------------------------------------------------

    void failingRepairsAreRetriedAndNotifiedEveryCycle()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.server->answer = Answer::fail;
        rig.share->answer = Answer::fail;
        for (int i = 0; i < 3; ++i)
            rig.cycle(QStringLiteral("timer"));

        const QStringList kinds = rig.kinds();
        QCOMPARE(kinds.count(QStringLiteral("plexDown")), 1);
        QCOMPARE(kinds.count(QStringLiteral("plexLaunchFailed")), 3);
        QCOMPARE(kinds.count(QStringLiteral("volumeDown")), 1);
        QCOMPARE(kinds.count(QStringLiteral("volumeMountFailed")), 3);
        QCOMPARE(rig.lines().last(), QStringLiteral("volumeMountFailed: ") + mountError);

        const QList<Posted> &posted = rig.notifications->posted;
        QCOMPARE(posted.size(), 6);
        QSet<QString> identifiers;
        const QRegularExpression uuid(
            QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
        for (int i = 0; i < posted.size(); ++i) {
            const bool plex = i % 2 == 0;
            QCOMPARE(posted[i].title, plex ? QStringLiteral("Couldn't start Plex")
                                           : QStringLiteral("Couldn't mount media"));
            QCOMPARE(posted[i].body, plex ? launchError : mountError);
            QVERIFY2(uuid.match(posted[i].identifier).hasMatch(), qPrintable(posted[i].identifier));
            identifiers.insert(posted[i].identifier);
        }
        QCOMPARE(identifiers.size(), 6);
        QCOMPARE(rig.dog.lastMessage(), QStringLiteral("Plex down \u2014 ") + launchError +
                                            QStringLiteral(" \u00B7 Volume down \u2014 ") +
                                            mountError);
    }

    void bothRepairsInOneCycle()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.settings.setShareProtocol(ShareProtocol::afp);
        rig.credentials->passwords.insert(QStringLiteral("ana@box.lan/media"),
                                          QStringLiteral("s3cret-pw"));
        rig.cycle();

        QCOMPARE(rig.dog.lastMessage(), QStringLiteral("Plex restarted \u00B7 Volume remounted"));
        QCOMPARE(rig.notifications->posted.size(), 2);
        QCOMPARE(rig.notifications->posted[0].title, QStringLiteral("Plex restarted"));
        QCOMPARE(rig.notifications->posted[0].body,
                 QStringLiteral("Plex Media Server wasn't running, so Vigilmount started it."));
        QCOMPARE(rig.notifications->posted[1].title, QStringLiteral("Plex volume reconnected"));
        QCOMPARE(rig.notifications->posted[1].body,
                 QStringLiteral("media is mounted at ") + mountedAt + QStringLiteral("."));
        QVERIFY(rig.notifications->posted[0].identifier != rig.notifications->posted[1].identifier);

        // The mount gets the settings as stored and the password read under the account.
        QCOMPARE(rig.share->requests.size(), 1);
        const MountRequest &request = rig.share->requests.first();
        QCOMPARE(request.scheme, QStringLiteral("afp"));
        QCOMPARE(request.host, QStringLiteral("box.lan"));
        QCOMPARE(request.share, QStringLiteral("media"));
        QCOMPARE(request.username, std::optional<QString>(QStringLiteral("ana")));
        QCOMPARE(request.password, std::optional<QString>(QStringLiteral("s3cret-pw")));
        QCOMPARE(rig.server->launches, QStringList{plexPath});
        for (const QString &line : rig.lines())
            QVERIFY(!line.contains(QStringLiteral("s3cret")));
        for (const Posted &posted : rig.notifications->posted)
            QVERIFY(!posted.body.contains(QStringLiteral("s3cret")));
    }

    void missingPasswordIsPassedAsNone()
    {
        WatchdogRig rig;
        rig.settings.setWatchPlex(false);
        rig.configureShare();
        rig.cycle();
        QCOMPARE(rig.credentials->asked, QStringList{QStringLiteral("ana@box.lan/media")});
        QCOMPARE(rig.share->requests.first().password, std::nullopt);
    }

    void notifyOnActionOffRecordsButPostsNothing()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.settings.setNotifyOnAction(false);
        rig.share->answer = Answer::fail;
        rig.cycle();
        QVERIFY(rig.kinds().contains(QStringLiteral("plexLaunched")));
        QVERIFY(rig.kinds().contains(QStringLiteral("volumeMountFailed")));
        QVERIFY(rig.notifications->posted.isEmpty());
    }

    // ---- summary and state ---------------------------------------------------------------

    void nothingMonitored()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.share->mounted = QStringLiteral("/mnt/media");
        rig.server->running = true;
        rig.cycle();
        QCOMPARE(rig.dog.plexRunning(), std::optional<bool>(true));
        QCOMPARE(rig.dog.volumeMounted(), std::optional<bool>(true));

        const Instant at = Clock::fromDateTime(
            QDateTime::fromString(QStringLiteral("2026-03-01T08:15:00.500Z"), Qt::ISODateWithMs));
        Clock::setSourceForTesting([at] { return at; });
        rig.settings.setWatchPlex(false);
        rig.settings.setWatchVolume(false);
        rig.settings.setVerboseLogging(true);
        rig.cycle(QStringLiteral("timer"));

        QCOMPARE(rig.dog.plexRunning(), std::nullopt);
        QCOMPARE(rig.dog.volumeMounted(), std::nullopt);
        QCOMPARE(rig.dog.volumeMountPoint(), std::nullopt);
        QCOMPARE(rig.lines(), QStringList{QStringLiteral("checkStarted: timer")});
        QCOMPARE(rig.dog.lastMessage(), QStringLiteral("Nothing is being monitored"));
        QCOMPARE(rig.dog.lastCheck(), std::optional<Instant>(at));
        QVERIFY(!rig.dog.isChecking());
    }

    void shareNotConfigured()
    {
        WatchdogRig rig;
        rig.server->running = true;
        rig.settings.setServerHost(QStringLiteral(" \t"));
        rig.settings.setShareName(QStringLiteral("media"));
        rig.cycle();
        QCOMPARE(rig.dog.lastMessage(),
                 QStringLiteral("Plex running \u00B7 Volume not configured"));
        QCOMPARE(rig.dog.volumeMounted(), std::nullopt);
        QVERIFY(rig.lines().isEmpty());
        QCOMPARE(rig.share->lookups, 0);
        QVERIFY(rig.credentials->asked.isEmpty());
    }

    void verboseRecordsRoutineFindings()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.settings.setVerboseLogging(true);
        rig.server->running = true;
        rig.share->mounted = QStringLiteral("/mnt/media");
        rig.cycle(QStringLiteral("timer"));
        rig.cycle(QStringLiteral("manual mount"));
        QCOMPARE(rig.lines(),
                 (QStringList{"checkStarted: timer", "plexOK", "volumeOK: /mnt/media",
                              "checkStarted: manual mount", "plexOK", "volumeOK: /mnt/media"}));
    }

    void initialStateAndNotifications()
    {
        WatchdogRig rig;
        QCOMPARE(rig.dog.lastMessage(), QStringLiteral("Not checked yet"));
        QCOMPARE(rig.dog.lastCheck(), std::nullopt);
        QCOMPARE(rig.dog.plexRunning(), std::nullopt);

        // Every assignment notifies, also when nothing changed.
        rig.server->running = true;
        rig.settings.setWatchVolume(false);
        QSignalSpy running(&rig.dog, &Watchdog::plexRunningChanged);
        QSignalSpy checking(&rig.dog, &Watchdog::isCheckingChanged);
        rig.cycle();
        rig.cycle();
        QCOMPARE(running.size(), 2);
        QCOMPARE(checking.size(), 4);
    }

    void shareSwitchedOffWhileLaunchWaits()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.server->answer = Answer::hold;
        auto task = rig.dog.checkNow(QStringLiteral("timer"));
        rig.settings.setWatchVolume(false);
        rig.server->held.front()(LaunchOutcome{true, plexPath, {}});
        QCoro::waitFor(task);
        QCOMPARE(rig.dog.lastMessage(), QStringLiteral("Plex restarted"));
        QCOMPARE(rig.share->lookups, 0);
    }

    // ---- re-entry and operations on request ----------------------------------------------

    void secondCycleWhileOneWaitsDoesNothing()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.server->running = true;
        rig.settings.setVerboseLogging(true);
        rig.share->answer = Answer::hold;
        auto timerCycle = rig.dog.checkNow(QStringLiteral("timer"));
        QVERIFY(rig.dog.isChecking());
        const QStringList before = rig.lines();
        const int lookups = rig.server->lookups + rig.share->lookups;

        QSignalSpy anySignal(&rig.dog, &Watchdog::lastMessageChanged);
        QSignalSpy checking(&rig.dog, &Watchdog::isCheckingChanged);
        QSignalSpy running(&rig.dog, &Watchdog::plexRunningChanged);
        auto manual = rig.dog.checkNow(QStringLiteral("manual"));
        QVERIFY(manual.isReady());
        QCOMPARE(rig.lines(), before);
        QCOMPARE(rig.server->lookups + rig.share->lookups, lookups);
        QCOMPARE(anySignal.size() + checking.size() + running.size(), 0);

        rig.share->held.front()(MountOutcome{true, mountedAt, {}});
        QCoro::waitFor(timerCycle);
        QCOMPARE(rig.dog.lastMessage(), QStringLiteral("Plex running \u00B7 Volume remounted"));
        QCOMPARE(rig.kinds().count(QStringLiteral("checkStarted")), 1);
    }

    void launchOnRequest()
    {
        WatchdogRig rig;
        rig.settings.setWatchPlex(false);
        rig.server->running = true; // not looked at
        QSignalSpy checking(&rig.dog, &Watchdog::isCheckingChanged);
        QSignalSpy message(&rig.dog, &Watchdog::lastMessageChanged);
        QSignalSpy lastCheck(&rig.dog, &Watchdog::lastCheckChanged);

        rig.server->answer = Answer::fail;
        QCoro::waitFor(rig.dog.launchPlexNow());
        rig.server->answer = Answer::succeed;
        QCoro::waitFor(rig.dog.launchPlexNow());

        QCOMPARE(rig.lines(),
                 (QStringList{QStringLiteral("plexLaunchFailed: Manual \u00B7 ") + launchError,
                              QStringLiteral("plexLaunched: Manual \u00B7 ") + plexPath}));
        QCOMPARE(rig.dog.plexRunning(), std::optional<bool>(true));
        QVERIFY(rig.notifications->posted.isEmpty());
        QCOMPARE(checking.size() + message.size() + lastCheck.size(), 0);
        QCOMPARE(rig.server->lookups, 0);

        // The launch counts as a finding of "up": the next miss is a stop.
        rig.settings.setWatchPlex(true);
        rig.server->running = false;
        rig.cycle();
        QCOMPARE(rig.lines().at(2), QStringLiteral("plexDown: Plex stopped running"));
    }

    void mountOnRequest()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.settings.setWatchVolume(false); // not looked at
        QSignalSpy checking(&rig.dog, &Watchdog::isCheckingChanged);
        QSignalSpy message(&rig.dog, &Watchdog::lastMessageChanged);
        QSignalSpy lastCheck(&rig.dog, &Watchdog::lastCheckChanged);
        QCoro::waitFor(rig.dog.mountVolumeNow());

        QCOMPARE(rig.lines(),
                 (QStringList{"volumeDown: media was not mounted when Vigilmount checked",
                              QStringLiteral("volumeMounted: ") + mountedAt}));
        QCOMPARE(rig.notifications->posted.size(), 1);
        QCOMPARE(rig.dog.volumeMountPoint(), std::optional<QString>(mountedAt));
        QCOMPARE(checking.size() + message.size() + lastCheck.size(), 0);
        QCOMPARE(rig.dog.lastMessage(), QStringLiteral("Not checked yet"));
    }

    void requestsRunWhileACycleWaits()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.server->running = true;
        rig.share->answer = Answer::hold;
        auto cycle = rig.dog.checkNow(QStringLiteral("timer"));
        QCoro::waitFor(rig.dog.launchPlexNow());
        QCOMPARE(rig.server->launches.size(), 1);
        QVERIFY(rig.dog.isChecking());
        rig.share->held.front()(MountOutcome{false, {}, mountError});
        QCoro::waitFor(cycle);
        QVERIFY(!rig.dog.isChecking());
    }

    void openVolume()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.dog.openVolume(); // nowhere to go
        QVERIFY(rig.share->opened.isEmpty());

        rig.share->mounted = QStringLiteral("/mnt/media");
        QSignalSpy mountPoint(&rig.dog, &Watchdog::volumeMountPointChanged);
        rig.dog.openVolume(); // looked up, not stored
        QCOMPARE(rig.share->opened, QStringList{QStringLiteral("/mnt/media")});
        QCOMPARE(mountPoint.size(), 0);
        QCOMPARE(rig.dog.volumeMountPoint(), std::nullopt);

        rig.cycle();
        rig.share->mounted.reset();
        rig.dog.openVolume(); // the known mount point comes first
        QCOMPARE(rig.share->opened.last(), QStringLiteral("/mnt/media"));
    }

    // ---- completions ---------------------------------------------------------------------

    void completionsFromOtherThreadsResumeOnTheMainThread()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.server->answer = Answer::fromThread;
        rig.share->answer = Answer::fromThread;
        QList<QThread *> threads;
        connect(
            &rig.dog, &Watchdog::plexRunningChanged, this,
            [&] { threads.append(QThread::currentThread()); }, Qt::DirectConnection);
        connect(
            &rig.dog, &Watchdog::volumeMountedChanged, this,
            [&] { threads.append(QThread::currentThread()); }, Qt::DirectConnection);

        // Dropped at once, as the menu and the timer do: the cycle still runs to its end.
        rig.dog.checkNow(QStringLiteral("manual"));
        QTRY_VERIFY(!rig.dog.isChecking());
        QCOMPARE(rig.dog.lastMessage(), QStringLiteral("Plex restarted \u00B7 Volume remounted"));
        QCOMPARE(threads.size(), 4);
        for (QThread *thread : threads)
            QCOMPARE(thread, QCoreApplication::instance()->thread());
    }

    void launchThatNeverReportsBackFailsAfterTheBound()
    {
        WatchdogRig rig;
        rig.settings.setWatchVolume(false);
        rig.server->answer = Answer::hold;
        rig.dog.setLaunchBound(50ms);
        const QString description = QStringLiteral(
            "Plex Media Server didn't report back within 0.05 seconds of being started.");

        rig.dog.checkNow(QStringLiteral("timer"));
        QVERIFY(rig.dog.isChecking());
        QTRY_VERIFY(!rig.dog.isChecking());
        QCOMPARE(rig.dog.lastMessage(), QStringLiteral("Plex down \u2014 ") + description);
        QCOMPARE(rig.lines().last(), QStringLiteral("plexLaunchFailed: ") + description);
        QCOMPARE(rig.notifications->posted.last().body, description);

        // A late answer, and a second answer of the same completion, change nothing.
        rig.server->held.front()(LaunchOutcome{true, plexPath, {}});
        rig.server->held.front()(LaunchOutcome{true, plexPath, {}});
        QTest::qWait(50);
        QCOMPARE(rig.kinds().count(QStringLiteral("plexLaunched")), 0);
        QCOMPARE(rig.dog.plexRunning(), std::optional<bool>(false));

        QCoro::waitFor(rig.dog.launchPlexNow());
        QCOMPARE(rig.lines().last(),
                 QStringLiteral("plexLaunchFailed: Manual \u00B7 ") + description);
    }

    void mountThatNeverReportsBackFailsAfterTheBound()
    {
        WatchdogRig rig;
        rig.settings.setWatchPlex(false);
        rig.configureShare();
        rig.share->answer = Answer::hold;
        rig.dog.setMountBound(40ms);
        QCoro::waitFor(rig.dog.checkNow(QStringLiteral("timer")));
        QCOMPARE(rig.lines().last(),
                 QStringLiteral(
                     "volumeMountFailed: The share didn't finish mounting within 0.04 seconds."));
    }

    void answerInsideTheCallResumesLater()
    {
        WatchdogRig rig;
        rig.settings.setWatchVolume(false);
        auto task = rig.dog.checkNow(QStringLiteral("manual"));
        // The fake answered inside launch(); the cycle continues from the event loop.
        QVERIFY(rig.dog.isChecking());
        QCOMPARE(rig.kinds(), QStringList{QStringLiteral("plexDown")});
        QCoro::waitFor(task);
        QCOMPARE(rig.kinds(), (QStringList{"plexDown", "plexLaunched"}));
    }
};

QTEST_GUILESS_MAIN(WatchdogCycleTest)
#include "WatchdogCycleTest.moc"
