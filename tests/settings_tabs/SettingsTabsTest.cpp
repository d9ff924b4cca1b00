#include "TabSupport.h"

#include "KeychainWait.h"
#include "platform/LaunchAtLogin.h"
#include "ui/settings/GeneralSettingsView.h"
#include "ui/settings/HistoryListModel.h"
#include "ui/settings/HistoryView.h"
#include "ui/settings/PlexSettingsView.h"
#include "ui/settings/SegmentedControl.h"
#include "ui/settings/SummaryCard.h"
#include "ui/settings/VolumeSettingsView.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QListView>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>

using Kind = LogEvent::Kind;
using Window = HistoryView::Window;

// The four settings tabs, offscreen, on a watchdog with fake ports and a real keyring.
class SettingsTabsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TabWorld> w;
    QWidget *view = nullptr;

    template <typename T = QWidget> T *child(const char *name)
    {
        T *found = view->findChild<T *>(name);
        if (!found)
            qFatal("no child %s", name);
        return found;
    }
    QString text(const char *label) { return child<QLabel>(label)->text(); }
    void retype(const char *field, const QString &text)
    {
        auto *edit = child<QLineEdit>(field);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }

    QWidget *general()
    {
        return w->show(new GeneralSettingsView(w->settings, w->login, w->dog, w->log));
    }
    QWidget *plex() { return w->show(new PlexSettingsView(w->settings, w->dog)); }
    QWidget *volume() { return w->show(new VolumeSettingsView(w->settings, w->dog)); }
    QWidget *history() { return w->show(new HistoryView(w->log, w->settings)); }

    void step(int direction)
    {
        auto *stepper = child<Stepper>("intervalStepper");
        const int y = direction > 0 ? stepper->height() / 4 : stepper->height() * 3 / 4;
        QTest::mouseClick(stepper, Qt::LeftButton, {}, QPoint(stepper->width() / 2, y));
    }
    int count(const char *card) { return child<SummaryCard>(card)->count(); }
    QString caption(const char *card) { return child<SummaryCard>(card)->caption(); }
    void pickWindow(Window window)
    {
        child<SegmentedControl>("windowPicker")->segment(int(window))->click();
    }
    void pickFilter(HistoryView::Filter filter)
    {
        auto *combo = child<QComboBox>("filterPicker");
        combo->setCurrentIndex(int(filter));
        Q_EMIT combo->activated(int(filter));
    }
    QList<Kind> listed()
    {
        QList<Kind> kinds;
        const QAbstractItemModel *model = static_cast<HistoryView *>(view)->listView()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            kinds << Kind(model->index(row, 0).data(HistoryListModel::KindRole).toInt());
        return kinds;
    }
    // The text of a failure line, empty while it is hidden; a line that is not red says so.
    QString redLine(const char *name)
    {
        auto *line = child<QLabel>(name);
        const QColor shown = line->palette().color(QPalette::WindowText);
        if (shown.red() < 150 || shown.green() > 100 || shown.blue() > 100)
            return "<not red>";
        return line->isVisible() ? line->text() : QString();
    }
    QByteArray exportTo(const QString &name)
    {
        const QString path = w->folder.filePath(name);
        // Runs inside the dialog's exec(), once the dialog is up.
        QTimer::singleShot(0, [path] {
            if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                dialog->findChild<QLineEdit *>("fileNameEdit")->setText(path);
                static_cast<QDialog *>(dialog)->accept();
            }
        });
        child<QPushButton>("exportButton")->click();
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

