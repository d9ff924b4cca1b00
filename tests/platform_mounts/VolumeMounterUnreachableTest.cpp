// Mounting from servers that are not there or never answer, through the harness's GVfs.
// No Samba runs in this test: 127.0.0.1:445 is free for these cases.
#include "MountTestSupport.h"

#include <QFileInfo>
#include <QTimer>

#include <cerrno>

using namespace Qt::StringLiterals;

using namespace MountTestSupport;

class VolumeMounterUnreachableTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qtRunsGlib(), "Qt's event loop does not run GLib's main context");
        QVERIFY2(!qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").isEmpty(),
                 "the session component is not running");
        QVERIFY2(qEnvironmentVariable("VIGILMOUNT_SMB_HOST").isEmpty(),
                 "this test needs port 445 free: do not start the samba component");
    }

    void nothingListening()
    {
        auto delivery = startMount(u"127.0.0.1"_s, u"media"_s, u"user"_s, u"secret"_s);
        QVERIFY(QTest::qWaitFor([&] { return delivery->arrived(); }, 30000));
        QCOMPARE(delivery->errorText(),
                 u"The share couldn't be mounted. (code %1)"_s.arg(ECONNREFUSED));
        QVERIFY(delivery->onMainThread);
    }

    // A server that accepts the connection and never answers is cut at the bound, while the
    // main thread keeps running its event loop.
    void silentServerIsCutAtTheBound()
    {
        const QString script =
            qEnvironmentVariable("VIGILMOUNT_HARNESS_DIR") + u"/tools/silent-server.py"_s;
        QVERIFY2(QFileInfo(script).isExecutable(), qPrintable(script + " is missing"));
        QProcess server;
        server.start(script, {u"445"_s});
        QVERIFY2(QTest::qWaitFor([&] { return server.canReadLine(); }, 10000),
                 server.readAllStandardError().constData());
        QCOMPARE(server.readLine().trimmed(), QByteArray("listening 445"));

        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start(50);
        auto delivery =
            startMount(u"127.0.0.1"_s, u"media"_s, u"user"_s, u"secret"_s, std::chrono::seconds(2));
        QVERIFY(QTest::qWaitFor([&] { return delivery->arrived(); }, 15000));
        ticker.stop();

        QCOMPARE(delivery->errorText(),
                 u"The server didn't respond in time. (code %1)"_s.arg(ETIMEDOUT));
        QVERIFY2(delivery->elapsedMs >= 1900 && delivery->elapsedMs < 8000,
                 qPrintable(QString::number(delivery->elapsedMs)));
        // About 40 ticks in 2 s; a blocked main thread would give almost none.
        QVERIFY2(ticks >= 25, qPrintable(QString::number(ticks)));
        QTest::qWait(200);
        QCOMPARE(delivery->calls, 1);

        server.terminate();
        QVERIFY(server.waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(VolumeMounterUnreachableTest)
#include "VolumeMounterUnreachableTest.moc"
