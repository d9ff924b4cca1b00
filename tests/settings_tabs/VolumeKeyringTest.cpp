#include "FakePorts.h"
#include "TabTestSupport.h"

#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "platform/Keychain.h"
#include "settings/AppSettings.h"
#include "ui/settings/VolumeSettingsView.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace TabTestSupport;

// The Volume tab's password against the real keyring of the test session.
class VolumeKeyringTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<EventLog> m_log;
    std::unique_ptr<AppSettings> m_settings;
    FakeMachine m_machine;
    std::unique_ptr<Watchdog> m_watchdog;
    QPointer<QWidget> m_window;
    VolumeSettingsView *m_view = nullptr;

    void makeView()
    {
        m_view = new VolumeSettingsView(*m_settings, *m_watchdog);
        m_window = hostInWindow(m_view, QStringLiteral("Volume"));
    }
    QLineEdit *field(const char *name) { return m_view->findChild<QLineEdit *>(name); }
    static QString account(const QString &user)
    {
        return user + QStringLiteral("@nas.local/media");
    }

private Q_SLOTS:
    void initTestCase() { useFixedEnvironment(); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_log = std::make_unique<EventLog>(m_dir->path());
        m_settings = std::make_unique<AppSettings>();
        m_settings->setServerHost(QStringLiteral("nas.local"));
        m_settings->setShareName(QStringLiteral("media"));
        m_settings->setUsername(QString());
        m_watchdog = std::make_unique<Watchdog>(*m_settings, *m_log, m_machine.services());
    }

    void cleanup()
    {
        delete m_window;
        m_watchdog.reset();
        m_settings.reset();
        m_log.reset();
        m_dir.reset();
    }

    void passwordIsLoadedEachTimeTheTabAppears()
    {
        m_settings->setUsername(QStringLiteral("load"));
        QVERIFY(Keychain::save(QStringLiteral("stored secret"), account(QStringLiteral("load"))));
        makeView();
        QCOMPARE(field("passwordField")->text(), QStringLiteral("stored secret"));
        QCOMPARE(field("passwordField")->echoMode(), QLineEdit::Password);

        QVERIFY(
            Keychain::save(QStringLiteral("changed elsewhere"), account(QStringLiteral("load"))));
        m_window->hide();
        m_window->show();
        QCOMPARE(field("passwordField")->text(), QStringLiteral("changed elsewhere"));
    }

    void typingAUserNameSavesUnderEveryIntermediateAccount()
    {
        makeView();
        QTest::keyClicks(field("passwordField"), QStringLiteral("pw-1"));
        QCOMPARE(Keychain::password(account(QString())), QStringLiteral("pw-1"));

        QTest::keyClicks(field("userField"), QStringLiteral("bob"));
        QCOMPARE(m_settings->username(), QStringLiteral("bob"));
        for (const char *user : {"b", "bo", "bob"})
            QCOMPARE(Keychain::password(account(QString::fromLatin1(user))),
                     QStringLiteral("pw-1"));
        // Earlier items stay behind.
        QCOMPARE(Keychain::password(account(QString())), QStringLiteral("pw-1"));

        // The password never reaches the settings file.
        QFile file(QDir(qEnvironmentVariable("XDG_CONFIG_HOME"))
                       .filePath(QStringLiteral("Vigilmount/Vigilmount.conf")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().contains("pw-1"));
    }

    void clearingThePasswordDeletesTheItem()
    {
        m_settings->setUsername(QStringLiteral("carol"));
        QVERIFY(Keychain::save(QStringLiteral("old"), account(QStringLiteral("carol"))));
        makeView();
        QLineEdit *password = field("passwordField");
        QCOMPARE(password->text(), QStringLiteral("old"));
        password->setFocus();
        password->selectAll();
        QTest::keyClick(password, Qt::Key_Backspace);
        QCOMPARE(password->text(), QString());
        QCOMPARE(Keychain::password(account(QStringLiteral("carol"))), std::nullopt);
    }

    void changingServerOrShareMovesNothing()
    {
        m_settings->setUsername(QStringLiteral("dave"));
        makeView();
        QTest::keyClicks(field("passwordField"), QStringLiteral("pw-2"));
        QTest::keyClicks(field("shareField"), QStringLiteral("2"));
        QCOMPARE(m_settings->shareName(), QStringLiteral("media2"));
        QCOMPARE(Keychain::password(QStringLiteral("dave@nas.local/media2")), std::nullopt);
        QCOMPARE(Keychain::password(account(QStringLiteral("dave"))), QStringLiteral("pw-2"));
        QCOMPARE(field("passwordField")->text(), QStringLiteral("pw-2"));
    }
};

QTEST_MAIN(VolumeKeyringTest)
#include "VolumeKeyringTest.moc"
