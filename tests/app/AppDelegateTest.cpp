#include "app/AppDelegate.h"
#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"
#include "ui/menubar/StatusItemController.h"
#include "ui/settings/SettingsUIState.h"
#include "ui/settings/SettingsWindowController.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QPalette>
#include <QSystemTrayIcon>
#include <QTest>

namespace {

QStringList kinds(const QList<LogEvent> &events)
{
    QStringList list;
    for (const LogEvent &event : events)
        list << LogEvent::rawValue(event.kind);
    return list;
}

bool hasRecord(LogEvent::Kind kind, const QString &detail)
{
    for (const LogEvent &event : EventLog::shared().events())
        if (event.kind == kind && event.detail == detail)
            return true;
    return false;
}

QStringList menuTexts(const QMenu &menu)
{
    QStringList texts;
    for (const QAction *action : menu.actions())
        texts << (action->isSeparator() ? QStringLiteral("---") : action->text());
    return texts;
}

QAction *menuAction(const QMenu &menu, const QString &text)
{
    for (QAction *action : menu.actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

QStringList kindsOnDisk()
{
    QStringList list;
    QFile file(EventLog::shared().fileURL());
    if (!file.open(QIODevice::ReadOnly))
        return list;
    while (!file.atEnd())
        list << QJsonDocument::fromJson(file.readLine()).object().value("kind").toString();
    return list;
}

// Mean lightness of the opaque pixels of the tray glyph.
double glyphLightness(const QIcon &icon)
{
    const QImage image =
        icon.pixmap(QSize(22, 22)).toImage().convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) == 255) {
                sum += QColor(image.pixel(x, y)).lightnessF();
                ++count;
            }
        }
    }
    return count ? sum / count : -1;
}

} // namespace

// One application life in one process: the launch sequence, the menu, reopen, termination.
// The functions run in order and build on each other, as the shared instances do.
class AppDelegateTest : public QObject
{
    Q_OBJECT

    AppDelegate delegate{AppDelegate::Mode::desktop};

private Q_SLOTS:
    void launchSequenceRunsInOrder()
    {
        AppSettings::shared().setVerboseLogging(true);
        QVERIFY(AppSettings::shared().serverHost().isEmpty());
        QVERIFY(!SettingsStore::hasLaunchedBefore());

        bool trayExistedAtFirstRecord = false;
        bool sawFirstRecord = false;
        QStringList recordedWhenWindowOpened;
        auto first = connect(&EventLog::shared(), &EventLog::eventsChanged, this, [&] {
            if (!sawFirstRecord)
                trayExistedAtFirstRecord = delegate.statusItemController() != nullptr;
            sawFirstRecord = true;
        });
        auto window = connect(&SettingsUIState::shared(), &SettingsUIState::tabChanged, this, [&] {
            recordedWhenWindowOpened = kinds(EventLog::shared().events());
        });

        delegate.applicationDidFinishLaunching();
        disconnect(first);
        disconnect(window);

        QVERIFY2(trayExistedAtFirstRecord, "the tray item exists before the watchdog starts");
        QCOMPARE(recordedWhenWindowOpened, QStringList{"appStarted"});
        // The start-up check waits until the handler has returned.
        QCOMPARE(kinds(EventLog::shared().events()), QStringList{"appStarted"});
        QVERIFY(SettingsStore::hasLaunchedBefore());
        QWidget *settingsWindow = SettingsWindowController::shared().window();
        QVERIFY(settingsWindow && settingsWindow->isVisible());
        QCOMPARE(SettingsUIState::shared().tab(), SettingsTab::general);

        const QMenu &menu = delegate.statusItemController()->menu();
        QCOMPARE(menuTexts(menu).mid(0, 3),
                 (QStringList{"Plex: unknown", "Volume: not configured", "No check yet"}));
        QVERIFY(menuAction(menu, "Start Plex Media Server"));

        QTRY_VERIFY_WITH_TIMEOUT(hasRecord(LogEvent::Kind::checkStarted, "startup"), 10000);
        QCOMPARE(kinds(EventLog::shared().events()).first(), QStringLiteral("appStarted"));
    }

