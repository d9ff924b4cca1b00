#include "FakePorts.h"
#include "TabTestSupport.h"

#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "settings/AppSettings.h"
#include "ui/settings/SegmentedControl.h"
#include "ui/settings/VolumeSettingsView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace TabTestSupport;

class VolumeSettingsViewTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<EventLog> m_log;
    std::unique_ptr<AppSettings> m_settings;
    FakeMachine m_machine;
    std::unique_ptr<Watchdog> m_watchdog;
    QPointer<QWidget> m_window;
    VolumeSettingsView *m_view = nullptr;

    VolumeSettingsView *makeView()
    {
        m_view = new VolumeSettingsView(*m_settings, *m_watchdog);
        m_window = hostInWindow(m_view, QStringLiteral("Volume"));
        return m_view;
    }
    template <typename T> T *child(const char *name) { return m_view->findChild<T *>(name); }
    QPushButton *mountNow() { return child<QPushButton>("mountNowButton"); }
    bool spinnerShown() { return child<QWidget>("mountSpinner")->isVisible(); }
    QLabel *result() { return child<QLabel>("mountResult"); }
    // Selects what the field holds and types over it, as a user would.
    static void retype(QLineEdit *field, const QString &text)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }
    void configure(const QString &host, const QString &share)
    {
        m_settings->setServerHost(host);
        m_settings->setShareName(share);
    }

