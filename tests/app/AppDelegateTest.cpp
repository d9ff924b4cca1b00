// The delegate's launch and reopen, off screen; every case starts a fresh program
// (new settings and history files, new objects).

#include "app/AppDelegate.h"
#include "history/EventLog.h"
#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"
#include "ui/menubar/StatusItemController.h"
#include "ui/settings/SettingsUIState.h"
#include "ui/settings/SettingsWindowController.h"

#include <QFile>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWidget>

class AppDelegateTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<CompositionRoot> root;
    std::unique_ptr<AppDelegate> delegate;

    QStringList kinds() const
    {
        QStringList list;
        for (const LogEvent &event : root->log().events())
            list << LogEvent::rawValue(event.kind);
        return list;
    }

private Q_SLOTS:
    void init()
    {
        delegate.reset();
        root.reset();
        QFile::remove(SettingsStore::open()->fileName());
        QFile::remove(EventLog::defaultDirectory() + "/events.jsonl");
        root = std::make_unique<CompositionRoot>(CompositionRoot::Mode::desktop);
        delegate = std::make_unique<AppDelegate>(*root);
    }

    // The tray item, then the start record, then the first-launch window; the start-up check
    // only once the handler has returned.
    void launchSequenceRunsInOrder()
    {
        root->settings().setVerboseLogging(true);
        bool trayExistedAtFirstRecord = false;
        QStringList recordedWhenWindowOpened;
        auto first = connect(&root->log(), &EventLog::eventsChanged, this, [&] {
            if (kinds().size() == 1)
                trayExistedAtFirstRecord = delegate->statusItemController() != nullptr;
        });
        auto window = connect(&root->uiState(), &SettingsUIState::tabChanged, this,
                              [&] { recordedWhenWindowOpened = kinds(); });
        delegate->applicationDidFinishLaunching();
        disconnect(first);
        disconnect(window);
        QVERIFY(trayExistedAtFirstRecord);
        QCOMPARE(recordedWhenWindowOpened, QStringList{"appStarted"});
        QCOMPARE(kinds(), QStringList{"appStarted"});
        QTRY_VERIFY_WITH_TIMEOUT(kinds().contains("checkStarted"), 10000);
        QCOMPARE(kinds().mid(0, 2), (QStringList{"appStarted", "checkStarted"}));
    }

    void reopenShowsGeneralEvenWithoutVisibleWindows()
    {
        root->settings().setServerHost("nas"); // no first-launch window
        delegate->applicationDidFinishLaunching();
        root->windowController()->show(SettingsTab::general);
        QWidget *window = root->windowController()->window();
        root->uiState().setTab(SettingsTab::volume);
        window->close();
        QVERIFY(delegate->applicationShouldHandleReopen());
        QVERIFY(window->isVisible());
        QCOMPARE(root->uiState().tab(), SettingsTab::general);
    }

    // A click on the tray icon opens General, or brings an open window forward on its tab; a
    // notification's "Open Settings" shows its subject's tab.
    void trayClickAndNotificationOpenTheWindow()
    {
        root->settings().setServerHost("nas"); // no first-launch window
        delegate->applicationDidFinishLaunching();
        QSystemTrayIcon &tray = delegate->statusItemController()->trayIcon();
        Q_EMIT tray.activated(QSystemTrayIcon::Context);
        QVERIFY(!root->windowController()->window());
        Q_EMIT tray.activated(QSystemTrayIcon::Trigger);
        QWidget *window = root->windowController()->window();
        QVERIFY(window && window->isVisible());
        QCOMPARE(root->uiState().tab(), SettingsTab::general);
        root->openSettings(NotificationSubject::volume);
        Q_EMIT tray.activated(QSystemTrayIcon::Trigger);
        QCOMPARE(root->uiState().tab(), SettingsTab::volume);
        window->close();
        root->openSettings(NotificationSubject::plex);
        QVERIFY(window->isVisible());
        QCOMPARE(root->uiState().tab(), SettingsTab::plex);
    }
};

QTEST_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
