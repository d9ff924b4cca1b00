#include "FakePorts.h"
#include "TabTestSupport.h"

#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "settings/AppSettings.h"
#include "ui/settings/PlexSettingsView.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace TabTestSupport;

namespace {
const QString notFoundText = QStringLiteral(
    "Not found at this path — Vigilmount will fall back to asking the system where Plex is "
    "installed.");
}

class PlexSettingsViewTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<EventLog> m_log;
    std::unique_ptr<AppSettings> m_settings;
    FakeMachine m_machine;
    std::unique_ptr<Watchdog> m_watchdog;
    QPointer<QWidget> m_window;
    PlexSettingsView *m_view = nullptr;

    PlexSettingsView *makeView()
    {
        m_view = new PlexSettingsView(*m_settings, *m_watchdog);
        m_window = hostInWindow(m_view, QStringLiteral("Plex"));
        return m_view;
    }
    template <typename T> T *child(const char *name) { return m_view->findChild<T *>(name); }
    QString foundText() { return child<QLabel>("foundText")->text(); }
    QString status() { return child<QLabel>("plexStatus")->text(); }
    QString makeFile(const QString &name, bool executable)
    {
        const QString path = m_dir->filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("#!/bin/sh\n");
        file.close();
        if (executable)
            file.setPermissions(file.permissions() | QFile::ExeOwner);
        return path;
    }

