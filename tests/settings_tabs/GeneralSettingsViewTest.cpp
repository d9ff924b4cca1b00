#include "FakePorts.h"
#include "TabTestSupport.h"

#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "platform/LaunchAtLogin.h"
#include "settings/AppSettings.h"
#include "ui/settings/GeneralSettingsView.h"
#include "ui/settings/Stepper.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace TabTestSupport;

class GeneralSettingsViewTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<EventLog> m_log;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<LaunchAtLogin> m_login;
    FakeMachine m_machine;
    std::unique_ptr<Watchdog> m_watchdog;
    QPointer<QWidget> m_window;
    GeneralSettingsView *m_view = nullptr;

    GeneralSettingsView *makeView()
    {
        m_view = new GeneralSettingsView(*m_settings, *m_login, *m_watchdog);
        m_window = hostInWindow(m_view, QStringLiteral("General"));
        return m_view;
    }
    template <typename T> T *child(const char *name) { return m_view->findChild<T *>(name); }
    QString text(const char *label) { return child<QLabel>(label)->text(); }
    bool spinnerShown() { return child<QWidget>("checkSpinner")->isVisible(); }
    // Clicks on the upper or lower half of the stepper.
    void stepUp() { clickStepper(+1); }
    void stepDown() { clickStepper(-1); }
    void clickStepper(int direction)
    {
        auto *stepper = child<Stepper>("intervalStepper");
        const int y = direction > 0 ? stepper->height() / 4 : stepper->height() * 3 / 4;
        QTest::mouseClick(stepper, Qt::LeftButton, {}, QPoint(stepper->width() / 2, y));
    }
    void typeInterval(const QString &typed)
    {
        auto *field = child<QLineEdit>("intervalField");
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
    }
    static QString autostartPath()
    {
        return QDir(qEnvironmentVariable("XDG_CONFIG_HOME"))
            .filePath(QStringLiteral("autostart/vigilmount.desktop"));
    }
    static void writeAutostartEntry(const QString &exec)
    {
        QDir().mkpath(QFileInfo(autostartPath()).path());
        QFile entry(autostartPath());
        QVERIFY(entry.open(QIODevice::WriteOnly | QIODevice::Truncate));
        entry.write("[Desktop Entry]\nType=Application\nName=Vigilmount\nExec=" + exec.toUtf8() +
                    "\n");
    }

