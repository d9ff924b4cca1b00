#include "app/CompositionRoot.h"
#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"
#include "ui/settings/SettingsUIState.h"
#include "ui/settings/SettingsWindowController.h"

#include <QApplication>
#include <QFile>
#include <QTabWidget>
#include <QTest>
#include <sys/stat.h>

namespace {

int currentTab(SettingsWindowController &controller)
{
    return controller.window()->findChild<QTabWidget *>()->currentIndex();
}

QByteArray settingsFileText()
{
    QFile file(SettingsStore::open()->fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The settings file is replaced, never written in place: a new inode is a new write.
ino_t inode(const QString &path)
{
    struct stat info
    {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

} // namespace

// Every case starts from a fresh settings file and its own program objects.
class SettingsWindowTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<CompositionRoot> root;

private Q_SLOTS:
    void init()
    {
        QFile::remove(SettingsStore::open()->fileName());
        root = std::make_unique<CompositionRoot>(CompositionRoot::Mode::desktop);
    }

    void cleanup() { root.reset(); }

    void showTwiceBuildsOneWindow()
    {
        auto &controller = *root->windowController();
        controller.show(SettingsTab::general);
        QWidget *first = controller.window();
        QVERIFY(first && first->isVisible());
        controller.show(SettingsTab::plex);
        QCOMPARE(controller.window(), first);
        QCOMPARE(QApplication::topLevelWidgets().count(first), 1);
    }

    void showSwitchesTheOpenWindow()
    {
        auto &controller = *root->windowController();
        controller.show(SettingsTab::general);
        QCOMPARE(currentTab(controller), 0);
        controller.show(SettingsTab::history);
        QCOMPARE(currentTab(controller), 3);
        QCOMPARE(root->uiState().tab(), SettingsTab::history);
    }

    void closingHidesAndKeepsTheWindow()
    {
        auto &controller = *root->windowController();
        controller.show(SettingsTab::general);
        QWidget *window = controller.window();
        QVERIFY(window->close());
        QVERIFY(!window->isVisible());
        controller.show(SettingsTab::general);
        QCOMPARE(controller.window(), window);
        QVERIFY(window->isVisible());
    }

    // The file is rewritten as a whole: hiding a window that did not move leaves it alone.
    void hidingAnUnmovedWindowWritesNothing()
    {
        auto &controller = *root->windowController();
        controller.show(SettingsTab::general);
        controller.window()->hide();
        const ino_t written = inode(SettingsStore::open()->fileName());
        QVERIFY(written != 0);
        controller.show(SettingsTab::plex);
        controller.window()->hide();
        QCOMPARE(inode(SettingsStore::open()->fileName()), written);
    }

    void firstLaunchOpensGeneralOnce()
    {
        auto &controller = *root->windowController();
        root->uiState().setTab(SettingsTab::history);
        QVERIFY(!SettingsStore::hasLaunchedBefore());
        QVERIFY(root->settings().serverHost().isEmpty());
        QVERIFY(controller.applyFirstLaunchRule());
        QVERIFY(controller.window()->isVisible());
        QCOMPARE(root->uiState().tab(), SettingsTab::general);
        QVERIFY(settingsFileText().contains("hasLaunchedBefore=true"));

        // The next launch, server still empty: no window by itself.
        controller.window()->hide();
        QVERIFY(!controller.applyFirstLaunchRule());
        QVERIFY(!controller.window()->isVisible());
    }

    void setServerNeverWritesTheFlag()
    {
        auto &controller = *root->windowController();
        root->settings().setServerHost(QStringLiteral(" ")); // blanks count: no trimming
        QVERIFY(!controller.applyFirstLaunchRule());
        QVERIFY(!controller.window());
        QVERIFY(!settingsFileText().contains("hasLaunchedBefore"));
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "SettingsWindowTest.moc"
