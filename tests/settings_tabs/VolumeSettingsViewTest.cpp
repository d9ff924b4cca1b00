#include "TabTestSupport.h"

#include "platform/Keychain.h"
#include "ui/settings/SegmentedControl.h"
#include "ui/settings/VolumeSettingsView.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

using namespace TabTestSupport;

// Runs with a real keyring on a private session bus.
class VolumeSettingsViewTest : public QObject
{
    Q_OBJECT

    TabWorld m_world;
    VolumeSettingsView *m_view = nullptr;

    AppSettings &settings() { return *m_world.settings; }
    FakeShare &share() { return *m_world.machine.share; }
    void makeView()
    {
        m_view = new VolumeSettingsView(settings(), *m_world.watchdog);
        m_world.show(m_view, QStringLiteral("Volume"));
    }
    template <typename T> T *child(const char *name) { return m_view->findChild<T *>(name); }
    QPushButton *mountNow() { return child<QPushButton>("mountNowButton"); }
    QLabel *result() { return child<QLabel>("mountResult"); }
    bool spinnerShown() { return child<QWidget>("mountSpinner")->isVisible(); }
    // Selects what the field holds and types over it, as a user would.
    void retype(const char *name, const QString &text)
    {
        auto *field = child<QLineEdit>(name);
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }
    static QString account(const QString &user)
    {
        return user + QStringLiteral("@nas.local/media");
    }

private Q_SLOTS:
    void initTestCase() { useFixedEnvironment(); }
    void init() { m_world.setUp(); }
    void cleanup() { m_world.tearDown(); }

    // Mount Now.

