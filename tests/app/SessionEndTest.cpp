#include "Sandbox.h"

#include <QFile>
#include <QTest>

#include <csignal>

// The desktop session ends under the running program: its display goes away. The program
// still stops the watchdog and leaves appStopped as the last record on disk.
class SessionEndTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void displayGoingAwayStillRecordsTheStop()
    {
        QFile pidFile(qEnvironmentVariable("VIGILMOUNT_TEST_ROOT") + "/x11/pid");
        QVERIFY2(pidFile.open(QIODevice::ReadOnly), "the x11 component records its server's pid");
        const pid_t server = pidFile.readAll().trimmed().toInt();
        QVERIFY(server > 0);

        Sandbox box;
        box.writeSettings({{"verboseLogging", true}});
        auto app = box.start({});
        QVERIFY(QTest::qWaitFor([&] { return box.kinds().contains("checkStarted"); }, 10000));

        QCOMPARE(::kill(server, SIGTERM), 0);
        QVERIFY(app->waitForFinished(15000));
        QCOMPARE(app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(box.kinds().last(), QStringLiteral("appStopped"));
        QCOMPARE(box.kinds().count("appStopped"), 1);
    }
};

QTEST_GUILESS_MAIN(SessionEndTest)
#include "SessionEndTest.moc"
