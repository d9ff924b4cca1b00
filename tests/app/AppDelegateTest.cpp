// One application life in one process, off screen: launch, reopen and termination build on
// each other in order, as the shared instances do.

#include "app/AppDelegate.h"
#include "history/EventLog.h"
#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"
#include "ui/settings/SettingsUIState.h"
#include "ui/settings/SettingsWindowController.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QWidget>

namespace {
QStringList kinds()
{
    QStringList list;
    for (const LogEvent &event : EventLog::shared().events())
        list << LogEvent::rawValue(event.kind);
    return list;
}

QStringList kindsOnDisk()
{
    QStringList list;
    QFile file(EventLog::shared().fileURL());
    if (file.open(QIODevice::ReadOnly))
        while (!file.atEnd())
            list << QJsonDocument::fromJson(file.readLine()).object().value("kind").toString();
    return list;
}
} // namespace

class AppDelegateTest : public QObject
{
    Q_OBJECT

    AppDelegate delegate{AppDelegate::Mode::desktop};

private Q_SLOTS:
    void launchSequenceRunsInOrder()
    {
        AppSettings::shared().setVerboseLogging(true);
        QVERIFY(!SettingsStore::hasLaunchedBefore());
        bool trayExistedAtFirstRecord = false;
        QStringList recordedWhenWindowOpened;
        auto first = connect(&EventLog::shared(), &EventLog::eventsChanged, this, [&] {
            if (kinds().size() == 1)
                trayExistedAtFirstRecord = delegate.statusItemController() != nullptr;
        });
        auto window = connect(&SettingsUIState::shared(), &SettingsUIState::tabChanged, this,
                              [&] { recordedWhenWindowOpened = kinds(); });
        delegate.applicationDidFinishLaunching();
        disconnect(first);
        disconnect(window);

        QVERIFY2(trayExistedAtFirstRecord, "the tray item exists before the watchdog starts");
        QCOMPARE(recordedWhenWindowOpened, QStringList{"appStarted"});
        // The start-up check waits until the handler has returned.
        QCOMPARE(kinds(), QStringList{"appStarted"});
        QVERIFY(SettingsStore::hasLaunchedBefore());
        QVERIFY(SettingsWindowController::shared().window()->isVisible());
        QCOMPARE(SettingsUIState::shared().tab(), SettingsTab::general);
        QTRY_VERIFY_WITH_TIMEOUT(kinds().contains("checkStarted"), 10000);
        QCOMPARE(kinds().mid(0, 2), (QStringList{"appStarted", "checkStarted"}));
    }

    void reopenShowsGeneralEvenWithoutVisibleWindows()
    {
        QWidget *window = SettingsWindowController::shared().window();
        SettingsUIState::shared().setTab(SettingsTab::volume);
        window->close();
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
    }
};

QTEST_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
