// The share password in the harness's gnome-keyring, checked against what secret-tool sees.
// The last case locks the keyring; there is no headless way to unlock it again.
#include "platform/Keychain.h"

#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Tool
{
    bool finished = false;
    int exitCode = -1;
    QString output;
};

Tool secretTool(const QStringList &arguments, const QByteArray &input = {})
{
    QProcess process;
    process.start(u"secret-tool"_s, arguments);
    Tool tool;
    if (!process.waitForStarted(5000))
        return tool;
    process.write(input);
    process.closeWriteChannel();
    tool.finished = process.waitForFinished(15000);
    tool.exitCode = process.exitCode();
    tool.output = QString::fromUtf8(process.readAllStandardOutput());
    return tool;
}

// What secret-tool finds for the account: none, or the secret.
std::optional<QString> lookup(const QString &account)
{
    const Tool tool =
        secretTool({u"lookup"_s, u"service"_s, u"Vigilmount"_s, u"account"_s, account});
    if (!tool.finished || tool.exitCode != 0)
        return std::nullopt;
    return tool.output;
}

// Labels of the items for the account, as secret-tool lists them.
QStringList labels(const QString &account)
{
    const Tool tool =
        secretTool({u"search"_s, u"--all"_s, u"service"_s, u"Vigilmount"_s, u"account"_s, account});
    QStringList found;
    for (const QString &line : tool.output.split(QLatin1Char('\n'))) {
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
        QVERIFY2(secretTool({u"--version"_s}).finished, "secret-tool is missing");
    }

    void cleanup()
    {
        secretTool({u"clear"_s, u"service"_s, u"Vigilmount"_s, u"account"_s, m_account});
    }

    void serviceName() { QCOMPARE(Keychain::service(), u"Vigilmount"_s); }

    void roundTrip()
    {
        QVERIFY(!Keychain::password(m_account));
        const QString secret = u"p\u00e4ss w\u00f6rd \u2014 \U0001F511"_s;
        QVERIFY(Keychain::save(secret, m_account));
        QCOMPARE(Keychain::password(m_account), std::optional<QString>(secret));
        // The same item for other tools: service and account only, text as UTF-8.
        QCOMPARE(lookup(m_account), std::optional<QString>(secret));
        QCOMPARE(labels(m_account), QStringList{u"Vigilmount — "_s + m_account});
        // A second save replaces the secret of the same item.
        QVERIFY(Keychain::save(u"second"_s, m_account));
        QCOMPARE(Keychain::password(m_account), std::optional<QString>(u"second"_s));
        QCOMPARE(labels(m_account), QStringList{u"Vigilmount — "_s + m_account});
        // Accounts are told apart exactly.
        QVERIFY(!Keychain::password(m_account + u"x"_s));
        QVERIFY(!Keychain::password(m_account.toUpper()));
    }

    // Saving again changes only the secret: one item, its label as created.
    void labelOfAnExistingItemStays()
    {
        const Tool stored = secretTool(
            {u"store"_s, u"--label=Mine"_s, u"service"_s, u"Vigilmount"_s, u"account"_s, m_account},
            "old");
        QVERIFY(stored.finished && stored.exitCode == 0);
        QCOMPARE(Keychain::password(m_account), std::optional<QString>(u"old"_s));
        QVERIFY(Keychain::save(u"new"_s, m_account));
        QVERIFY(Keychain::save(u"newer"_s, m_account));
        QCOMPARE(lookup(m_account), std::optional<QString>(u"newer"_s));
        QCOMPARE(labels(m_account), QStringList{u"Mine"_s});
    }

    void emptyPasswordDeletes()
    {
        QVERIFY(Keychain::save(u"secret"_s, m_account));
        QVERIFY(lookup(m_account));
        QVERIFY(Keychain::save(QString(), m_account));
        QVERIFY(!lookup(m_account));
        QVERIFY(!Keychain::password(m_account));
        // Nothing left to delete still counts as success.
        QVERIFY(Keychain::save(QString(), m_account));
    }

    void deleting()
    {
        QVERIFY(Keychain::deleteItem(u"never-stored@nowhere/none"_s));
        QVERIFY(Keychain::save(u"secret"_s, m_account));
        QVERIFY(Keychain::save(u"other"_s, u"@/"_s));
        QVERIFY(Keychain::deleteItem(m_account));
        QVERIFY(!lookup(m_account));
        // Only that account's item goes.
        QCOMPARE(Keychain::password(u"@/"_s), std::optional<QString>(u"other"_s));
        QVERIFY(Keychain::deleteItem(u"@/"_s));
    }

    void emptyAccount()
    {
        QVERIFY(!Keychain::save(u"secret"_s, QString()));
        QVERIFY(!Keychain::save(QString(), QString()));
        QVERIFY(!Keychain::password(QString()));
        QVERIFY(!lookup(QString()));
    }

    // A locked keyring is a failure: saving fails and the password reads as none, while the
    // item is still there (so deleting it fails too).
    void lockedKeyring()
    {
        QVERIFY(Keychain::save(u"secret"_s, m_account));
        QProcess lock;
        lock.start(qEnvironmentVariable("VIGILMOUNT_HARNESS_DIR") + u"/tools/keyring-lock.sh"_s,
                   QStringList());
        QVERIFY2(lock.waitForFinished(15000) && lock.exitStatus() == QProcess::NormalExit &&
                     lock.exitCode() == 0,
                 lock.readAllStandardError().constData());

        QVERIFY(!Keychain::password(m_account));
        QVERIFY(!Keychain::save(u"changed"_s, m_account));
        QVERIFY(!Keychain::save(u"new"_s, u"another@box/media"_s));
        QVERIFY(!Keychain::deleteItem(m_account));
        QVERIFY(!Keychain::save(QString(), m_account));
        // Still there, locked.
        QCOMPARE(labels(m_account), QStringList{u"Vigilmount — "_s + m_account});
    }
};

QTEST_GUILESS_MAIN(KeychainTest)
#include "KeychainTest.moc"
