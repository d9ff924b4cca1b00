#include "platform/SleepWakeMonitor.h"

#include <QDBusConnection>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

namespace {

// Has the fake logind, as the owner of org.freedesktop.login1, announce a sleep or a resume.
bool emitPrepareForSleep(bool starting)
{
    const QString script =
        qEnvironmentVariable("VIGILMOUNT_HARNESS_DIR") + QStringLiteral("/emit-prepare-for-sleep");
    return QProcess::execute(script,
                             {starting ? QStringLiteral("true") : QStringLiteral("false")}) == 0;
}

// The same signal sent by someone who does not own logind's name.
bool emitAsStranger(bool starting)
{
    return QProcess::execute(QStringLiteral("gdbus"),
                             {QStringLiteral("emit"), QStringLiteral("--system"),
                              QStringLiteral("--object-path"),
                              QStringLiteral("/org/freedesktop/login1"), QStringLiteral("--signal"),
                              QStringLiteral("org.freedesktop.login1.Manager.PrepareForSleep"),
                              starting ? QStringLiteral("true") : QStringLiteral("false")}) == 0;
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
    QVERIFY(emitPrepareForSleep(false));
    QTRY_COMPARE(woke.size(), 1);
    QVERIFY(emitPrepareForSleep(false));
    QTRY_COMPARE(woke.size(), 2);
}

void SleepWakeMonitorTest::goingToSleepIsNotWake()
{
    SleepWakeMonitor monitor;
    QSignalSpy woke(&monitor, &WakePort::didWake);
    QVERIFY(emitPrepareForSleep(true));
    QVERIFY(emitPrepareForSleep(false));
    // Both arrive in order: once the resume is seen, the sleep has been handled too.
    QTRY_COMPARE(woke.size(), 1);
    QTest::qWait(200);
    QCOMPARE(woke.size(), 1);
}

void SleepWakeMonitorTest::signalsFromOtherSendersAreIgnored()
{
    SleepWakeMonitor monitor;
    QSignalSpy woke(&monitor, &WakePort::didWake);
    QVERIFY(emitAsStranger(false));
    QVERIFY(emitAsStranger(false));
    QVERIFY(emitPrepareForSleep(false));
    QTRY_COMPARE(woke.size(), 1);
    QTest::qWait(300);
    QCOMPARE(woke.size(), 1);
}

QTEST_GUILESS_MAIN(SleepWakeMonitorTest)
#include "SleepWakeMonitorTest.moc"
