#include "history/EventLog.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <csignal>

namespace {

// Stops or resumes the harness's bus daemon whose pid file lies below the test root.
bool signalBus(const char *folder, int signal)
{
    QFile file(qEnvironmentVariable("VIGILMOUNT_TEST_ROOT") + "/" + folder + "/pid");
    return file.open(QIODevice::ReadOnly) && ::kill(file.readAll().trimmed().toInt(), signal) == 0;
}

QStringList kindsOnDisk()
{
    QStringList kinds;
    for (const LogEvent &event : EventLog::loadFile(EventLog::defaultDirectory() + "/events.jsonl"))
        kinds << LogEvent::rawValue(event.kind);
    return kinds;
}

} // namespace

class StalledBusesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Neither bus is needed to start or to check: the first check runs and is recorded, and
    // SIGTERM still ends the program with its stop on disk.
    void theWatchdogRunsWhileBothBusesAreStopped()
    {
        QVERIFY(signalBus("session", SIGSTOP) && signalBus("systembus", SIGSTOP));
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(QStringLiteral(VIGILMOUNT_BINARY), {QStringLiteral("--headless")});
        QVERIFY(program.waitForStarted());
        // The default settings watch a server that is not installed: the check records it.
        QTRY_VERIFY_WITH_TIMEOUT(kindsOnDisk().contains(QStringLiteral("plexLaunchFailed")), 15000);
        ::kill(pid_t(program.processId()), SIGTERM);
        const bool ended = program.waitForFinished(15000);
        QVERIFY(signalBus("session", SIGCONT) && signalBus("systembus", SIGCONT));
        QVERIFY2(ended, "SIGTERM did not end the program");
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(kindsOnDisk().last(), QStringLiteral("appStopped"));
    }
};

QTEST_GUILESS_MAIN(StalledBusesTest)
#include "StalledBusesTest.moc"
