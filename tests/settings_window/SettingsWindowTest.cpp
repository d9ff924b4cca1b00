#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"
#include "ui/settings/SettingsUIState.h"
#include "ui/settings/SettingsWindowController.h"

#include <QApplication>
#include <QFile>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace {

QTabWidget *tabs(QWidget *window)
{
    return window ? window->findChild<QTabWidget *>() : nullptr;
}

int currentTab(QWidget *window)
{
    return tabs(window)->currentIndex();
}

QByteArray settingsFileText()
{
    QFile file(SettingsStore::open()->fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class SettingsWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Runs first: nothing has built the window yet in this process.
    void windowStartsAtTheSavedPosition()
    {
        QVERIFY(!SettingsWindowController::shared().window());
        QWidget earlier;
        earlier.setGeometry(133, 97, 560, 470);
        const auto store = SettingsStore::open();
        store->setValue(SettingsWindowController::geometryKey, earlier.saveGeometry());
        SettingsStore::persist(*store);

        SettingsWindowController::shared().show(SettingsTab::general);
        QWidget *window = SettingsWindowController::shared().window();
        QVERIFY(window);
        QCOMPARE(window->geometry().topLeft(), QPoint(133, 97));
    }

    void oneFixedWindowWithFourTabs()
    {
        auto &controller = SettingsWindowController::shared();
        controller.show(SettingsTab::general);
        QWidget *first = controller.window();
        controller.show(SettingsTab::plex);
        QCOMPARE(controller.window(), first);
        QCOMPARE(QApplication::topLevelWidgets().count(first), 1);
        qsizetype windows = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            windows += widget->isWindow() && widget->windowTitle() == QStringLiteral("Vigilmount");
        QCOMPARE(windows, 1);

        QVERIFY(first->isVisible());
        QCOMPARE(first->windowTitle(), QStringLiteral("Vigilmount"));
        QCOMPARE(first->size(), QSize(560, 470));
        QCOMPARE(first->minimumSize(), QSize(560, 470));
        QCOMPARE(first->maximumSize(), QSize(560, 470));
        QVERIFY(!(first->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(first->windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(first->windowFlags() & Qt::WindowMinimizeButtonHint);

        QTabWidget *container = tabs(first);
        QVERIFY(container);
        QCOMPARE(container->count(), 4);
        const QStringList labels = {"General", "Plex", "Volume", "History"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(container->tabText(i), labels.at(i));
            QVERIFY2(!container->tabIcon(i).isNull(), qPrintable(labels.at(i)));
            QVERIFY(container->widget(i));
        }
    }

    void showSwitchesTheOpenWindow()
    {
        auto &controller = SettingsWindowController::shared();
        controller.show(SettingsTab::general);
        QCOMPARE(currentTab(controller.window()), 0);
        controller.show(SettingsTab::history);
        QCOMPARE(currentTab(controller.window()), 3);
        QCOMPARE(SettingsUIState::shared().tab(), SettingsTab::history);
        QVERIFY(controller.window()->isVisible());
    }

    void tabSelectionIsBoundBothWays()
    {
        auto &controller = SettingsWindowController::shared();
        controller.show(SettingsTab::general);
        QTabBar *bar = tabs(controller.window())->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
        QCOMPARE(SettingsUIState::shared().tab(), SettingsTab::volume);

        SettingsUIState::shared().setTab(SettingsTab::plex);
        QCOMPARE(currentTab(controller.window()), 1);

        // The menu's Settings action after the user picked Volume: General again.
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
        controller.show(SettingsTab::general);
        QCOMPARE(currentTab(controller.window()), 0);
        QCOMPARE(SettingsUIState::shared().tab(), SettingsTab::general);
    }

    void closingHidesAndKeepsTheWindow()
    {
        auto &controller = SettingsWindowController::shared();
        controller.show(SettingsTab::volume);
        QWidget *window = controller.window();
        window->move(211, 143);
        const QPoint position = window->pos();
        QVERIFY(window->close());
        QVERIFY(!window->isVisible());
        QCOMPARE(controller.window(), window);
        QVERIFY2(settingsFileText().contains("VigilmountSettings"),
                 "closing saves the window geometry");

        controller.show(SettingsTab::general);
        QCOMPARE(controller.window(), window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->pos(), position);
        QCOMPARE(currentTab(window), 0);
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
        QVERIFY(SettingsStore::hasLaunchedBefore());
        QVERIFY(settingsFileText().contains("hasLaunchedBefore=true"));

        // The next launch, server still empty: no window by itself.
        controller.window()->hide();
        AppSettings relaunched;
        QVERIFY(!controller.applyFirstLaunchRule(relaunched));
        QVERIFY(!controller.window()->isVisible());
        QVERIFY(SettingsStore::hasLaunchedBefore());
    }

    void serverAlreadySetNeverWritesTheFlag()
    {
        auto &controller = SettingsWindowController::shared();
        {
            const auto store = SettingsStore::open();
            store->remove(QStringLiteral("hasLaunchedBefore"));
            SettingsStore::persist(*store);
        }
        controller.window()->hide();
        AppSettings settings;
        // Blanks count as an address here: no trimming.
        settings.setServerHost(QStringLiteral(" "));
        QVERIFY(!controller.applyFirstLaunchRule(settings));
        QVERIFY(!controller.window()->isVisible());
        QVERIFY(!SettingsStore::hasLaunchedBefore());
        QVERIFY(!settingsFileText().contains("hasLaunchedBefore"));
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "SettingsWindowTest.moc"
