#include "platform/SleepWakeMonitor.h"

#include <QDBusConnection>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

namespace {

// Sends PrepareForSleep(starting): as logind (the fake owns org.freedesktop.login1), or from a
// connection that does not own that name.
bool prepareForSleep(bool starting, bool asLogind = true)
{
    const QString value = starting ? QStringLiteral("true") : QStringLiteral("false");
    if (asLogind)
        return QProcess::execute(qEnvironmentVariable("VIGILMOUNT_HARNESS_DIR") +
                                     QStringLiteral("/emit-prepare-for-sleep"),
                                 {value}) == 0;
    return QProcess::execute(
               QStringLiteral("gdbus"),
               {QStringLiteral("emit"), QStringLiteral("--system"), QStringLiteral("--object-path"),
                QStringLiteral("/org/freedesktop/login1"), QStringLiteral("--signal"),
                QStringLiteral("org.freedesktop.login1.Manager.PrepareForSleep"), value}) == 0;
}

} // namespace

class SleepWakeMonitorTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void resumeFromLogindIsWake();
    void goingToSleepIsNotWake();
    void signalsFromOtherSendersAreIgnored();
};

void SleepWakeMonitorTest::initTestCase()
{
    QVERIFY2(QDBusConnection::systemBus().isConnected(), "the system bus component is not running");
}

void SleepWakeMonitorTest::resumeFromLogindIsWake()
{
    SleepWakeMonitor monitor;
    QVERIFY(monitor.isSubscribed());
    QSignalSpy woke(&monitor, &WakePort::didWake);
    QVERIFY(prepareForSleep(false));
    QTRY_COMPARE(woke.size(), 1);
    QVERIFY(prepareForSleep(false));
    QTRY_COMPARE(woke.size(), 2);
}

void SleepWakeMonitorTest::goingToSleepIsNotWake()
{
    SleepWakeMonitor monitor;
    QSignalSpy woke(&monitor, &WakePort::didWake);
    QVERIFY(prepareForSleep(true));
    QVERIFY(prepareForSleep(false));
    // Both arrive in order: once the resume is seen, the sleep has been handled too.
    QTRY_COMPARE(woke.size(), 1);
    QTest::qWait(200);
    QCOMPARE(woke.size(), 1);
}

void SleepWakeMonitorTest::signalsFromOtherSendersAreIgnored()
{
    SleepWakeMonitor monitor;
    QSignalSpy woke(&monitor, &WakePort::didWake);
    QVERIFY(prepareForSleep(false, false));
    QVERIFY(prepareForSleep(false, false));
    QVERIFY(prepareForSleep(false));
    QTRY_COMPARE(woke.size(), 1);
    QTest::qWait(300);
    QCOMPARE(woke.size(), 1);
}

QTEST_GUILESS_MAIN(SleepWakeMonitorTest)
#include "SleepWakeMonitorTest.moc"