private Q_SLOTS:
    void initTestCase() { useFixedEnvironment(); }
    void init() { w = std::make_unique<TabWorld>(); }
    void cleanup() { w.reset(); }

    // General.

    void stepperClampsAndTypingDoesNot()
    {
        w->settings.setCheckIntervalMinutes(1);
        view = general();
        for (auto [direction, expected] : {std::pair{-1, 0.5}, {-1, 0.5}, {+1, 1.5}}) {
            step(direction);
            QCOMPARE(w->settings.checkIntervalMinutes(), expected);
        }
        w->settings.setCheckIntervalMinutes(720);
        step(+1);
        QCOMPARE(w->settings.checkIntervalMinutes(), 720.0);

        retype("intervalField", "1000");
        QTest::keyClick(child<QLineEdit>("intervalField"), Qt::Key_Return);
        QCOMPARE(AppSettings().checkIntervalMinutes(), 1000.0);
    }

    void spinnerFollowsAnyRunningCheck()
    {
        w->fake.running = false;
        w->fake.launchAnswers.answer = Answer::hold;
        view = general();
        QVERIFY(!child("checkSpinner")->isVisible());
        w->dog.checkNow("timer"); // not started by this tab
        QVERIFY(child("checkSpinner")->isVisible());
        child<QPushButton>("checkNowButton")->click();
        QTRY_COMPARE(w->fake.launches.size(), 1);
        w->fake.launchAnswers.release();
        QTRY_VERIFY(!child("checkSpinner")->isVisible());
    }

    // Plex.

    void plexPathIsTestedAsStoredAndResetAlwaysWrites()
    {
        QFile app(w->folder.filePath("app"));
        QVERIFY(app.open(QIODevice::WriteOnly));
        w->settings.setPlexAppPath(QString());
        view = plex();
        for (auto [path, found] :
             {std::pair{"app", true}, {"app ", false}, {"", true}, {"missing", false}}) {
            w->settings.setPlexAppPath(w->folder.filePath(path));
            QVERIFY2((text("foundText") == "Found") == found, path);
        }
        w->settings.setPlexAppPath(AppSettings::Keys::plexAppPath.registeredDefault);
        QSignalSpy stored(&w->settings, &AppSettings::plexAppPathChanged);
        child<QPushButton>("resetButton")->click();
        QCOMPARE(stored.count(), 1);
    }

    void plexStatusTexts()
    {
        view = plex();
        QCOMPARE(text("plexStatus"), "Unknown");
        w->dog.checkNow("timer");
        QTRY_COMPARE(text("plexStatus"), "Running");
        QTRY_VERIFY(!w->dog.isChecking());
        w->fake.running = false;
        w->fake.launchAnswers.answer = Answer::fail;
        w->dog.checkNow("timer");
        QTRY_VERIFY(!w->dog.isChecking());
        QCOMPARE(text("plexStatus"), "Not running");
        w->fake.running = true;
        w->fake.process =
            ServerProcess{.pid = 7, .startedAt = Clock::now() - std::chrono::hours(1)};
        w->fake.probeAnswers = {false, false, false};
        w->dog.checkNow("timer");
        QTRY_COMPARE(text("plexStatus"), "Not answering");
        child<QCheckBox>("restartHungPlexToggle")->click();
        QVERIFY(!w->settings.restartUnresponsivePlex());
    }

    // Volume.

    void mountNowNeedsServerAndShare()
    {
        view = volume();
        for (auto [host, share, enabled] : {std::tuple{"box.lan", "media", true},
                                            {"   ", "media", false},
                                            {"box.lan", " ", false}}) {
            retype("hostField", host);
            retype("shareField", share);
            QCOMPARE(child<QPushButton>("mountNowButton")->isEnabled(), enabled);
        }
    }

    void mountNowShowsTheCycleSummary()
    {
        w->fake.mountAnswers.answer = Answer::hold;
        view = volume();
        auto *button = child<QPushButton>("mountNowButton");
        // Pressed while a cycle runs: that cycle's summary at once, no second mount.
        w->dog.checkNow("timer");
        QTRY_COMPARE(w->fake.mountAnswers.held.size(), 1u);
        button->click();
        QCOMPARE(text("mountResult"), "Not checked yet");
        w->fake.mountAnswers.release(0);
        QTRY_VERIFY(!w->dog.isChecking());
        QCOMPARE(w->fake.requests.size(), 1);

        button->click();
        QVERIFY(!button->isEnabled());
        QTRY_COMPARE(w->fake.mountAnswers.held.size(), 2u);
        w->fake.mountAnswers.release(1);
        QTRY_VERIFY(button->isEnabled());
        QCOMPARE(text("mountResult"), "Plex running · Volume remounted");
    }

    void keyringFollowsTheTypedUserName()
    {
        view = volume();
        QTest::keyClicks(child<QLineEdit>("passwordField"), "pw-1");
        QTest::keyClicks(child<QLineEdit>("userField"), "bob");
        for (const QString user : {"", "b", "bo", "bob"})
            QTRY_COMPARE(KeychainWait::stored(user + "@box.lan/media"), QStringLiteral("pw-1"));

        retype("passwordField", QString());
        QTRY_COMPARE(KeychainWait::stored("bob@box.lan/media"), std::nullopt);
    }

    // History.

    void historyCards()
    {
        recordAt(w->log, Kind::plexDown, 40 * 24);
        recordAt(w->log, Kind::plexLaunched, 5);
        recordAt(w->log, Kind::plexLaunchFailed, 4);
        recordAt(w->log, Kind::error, 2, "Launch at login: denied");
        view = history();
        pickWindow(Window::month);
        QCOMPARE(count("crashesCard"), 0);
        QCOMPARE(caption("crashesCard"), "Last 1 mo. ago");
        QCOMPARE(caption("fixesCard"), "2 repairs failed");
        pickWindow(Window::all);
        QCOMPARE(count("crashesCard"), 1);
    }

    void historyFilterAndWindowAreIndependent()
    {
        recordAt(w->log, Kind::plexDown, 72);
        recordAt(w->log, Kind::wake, 3);
        recordAt(w->log, Kind::plexDown, 2, "gone");
        recordAt(w->log, Kind::plexOK, 1);
        view = history();
        QCOMPARE(listed(), (QList<Kind>{Kind::plexDown, Kind::plexDown}));
        pickFilter(HistoryView::Filter::all);
        QCOMPARE(count("crashesCard"), 2);
        QCOMPARE(listed(), (QList<Kind>{Kind::plexOK, Kind::plexDown, Kind::wake, Kind::plexDown}));
        pickWindow(Window::day);
        QCOMPARE(count("crashesCard"), 1);
        QCOMPARE(listed(), (QList<Kind>{Kind::plexOK, Kind::plexDown, Kind::wake}));
        pickFilter(HistoryView::Filter::incidents);
        QCOMPARE(listed(), (QList<Kind>{Kind::plexDown}));

        // The export lists the whole window, oldest first, whatever the filter.
        QCOMPARE(exportTo("day.tsv"), QByteArray("timestamp\tevent\tdetail\n"
                                                 "2026-03-01T09:00:00Z\twake\t\n"
                                                 "2026-03-01T10:00:00Z\tplexDown\tgone\n"
                                                 "2026-03-01T11:00:00Z\tplexOK\t"));
    }

    void historyDeletesWithoutAsking()
    {
        recordAt(w->log, Kind::plexDown, 40 * 24);
        recordAt(w->log, Kind::volumeDown, 31 * 24);
        recordAt(w->log, Kind::plexDown, 48);
        view = history();
        pickWindow(Window::all);
        QMenu *menu = child<QPushButton>("clearButton")->menu();
        menu->findChild<QAction *>("deleteOlderAction")->trigger();
        QCOMPARE(listed(), QList<Kind>{Kind::plexDown});
        QCOMPARE(count("dropsCard"), 0);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        menu->findChild<QAction *>("deleteAllAction")->trigger();
        QCOMPARE(w->log.events().size(), 0);
        for (const char *card : {"crashesCard", "dropsCard", "fixesCard"})
            QCOMPARE(count(card), 0);
        QCOMPARE(caption("dropsCard"), "None recorded");
        QCOMPARE(view->findChild<QStackedWidget *>()->currentWidget()->objectName(), "emptyState");
    }

    // Each tab shows a failure in red until the next success.
    void failuresShowInRedUntilTheNextSuccess()
    {
        view = general();
        // A file where the autostart folder belongs makes registering fail.
        QFile blocker(QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath("autostart"));
        QDir(blocker.fileName()).removeRecursively();
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QCOMPARE(redLine("loginError"), QString());
        child<QCheckBox>("loginToggle")->click();
        QCOMPARE(redLine("loginError"), w->login.lastError().value_or("<none>"));
        blocker.remove();
        child<QCheckBox>("loginToggle")->click();
        QCOMPARE(redLine("loginError"), QString());
        QCOMPARE(text("loginStatus"), "Enabled");

        // Root writes into any folder; a folder that is gone fails for everyone.
        view = history();
        exportTo("gone/history.tsv");
        QCOMPARE(redLine("exportError"), "The history couldn't be exported to history.tsv.");
        QVERIFY(exportTo("history.tsv").startsWith("timestamp\tevent\tdetail\n"));
        QCOMPARE(redLine("exportError"), QString());

        // A stopped keyring: typing goes on, and the write gives up at its bound.
        w->settings.setShareName(QStringLiteral("locked"));
        view = volume();
        QVERIFY(KeychainWait::signalKeyring(SIGSTOP));
        QElapsedTimer typing;
        typing.start();
        QTest::keyClicks(child<QLineEdit>("passwordField"), QStringLiteral("x"));
        QVERIFY2(typing.elapsed() < 1000, QByteArray::number(typing.elapsed()).constData());
        QTRY_COMPARE_WITH_TIMEOUT(redLine("keyringError"),
                                  QStringLiteral("The login keyring didn't answer."), 8000);
        QVERIFY(KeychainWait::signalKeyring(SIGCONT));
        retype("passwordField", QString());
        QTRY_COMPARE(redLine("keyringError"), QString());

        // An account with no item yet: removing its password succeeds on a locked keyring.
        QCOMPARE(QProcess::execute(qEnvironmentVariable("VIGILMOUNT_HARNESS_DIR") +
                                   "/tools/keyring-lock.sh"),
                 0);
        const auto unlock = qScopeGuard([] { QVERIFY(unlockKeyring()); });
        QTest::keyClicks(child<QLineEdit>("passwordField"), "pw");
        QTRY_COMPARE(redLine("keyringError"), "The login keyring is locked.");
        retype("passwordField", QString());
        QTRY_COMPARE(redLine("keyringError"), QString());
    }
};

QTEST_MAIN(SettingsTabsTest)
#include "SettingsTabsTest.moc"
