#include "TabTestSupport.h"

#include "ui/settings/PlexSettingsView.h"

#include <QAbstractProxyModel>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace TabTestSupport;

class PlexSettingsViewTest : public QObject
{
    Q_OBJECT

    const QString notFound = QStringLiteral("Not found at this path — Vigilmount will fall back to "
                                            "asking the system where Plex is installed.");
    TabWorld m_world;
    PlexSettingsView *m_view = nullptr;

    AppSettings &settings() { return *m_world.settings; }
    FakeMediaServer &server() { return *m_world.machine.server; }
    void makeView()
    {
        m_view = new PlexSettingsView(settings(), *m_world.watchdog);
        m_world.show(m_view, QStringLiteral("Plex"));
    }
    template <typename T> T *child(const char *name) { return m_view->findChild<T *>(name); }
    QString foundText() { return child<QLabel>("foundText")->text(); }
    QString status() { return child<QLabel>("plexStatus")->text(); }
    QString makeFile(const QString &name, bool executable = false)
    {
        const QString path = m_world.dir->filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        if (executable)
            file.setPermissions(file.permissions() | QFile::ExeOwner);
        return path;
    }

private Q_SLOTS:
    void initTestCase() { useFixedEnvironment(); }
    void init()
    {
        m_world.setUp();
        settings().setWatchVolume(false);
    }
    void cleanup() { m_world.tearDown(); }

    // The path and whether it exists.

    void pathIsTestedExactlyAsStored()
    {
        const QString app = makeFile(QStringLiteral("Plex Media Server"), true);
        settings().setPlexAppPath(app);
        makeView();
        QCOMPARE(foundText(), QStringLiteral("Found"));
        settings().setPlexAppPath(app + QLatin1Char(' '));
        QCOMPARE(foundText(), notFound);
        settings().setPlexAppPath(QString());
        QCOMPARE(foundText(), notFound);
        settings().setPlexAppPath(m_world.dir->path()); // a folder, but it exists
        QCOMPARE(foundText(), QStringLiteral("Found"));

        // Looked at again when the window comes back, not remembered.
        settings().setPlexAppPath(m_world.dir->filePath(QStringLiteral("later")));
        QCOMPARE(foundText(), notFound);
        makeFile(QStringLiteral("later"));
        m_world.window->hide();
        m_world.window->show();
        QCOMPARE(foundText(), QStringLiteral("Found"));
    }

    void everyEditIsStored()
    {
        settings().setPlexAppPath(QString());
        makeView();
        QSignalSpy stored(&settings(), &AppSettings::plexAppPathChanged);
        QTest::keyClicks(child<QLineEdit>("pathField"), QStringLiteral("/opt/x "));
        QCOMPARE(stored.count(), 7);
        QCOMPARE(AppSettings().plexAppPath(), QStringLiteral("/opt/x "));
    }

    void resetWritesTheDefaultEvenWhenUnchanged()
    {
        settings().setPlexAppPath(AppSettings::defaultPlexAppPath);
        makeView();
        QSignalSpy stored(&settings(), &AppSettings::plexAppPathChanged);
        child<QPushButton>("resetButton")->click();
        QCOMPARE(stored.count(), 1);

        settings().setPlexAppPath(QStringLiteral("/elsewhere"));
        child<QPushButton>("resetButton")->click();
        QCOMPARE(AppSettings().plexAppPath(),
                 QStringLiteral("/usr/lib/plexmediaserver/Plex Media Server"));
        QCOMPARE(child<QLineEdit>("pathField")->text(), AppSettings::defaultPlexAppPath);
    }

    // Choose….

    void chooserOffersLaunchableFilesAndStoresTheChoice()
    {
        QVERIFY(QDir(m_world.dir->path()).mkpath(QStringLiteral("apps/folder")));
        const QString app = makeFile(QStringLiteral("apps/Plex Media Server"), true);
        makeFile(QStringLiteral("apps/notes.txt"));
        makeFile(QStringLiteral("apps/com.plexapp.plexmediaserver.desktop"));
        const QString apps = m_world.dir->filePath(QStringLiteral("apps"));
        makeView();

        QStringList offered;
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
            // Once all four entries are read, see which the dialog offers.
            QTRY_COMPARE(files->rowCount(files->index(apps)), 4);
            const QModelIndex folder = shown->mapFromSource(files->index(apps));
            for (int row = 0; row < shown->rowCount(folder); ++row)
                offered << shown->index(row, 0, folder).data().toString();
            typePathAndAccept(dialog, app);
        });
        child<QPushButton>("chooseButton")->click();

        QCOMPARE(startedIn, QDir("/usr/lib/plexmediaserver").exists()
                                ? QStringLiteral("/usr/lib/plexmediaserver")
                                : QStringLiteral("/usr/lib"));
        QCOMPARE(confirm, QStringLiteral("Choose"));
        offered.sort();
        QCOMPARE(offered, (QStringList{QStringLiteral("Plex Media Server"),
                                       QStringLiteral("com.plexapp.plexmediaserver.desktop"),
                                       QStringLiteral("folder")}));
        QCOMPARE(settings().plexAppPath(), app);
        QCOMPARE(foundText(), QStringLiteral("Found"));
    }

    void cancellingTheChooserChangesNothing()
    {
        settings().setPlexAppPath(QStringLiteral("/before"));
        makeView();
        QSignalSpy stored(&settings(), &AppSettings::plexAppPathChanged);
        whenFileDialogOpens([](QFileDialog *dialog) { dialog->reject(); });
        child<QPushButton>("chooseButton")->click();
        QCOMPARE(stored.count(), 0);
    }

    // Status.

    void statusFollowsTheWatchdog()
    {
        makeView();
        QCOMPARE(status(), QStringLiteral("Unknown"));
        m_world.watchdog->checkNow(QStringLiteral("timer"));
        QTRY_COMPARE(status(), QStringLiteral("Running"));

        server().running = false;
        server().outcome = {false, {}, QStringLiteral("The application could not be found.")};
        m_world.watchdog->checkNow(QStringLiteral("timer"));
        QTRY_VERIFY(!m_world.watchdog->isChecking());
        QCOMPARE(status(), QStringLiteral("Not running"));

        child<QCheckBox>("watchPlexToggle")->click();
        QVERIFY(!settings().watchPlex());
        m_world.watchdog->checkNow(QStringLiteral("timer"));
        QTRY_COMPARE(status(), QStringLiteral("Unknown"));
    }

    void startPlexNowLaunchesAtOnce()
    {
        server().running = false;
        makeView();
        child<QPushButton>("startPlexButton")->click();
        QTRY_COMPARE(status(), QStringLiteral("Running"));
        QCOMPARE(server().launches, 1);
        QCOMPARE(m_world.log->events().last().kind, LogEvent::Kind::plexLaunched);
    }

    // Layout.

    void fitsAndIsReachable_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::newRow("plex") << 1.0;
        QTest::newRow("plex-font125") << 1.25;
    }

    void fitsAndIsReachable()
    {
        QFETCH(qreal, scale);
        ScaledFont font(scale);
        settings().setPlexAppPath(AppSettings::defaultPlexAppPath);
        makeView();
        const QStringList problems =
            layoutProblems(m_view, m_world.window, QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(PlexSettingsViewTest)
#include "PlexSettingsViewTest.moc"
