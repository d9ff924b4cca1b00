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

QByteArray settingsFileText()
{
    QFile file(SettingsStore::open()->fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ino_t settingsFileInode()
{
    struct stat info = {};
    const QByteArray path = QFile::encodeName(SettingsStore::open()->fileName());
    return ::stat(path.constData(), &info) == 0 ? info.st_ino : 0;
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

    // One window, switched to the asked tab; closing only hides it, and hiding a window that
    // did not move leaves the file alone (it is replaced on a write: a new inode).
    void showReusesOneWindow()
    {
        auto &controller = *root->windowController();
        controller.show(SettingsTab::general);
        QWidget *window = controller.window();
        QVERIFY(window && window->isVisible());
        const auto *tabs = window->findChild<QTabWidget *>();
        QCOMPARE(tabs->currentIndex(), 0);
        controller.show(SettingsTab::history);
        QCOMPARE(controller.window(), window);
        QCOMPARE(tabs->currentIndex(), 3);
        QCOMPARE(root->uiState().tab(), SettingsTab::history);

        QVERIFY(window->close());
        const ino_t written = settingsFileInode();
        QVERIFY(written != 0);
        controller.show(SettingsTab::plex);
        QCOMPARE(controller.window(), window);
        QVERIFY(window->isVisible());
        QCOMPARE(QApplication::topLevelWidgets().count(window), 1);
        window->hide();
        QCOMPARE(settingsFileInode(), written);
    }

    void firstLaunchOpensGeneralOnce()
    {
        auto &controller = *root->windowController();
        root->uiState().setTab(SettingsTab::history);
        QVERIFY(!SettingsStore::hasLaunchedBefore());
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