    void mountNowNeedsServerAndShare_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("shareName");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("both set") << QStringLiteral("nas.local") << QStringLiteral("media") << true;
        QTest::newRow("no server") << QString() << QStringLiteral("media") << false;
        QTest::newRow("blank server") << QStringLiteral("   ") << QStringLiteral("media") << false;
        QTest::newRow("blank share")
            << QStringLiteral("nas.local") << QStringLiteral("  ") << false;
    }

    void mountNowNeedsServerAndShare()
    {
        QFETCH(QString, host);
        QFETCH(QString, shareName);
        QFETCH(bool, enabled);
        makeView();
        retype("hostField", host);
        retype("shareField", shareName);
        QCOMPARE(settings().serverHost(), host);
        QCOMPARE(settings().shareName(), shareName);
        QCOMPARE(mountNow()->isEnabled(), enabled);
    }

    void mountNowShowsTheCycleSummary()
    {
        share().holdMount = true;
        makeView();
        QCOMPARE(child<QLabel>("mountPoint")->text(), QStringLiteral("Unknown"));
        QVERIFY(!result()->isVisible());
        mountNow()->click();
        QVERIFY(!mountNow()->isEnabled());
        QVERIFY(spinnerShown());
        QTRY_VERIFY(share().mountPending());
        share().finishMount();
        QTRY_VERIFY(!m_view->isMounting());
        QCOMPARE(result()->text(), QStringLiteral("Plex running · Volume remounted"));
        QVERIFY(mountNow()->isEnabled() && !spinnerShown() && result()->isVisible());
        QCOMPARE(child<QLabel>("mountPoint")->text(), share().outcome.mountPoint);

        // The next press clears the old line first; a failure shows the failure summary.
        share().outcome = {false, {}, QStringLiteral("The server could not be reached.")};
        mountNow()->click();
        QVERIFY(!result()->isVisible());
        QTRY_VERIFY(share().mountPending());
        share().finishMount();
        QTRY_VERIFY(!m_view->isMounting());
        QCOMPARE(result()->text(),
                 QStringLiteral("Plex running · Volume down — The server could not be reached."));
        QCOMPARE(child<QLabel>("mountPoint")->text(), QStringLiteral("Not mounted"));
    }

    void mountNowDuringARunningCycleShowsTheCurrentSummary()
    {
        share().holdMount = true;
        makeView();
        m_world.watchdog->checkNow(QStringLiteral("timer"));
        QTRY_VERIFY(share().mountPending());
        mountNow()->click();
        QVERIFY(!m_view->isMounting());
        QCOMPARE(result()->text(), QStringLiteral("Not checked yet"));
        QVERIFY(mountNow()->isEnabled());
        share().finishMount();
        QTRY_VERIFY(!m_world.watchdog->isChecking());
        QCOMPARE(share().mounts, 1);
        QCOMPARE(result()->text(), QStringLiteral("Not checked yet")); // until the next press
    }

    void mountNowWorksWithWatchingOff()
    {
        makeView();
        child<QCheckBox>("watchVolumeToggle")->click();
        QVERIFY(!settings().watchVolume());
        mountNow()->click();
        QTRY_VERIFY(!m_view->isMounting());
        QCOMPARE(result()->text(), QStringLiteral("Plex running"));
        QCOMPARE(share().mounts, 0);
    }

    // Server fields.

    void fileManagerCaptionFallsBackOnlyForEmptyValues()
    {
        settings().setServerHost(QString());
        settings().setShareName(QString());
        makeView();
        auto *caption = child<QLabel>("fileManagerPath");
        QCOMPARE(caption->text(), QStringLiteral("This is the name you'd click in your file "
                                                 "manager › Network › mediaserver › Plex."));
        QVERIFY(child<QLineEdit>("hostField")
                    ->placeholderText()
                    .startsWith(QStringLiteral("mediaserver.local or ")));
        settings().setServerHost(QStringLiteral("  "));
        settings().setShareName(QStringLiteral("Movies"));
        QCOMPARE(caption->text(), QStringLiteral("This is the name you'd click in your file "
                                                 "manager › Network ›    › Movies."));
    }

    void protocolSegmentsWriteTheSetting()
    {
        settings().setShareProtocol(ShareProtocol::smb);
        makeView();
        auto *picker = child<SegmentedControl>("protocolPicker");
        QCOMPARE(picker->segment(1)->text(), QStringLiteral("AFP"));
        picker->segment(1)->click();
        QCOMPARE(AppSettings().shareProtocol(), ShareProtocol::afp);
        settings().setShareProtocol(ShareProtocol::smb);
        QCOMPARE(picker->currentIndex(), 0);
    }

    // The password, in the keyring only.

    void passwordIsLoadedEachTimeTheTabAppears()
    {
        settings().setUsername(QStringLiteral("load"));
        QVERIFY(Keychain::save(QStringLiteral("stored secret"), account(QStringLiteral("load"))));
        makeView();
        QCOMPARE(child<QLineEdit>("passwordField")->text(), QStringLiteral("stored secret"));
        QCOMPARE(child<QLineEdit>("passwordField")->echoMode(), QLineEdit::Password);

        QVERIFY(Keychain::save(QStringLiteral("changed"), account(QStringLiteral("load"))));
        m_world.window->hide();
        m_world.window->show();
        QCOMPARE(child<QLineEdit>("passwordField")->text(), QStringLiteral("changed"));
    }

    void typingAUserNameSavesUnderEveryIntermediateAccount()
    {
        makeView();
        QTest::keyClicks(child<QLineEdit>("passwordField"), QStringLiteral("pw-1"));
        QTest::keyClicks(child<QLineEdit>("userField"), QStringLiteral("bob"));
        QCOMPARE(settings().username(), QStringLiteral("bob"));
        for (const QString user : {"", "b", "bo", "bob"}) // earlier items stay behind
            QCOMPARE(Keychain::password(account(user)), QStringLiteral("pw-1"));

        QFile file(QDir(qEnvironmentVariable("XDG_CONFIG_HOME"))
                       .filePath(QStringLiteral("Vigilmount/Vigilmount.conf")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().contains("pw-1"));

        // A change of server or share moves nothing.
        QTest::keyClicks(child<QLineEdit>("shareField"), QStringLiteral("2"));
        QCOMPARE(Keychain::password(QStringLiteral("bob@nas.local/media2")), std::nullopt);
        QCOMPARE(child<QLineEdit>("passwordField")->text(), QStringLiteral("pw-1"));
    }

    void clearingThePasswordDeletesTheItem()
    {
        settings().setUsername(QStringLiteral("carol"));
        QVERIFY(Keychain::save(QStringLiteral("old"), account(QStringLiteral("carol"))));
        makeView();
        retype("passwordField", QString());
        QCOMPARE(Keychain::password(account(QStringLiteral("carol"))), std::nullopt);
    }

    // Layout.

    void fitsAndIsReachable_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::newRow("volume") << 1.0;
        QTest::newRow("volume-font125") << 1.25;
    }

    void fitsAndIsReachable()
    {
        QFETCH(qreal, scale);
        ScaledFont font(scale);
        settings().setUsername(QStringLiteral("plex"));
        share().outcome = {
            false, {}, QStringLiteral("The server refused the user name or password.")};
        makeView();
        mountNow()->click();
        QTRY_VERIFY(!m_view->isMounting());
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        const QStringList problems = layoutProblems(m_view, m_world.window, name);
        QScrollBar *scroll = m_view->findChild<QScrollArea *>()->verticalScrollBar();
        scroll->setValue(scroll->maximum()); // the status section with the result line
        savePicture(m_world.window, name + QStringLiteral("-end"));
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(VolumeSettingsViewTest)
#include "VolumeSettingsViewTest.moc"
