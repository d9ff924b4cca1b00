// When cycles run: start-up (its fixed order and the queued first cycle), the repeating
// timer with its floor and re-arming, wake with its delay, and stop.

#include "WatchdogRig.h"

#include <QElapsedTimer>
#include <QTest>
#include <cmath>
#include <limits>

using namespace std::chrono_literals;

namespace {
const Instant t0 = Clock::fromDateTime(QDateTime(QDate(2026, 3, 1), QTime(8, 0), Qt::UTC));

// A rig whose cycles are quick and visible: the server runs, verbose logging is on.
struct QuietRig : WatchdogRig
{
    QuietRig()
    {
        server->running = true;
        settings.setVerboseLogging(true);
    }
    int cycles(const QString &reason) const { return count("checkStarted: " + reason); }
};
} // namespace

class WatchdogScheduleTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // ---- start-up ------------------------------------------------------------------------

    void startRunsItsStepsInOrder()
    {
        QuietRig rig;
        QStringList historyAtPermission;
        bool timerArmedAtPermission = true;
        rig.notifications->onPermissionRequest = [&] {
            historyAtPermission = rig.lines();
            timerArmedAtPermission = rig.dog.isTimerArmed();
        };
        Clock::setSourceForTesting([] { return t0 - 10 * 24h; });
        rig.log.record(LogEvent::Kind::info, "ten days old");
        Clock::setSourceForTesting([] { return t0; });
        rig.settings.setLogRetentionDays(3);

        rig.dog.start();
        // appStarted, then the prune (to 7 days), then the permission probe; the timer later.
        QCOMPARE(historyAtPermission, QStringList{"appStarted"});
        QVERIFY(!timerArmedAtPermission);
        QCOMPARE(rig.notifications->permissionRequests, 1);
        QVERIFY(rig.dog.isTimerArmed());
        QCOMPARE(rig.dog.timerArmedAt(), std::optional<Instant>(t0));

        // The start-up cycle waits until the caller is back in the event loop.
        QCOMPARE(rig.server->lookups, 0);
        QVERIFY(!rig.dog.isChecking());
        QTRY_COMPARE(rig.cycles("startup"), 1);
        QCOMPARE(rig.lines(), (QStringList{"appStarted", "checkStarted: startup", "plexOK"}));
    }

    void startPrunesToAtLeastSevenDays_data()
    {
        QTest::addColumn<qint64>("retention");
        QTest::addColumn<QStringList>("kept");
        const QStringList week{"5 days", "appStarted"};
        QTest::newRow("3") << qint64(3) << week;
        QTest::newRow("0") << qint64(0) << week;
        QTest::newRow("negative") << qint64(-4) << week;
        QTest::newRow("10") << qint64(10) << QStringList{"8 days", "5 days", "appStarted"};
        QTest::newRow("90") << qint64(90)
                            << QStringList{"89 days", "8 days", "5 days", "appStarted"};
    }

    void startPrunesToAtLeastSevenDays()
    {
        QFETCH(qint64, retention);
        WatchdogRig rig;
        for (int days : {91, 89, 8, 5}) {
            Clock::setSourceForTesting([days] { return t0 - days * 24h; });
            rig.log.record(LogEvent::Kind::info, QString("%1 days").arg(days));
        }
        Clock::setSourceForTesting([] { return t0; });
        rig.settings.setLogRetentionDays(retention);
        rig.dog.start();
        QStringList kept;
        for (const LogEvent &event : rig.log.events())
            kept.append(event.detail.isEmpty() ? LogEvent::rawValue(event.kind) : event.detail);
        QTEST(kept, "kept");
    }

    void noPermissionProbeWhenNotificationsAreOff()
    {
        QuietRig rig;
        rig.settings.setNotifyOnAction(false);
        rig.dog.start();
        QCOMPARE(rig.notifications->permissionRequests, 0);
        // Turning them on later asks nothing either.
        rig.settings.setNotifyOnAction(true);
        QTRY_COMPARE(rig.cycles("startup"), 1);
        QCOMPARE(rig.notifications->permissionRequests, 0);
    }

    // ---- timer ---------------------------------------------------------------------------

    void timerIntervalHasAFloor_data()
    {
        QTest::addColumn<double>("minutes");
        QTest::addColumn<qint64>("interval");
        QTest::addColumn<qint64>("tolerance");
        QTest::newRow("default 5") << 5.0 << qint64(300'000) << qint64(30'000);
        QTest::newRow("10") << 10.0 << qint64(600'000) << qint64(60'000);
        QTest::newRow("0.6") << 0.6 << qint64(36'000) << qint64(3'600);
        QTest::newRow("exactly half a minute") << 0.5 << qint64(30'000) << qint64(3'000);
        QTest::newRow("0.25") << 0.25 << qint64(30'000) << qint64(3'000);
        QTest::newRow("0") << 0.0 << qint64(30'000) << qint64(3'000);
        QTest::newRow("negative") << -2.0 << qint64(30'000) << qint64(3'000);
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << qint64(30'000)
                             << qint64(3'000);
    }

    void timerIntervalHasAFloor()
    {
        QFETCH(double, minutes);
        QuietRig rig;
        rig.settings.setCheckIntervalMinutes(minutes);
        rig.dog.start();
        QTEST(qint64(rig.dog.timerInterval().count()), "interval");
        QTEST(qint64(rig.dog.timerTolerance().count()), "tolerance");
    }

    void everyIntervalSetReArmsTheTimer()
    {
        QuietRig rig;
        Instant now = t0;
        Clock::setSourceForTesting([&now] { return now; });
        rig.settings.setCheckIntervalMinutes(5);
        rig.dog.start();
        QCOMPARE(rig.dog.timerArmedAt(), std::optional<Instant>(t0));

        now = t0 + 100s;
        rig.settings.setCheckIntervalMinutes(10);
        QVERIFY(rig.dog.isTimerArmed());
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

    void noTimerCycleAfterStop()
    {
        QuietRig rig;
        rig.dog.setTimerPeriodForTesting(20ms);
        rig.dog.start();
        QTRY_VERIFY(rig.cycles("timer") >= 2);

        rig.dog.stop();
        QVERIFY(!rig.dog.isTimerArmed());
        QCOMPARE(rig.lines().last(), "appStopped");
        QTest::qWait(120);
        QCOMPARE(rig.lines().last(), "appStopped");
    }

    // ---- wake ----------------------------------------------------------------------------

    void wakeIsIgnoredWhenSwitchedOff()
    {
        QuietRig rig;
        rig.dog.setWakeDelay(10ms);
        rig.settings.setCheckOnWake(false);
        rig.dog.start();
        QTRY_COMPARE(rig.cycles("startup"), 1);
        const QStringList before = rig.lines();
        rig.wake->wake();
        QTest::qWait(80);
        QCOMPARE(rig.lines(), before);
    }

    void wakeRecordsAtOnceAndChecksAfterTheDelay()
    {
        QuietRig rig;
        rig.dog.setWakeDelay(150ms);
        rig.dog.start();
        QTRY_COMPARE(rig.cycles("startup"), 1);
        const int lookups = rig.server->lookups;

        QElapsedTimer elapsed;
        elapsed.start();
        rig.wake->wake();
        QCOMPARE(rig.lines().last(), "wake");
        QCOMPARE(rig.server->lookups, lookups);
        QTRY_COMPARE(rig.cycles("wake"), 1);
        QVERIFY2(elapsed.elapsed() >= 140, qPrintable(QString::number(elapsed.elapsed())));
    }

    void twoWakesGiveTwoDelayedCycles()
    {
        QuietRig rig;
        rig.dog.setWakeDelay(60ms);
        rig.dog.start();
        QTRY_COMPARE(rig.cycles("startup"), 1);
        rig.wake->wake();
        rig.wake->wake();
        QCOMPARE(rig.count("wake"), 2);
        QTRY_COMPARE(rig.cycles("wake"), 2);

        // The second finds the first still waiting on a mount and does nothing.
        rig.configureShare();
        rig.share->answers.answer = Answer::hold;
        rig.wake->wake();
        QTest::qWait(20);
        rig.wake->wake();
        QTRY_VERIFY(rig.dog.isChecking());
        QTest::qWait(150); // well past the second delay
        QCOMPARE(rig.cycles("wake"), 3);
        QCOMPARE(rig.share->answers.held.size(), size_t(1));
        rig.share->answers.held.front()({true, "/mnt/media", {}});
        QTRY_VERIFY(!rig.dog.isChecking());
    }
};

QTEST_GUILESS_MAIN(WatchdogScheduleTest)
#include "WatchdogScheduleTest.moc"