private Q_SLOTS:
    void initTestCase() { useFixedEnvironment(); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_log = std::make_unique<EventLog>(m_dir->path());
        m_settings = std::make_unique<AppSettings>();
        m_settings->setWatchPlex(true);
        m_settings->setWatchVolume(true);
        m_settings->setUsername(QString());
        configure(QStringLiteral("nas.local"), QStringLiteral("media"));
        m_machine = FakeMachine();
        m_machine.server->running = true;
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

    // Mount Now.

    void mountNowNeedsServerAndShare_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("share");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("both set") << "nas.local"
                                  << "media" << true;
        QTest::newRow("no server") << ""
                                   << "media" << false;
        QTest::newRow("blank server") << "   "
                                      << "media" << false;
        QTest::newRow("no share") << "nas.local"
                                  << "" << false;
        QTest::newRow("blank share") << "nas.local"
                                     << "  " << false;
    }

    void mountNowNeedsServerAndShare()
    {
        QFETCH(QString, host);
        QFETCH(QString, share);
        QFETCH(bool, enabled);
        makeView();
        retype(child<QLineEdit>("hostField"), host);
        retype(child<QLineEdit>("shareField"), share);
        QCOMPARE(m_settings->serverHost(), host);
        QCOMPARE(m_settings->shareName(), share);
        QCOMPARE(mountNow()->isEnabled(), enabled);
    }

    void mountNowShowsTheCycleSummary()
    {
        m_machine.share->holdMount = true;
        makeView();
        QVERIFY(!result()->isVisible());
        mountNow()->click();
        QVERIFY(!mountNow()->isEnabled());
        QVERIFY(spinnerShown());
        QTRY_VERIFY(m_machine.share->mountPending());

        m_machine.share->finishMount();
        QTRY_VERIFY(!m_view->isMounting());
        QCOMPARE(result()->text(), QStringLiteral("Plex running · Volume remounted"));
        QCOMPARE(result()->text(), m_watchdog->lastMessage());
        QVERIFY(result()->isVisible());
        QVERIFY(mountNow()->isEnabled());
        QVERIFY(!spinnerShown());
        QCOMPARE(child<QLabel>("mountPoint")->text(), m_machine.share->outcome.mountPoint);

        // A failed mount shows the failure summary; the next press clears the old line first.
        m_machine.share->outcome = {false, {}, QStringLiteral("The server could not be reached.")};
        m_machine.share->mounted.reset();
        mountNow()->click();
        QVERIFY(!result()->isVisible());
        QTRY_VERIFY(m_machine.share->mountPending());
        m_machine.share->finishMount();
        QTRY_VERIFY(!m_view->isMounting());
        QCOMPARE(result()->text(),
                 QStringLiteral("Plex running · Volume down — The server could not be reached."));
        QCOMPARE(child<QLabel>("mountPoint")->text(), QStringLiteral("Not mounted"));
    }

    void mountNowDuringARunningCycleShowsTheCurrentSummary()
    {
        m_machine.share->holdMount = true;
        makeView();
        m_watchdog->checkNow(QStringLiteral("timer"));
        QTRY_VERIFY(m_machine.share->mountPending());

        mountNow()->click();
        QVERIFY(!m_view->isMounting());
        QCOMPARE(result()->text(), QStringLiteral("Not checked yet"));
        QVERIFY(result()->isVisible());
        QVERIFY(mountNow()->isEnabled());
        QCOMPARE(m_machine.share->mounts, 1);

        m_machine.share->finishMount();
        QTRY_VERIFY(!m_watchdog->isChecking());
        // The line is the one the press produced; it stays until the next press.
        QCOMPARE(result()->text(), QStringLiteral("Not checked yet"));
    }

    void mountNowWorksWithWatchingOff()
    {
        makeView();
        child<QCheckBox>("watchVolumeToggle")->click();
        QVERIFY(!m_settings->watchVolume());
        QVERIFY(mountNow()->isEnabled());
        mountNow()->click();
        QTRY_VERIFY(!m_view->isMounting());
        QCOMPARE(result()->text(), QStringLiteral("Plex running"));
        QCOMPARE(m_machine.share->mounts, 0);
    }

    // Server fields.

    void fileManagerCaptionFallsBackOnlyForEmptyValues()
    {
        configure(QString(), QString());
        makeView();
        auto *caption = child<QLabel>("fileManagerPath");
        QCOMPARE(caption->text(), QStringLiteral("This is the name you'd click in your file "
                                                 "manager › Network › mediaserver › Plex."));
        QVERIFY(child<QLineEdit>("hostField")
                    ->placeholderText()
                    .startsWith(QStringLiteral("mediaserver.local or ")));
        QCOMPARE(child<QLineEdit>("shareField")->placeholderText(), QStringLiteral("Plex"));

        configure(QStringLiteral("  "), QStringLiteral("Movies"));
        QCOMPARE(caption->text(), QStringLiteral("This is the name you'd click in your file "
                                                 "manager › Network ›    › Movies."));
    }

    void protocolSegmentsWriteTheSetting()
    {
        m_settings->setShareProtocol(ShareProtocol::smb);
        makeView();
        auto *picker = child<SegmentedControl>("protocolPicker");
        QCOMPARE(picker->segment(0)->text(), QStringLiteral("SMB"));
        QCOMPARE(picker->segment(1)->text(), QStringLiteral("AFP"));
        QCOMPARE(picker->currentIndex(), 0);
        picker->segment(1)->click();
        QCOMPARE(m_settings->shareProtocol(), ShareProtocol::afp);
        QCOMPARE(AppSettings().shareProtocol(), ShareProtocol::afp);
        m_settings->setShareProtocol(ShareProtocol::smb);
        QCOMPARE(picker->currentIndex(), 0);
    }

    void mountPointRow()
    {
        makeView();
        auto *row = child<QLabel>("mountPoint");
        QCOMPARE(row->text(), QStringLiteral("Unknown"));
        m_machine.share->mounted = QStringLiteral("/run/user/1000/gvfs/media");
        m_watchdog->checkNow(QStringLiteral("timer"));
        QTRY_COMPARE(row->text(), QStringLiteral("/run/user/1000/gvfs/media"));
    }

    // Layout.

    void fitsAndIsReachable_data()
    {
        QTest::addColumn<qreal>("fontScale");
        QTest::newRow("default font") << 1.0;
        QTest::newRow("font x1.25") << 1.25;
    }

    void fitsAndIsReachable()
    {
        QFETCH(qreal, fontScale);
        const QFont original = QApplication::font();
        QFont scaled = original;
        scaled.setPointSizeF(original.pointSizeF() * fontScale);
        QApplication::setFont(scaled);
        m_settings->setUsername(QStringLiteral("plex"));
        m_machine.share->outcome = {false,
                                    {},
                                    QStringLiteral("The server refused the user name or password "
                                                   "(error 13).")};
        makeView();
        mountNow()->click();
        QTRY_VERIFY(!m_view->isMounting());
        QApplication::processEvents();

        const QStringList clipped = clippedWidgets(m_view);
        const QStringList unreachable = unreachableOrUnnamedControls(m_view);
        saveScreenshot(m_window,
                       fontScale > 1 ? QStringLiteral("volume-font125") : QStringLiteral("volume"));
        QApplication::setFont(original);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
        QVERIFY2(unreachable.isEmpty(), qPrintable(unreachable.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(VolumeSettingsViewTest)
#include "VolumeSettingsViewTest.moc"