private Q_SLOTS:
    void initTestCase()
    {
        useFixedEnvironment();
        setNow(Clock::fromDateTime(
            QDateTime::fromString(QStringLiteral("2026-03-01T12:00:00Z"), Qt::ISODate)));
    }

    void init()
    {
        QFile::remove(autostartPath());
        m_dir = std::make_unique<QTemporaryDir>();
        m_log = std::make_unique<EventLog>(m_dir->path());
        m_settings = std::make_unique<AppSettings>();
        m_settings->setWatchVolume(false);
        m_settings->setWatchPlex(true);
        m_settings->setVerboseLogging(false);
        m_login = std::make_unique<LaunchAtLogin>(*m_log);
        m_machine = FakeMachine();
        m_machine.server->running = true;
        m_watchdog = std::make_unique<Watchdog>(*m_settings, *m_log, m_machine.services());
    }

    void cleanup()
    {
        delete m_window;
        m_watchdog.reset();
        m_login.reset();
        m_settings.reset();
        m_log.reset();
        m_dir.reset();
    }

    // Interval.

    void stepperClampsToItsRange()
    {
        m_settings->setCheckIntervalMinutes(1);
        makeView();
        stepDown();
        QCOMPARE(m_settings->checkIntervalMinutes(), 0.5);
        stepDown();
        QCOMPARE(m_settings->checkIntervalMinutes(), 0.5);
        stepUp();
        QCOMPARE(m_settings->checkIntervalMinutes(), 1.5);
        QCOMPARE(child<QLineEdit>("intervalField")->text(), QStringLiteral("1.5"));

        m_settings->setCheckIntervalMinutes(720);
        stepUp();
        QCOMPARE(m_settings->checkIntervalMinutes(), 720.0);
        m_settings->setCheckIntervalMinutes(719.5);
        stepUp();
        QCOMPARE(m_settings->checkIntervalMinutes(), 720.0);

        // The keyboard steps too.
        auto *stepper = child<Stepper>("intervalStepper");
        stepper->setFocus();
        QTest::keyClick(stepper, Qt::Key_Down);
        QCOMPARE(m_settings->checkIntervalMinutes(), 719.0);
        QTest::keyClick(stepper, Qt::Key_Up);
        QCOMPARE(m_settings->checkIntervalMinutes(), 720.0);
    }

    void typedIntervalIsStoredUnclamped()
    {
        makeView();
        typeInterval(QStringLiteral("1000"));
        QCOMPARE(m_settings->checkIntervalMinutes(), 1000.0);
        QCOMPARE(AppSettings().checkIntervalMinutes(), 1000.0); // written at once

        typeInterval(QStringLiteral("0.1"));
        QCOMPARE(m_settings->checkIntervalMinutes(), 0.1);

        // Text that is not a number changes nothing and the field shows the stored value.
        typeInterval(QStringLiteral("soon"));
        QCOMPARE(m_settings->checkIntervalMinutes(), 0.1);
        QCOMPARE(child<QLineEdit>("intervalField")->text(), QStringLiteral("0.1"));

        // The stepper clamps a typed value that lies outside its range.
        typeInterval(QStringLiteral("1000"));
        stepDown();
        QCOMPARE(m_settings->checkIntervalMinutes(), 720.0);
    }

    void intervalFollowsTheLocale()
    {
        m_settings->setCheckIntervalMinutes(2.5);
        makeView();
        m_view->setLocale(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(child<QLineEdit>("intervalField")->text(), QStringLiteral("2,5"));
        typeInterval(QStringLiteral("7,5"));
        QCOMPARE(m_settings->checkIntervalMinutes(), 7.5);
    }

    void togglesWriteTheirSettings()
    {
        m_settings->setCheckOnWake(true);
        m_settings->setNotifyOnAction(true);
        makeView();
        auto *wake = child<QCheckBox>("wakeToggle");
        auto *notify = child<QCheckBox>("notifyToggle");
        QCOMPARE(wake->text(),
                 QStringLiteral("Also check right after the computer wakes from sleep"));
        QVERIFY(wake->isChecked() && notify->isChecked());
        wake->click();
        notify->click();
        QVERIFY(!m_settings->checkOnWake());
        QVERIFY(!m_settings->notifyOnAction());
        QVERIFY(!AppSettings().checkOnWake());
        m_settings->setNotifyOnAction(true);
        QVERIFY(notify->isChecked());
    }

    // Manual check.

    void spinnerFollowsAnyRunningCheck()
    {
        m_machine.server->running = false;
        m_machine.server->holdLaunch = true;
        makeView();
        QVERIFY(!spinnerShown());
        QCOMPARE(text("lastMessage"), QStringLiteral("Not checked yet"));

        // A check the timer started, not this tab.
        m_watchdog->checkNow(QStringLiteral("timer"));
        QVERIFY(m_watchdog->isChecking());
        QVERIFY(spinnerShown());

        // Check Now during that check starts nothing new; the spinner stays.
        child<QPushButton>("checkNowButton")->click();
        QVERIFY(child<QPushButton>("checkNowButton")->isEnabled());
        QTRY_VERIFY(m_machine.server->launchPending());
        QCOMPARE(m_machine.server->launches, 1);
        QVERIFY(spinnerShown());

        m_machine.server->finishLaunch();
        QTRY_VERIFY(!spinnerShown());
        QCOMPARE(text("lastMessage"), QStringLiteral("Plex restarted"));
    }

    void checkNowRunsAManualCycle()
    {
        m_settings->setVerboseLogging(true);
        makeView();
        child<QPushButton>("checkNowButton")->click();
        QTRY_COMPARE(text("lastMessage"), QStringLiteral("Plex running"));
        QVERIFY(!m_log->events().isEmpty());
        QCOMPARE(m_log->events().first().kind, LogEvent::Kind::checkStarted);
        QCOMPARE(m_log->events().first().detail, QStringLiteral("manual"));
    }

    // Login item.

    void statusCaptions_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("caption");
        QTest::newRow("not registered") << 0 << QStringLiteral("Off");
        QTest::newRow("enabled") << 1 << QStringLiteral("Enabled");
        QTest::newRow("requires approval")
            << 2 << QStringLiteral("Needs approval in System Settings › General › Login Items");
        QTest::newRow("not found") << 3 << QStringLiteral("Not registered");
        QTest::newRow("anything else") << 4 << QStringLiteral("Unknown");
    }

    void statusCaptions()
    {
        QFETCH(int, status);
        QFETCH(QString, caption);
        makeView();
        int reads = 0;
        m_view->setStatusSourceForTesting([&] {
            ++reads;
            return status;
        });
        QCOMPARE(text("loginStatus"), caption);
        // Read afresh whenever the tab redraws, not remembered.
        const int before = reads;
        m_settings->setCheckOnWake(false);
        QVERIFY(reads > before);
    }

    void statusComesFromTheAutostartEntry()
    {
        makeView();
        QCOMPARE(text("loginStatus"), QStringLiteral("Off"));
        QVERIFY(!child<QCheckBox>("loginToggle")->isChecked());

        // Changed outside the program: shows when the tab comes on screen again.
        writeAutostartEntry(QCoreApplication::applicationFilePath());
        m_window->hide();
        m_window->show();
        QCOMPARE(text("loginStatus"), QStringLiteral("Enabled"));
        QVERIFY(child<QCheckBox>("loginToggle")->isChecked());

        writeAutostartEntry(m_dir->filePath(QStringLiteral("no-such-binary")));
        m_window->hide();
        m_window->show();
        QCOMPARE(text("loginStatus"), QStringLiteral("Not registered"));
        QVERIFY(!child<QCheckBox>("loginToggle")->isChecked());
    }

    void toggleRegistersAndFailuresShowInRed()
    {
        makeView();
        auto *toggle = child<QCheckBox>("loginToggle");
        QVERIFY(!child<QLabel>("loginError")->isVisible());
        toggle->click();
        QVERIFY(QFile::exists(autostartPath()));
        QCOMPARE(text("loginStatus"), QStringLiteral("Enabled"));
        toggle->click();
        QVERIFY(!QFile::exists(autostartPath()));
        QCOMPARE(text("loginStatus"), QStringLiteral("Off"));

        // A file where the autostart folder belongs: registering fails with the system's
        // message, which stays in red under the status.
        const QString folder = QFileInfo(autostartPath()).path();
        QDir(folder).removeRecursively();
        {
            QFile blocker(folder);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        toggle->click();
        QVERIFY(!toggle->isChecked());
        auto *error = child<QLabel>("loginError");
        QVERIFY(error->isVisible());
        QVERIFY(!error->text().isEmpty());
        QCOMPARE(error->text(), m_login->lastError().value_or(QString()));
        QCOMPARE(error->palette().color(QPalette::WindowText).red() > 150, true);
        QCOMPARE(error->palette().color(QPalette::WindowText).green() < 100, true);

        QFile::remove(folder);
        toggle->click();
        QVERIFY(toggle->isChecked());
        QVERIFY(!error->isVisible());
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
        m_machine.server->holdLaunch = true;
        m_machine.server->running = false;
        makeView();
        m_watchdog->checkNow(QStringLiteral("timer")); // shows the spinner in the picture
        QTRY_VERIFY(m_machine.server->launchPending());

        const QStringList clipped = clippedWidgets(m_view);
        const QStringList unreachable = unreachableOrUnnamedControls(m_view);
        saveScreenshot(m_window, fontScale > 1 ? QStringLiteral("general-font125")
                                               : QStringLiteral("general"));
        m_machine.server->finishLaunch();
        QTRY_VERIFY(!m_watchdog->isChecking());
        QApplication::setFont(original);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
        QVERIFY2(unreachable.isEmpty(), qPrintable(unreachable.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(GeneralSettingsViewTest)
#include "GeneralSettingsViewTest.moc"