private Q_SLOTS:
    void initTestCase() { useFixedEnvironment(); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_log = std::make_unique<EventLog>(m_dir->filePath(QStringLiteral("history")));
        m_settings = std::make_unique<AppSettings>();
        m_settings->setWatchPlex(true);
        m_settings->setWatchVolume(false);
        m_machine = FakeMachine();
        m_watchdog = std::make_unique<Watchdog>(*m_settings, *m_log, m_machine.services());
    }

    void cleanup()
    {
        delete m_window;
        m_watchdog.reset();
        m_settings.reset();
        m_log.reset();
        m_dir.reset();
    }

    // The path and whether it exists.

    void pathIsTestedExactlyAsStored()
    {
        const QString server = makeFile(QStringLiteral("Plex Media Server"), true);
        m_settings->setPlexAppPath(server);
        makeView();
        QCOMPARE(foundText(), QStringLiteral("Found"));

        m_settings->setPlexAppPath(server + QLatin1Char(' '));
        QCOMPARE(foundText(), notFoundText);

        m_settings->setPlexAppPath(QString());
        QCOMPARE(foundText(), notFoundText);

        // A folder that is no application still exists.
        m_settings->setPlexAppPath(m_dir->path());
        QCOMPARE(foundText(), QStringLiteral("Found"));

        // The path is looked at again when the window comes back, not remembered.
        const QString later = m_dir->filePath(QStringLiteral("installed-later"));
        m_settings->setPlexAppPath(later);
        QCOMPARE(foundText(), notFoundText);
        makeFile(QStringLiteral("installed-later"), true);
        m_window->hide();
        m_window->show();
        QCOMPARE(foundText(), QStringLiteral("Found"));
    }

    void everyEditIsStored()
    {
        m_settings->setPlexAppPath(QString());
        makeView();
        QSignalSpy stored(m_settings.get(), &AppSettings::plexAppPathChanged);
        QTest::keyClicks(child<QLineEdit>("pathField"), QStringLiteral("/opt/x "));
        QCOMPARE(stored.count(), 7);
        QCOMPARE(m_settings->plexAppPath(), QStringLiteral("/opt/x "));
        QCOMPARE(AppSettings().plexAppPath(), QStringLiteral("/opt/x "));
    }

    void resetWritesTheDefaultEvenWhenUnchanged()
    {
        m_settings->setPlexAppPath(AppSettings::defaultPlexAppPath);
        makeView();
        QSignalSpy stored(m_settings.get(), &AppSettings::plexAppPathChanged);
        child<QPushButton>("resetButton")->click();
        QCOMPARE(stored.count(), 1);
        QCOMPARE(stored.first().first().toString(), AppSettings::defaultPlexAppPath);

        m_settings->setPlexAppPath(QStringLiteral("/elsewhere"));
        child<QPushButton>("resetButton")->click();
        QCOMPARE(m_settings->plexAppPath(),
                 QStringLiteral("/usr/lib/plexmediaserver/Plex Media Server"));
        QCOMPARE(child<QLineEdit>("pathField")->text(), AppSettings::defaultPlexAppPath);
    }

    // Choose….

    void chooserListsLaunchableFilesAndStoresTheChoice()
    {
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("apps/folder")));
        const QString server = makeFile(QStringLiteral("apps/Plex Media Server"), true);
        makeFile(QStringLiteral("apps/notes.txt"), false);
        makeFile(QStringLiteral("apps/com.plexapp.plexmediaserver.desktop"), false);
        const QString apps = m_dir->filePath(QStringLiteral("apps"));
        m_settings->setPlexAppPath(QStringLiteral("/before"));
        makeView();

        QStringList listed;
        QString startedIn;
        QString confirm;
        whenFileDialogOpens([&](QFileDialog *dialog) {
            startedIn = dialog->directory().absolutePath();
            confirm = dialog->labelText(QFileDialog::Accept);
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
            dialog->setDirectory(apps);
            auto *files = dialog->findChild<QFileSystemModel *>();
            QAbstractProxyModel *shown = dialog->proxyModel();
            QVERIFY(files && shown);
            // Wait until all four entries are read, then see which the dialog offers.
            QTRY_COMPARE(files->rowCount(files->index(apps)), 4);
            const QModelIndex folder = shown->mapFromSource(files->index(apps));
            for (int row = 0; row < shown->rowCount(folder); ++row)
                listed << shown->index(row, 0, folder).data().toString();
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(server);
            static_cast<QDialog *>(dialog)->accept();
        });
        child<QPushButton>("chooseButton")->click();

        QCOMPARE(startedIn, PlexSettingsView::chooserStartDirectory());
        QVERIFY(startedIn == QLatin1String("/usr/lib/plexmediaserver") ||
                startedIn == QLatin1String("/usr/lib"));
        QCOMPARE(confirm, QStringLiteral("Choose"));
        listed.sort();
        QCOMPARE(listed, (QStringList{QStringLiteral("Plex Media Server"),
                                      QStringLiteral("com.plexapp.plexmediaserver.desktop"),
                                      QStringLiteral("folder")}));
        QCOMPARE(m_settings->plexAppPath(), server);
        QCOMPARE(foundText(), QStringLiteral("Found"));
    }

    void cancellingTheChooserChangesNothing()
    {
        m_settings->setPlexAppPath(QStringLiteral("/before"));
        makeView();
        QSignalSpy stored(m_settings.get(), &AppSettings::plexAppPathChanged);
        whenFileDialogOpens([](QFileDialog *dialog) { dialog->reject(); });
        child<QPushButton>("chooseButton")->click();
        QCOMPARE(stored.count(), 0);
        QCOMPARE(m_settings->plexAppPath(), QStringLiteral("/before"));
    }

    // Status.

    void statusFollowsTheWatchdog()
    {
        m_machine.server->running = true;
        makeView();
        QCOMPARE(status(), QStringLiteral("Unknown"));

        m_watchdog->checkNow(QStringLiteral("timer"));
        QTRY_COMPARE(status(), QStringLiteral("Running"));

        m_machine.server->running = false;
        m_machine.server->outcome = {
            false, {}, QStringLiteral("The application could not be found.")};
        m_watchdog->checkNow(QStringLiteral("timer"));
        QTRY_VERIFY(!m_watchdog->isChecking());
        QCOMPARE(status(), QStringLiteral("Not running"));

        child<QCheckBox>("watchPlexToggle")->click();
        QVERIFY(!m_settings->watchPlex());
        m_watchdog->checkNow(QStringLiteral("timer"));
        QTRY_VERIFY(!m_watchdog->isChecking());
        QCOMPARE(status(), QStringLiteral("Unknown"));
    }

    void startPlexNowLaunchesAtOnce()
    {
        m_machine.server->running = false;
        makeView();
        auto *start = child<QPushButton>("startPlexButton");
        start->click();
        QVERIFY(start->isEnabled());
        QTRY_COMPARE(status(), QStringLiteral("Running"));
        QCOMPARE(m_machine.server->launches, 1);
        QCOMPARE(m_log->events().last().kind, LogEvent::Kind::plexLaunched);
    }

    // Layout.

    void fitsAndIsReachable_data()
    {
        QTest::addColumn<qreal>("fontScale");
        QTest::newRow("default font") << 1.0;
        QTest::newRow("font x1.25") << 1.25;
    }

    void fitsAndIsReachable()
    {
        QFETCH(qreal, fontScale);
        const QFont original = QApplication::font();
        QFont scaled = original;
        scaled.setPointSizeF(original.pointSizeF() * fontScale);
        QApplication::setFont(scaled);
        m_settings->setPlexAppPath(AppSettings::defaultPlexAppPath);
        makeView();
        QApplication::processEvents();

        const QStringList clipped = clippedWidgets(m_view);
        const QStringList unreachable = unreachableOrUnnamedControls(m_view);
        saveScreenshot(m_window,
                       fontScale > 1 ? QStringLiteral("plex-font125") : QStringLiteral("plex"));
        QApplication::setFont(original);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
        QVERIFY2(unreachable.isEmpty(), qPrintable(unreachable.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(PlexSettingsViewTest)
#include "PlexSettingsViewTest.moc"
