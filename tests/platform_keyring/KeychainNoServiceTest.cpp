// An empty account never reaches the session bus, here a server that accepts the connection
// and never answers: any keyring call would hang.
#include "PlatformTestSupport.h"
#include "platform/Keychain.h"

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

class KeychainNoServiceTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyAccountAsksNothing()
    {
        QProcess server;
        const QByteArray port = PlatformTestSupport::startSilentServer(server, u"0"_s);
        QVERIFY2(!port.isEmpty(), server.readAllStandardError().constData());
        qputenv("DBUS_SESSION_BUS_ADDRESS", "tcp:host=127.0.0.1,port=" + port);

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
        server.terminate();
        QVERIFY(server.waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(KeychainNoServiceTest)
#include "KeychainNoServiceTest.moc"
