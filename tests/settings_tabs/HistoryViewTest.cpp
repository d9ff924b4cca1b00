#include "TabTestSupport.h"

#include "ui/settings/HistoryListModel.h"
#include "ui/settings/HistoryView.h"
#include "ui/settings/SegmentedControl.h"
#include "ui/settings/SummaryCard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

using namespace TabTestSupport;
using Kind = LogEvent::Kind;

class HistoryViewTest : public QObject
{
    Q_OBJECT

    TabWorld m_world;
    HistoryView *m_view = nullptr;

    EventLog &log() { return *m_world.log; }
    void makeView()
    {
        m_view = new HistoryView(*m_world.log, *m_world.settings);
        m_world.show(m_view, QStringLiteral("History"));
    }
    SummaryCard *card(const char *name) { return m_view->findChild<SummaryCard *>(name); }
    QString emptyText() { return m_view->findChild<QLabel *>("emptyText")->text(); }
    bool showsEmptyState()
    {
        auto *area = m_view->findChild<QStackedWidget *>();
        return area->currentWidget()->objectName() == QLatin1String("emptyState");
    }
    void pickWindow(HistoryView::Window window)
    {
        m_view->findChild<SegmentedControl *>("windowPicker")->segment(int(window))->click();
    }
    void pickFilter(HistoryView::Filter filter)
    {
        auto *combo = m_view->findChild<QComboBox *>("filterPicker");
        combo->setCurrentIndex(int(filter));
        Q_EMIT combo->activated(int(filter));
    }
    int rows() { return m_view->listView()->model()->rowCount(); }
    QList<Kind> listedKinds()
    {
        QList<Kind> kinds;
        for (int row = 0; row < rows(); ++row)
            kinds << Kind(m_view->listView()
                              ->model()
                              ->index(row, 0)
                              .data(HistoryListModel::KindRole)
                              .toInt());
        return kinds;
    }
    // Presses Export… and saves to path, or cancels when path is empty.
    void exportTo(const QString &path)
    {
        whenFileDialogOpens([path](QFileDialog *dialog) {
            QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(),
                     QStringLiteral("Vigilmount-history.tsv"));
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
            QVERIFY(!dialog->testOption(QFileDialog::ReadOnly)); // folders can be created
            path.isEmpty() ? dialog->reject() : typePathAndAccept(dialog, path);
        });
        m_view->findChild<QPushButton *>("exportButton")->click();
    }
    QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

