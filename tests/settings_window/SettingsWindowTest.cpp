#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"
#include "ui/settings/SettingsUIState.h"
#include "ui/settings/SettingsWindowController.h"

#include <QApplication>
#include <QFile>
#include <QTabWidget>
#include <QTest>

namespace {

int currentTab()
{
    return SettingsWindowController::shared().window()->findChild<QTabWidget *>()->currentIndex();
}

QByteArray settingsFileText()
{
    QFile file(SettingsStore::open()->fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// One process, one shared controller: the cases build on each other in order.
class SettingsWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void showTwiceBuildsOneWindow()
    {
        auto &controller = SettingsWindowController::shared();
        controller.show(SettingsTab::general);
        QWidget *first = controller.window();
        QVERIFY(first && first->isVisible());
        controller.show(SettingsTab::plex);
        QCOMPARE(controller.window(), first);
        QCOMPARE(QApplication::topLevelWidgets().count(first), 1);
    }

    void showSwitchesTheOpenWindow()
    {
        auto &controller = SettingsWindowController::shared();
        controller.show(SettingsTab::general);
        QCOMPARE(currentTab(), 0);
        controller.show(SettingsTab::history);
        QCOMPARE(currentTab(), 3);
        QCOMPARE(SettingsUIState::shared().tab(), SettingsTab::history);
    }

    void closingHidesAndKeepsTheWindow()
    {
        auto &controller = SettingsWindowController::shared();
        QWidget *window = controller.window();
        QVERIFY(window->close());
        QVERIFY(!window->isVisible());
        controller.show(SettingsTab::general);
        QCOMPARE(controller.window(), window);
        QVERIFY(window->isVisible());
    }

    void firstLaunchOpensGeneralOnce()
    {
        auto &controller = SettingsWindowController::shared();
        controller.window()->hide();
        SettingsUIState::shared().setTab(SettingsTab::history);
        QVERIFY(!SettingsStore::hasLaunchedBefore());
        AppSettings settings;
        QVERIFY(settings.serverHost().isEmpty());
        QVERIFY(controller.applyFirstLaunchRule(settings));
        QVERIFY(controller.window()->isVisible());
        QCOMPARE(SettingsUIState::shared().tab(), SettingsTab::general);
        QVERIFY(settingsFileText().contains("hasLaunchedBefore=true"));

        // The next launch, server still empty: no window by itself.
        controller.window()->hide();
        QVERIFY(!controller.applyFirstLaunchRule(settings));
        QVERIFY(!controller.window()->isVisible());
    }

    void setServerNeverWritesTheFlag()
    {
        {
            const auto store = SettingsStore::open();
            store->remove(QStringLiteral("hasLaunchedBefore"));
            SettingsStore::persist(*store);
        }
        auto &controller = SettingsWindowController::shared();
        controller.window()->hide();
        AppSettings settings;
        settings.setServerHost(QStringLiteral(" ")); // blanks count: no trimming
        QVERIFY(!controller.applyFirstLaunchRule(settings));
        QVERIFY(!controller.window()->isVisible());
        QVERIFY(!settingsFileText().contains("hasLaunchedBefore"));
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "SettingsWindowTest.moc"
