// The check cycle against fake services: transitions and their records, repairs and their
// notifications, summaries, the re-entry guard, the operations on request, and completions
// that arrive on other threads, inside the call, late or never.

#include "WatchdogRig.h"

#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

namespace {
const QString plexPath = FakeMediaServer::path;
const QString launchError = FakeMediaServer::error;
const QString mountedAt = FakeShare::at;
const QString mountError = FakeShare::error;
const QString dot = QStringLiteral(" \u00B7 ");
const QString dash = QStringLiteral(" \u2014 ");

// Runs cycles on findings "up", "down+ok" (repaired) or "down+fail", one per cycle.
template <typename Setup>
void runFindings(WatchdogRig &rig, const QStringList &findings, Setup setFound)
{
    for (const QString &finding : findings) {
        setFound(finding == QLatin1String("up"));
        const Answer answer = finding.endsWith("fail") ? Answer::fail : Answer::succeed;
        rig.server->answers.answer = rig.share->answers.answer = answer;
        rig.cycle();
    }
}

void addTransitionRows(const QString &down, const QString &stopped, const QString &back,
                       const QString &repaired, const QString &failed, const QString &upText,
                       const QString &repairedText, const QString &failedText)
{
    QTest::addColumn<QStringList>("findings");
    QTest::addColumn<QStringList>("history");
    QTest::addColumn<QString>("up");
    QTest::addColumn<QString>("summary");
    using L = QStringList;
    QTest::newRow("none, up") << L{"up"} << L{} << "true" << upText;
    QTest::newRow("true, up") << L{"up", "up"} << L{} << "true" << upText;
    QTest::newRow("false, up") << L{"down+fail", "up"} << L{down, failed, back} << "true" << upText;
    QTest::newRow("none, down") << L{"down+ok"} << L{down, repaired} << "true" << repairedText;
    QTest::newRow("true, down") << L{"up", "down+fail"} << L{stopped, failed} << "false"
                                << failedText;
    QTest::newRow("false, down: tried again, no second down record")
        << L{"down+fail", "down+ok"} << L{down, failed, repaired} << "true" << repairedText;
    QTest::newRow("up after a repair: no back-again record")
        << L{"down+ok", "up"} << L{down, repaired} << "true" << upText;
    QTest::newRow("down after a repair")
        << L{"down+ok", "down+fail"} << L{down, repaired, stopped, failed} << "false" << failedText;
}
} // namespace

class WatchdogCycleTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // ---- transitions ---------------------------------------------------------------------

    void mediaServerTransitions_data()
    {
        addTransitionRows("plexDown: Not running when Vigilmount checked",
                          "plexDown: Plex stopped running", "plexOK: Plex is running again",
                          "plexLaunched: " + plexPath, "plexLaunchFailed: " + launchError,
                          "Plex running", "Plex restarted", "Plex down" + dash + launchError);
    }
    void mediaServerTransitions()
    {
        QFETCH(QStringList, findings);
        WatchdogRig rig;
        rig.settings.setWatchVolume(false);
        runFindings(rig, findings, [&](bool up) { rig.server->running = up; });
        QTEST(rig.lines(), "history");
        QTEST(text(rig.dog.plexRunning()), "up");
        QTEST(rig.dog.lastMessage(), "summary");
        QCOMPARE(rig.server->launches.size(), findings.filter("down").size());
    }

    void shareTransitions_data()
    {
        addTransitionRows("volumeDown: media was not mounted when Vigilmount checked",
                          "volumeDown: media disconnected",
                          "volumeOK: Share reachable again at /mnt/media",
                          "volumeMounted: " + mountedAt, "volumeMountFailed: " + mountError,
                          "Volume mounted", "Volume remounted", "Volume down" + dash + mountError);
    }
    void shareTransitions()
    {
        QFETCH(QStringList, findings);
        WatchdogRig rig;
        rig.settings.setWatchPlex(false);
        rig.configureShare();
        runFindings(rig, findings, [&](bool up) {
            rig.share->mounted = up ? std::optional<QString>("/mnt/media") : std::nullopt;
        });
        QTEST(rig.lines(), "history");
        QTEST(text(rig.dog.volumeMounted()), "up");
        QTEST(rig.dog.lastMessage(), "summary");
        const bool up = text(rig.dog.volumeMounted()) == "true";
        QCOMPARE(rig.dog.volumeMountPoint().has_value(), up);
    }

    // ---- repairs and notifications -------------------------------------------------------

    void failedRepairsAreRetriedAndNotifiedEveryCycle()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.server->answers.answer = rig.share->answers.answer = Answer::fail;
        for (int i = 0; i < 3; ++i)
            rig.cycle();
        QCOMPARE(rig.countKind("plexDown"), 1);
        QCOMPARE(rig.countKind("volumeDown"), 1);
        QCOMPARE(rig.count("plexLaunchFailed: " + launchError), 3);
        QCOMPARE(rig.count("volumeMountFailed: " + mountError), 3);
        QCOMPARE(rig.dog.lastMessage(),
                 "Plex down" + dash + launchError + dot + "Volume down" + dash + mountError);

        const QList<Posted> &posted = rig.notifications->posted;
        QCOMPARE(posted.size(), 6);
        const QRegularExpression uuid("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$");
        QSet<QString> identifiers;
        for (int i = 0; i < posted.size(); ++i) {
            QCOMPARE(posted[i].title, i % 2 ? "Couldn't mount media" : "Couldn't start Plex");
            QCOMPARE(posted[i].body, i % 2 ? mountError : launchError);
            QVERIFY2(uuid.match(posted[i].identifier).hasMatch(), qPrintable(posted[i].identifier));
            identifiers.insert(posted[i].identifier);
        }
        QCOMPARE(identifiers.size(), 6);
    }

    void bothRepairedInOneCycle()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.settings.setShareProtocol(ShareProtocol::afp);
        rig.credentials->passwords.insert("ana@box.lan/media", "s3cret-pw");
        rig.cycle();

        QCOMPARE(rig.dog.lastMessage(), "Plex restarted" + dot + "Volume remounted");
        const QList<Posted> &posted = rig.notifications->posted;
        QCOMPARE(posted.size(), 2);
        QCOMPARE(posted[0].title, "Plex restarted");
        QCOMPARE(posted[0].body, "Plex Media Server wasn't running, so Vigilmount started it.");
        QCOMPARE(posted[1].title, "Plex volume reconnected");
        QCOMPARE(posted[1].body, "media is mounted at " + mountedAt + ".");
        QVERIFY(posted[0].identifier != posted[1].identifier);

        const MountRequest request = rig.share->requests.value(0);
        QCOMPARE(request.scheme + request.host + request.share, "afpbox.lanmedia");
        QCOMPARE(request.username, std::optional<QString>("ana"));
        QCOMPARE(request.password, std::optional<QString>("s3cret-pw"));
        QCOMPARE(rig.server->launches, QStringList{plexPath});
        QVERIFY(!rig.lines().join(' ').contains("s3cret"));

        // Without a stored password the mount gets none.
        rig.credentials->passwords.clear();
        rig.share->mounted.reset();
        rig.cycle();
        QCOMPARE(rig.share->requests.value(1).password, std::nullopt);
    }

    void notifyOnActionOffRecordsButPostsNothing()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.settings.setNotifyOnAction(false);
        rig.share->answers.answer = Answer::fail;
        rig.cycle();
        QCOMPARE(rig.countKind("plexLaunched") + rig.countKind("volumeMountFailed"), 2);
        QVERIFY(rig.notifications->posted.isEmpty());
    }

    // ---- summary and state ---------------------------------------------------------------

    void nothingMonitored()
    {
        WatchdogRig rig;
        QCOMPARE(rig.dog.lastMessage(), "Not checked yet");
        rig.configureShare();
        rig.server->running = true;
        rig.share->mounted = "/mnt/media";
        rig.cycle();

        const Instant at = Clock::fromDateTime(QDateTime::fromMSecsSinceEpoch(1'772'352'900'500));
        Clock::setSourceForTesting([at] { return at; });
        rig.settings.setWatchPlex(false);
        rig.settings.setWatchVolume(false);
        rig.settings.setVerboseLogging(true);
        rig.cycle("timer");
        QCOMPARE(text(rig.dog.plexRunning()) + text(rig.dog.volumeMounted()), "nonenone");
        QCOMPARE(rig.dog.volumeMountPoint(), std::nullopt);
        QCOMPARE(rig.lines(), QStringList{"checkStarted: timer"});
        QCOMPARE(rig.dog.lastMessage(), "Nothing is being monitored");
        QCOMPARE(rig.dog.lastCheck(), std::optional<Instant>(at));
        QVERIFY(!rig.dog.isChecking());
    }

    void shareNotConfigured()
    {
        WatchdogRig rig;
        rig.server->running = true;
        rig.settings.setServerHost(" \t");
        rig.settings.setShareName("media");
        rig.cycle();
        QCOMPARE(rig.dog.lastMessage(), "Plex running" + dot + "Volume not configured");
        QCOMPARE(rig.dog.volumeMounted(), std::nullopt);
        QVERIFY(rig.lines().isEmpty());
        QCOMPARE(rig.share->lookups + rig.credentials->asked.size(), 0);
    }

    void verboseRecordsRoutineFindings()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.settings.setVerboseLogging(true);
        rig.server->running = true;
        rig.share->mounted = "/mnt/media";
        rig.cycle("timer");
        rig.cycle("manual mount");
        QCOMPARE(rig.lines(),
                 (QStringList{"checkStarted: timer", "plexOK", "volumeOK: /mnt/media",
                              "checkStarted: manual mount", "plexOK", "volumeOK: /mnt/media"}));
    }

    void shareSettingIsReadAfterTheLaunch()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.server->answers.answer = Answer::hold;
        auto cycle = rig.dog.checkNow("timer");
        rig.settings.setWatchVolume(false);
        rig.server->answers.held.at(0)({true, plexPath, {}});
        QCoro::waitFor(cycle);
        QCOMPARE(rig.dog.lastMessage(), "Plex restarted");
        QCOMPARE(rig.share->lookups, 0);
    }

    // ---- re-entry and operations on request ----------------------------------------------

    void secondCycleWhileOneWaitsDoesNothing()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.server->running = true;
        rig.settings.setVerboseLogging(true);
        rig.share->answers.answer = Answer::hold;
        auto timerCycle = rig.dog.checkNow("timer");
        QVERIFY(rig.dog.isChecking());
        const QStringList before = rig.lines();
        const int lookups = rig.server->lookups + rig.share->lookups;
        QSignalSpy message(&rig.dog, &Watchdog::lastMessageChanged);
        QSignalSpy checking(&rig.dog, &Watchdog::isCheckingChanged);
        QSignalSpy running(&rig.dog, &Watchdog::plexRunningChanged);

        QVERIFY(rig.dog.checkNow("manual").isReady());
        QCOMPARE(rig.lines(), before);
        QCOMPARE(rig.server->lookups + rig.share->lookups, lookups);
        QCOMPARE(message.size() + checking.size() + running.size(), 0);

        // Requests have no guard and run meanwhile.
        rig.server->answers.answer = Answer::succeed;
        QCoro::waitFor(rig.dog.launchPlexNow());
        QCOMPARE(rig.server->launches.size(), 1);
        QVERIFY(rig.dog.isChecking());

        rig.share->answers.held.at(0)({true, mountedAt, {}});
        QCoro::waitFor(timerCycle);
        QCOMPARE(rig.dog.lastMessage(), "Plex running" + dot + "Volume remounted");
        QCOMPARE(rig.countKind("checkStarted"), 1);
    }

    void requestsLeaveTheCycleStateAlone()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.settings.setWatchPlex(false); // not looked at by the requests
        rig.settings.setWatchVolume(false);
        rig.server->running = true;
        QSignalSpy checking(&rig.dog, &Watchdog::isCheckingChanged);
        QSignalSpy message(&rig.dog, &Watchdog::lastMessageChanged);
        QSignalSpy lastCheck(&rig.dog, &Watchdog::lastCheckChanged);
        rig.server->answers.answer = Answer::fail;
        QCoro::waitFor(rig.dog.launchPlexNow());
        rig.server->answers.answer = Answer::succeed;
        QCoro::waitFor(rig.dog.launchPlexNow());
        QCoro::waitFor(rig.dog.mountVolumeNow());

        QCOMPARE(rig.lines(), (QStringList{"plexLaunchFailed: Manual \u00B7 " + launchError,
                                           "plexLaunched: Manual \u00B7 " + plexPath,
                                           "volumeDown: media was not mounted when Vigilmount "
                                           "checked",
                                           "volumeMounted: " + mountedAt}));
        QCOMPARE(rig.dog.plexRunning(), std::optional<bool>(true));
        QCOMPARE(rig.dog.volumeMountPoint(), std::optional<QString>(mountedAt));
        // Only the mount's repair is notified; the manual launch is not.
        QCOMPARE(rig.notifications->posted.size(), 1);
        QCOMPARE(checking.size() + message.size() + lastCheck.size(), 0);
        QCOMPARE(rig.server->lookups, 0);

        // The manual launch counts as a finding of "up": the next miss is a stop.
        rig.settings.setWatchPlex(true);
        rig.server->running = false;
        rig.cycle();
        QCOMPARE(rig.lines().at(4), "plexDown: Plex stopped running");
    }

    void openVolume()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.dog.openVolume(); // nothing mounted: nothing happens
        QVERIFY(rig.share->opened.isEmpty());

        rig.share->mounted = "/mnt/media";
        QSignalSpy mountPoint(&rig.dog, &Watchdog::volumeMountPointChanged);
        rig.dog.openVolume(); // looked up, not kept
        QCOMPARE(rig.share->opened, QStringList{"/mnt/media"});
        QCOMPARE(mountPoint.size(), 0);

        rig.cycle();
        rig.share->mounted = "/elsewhere";
        rig.dog.openVolume(); // the known mount point comes first
        QCOMPARE(rig.share->opened.last(), "/mnt/media");
    }

    // ---- completions ---------------------------------------------------------------------

    void completionsOnOtherThreadsResumeOnTheMainThread()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.server->answers.answer = rig.share->answers.answer = Answer::fromThread;
        QList<QThread *> threads;
        const auto note = [&] { threads.append(QThread::currentThread()); };
        connect(&rig.dog, &Watchdog::plexRunningChanged, this, note, Qt::DirectConnection);
        connect(&rig.dog, &Watchdog::volumeMountedChanged, this, note, Qt::DirectConnection);

        rig.dog.checkNow("manual"); // dropped, as the menu and the timer do
        QTRY_VERIFY(!rig.dog.isChecking());
        QCOMPARE(rig.dog.lastMessage(), "Plex restarted" + dot + "Volume remounted");
        QCOMPARE(threads, QList<QThread *>(4, thread()));
    }

    void answerInsideTheCallResumesFromTheEventLoop()
    {
        WatchdogRig rig;
        rig.settings.setWatchVolume(false);
        auto cycle = rig.dog.checkNow("manual");
        QVERIFY(rig.dog.isChecking());
        QCOMPARE(rig.countKind("plexLaunched"), 0);
        QCoro::waitFor(cycle);
        QCOMPARE(rig.countKind("plexLaunched"), 1);
    }

    void waitsThatNeverEndFailAfterTheirBound()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.server->answers.answer = rig.share->answers.answer = Answer::hold;
        rig.dog.setLaunchBound(50ms);
        rig.dog.setMountBound(40ms);
        const QString launchText =
            "Plex Media Server didn't report back within 0.05 seconds of being started.";
        const QString mountText = "The share didn't finish mounting within 0.04 seconds.";

        rig.dog.checkNow("timer");
        QTRY_VERIFY(!rig.dog.isChecking());
        QCOMPARE(rig.dog.lastMessage(),
                 "Plex down" + dash + launchText + dot + "Volume down" + dash + mountText);
        QCOMPARE(rig.notifications->posted.value(0).body, launchText);

        // A late answer, or a second one, changes nothing.
        rig.server->answers.held.at(0)({true, plexPath, {}});
        rig.server->answers.held.at(0)({true, plexPath, {}});
        QTest::qWait(30);
        QCOMPARE(rig.countKind("plexLaunched"), 0);
        QCOMPARE(rig.dog.plexRunning(), std::optional<bool>(false));

        QCoro::waitFor(rig.dog.launchPlexNow());
        QCOMPARE(rig.lines().last(), "plexLaunchFailed: Manual \u00B7 " + launchText);
    }

    void waitsEndWhenTheWatchdogGoesAway()
    {
        WatchdogRig rig;
        rig.configureShare();
        rig.server->answers.answer = rig.share->answers.answer = Answer::hold;
        auto dog = std::make_unique<Watchdog>(
            rig.settings, rig.log,
            WatchdogServices{rig.server, rig.share, rig.credentials, rig.notifications, rig.wake});
        auto cycle = dog->checkNow("timer");
        auto mount = dog->mountVolumeNow();
        dog->launchPlexNow(); // dropped
        const QStringList before = rig.lines();

        dog.reset();
        QVERIFY(cycle.isReady());
        QVERIFY(mount.isReady());
        rig.server->answers.held.at(0)({true, plexPath, {}});
        rig.server->answers.held.at(1)({true, plexPath, {}});
        rig.share->answers.held.at(0)({true, mountedAt, {}});
        QTest::qWait(20);
        QCOMPARE(rig.lines(), before);
    }
};

QTEST_GUILESS_MAIN(WatchdogCycleTest)
#include "WatchdogCycleTest.moc"
