// The keyring behind a session bus that accepts the connection and never answers: calls give
// up at their bound while the main thread runs on, and an empty account asks nothing.
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

    // A silent bus would time the calls out: the answers show that nothing was asked.
    void emptyAccountAsksNothing()
    {
        QCOMPARE(KeychainWait::password(QString(), 1s),
                 Keychain::PasswordOutcome::success(std::nullopt));
        const QString notSaved = u"The password couldn't be saved in the login keyring."_s;
        QCOMPARE(KeychainWait::save(u"secret"_s, QString(), 1s).error(), notSaved);
        QCOMPARE(KeychainWait::save(QString(), QString(), 1s).error(), notSaved);
    }

    void silentBusAnswersWithinTheBound()
    {
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
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
