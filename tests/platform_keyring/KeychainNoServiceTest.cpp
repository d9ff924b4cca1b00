// The keyring behind a session bus that accepts the connection and never answers.
#include "KeychainWait.h"
#include "PlatformTestSupport.h"

#include <QElapsedTimer>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

class KeychainNoServiceTest : public QObject
{
    Q_OBJECT

    QProcess m_server;

private Q_SLOTS:
    void initTestCase()
    {
        const QByteArray port = PlatformTestSupport::startSilentServer(m_server, u"0"_s);
        QVERIFY2(!port.isEmpty(), m_server.readAllStandardError().constData());
        qputenv("DBUS_SESSION_BUS_ADDRESS", "tcp:host=127.0.0.1,port=" + port);
    }

    void cleanupTestCase()
    {
        m_server.terminate();
        QVERIFY(m_server.waitForFinished(5000));
    }

    // An empty account asks nothing (the bus would time the call out); the other calls give up
    // at their bound while the main thread runs on.
    void silentBusAnswersWithinTheBound()
    {
        QCOMPARE(KeychainWait::password(QString(), 1s),
                 Keychain::PasswordOutcome::success(std::nullopt));
        for (const QString &secret : {u"secret"_s, QString()})
            QCOMPARE(KeychainWait::save(secret, QString(), 1s).error(),
                     u"The password couldn't be saved in the login keyring."_s);
        int ticks = 0;
        QTimer ticker;
        ticker.callOnTimeout([&ticks] { ++ticks; });
        ticker.start(50ms);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(KeychainWait::password(u"ana@box/media"_s, 1s),
                 Keychain::PasswordOutcome::failure(u"The login keyring didn't answer."_s));
        QCOMPARE(KeychainWait::answerOf<std::optional<QString>>(
                     [](auto done) { Keychain::missingService(std::move(done), 1s); }),
                 std::optional(u"The desktop session bus isn't available."_s));
        QVERIFY2(clock.elapsed() < 3000, QByteArray::number(clock.elapsed()).constData());
        QVERIFY2(ticks >= 10, QByteArray::number(ticks).constData()); // never blocked
    }
};

QTEST_GUILESS_MAIN(KeychainNoServiceTest)
#include "KeychainNoServiceTest.moc"
