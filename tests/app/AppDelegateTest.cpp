// The delegate's launch and reopen, off screen; every case starts a fresh program
// (new settings and history files, new objects).

#include "app/AppDelegate.h"
#include "history/EventLog.h"
#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"
#include "ui/settings/SettingsUIState.h"
#include "ui/settings/SettingsWindowController.h"

#include <QFile>
#include <QTest>
#include <QWidget>

namespace {
QStringList kinds(const EventLog &log)
{
    QStringList list;
    for (const LogEvent &event : log.events())
        list << LogEvent::rawValue(event.kind);
    return list;
}
} // namespace

class AppDelegateTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<CompositionRoot> root;
    std::unique_ptr<AppDelegate> delegate;

    QStringList kinds() const { return ::kinds(root->log()); }

private Q_SLOTS:
    void init()
    {
        QFile::remove(SettingsStore::open()->fileName());
        QFile::remove(EventLog::defaultDirectory() + "/events.jsonl");
        root = std::make_unique<CompositionRoot>(CompositionRoot::Mode::desktop);
        delegate = std::make_unique<AppDelegate>(*root);
    }

    void cleanup()
    {
        delegate.reset();
        root.reset();
    }

    void launchSequenceRunsInOrder()
    {
        root->settings().setVerboseLogging(true);
        QVERIFY(!SettingsStore::hasLaunchedBefore());
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

        QVERIFY2(trayExistedAtFirstRecord, "the tray item exists before the watchdog starts");
        QCOMPARE(recordedWhenWindowOpened, QStringList{"appStarted"});
        // The start-up check waits until the handler has returned.
        QCOMPARE(kinds(), QStringList{"appStarted"});
        QVERIFY(SettingsStore::hasLaunchedBefore());
        QVERIFY(root->windowController()->window()->isVisible());
        QCOMPARE(root->uiState().tab(), SettingsTab::general);
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
};

QTEST_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