    void menuFollowsTheStateWithoutBeingOpened()
    {
        QTRY_VERIFY_WITH_TIMEOUT(
            !Watchdog::shared().isChecking() && Watchdog::shared().lastCheck().has_value(), 10000);
        const QMenu &menu = delegate.statusItemController()->menu();
        // No aboutToShow here: the menu is already current, as a StatusNotifier host needs.
        QTRY_VERIFY(menuTexts(menu).at(2).startsWith(QStringLiteral("Last check ")));
        QVERIFY(menuTexts(menu).at(0) != QStringLiteral("Plex: unknown"));
        QVERIFY(menuTexts(menu).at(2).endsWith(QStringLiteral("\u00B7 every 5 min")));

        AppSettings::shared().setWatchPlex(false);
        QTRY_COMPARE(menuTexts(menu).at(0), QStringLiteral("Plex: not monitored"));
        QVERIFY(!menuAction(menu, "Start Plex Media Server"));
        AppSettings::shared().setWatchPlex(true);
        QTRY_VERIFY(menuTexts(menu).at(0) != QStringLiteral("Plex: not monitored"));

        const bool attention = Watchdog::shared().plexRunning() == false;
        QCOMPARE(delegate.statusItemController()->showsAttention(), attention);
        QCOMPARE(delegate.statusItemController()->accessibleDescription(),
                 attention ? QStringLiteral("Vigilmount \u2014 attention needed")
                           : QStringLiteral("Vigilmount"));
        QCOMPARE(delegate.statusItemController()->trayIcon().toolTip(),
                 QStringLiteral("Vigilmount"));

        // The glyph follows the panel's brightness.
        QPalette palette = QApplication::palette();
        palette.setColor(QPalette::Window, QColor(0x24, 0x24, 0x24));
        QApplication::setPalette(palette);
        QVERIFY(glyphLightness(delegate.statusItemController()->trayIcon().icon()) > 0.5);
        palette.setColor(QPalette::Window, QColor(0xee, 0xee, 0xee));
        QApplication::setPalette(palette);
        QVERIFY(glyphLightness(delegate.statusItemController()->trayIcon().icon()) < 0.5);
    }

    void menuActionsReachWatchdogAndWindow()
    {
        QMenu &menu = delegate.statusItemController()->menu();
        Q_EMIT menu.aboutToShow();
        menuAction(menu, "Check Now")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(hasRecord(LogEvent::Kind::checkStarted, "manual"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!Watchdog::shared().isChecking(), 10000);

        QWidget *window = SettingsWindowController::shared().window();
        window->hide();
        menuAction(menu, QStringLiteral("History\u2026"))->trigger();
        QVERIFY(window->isVisible());
        QCOMPARE(SettingsUIState::shared().tab(), SettingsTab::history);
        menuAction(menu, QStringLiteral("Settings\u2026"))->trigger();
        QCOMPARE(SettingsUIState::shared().tab(), SettingsTab::general);
        QCOMPARE(SettingsWindowController::shared().window(), window);
    }

    void reopenShowsGeneralEvenWithoutVisibleWindows()
    {
        QWidget *window = SettingsWindowController::shared().window();
        SettingsUIState::shared().setTab(SettingsTab::volume);
        window->close();
        QVERIFY(!window->isVisible());
        QVERIFY(delegate.applicationShouldHandleReopen());
        QVERIFY(window->isVisible());
        QCOMPARE(SettingsUIState::shared().tab(), SettingsTab::general);
    }

    void terminationLeavesAppStoppedLastOnDisk()
    {
        delegate.applicationWillTerminate();
        // Read at once: the delegate has waited for the writer.
        QCOMPARE(kindsOnDisk().last(), QStringLiteral("appStopped"));
        delegate.applicationWillTerminate();
        QTest::qWait(200);
        QCOMPARE(kindsOnDisk().count(QStringLiteral("appStopped")), 1);
        QCOMPARE(kinds(EventLog::shared().events()).last(), QStringLiteral("appStopped"));
    }
};

QTEST_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
