// The share password in the harness's gnome-keyring, checked against what secret-tool sees.
// Each case has accounts of its own in the run's fresh keyring.
#include "KeychainWait.h"
#include "PlatformTestSupport.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using KeychainWait::save;
using KeychainWait::stored;

namespace {

auto secretTool(QStringList arguments, const QString &account, const QByteArray &input = {})
{
    arguments << u"service"_s << u"Vigilmount"_s << u"account"_s << account;
    return PlatformTestSupport::run(u"secret-tool"_s, arguments, input);
}

// The account's items as other tools see them: "label = …" and, while unlocked, "secret = …".
QStringList items(const QString &account)
{
    return QString::fromUtf8(secretTool({u"search"_s, u"--all"_s}, account).output)
        .split(u'\n')
        .filter(QRegularExpression(u"^(label|secret) = "_s));
}

} // namespace

class KeychainTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Other tools see the same item (service and account, UTF-8 text, labelled when created);
    // saving again changes only the secret, an empty password deletes only that account's item.
    void saveReadAndDelete()
    {
        const QString account = u"share@box.lan/media"_s, other = u"@/"_s;
        QCOMPARE(secretTool({u"store"_s, u"--label=Mine"_s}, other, "old").exitCode, 0);
        const QString secret = u"p\u00e4ss w\u00f6rd \u2014 \U0001F511"_s;
        for (const QString &each : {account, other}) {
            QVERIFY(save(u"first"_s, each) && save(secret, each));
            QCOMPARE(stored(each), std::optional(secret));
        }
        QCOMPARE(items(account),
                 (QStringList{u"label = Vigilmount — "_s + account, u"secret = "_s + secret}));
        QCOMPARE(items(other), (QStringList{u"label = Mine"_s, u"secret = "_s + secret}));
        QVERIFY(save(QString(), account) && save(QString(), account));
        QVERIFY(items(account).isEmpty());
        QCOMPARE(stored(other), std::optional(secret));
    }

    // A stopped keyring: every call gives up at its bound while the main thread runs on; awake
    // again, it answers, and the cancelled write changed nothing.
    void keyringThatDoesNotAnswer()
    {
        const QString account = u"stopped@box/media"_s;
        QVERIFY(save(u"secret"_s, account));
        QVERIFY(KeychainWait::signalKeyring(SIGSTOP));
        int ticks = 0;
        QTimer ticker;
        ticker.callOnTimeout([&ticks] { ++ticks; });
        ticker.start(50ms);
        QElapsedTimer clock;
        clock.start();
        const Keychain::PasswordOutcome read = KeychainWait::password(account, 1s);
        const Status written = save(u"changed"_s, account, 1s);
        const qint64 elapsed = clock.elapsed();
        QVERIFY(KeychainWait::signalKeyring(SIGCONT));
        const QString silent = u"The login keyring didn't answer."_s;
        QCOMPARE(read, Keychain::PasswordOutcome::failure(silent));
        QCOMPARE(written.error(), silent);
        QVERIFY2(elapsed >= 1900 && elapsed < 4000, QByteArray::number(elapsed).constData());
        QVERIFY2(ticks >= 25, QByteArray::number(ticks).constData());
        QCOMPARE(stored(account), std::optional(u"secret"_s));
    }

    // Nothing unlocks the keyring headless again, so the lock comes after every case: a locked
    // keyring is a failure that says so, and the item stays.
    void cleanupTestCase()
    {
        const QString account = u"locked@box/media"_s;
        QVERIFY(save(u"secret"_s, account));
        const auto lock = PlatformTestSupport::run(
            qEnvironmentVariable("VIGILMOUNT_HARNESS_DIR") + u"/tools/keyring-lock.sh"_s, {});
        QVERIFY2(lock.finished && lock.exitCode == 0, lock.errors.constData());
        const QString locked = u"The login keyring is locked."_s;
        QCOMPARE(KeychainWait::password(account), Keychain::PasswordOutcome::failure(locked));
        QCOMPARE(save(u"changed"_s, account).error(), locked);
        QCOMPARE(save(u"new"_s, u"new@box/media"_s).error(), locked);
        QCOMPARE(save(QString(), account).error(), locked);
        QCOMPARE(items(account), QStringList{u"label = Vigilmount — "_s + account});
    }
};

QTEST_GUILESS_MAIN(KeychainTest)
#include "KeychainTest.moc"
