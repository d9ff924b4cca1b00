// The password store without a working Secret Service: failures, never "not found", and no
// call at all for an empty account.
#include "platform/Keychain.h"

#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

using namespace Qt::StringLiterals;

class KeychainNoServiceTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The runner gives this program no session bus at all.
    void noSessionBus()
    {
        QVERIFY(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").isEmpty());
        QVERIFY(!Keychain::password(u"user@box/media"_s));
        QVERIFY(!Keychain::save(u"secret"_s, u"user@box/media"_s));
        // Unreachable is a failure, not "nothing to delete".
        QVERIFY(!Keychain::deleteItem(u"user@box/media"_s));
        QVERIFY(!Keychain::save(QString(), u"user@box/media"_s));
    }

    // The session bus address leads to a server that accepts the connection and never
    // answers: any keyring call would hang. With an empty account nothing is asked.
    void emptyAccountAsksNothing()
    {
        const QString script =
            qEnvironmentVariable("VIGILMOUNT_HARNESS_DIR") + u"/tools/silent-server.py"_s;
        QVERIFY2(QFileInfo(script).isExecutable(), qPrintable(script + " is missing"));
        QProcess server;
        server.start(script, {u"0"_s});
        QVERIFY2(QTest::qWaitFor([&] { return server.canReadLine(); }, 10000),
                 server.readAllStandardError().constData());
        const QByteArray line = server.readLine().trimmed();
        QVERIFY2(line.startsWith("listening "), line.constData());
        qputenv("DBUS_SESSION_BUS_ADDRESS",
                "tcp:host=127.0.0.1,port=" + line.mid(qstrlen("listening ")));

        // On a thread of its own: if it hangs, the test fails instead of hanging.
        auto finished = std::make_shared<std::atomic<bool>>(false);
        auto refused = std::make_shared<std::atomic<bool>>(false);
        std::thread([finished, refused] {
            *refused = !Keychain::password(QString()) && !Keychain::save(u"secret"_s, QString()) &&
                       !Keychain::save(QString(), QString());
            *finished = true;
        }).detach();
        QVERIFY2(QTest::qWaitFor([&] { return finished->load(); }, 3000),
                 "an empty account reached the session bus");
        QVERIFY(refused->load());

        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        server.terminate();
        QVERIFY(server.waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(KeychainNoServiceTest)
#include "KeychainNoServiceTest.moc"
