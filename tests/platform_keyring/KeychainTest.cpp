// The share password in the harness's gnome-keyring, checked against what secret-tool sees.
// The last case locks the keyring; there is no headless way to unlock it again.
#include "KeychainWait.h"
#include "PlatformTestSupport.h"

#include <QElapsedTimer>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using KeychainWait::save;
using KeychainWait::stored;
using PlatformTestSupport::run;

namespace {

std::optional<QString> lookup(const QString &account)
{
    const auto tool =
        run(u"secret-tool"_s, {u"lookup"_s, u"service"_s, u"Vigilmount"_s, u"account"_s, account});
    return tool.finished && tool.exitCode == 0 ? std::optional(QString::fromUtf8(tool.output))
                                               : std::nullopt;
}

QStringList labels(const QString &account)
{
    const auto tool = run(u"secret-tool"_s, {u"search"_s, u"--all"_s, u"service"_s, u"Vigilmount"_s,
                                             u"account"_s, account});
    QStringList found;
    for (const QString &line : QString::fromUtf8(tool.output).split(u'\n')) {
        if (line.startsWith(u"label = "_s))
            found.append(line.mid(8));
    }
    return found;
}

} // namespace

class KeychainTest : public QObject
{
    Q_OBJECT

    const QString m_account = u"share@box.lan/media"_s;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariable("VIGILMOUNT_KEYRING_PASSWORD").isEmpty(),
                 "the keyring component is not running");
        QVERIFY2(run(u"secret-tool"_s, {u"--version"_s}).finished, "secret-tool is missing");
    }

    void cleanup()
    {
        run(u"secret-tool"_s, {u"clear"_s, u"service"_s, u"Vigilmount"_s, u"account"_s, m_account});
    }

    void roundTrip()
    {
        QVERIFY(!stored(m_account));
        const QString secret = u"p\u00e4ss w\u00f6rd \u2014 \U0001F511"_s;
        QVERIFY(save(secret, m_account));
        QCOMPARE(stored(m_account), std::optional(secret));
        // The same item for other tools: service and account only, text as UTF-8.
        QCOMPARE(lookup(m_account), std::optional(secret));
        QCOMPARE(labels(m_account), QStringList{u"Vigilmount — "_s + m_account});
        QVERIFY(!stored(m_account.toUpper()));
    }

    // Saving again changes only the secret: one item, its label as created.
    void labelOfAnExistingItemStays()
    {
        QCOMPARE(run(u"secret-tool"_s,
                     {u"store"_s, u"--label=Mine"_s, u"service"_s, u"Vigilmount"_s, u"account"_s,
                      m_account},
                     "old")
                     .exitCode,
                 0);
        QVERIFY(save(u"new"_s, m_account));
        QVERIFY(save(u"newer"_s, m_account));
        QCOMPARE(lookup(m_account), std::optional(u"newer"_s));
        QCOMPARE(labels(m_account), QStringList{u"Mine"_s});
    }

    void emptyPasswordAndDeleting()
    {
        QVERIFY(save(u"other"_s, u"@/"_s));
        QVERIFY(save(u"secret"_s, m_account));
        QVERIFY(save(QString(), m_account));
        QVERIFY(!lookup(m_account));
        QVERIFY(save(QString(), m_account)); // nothing left: still success
        // Only that account's item went.
        QCOMPARE(stored(u"@/"_s), std::optional(u"other"_s));
        QVERIFY(save(QString(), u"@/"_s));
        QVERIFY(!lookup(u"@/"_s));
    }

    // A stopped keyring: every call gives up at its bound while the main thread runs on.
    void keyringThatDoesNotAnswer()
    {
        QVERIFY(save(u"secret"_s, m_account));
        QVERIFY(KeychainWait::signalKeyring(SIGSTOP));
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(50ms);
        QElapsedTimer clock;
        clock.start();
        const QString silent = u"The login keyring didn't answer."_s;
        const Keychain::PasswordOutcome read = KeychainWait::password(m_account, 1s);
        const Status written = save(u"changed"_s, m_account, 1s);
        const qint64 elapsed = clock.elapsed();
        QVERIFY(KeychainWait::signalKeyring(SIGCONT));
        QCOMPARE(read, Keychain::PasswordOutcome::failure(silent));
        QCOMPARE(written.error(), silent);
        QVERIFY2(elapsed >= 1900 && elapsed < 4000, QByteArray::number(elapsed).constData());
        QVERIFY2(ticks >= 25, QByteArray::number(ticks).constData()); // never blocked
        // Awake again, it answers, and the cancelled write changed nothing.
        QCOMPARE(stored(m_account), std::optional(u"secret"_s));
    }

    // A locked keyring is a failure that says so, and the item stays.
    void lockedKeyring()
    {
        QVERIFY(save(u"secret"_s, m_account));
        const auto lock =
            run(qEnvironmentVariable("VIGILMOUNT_HARNESS_DIR") + u"/tools/keyring-lock.sh"_s, {});
        QVERIFY2(lock.finished && lock.exitCode == 0, lock.errors.constData());
        const QString locked = u"The login keyring is locked."_s;
        QCOMPARE(KeychainWait::password(m_account), Keychain::PasswordOutcome::failure(locked));
        QCOMPARE(save(u"changed"_s, m_account).error(), locked);
        QCOMPARE(save(u"new"_s, u"another@box/media"_s).error(), locked);
        QCOMPARE(save(QString(), m_account).error(), locked);
        QCOMPARE(labels(m_account), QStringList{u"Vigilmount — "_s + m_account});
    }
};

QTEST_GUILESS_MAIN(KeychainTest)
#include "KeychainTest.moc"