private Q_SLOTS:
    void initTestCase() { useFixedEnvironment(); }
    void init() { m_world.setUp(); }
    void cleanup() { m_world.tearDown(); }

    // Cards and captions.

    void noRecordsGiveZeroCardsAndTheEmptyState()
    {
        makeView();
        for (const char *name : {"crashesCard", "dropsCard", "fixesCard"})
            QCOMPARE(card(name)->count(), 0);
        QCOMPARE(card("crashesCard")->caption(), QStringLiteral("None recorded"));
        QCOMPARE(card("dropsCard")->caption(), QStringLiteral("None recorded"));
        QCOMPARE(card("fixesCard")->caption(), QStringLiteral("No failed repairs"));
        QVERIFY(showsEmptyState());
        QCOMPARE(emptyText(), QStringLiteral("No outages in this period."));
        pickFilter(HistoryView::Filter::all);
        QCOMPARE(emptyText(), QStringLiteral("Nothing logged in this period."));
        savePicture(m_world.window, QStringLiteral("history-empty"));
    }

    void lastOccurrenceIsRelativeAndAbbreviated()
    {
        recordAt(log(), Kind::plexDown, hoursAgo(2));
        recordAt(log(), Kind::volumeDown, hoursAgo(0.5));
        makeView();
        QCOMPARE(card("crashesCard")->caption(), QStringLiteral("Last 2 hr. ago"));
        QCOMPARE(card("dropsCard")->caption(), QStringLiteral("Last 30 min. ago"));
    }

    void outageOutsideTheWindowIsNotCountedButStillCaptioned()
    {
        recordAt(log(), Kind::plexDown, hoursAgo(40 * 24));
        makeView();
        pickWindow(HistoryView::Window::month);
        QCOMPARE(card("crashesCard")->count(), 0);
        QCOMPARE(card("crashesCard")->caption(), QStringLiteral("Last 1 mo. ago"));
        pickWindow(HistoryView::Window::all);
        QCOMPARE(card("crashesCard")->count(), 1);
    }

    void failedRepairsCountLaunchFailuresAndErrors()
    {
        recordAt(log(), Kind::plexLaunched, hoursAgo(5));
        recordAt(log(), Kind::plexLaunchFailed, hoursAgo(4));
        recordAt(log(), Kind::volumeMounted, hoursAgo(3));
        recordAt(log(), Kind::error, hoursAgo(2), QStringLiteral("Launch at login: denied"));
        makeView();
        QCOMPARE(card("fixesCard")->count(), 2);
        QCOMPARE(card("fixesCard")->caption(), QStringLiteral("2 repairs failed"));

        log().clear();
        recordAt(log(), Kind::volumeMountFailed, hoursAgo(1));
        QCOMPARE(card("fixesCard")->count(), 0);
        QCOMPARE(card("fixesCard")->caption(), QStringLiteral("1 repair failed"));
    }

    // Window, filter and list.

    void windowAndFilterAreIndependent()
    {
        recordAt(log(), Kind::plexDown, hoursAgo(72));
        recordAt(log(), Kind::wake, hoursAgo(3));
        recordAt(log(), Kind::plexDown, hoursAgo(2));
        recordAt(log(), Kind::plexOK, hoursAgo(1));
        makeView();
        QCOMPARE(card("crashesCard")->count(), 2);
        QCOMPARE(listedKinds(), (QList<Kind>{Kind::plexDown, Kind::plexDown}));

        // The filter changes the list only; the cards count the whole window.
        pickFilter(HistoryView::Filter::all);
        QCOMPARE(card("crashesCard")->count(), 2);
        QCOMPARE(listedKinds(),
                 (QList<Kind>{Kind::plexOK, Kind::plexDown, Kind::wake, Kind::plexDown}));

        // The window narrows cards and list and leaves the filter as it was.
        pickWindow(HistoryView::Window::day);
        QCOMPARE(m_view->filter(), HistoryView::Filter::all);
        QCOMPARE(card("crashesCard")->count(), 1);
        QCOMPARE(listedKinds(), (QList<Kind>{Kind::plexOK, Kind::plexDown, Kind::wake}));
        pickFilter(HistoryView::Filter::incidents);
        QCOMPARE(m_view->timeWindow(), HistoryView::Window::day);
        QCOMPARE(listedKinds(), (QList<Kind>{Kind::plexDown}));
    }

    void incidentsHideRoutineRecordsAndKeepErrors()
    {
        for (Kind kind : {Kind::plexOK, Kind::volumeOK, Kind::wake, Kind::checkStarted,
                          Kind::appStarted, Kind::appStopped, Kind::info, Kind::error})
            recordAt(log(), kind, hoursAgo(1));
        makeView();
        QCOMPARE(listedKinds(), (QList<Kind>{Kind::error}));
    }

    void windowBoundaries()
    {
        for (double hours : {30.1 * 24, 29.9 * 24, 7.1 * 24, 6.9 * 24, 25.0, 23.0})
            recordAt(log(), Kind::volumeDown, hoursAgo(hours));
        makeView();
        const QList<std::pair<HistoryView::Window, int>> expected = {
            {HistoryView::Window::day, 1},
            {HistoryView::Window::week, 3},
            {HistoryView::Window::month, 5},
            {HistoryView::Window::all, 6}};
        for (auto [window, count] : expected) {
            pickWindow(window);
            QCOMPARE(card("dropsCard")->count(), count);
            QCOMPARE(rows(), count);
        }
    }

    void detailTakesAtMostTwoLines()
    {
        recordAt(log(), Kind::plexDown, hoursAgo(3));
        recordAt(log(), Kind::plexDown, hoursAgo(2), QStringLiteral("short"));
        recordAt(log(), Kind::plexDown, hoursAgo(1), QStringLiteral("a long text ").repeated(40));
        makeView();
        QListView *list = m_view->listView();
        const auto height = [list](int row) {
            return list->visualRect(list->model()->index(row, 0)).height();
        };
        QVERIFY(height(2) < height(1) && height(1) < height(0));
        // The second detail line adds one line, however long the text.
        QCOMPARE(height(0) - height(1), height(1) - height(2) - 1);
    }

    void eightThousandRecordsAreRowsOfOneView()
    {
        for (int i = 0; i < int(EventLog::maxEvents); ++i)
            recordAt(log(), i % 2 ? Kind::plexDown : Kind::plexLaunched, hoursAgo(100 - i * 0.01),
                     QStringLiteral("record %1").arg(i));
        makeView();
        pickWindow(HistoryView::Window::all);
        QCOMPARE(rows(), int(EventLog::maxEvents));
        QVERIFY(m_view->listView()->viewport()->findChildren<QWidget *>().isEmpty());
    }

    // Export.

    void cancellingTheExportWritesNothing()
    {
        recordAt(log(), Kind::plexDown, hoursAgo(1));
        makeView();
        exportTo(QString());
        QVERIFY(QDir(m_world.dir->path()).entryList({QStringLiteral("*.tsv")}).isEmpty());
    }

    void exportListsTheWindowOldestFirstWhateverTheFilter()
    {
        recordAt(log(), Kind::plexDown, hoursAgo(50), QStringLiteral("old"));
        recordAt(log(), Kind::plexOK, hoursAgo(3));
        recordAt(log(), Kind::volumeDown, hoursAgo(1.5), QStringLiteral("gone"));
        makeView();
        pickWindow(HistoryView::Window::day);
        QCOMPARE(listedKinds().first(), Kind::volumeDown); // newest at the top of the list
        const QString path = m_world.dir->filePath(QStringLiteral("day.tsv"));
        exportTo(path);
        QCOMPARE(readFile(path), QByteArray("timestamp\tevent\tdetail\n"
                                            "2026-03-01T09:00:00Z\tplexOK\t\n"
                                            "2026-03-01T10:30:00Z\tvolumeDown\tgone"));

        recordAt(log(), Kind::plexDown, hoursAgo(0.5)); // replaces the earlier file
        exportTo(path);
        QVERIFY(readFile(path).endsWith("\tgone\n2026-03-01T11:30:00Z\tplexDown\t"));
    }

    void exportOfAnEmptyWindowIsTheHeaderAlone()
    {
        recordAt(log(), Kind::plexDown, hoursAgo(48));
        makeView();
        pickWindow(HistoryView::Window::day);
        const QString path = m_world.dir->filePath(QStringLiteral("empty.tsv"));
        exportTo(path);
        QCOMPARE(readFile(path), QByteArray("timestamp\tevent\tdetail"));
    }

    // Footer.

    void clearMenuDeletesWithoutAsking()
    {
        recordAt(log(), Kind::plexDown, hoursAgo(40 * 24));
        recordAt(log(), Kind::volumeDown, hoursAgo(31 * 24));
        recordAt(log(), Kind::plexDown, hoursAgo(48));
        makeView();
        pickWindow(HistoryView::Window::all);
        QCOMPARE(rows(), 3);

        auto *menu = m_view->findChild<QPushButton *>("clearButton")->menu();
        menu->findChild<QAction *>("deleteOlderAction")->trigger();
        QCOMPARE(rows(), 1);
        QCOMPARE(card("crashesCard")->count(), 1);
        QCOMPARE(card("dropsCard")->count(), 0);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);

        menu->findChild<QAction *>("deleteAllAction")->trigger();
        QVERIFY(showsEmptyState());
        QCOMPARE(card("crashesCard")->count(), 0);
        QCOMPARE(log().events().size(), 0);
    }

    void logEveryCheckWritesTheSetting()
    {
        makeView();
        auto *toggle = m_view->findChild<QCheckBox *>("verboseToggle");
        QVERIFY(toggle->toolTip().startsWith(QStringLiteral("Records a line even when")));
        toggle->click();
        QVERIFY(AppSettings().verboseLogging()); // written at once
        m_world.settings->setVerboseLogging(false);
        QVERIFY(!toggle->isChecked());
    }

    void revealPassesTheHistoryFileEvenBeforeItExists()
    {
        makeView();
        QStringList revealed;
        m_view->setRevealHandlerForTesting([&](const QString &path) { revealed << path; });
        m_view->findChild<QPushButton *>("revealButton")->click();
        QCOMPARE(revealed,
                 QStringList{m_world.dir->filePath(QStringLiteral("history/events.jsonl"))});
    }

    // Layout.

    void fitsAndIsReachable_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::newRow("history") << 1.0;
        QTest::newRow("history-font125") << 1.25;
    }

    void fitsAndIsReachable()
    {
        QFETCH(qreal, scale);
        ScaledFont font(scale);
        recordAt(log(), Kind::plexDown, hoursAgo(26), QStringLiteral("Plex stopped running"));
        recordAt(log(), Kind::plexLaunched, hoursAgo(26), AppSettings::defaultPlexAppPath);
        recordAt(log(), Kind::volumeMountFailed, hoursAgo(3),
                 QStringLiteral("The server refused the user name or password (error 13). "
                                "Check the credentials in Settings and try again later."));
        recordAt(log(), Kind::volumeMounted, hoursAgo(2),
                 QStringLiteral("/run/user/1000/gvfs/smb-share:server=nas.local,share=media"));
        recordAt(log(), Kind::wake, hoursAgo(1));
        makeView();
        pickFilter(HistoryView::Filter::all);
        const QStringList problems =
            layoutProblems(m_view, m_world.window, QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(HistoryViewTest)
#include "HistoryViewTest.moc"
