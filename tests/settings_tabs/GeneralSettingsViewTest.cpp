#include "TabTestSupport.h"

#include "platform/LaunchAtLogin.h"
#include "ui/settings/GeneralSettingsView.h"
#include "ui/settings/Stepper.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace TabTestSupport;

class GeneralSettingsViewTest : public QObject
{
    Q_OBJECT

    TabWorld m_world;
    std::unique_ptr<LaunchAtLogin> m_login;
    GeneralSettingsView *m_view = nullptr;

    AppSettings &settings() { return *m_world.settings; }
    FakeMediaServer &server() { return *m_world.machine.server; }
    void makeView()
    {
        m_view = new GeneralSettingsView(settings(), *m_login, *m_world.watchdog);
        m_world.show(m_view, QStringLiteral("General"));
    }
    template <typename T> T *child(const char *name) { return m_view->findChild<T *>(name); }
    QString text(const char *label) { return child<QLabel>(label)->text(); }
    bool spinnerShown() { return child<QWidget>("checkSpinner")->isVisible(); }
    void step(int direction)
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
    void reshow()
    {
        m_world.window->hide();
        m_world.window->show();
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
    void initTestCase() { useFixedEnvironment(); }

    void init()
    {
        QFile::remove(autostartPath());
        m_world.setUp();
        settings().setWatchVolume(false);
        m_login = std::make_unique<LaunchAtLogin>(*m_world.log);
    }

    void cleanup()
    {
        m_world.tearDown();
        m_login.reset();
    }

    // Interval.

    void stepperClampsToItsRange()
    {
        settings().setCheckIntervalMinutes(1);
        makeView();
        step(-1);
        QCOMPARE(settings().checkIntervalMinutes(), 0.5);
        step(-1);
        QCOMPARE(settings().checkIntervalMinutes(), 0.5);
        step(+1);
        QCOMPARE(settings().checkIntervalMinutes(), 1.5);
        QCOMPARE(child<QLineEdit>("intervalField")->text(), QStringLiteral("1.5"));

        settings().setCheckIntervalMinutes(719.5);
        step(+1);
        QCOMPARE(settings().checkIntervalMinutes(), 720.0);
        step(+1);
        QCOMPARE(settings().checkIntervalMinutes(), 720.0);

        auto *stepper = child<Stepper>("intervalStepper");
        stepper->setFocus();
        QTest::keyClick(stepper, Qt::Key_Down);
        QCOMPARE(settings().checkIntervalMinutes(), 719.0);
    }

    void typedIntervalIsStoredUnclamped()
    {
        makeView();
        typeInterval(QStringLiteral("1000"));
        QCOMPARE(AppSettings().checkIntervalMinutes(), 1000.0); // written at once
        typeInterval(QStringLiteral("0.1"));
        QCOMPARE(settings().checkIntervalMinutes(), 0.1);

        // Text that is not a number changes nothing; the field shows the stored value again.
        typeInterval(QStringLiteral("soon"));
        QCOMPARE(settings().checkIntervalMinutes(), 0.1);
        QCOMPARE(child<QLineEdit>("intervalField")->text(), QStringLiteral("0.1"));

        // The stepper brings a typed value outside its range back into it.
        typeInterval(QStringLiteral("1000"));
        step(-1);
        QCOMPARE(settings().checkIntervalMinutes(), 720.0);
    }

    void intervalFollowsTheLocale()
    {
        settings().setCheckIntervalMinutes(2.5);
        makeView();
        m_view->setLocale(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(child<QLineEdit>("intervalField")->text(), QStringLiteral("2,5"));
        typeInterval(QStringLiteral("7,5"));
        QCOMPARE(settings().checkIntervalMinutes(), 7.5);
    }

    void togglesWriteTheirSettings()
    {
        settings().setCheckOnWake(true);
        settings().setNotifyOnAction(true);
        makeView();
        child<QCheckBox>("wakeToggle")->click();
        child<QCheckBox>("notifyToggle")->click();
        QVERIFY(!AppSettings().checkOnWake());
        QVERIFY(!AppSettings().notifyOnAction());
        settings().setNotifyOnAction(true);
        QVERIFY(child<QCheckBox>("notifyToggle")->isChecked());
    }

    // Manual check.

    void spinnerFollowsAnyRunningCheck()
    {
        server().running = false;
        server().holdLaunch = true;
        makeView();
        QVERIFY(!spinnerShown());
        QCOMPARE(text("lastMessage"), QStringLiteral("Not checked yet"));

        m_world.watchdog->checkNow(QStringLiteral("timer")); // not started by this tab
        QVERIFY(spinnerShown());

        // Check Now during that check starts nothing new; the spinner stays.
        child<QPushButton>("checkNowButton")->click();
        QTRY_VERIFY(server().launchPending());
        QCOMPARE(server().launches, 1);
        QVERIFY(spinnerShown());

        server().finishLaunch();
        QTRY_VERIFY(!spinnerShown());
        QCOMPARE(text("lastMessage"), QStringLiteral("Plex restarted"));
    }

    void checkNowRunsAManualCycle()
    {
        settings().setVerboseLogging(true);
        makeView();
        child<QPushButton>("checkNowButton")->click();
        QTRY_COMPARE(text("lastMessage"), QStringLiteral("Plex running"));
        QCOMPARE(m_world.log->events().first().kind, LogEvent::Kind::checkStarted);
        QCOMPARE(m_world.log->events().first().detail, QStringLiteral("manual"));
    }

    // Login item.

    void statusCaptions()
    {
        makeView();
        int status = 0;
        int reads = 0;
        m_view->setStatusSourceForTesting([&] {
            ++reads;
            return status;
        });
        const QStringList captions = {
            QStringLiteral("Off"), QStringLiteral("Enabled"),
            QStringLiteral("Needs approval in System Settings › General › Login Items"),
            QStringLiteral("Not registered"), QStringLiteral("Unknown")};
        for (status = 0; status < captions.size(); ++status) {
            const int before = reads;
            settings().setCheckOnWake(status % 2); // any change redraws and reads again
            QVERIFY(reads > before);
            QCOMPARE(text("loginStatus"), captions[status]);
        }
    }

    void statusComesFromTheAutostartEntry()
    {
        makeView();
        QCOMPARE(text("loginStatus"), QStringLiteral("Off"));

        // Changed outside the program: shows when the tab comes on screen again.
        writeAutostartEntry(QCoreApplication::applicationFilePath());
        reshow();
        QCOMPARE(text("loginStatus"), QStringLiteral("Enabled"));
        QVERIFY(child<QCheckBox>("loginToggle")->isChecked());

        writeAutostartEntry(m_world.dir->filePath(QStringLiteral("no-such-binary")));
        reshow();
        QCOMPARE(text("loginStatus"), QStringLiteral("Not registered"));
        QVERIFY(!child<QCheckBox>("loginToggle")->isChecked());
    }

    void toggleRegistersAndFailuresShowInRed()
    {
        makeView();
        auto *toggle = child<QCheckBox>("loginToggle");
        auto *error = child<QLabel>("loginError");
        QVERIFY(!error->isVisible());
        toggle->click();
        QVERIFY(QFile::exists(autostartPath()));
        QCOMPARE(text("loginStatus"), QStringLiteral("Enabled"));
        toggle->click();
        QVERIFY(!QFile::exists(autostartPath()));

        // A file where the autostart folder belongs makes registering fail.
        const QString folder = QFileInfo(autostartPath()).path();
        QDir(folder).removeRecursively();
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        toggle->click();
        QVERIFY(!toggle->isChecked());
        QVERIFY(error->isVisible());
        QVERIFY(!error->text().isEmpty());
        QCOMPARE(error->text(), m_login->lastError().value_or(QString()));
        const QColor shown = error->palette().color(QPalette::WindowText);
        QVERIFY(shown.red() > 150 && shown.green() < 100 && shown.blue() < 100);

        blocker.remove();
        toggle->click();
        QVERIFY(toggle->isChecked());
        QVERIFY(!error->isVisible());
    }

    // Layout.

    void fitsAndIsReachable_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::newRow("general") << 1.0;
        QTest::newRow("general-font125") << 1.25;
    }

    void fitsAndIsReachable()
    {
        QFETCH(qreal, scale);
        ScaledFont font(scale);
        server().running = false;
        server().holdLaunch = true;
        makeView();
        m_world.watchdog->checkNow(QStringLiteral("timer")); // the spinner is in the picture
        QTRY_VERIFY(server().launchPending());
        const QStringList problems =
            layoutProblems(m_view, m_world.window, QString::fromLatin1(QTest::currentDataTag()));
        server().finishLaunch();
        QTRY_VERIFY(!m_world.watchdog->isChecking());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(GeneralSettingsViewTest)
#include "GeneralSettingsViewTest.moc"
