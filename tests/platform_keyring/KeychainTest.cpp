// The share password in the harness's gnome-keyring, checked against what secret-tool sees.
// The last case locks the keyring; there is no headless way to unlock it again.
#include "platform/Keychain.h"

#include <QProcess>
#include <QTest>

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
    process.start(QStringLiteral("secret-tool"), arguments);
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
        secretTool({QStringLiteral("lookup"), QStringLiteral("service"),
                    QStringLiteral("Vigilmount"), QStringLiteral("account"), account});
    if (!tool.finished || tool.exitCode != 0)
        return std::nullopt;
    return tool.output;
}

// Labels of the items for the account, as secret-tool lists them.
QStringList labels(const QString &account)
{
    const Tool tool =
        secretTool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("service"),
                    QStringLiteral("Vigilmount"), QStringLiteral("account"), account});
    QStringList found;
    for (const QString &line : tool.output.split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("label = ")))
            found.append(line.mid(8));
    }
    return found;
}

} // namespace

class KeychainTest : public QObject
{
    Q_OBJECT

    const QString m_account = QStringLiteral("share@box.lan/media");

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariable("VIGILMOUNT_KEYRING_PASSWORD").isEmpty(),
                 "the keyring component is not running");
        QVERIFY2(secretTool({QStringLiteral("--version")}).finished, "secret-tool is missing");
    }

    void cleanup()
    {
        secretTool({QStringLiteral("clear"), QStringLiteral("service"),
                    QStringLiteral("Vigilmount"), QStringLiteral("account"), m_account});
    }

    void serviceName() { QCOMPARE(Keychain::service(), QStringLiteral("Vigilmount")); }

    void roundTrip()
    {
        QVERIFY(!Keychain::password(m_account));
        const QString secret = QStringLiteral("p\u00e4ss w\u00f6rd \u2014 \U0001F511");
        QVERIFY(Keychain::save(secret, m_account));
        QCOMPARE(Keychain::password(m_account), std::optional<QString>(secret));
        // The same item for other tools: service and account only, text as UTF-8.
        QCOMPARE(lookup(m_account), std::optional<QString>(secret));
        QCOMPARE(labels(m_account), QStringList{QStringLiteral("Vigilmount — ") + m_account});
        // Accounts are told apart exactly.
        QVERIFY(!Keychain::password(m_account + QStringLiteral("x")));
        QVERIFY(!Keychain::password(m_account.toUpper()));
    }

    void secondSaveKeepsTheItemAndItsLabel()
    {
        QVERIFY(Keychain::save(QStringLiteral("first"), m_account));
        QVERIFY(Keychain::save(QStringLiteral("second"), m_account));
        QCOMPARE(Keychain::password(m_account), std::optional<QString>(QStringLiteral("second")));
        QCOMPARE(labels(m_account), QStringList{QStringLiteral("Vigilmount — ") + m_account});
    }

    void labelOfAnExistingItemStays()
    {
        const Tool stored = secretTool({QStringLiteral("store"), QStringLiteral("--label=Mine"),
                                        QStringLiteral("service"), QStringLiteral("Vigilmount"),
                                        QStringLiteral("account"), m_account},
                                       "old");
        QVERIFY(stored.finished && stored.exitCode == 0);
        QCOMPARE(Keychain::password(m_account), std::optional<QString>(QStringLiteral("old")));
        QVERIFY(Keychain::save(QStringLiteral("new"), m_account));
        QCOMPARE(lookup(m_account), std::optional<QString>(QStringLiteral("new")));
        QCOMPARE(labels(m_account), QStringList{QStringLiteral("Mine")});
    }

    void emptyPasswordDeletes()
    {
        QVERIFY(Keychain::save(QStringLiteral("secret"), m_account));
        QVERIFY(lookup(m_account));
        QVERIFY(Keychain::save(QString(), m_account));
        QVERIFY(!lookup(m_account));
        QVERIFY(!Keychain::password(m_account));
        // Nothing left to delete still counts as success.
        QVERIFY(Keychain::save(QString(), m_account));
    }

    void deleting()
    {
        QVERIFY(Keychain::deleteItem(QStringLiteral("never-stored@nowhere/none")));
        QVERIFY(Keychain::save(QStringLiteral("secret"), m_account));
        QVERIFY(Keychain::save(QStringLiteral("other"), QStringLiteral("@/")));
        QVERIFY(Keychain::deleteItem(m_account));
        QVERIFY(!lookup(m_account));
        // Only that account's item goes.
        QCOMPARE(Keychain::password(QStringLiteral("@/")),
                 std::optional<QString>(QStringLiteral("other")));
        QVERIFY(Keychain::deleteItem(QStringLiteral("@/")));
    }

    void emptyAccount()
    {
        QVERIFY(!Keychain::save(QStringLiteral("secret"), QString()));
        QVERIFY(!Keychain::save(QString(), QString()));
        QVERIFY(!Keychain::password(QString()));
        QVERIFY(!lookup(QString()));
    }

    // A locked keyring is a failure: saving fails and the password reads as none, while the
    // item is still there (so deleting it fails too).
    void lockedKeyring()
    {
        QVERIFY(Keychain::save(QStringLiteral("secret"), m_account));
        QProcess lock;
        lock.start(qEnvironmentVariable("VIGILMOUNT_HARNESS_DIR") +
                       QStringLiteral("/tools/keyring-lock.sh"),
                   QStringList());
        QVERIFY2(lock.waitForFinished(15000) && lock.exitStatus() == QProcess::NormalExit &&
                     lock.exitCode() == 0,
                 lock.readAllStandardError().constData());

        QVERIFY(!Keychain::password(m_account));
        QVERIFY(!Keychain::save(QStringLiteral("changed"), m_account));
        QVERIFY(!Keychain::save(QStringLiteral("new"), QStringLiteral("another@box/media")));
        QVERIFY(!Keychain::deleteItem(m_account));
        QVERIFY(!Keychain::save(QString(), m_account));
        // Still there, locked.
        QCOMPARE(labels(m_account), QStringList{QStringLiteral("Vigilmount — ") + m_account});
    }
};

QTEST_GUILESS_MAIN(KeychainTest)
#include "KeychainTest.moc"
