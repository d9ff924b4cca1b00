#include "TabTestSupport.h"

#include "history/EventLog.h"
#include "settings/AppSettings.h"
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
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace TabTestSupport;
using Kind = LogEvent::Kind;

namespace {

Instant at(const char *iso)
{
    return Clock::fromDateTime(QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate));
}

Instant hoursAgo(double hours)
{
    return fixedNow() - std::chrono::milliseconds(qint64(hours * 3'600'000));
}

Instant daysAgo(double days)
{
    return hoursAgo(days * 24);
}

} // namespace

class HistoryViewTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<EventLog> m_log;
    std::unique_ptr<AppSettings> m_settings;
    QPointer<QWidget> m_window;
    HistoryView *m_view = nullptr;

    HistoryView *makeView()
    {
        m_view = new HistoryView(*m_log, *m_settings);
        m_window = hostInWindow(m_view, QStringLiteral("History"));
        return m_view;
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
    QList<Kind> listedKinds()
    {
        QList<Kind> kinds;
        QAbstractItemModel *model = m_view->listView()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            kinds << Kind(model->index(row, 0).data(HistoryListModel::KindRole).toInt());
        return kinds;
    }
    // Presses Export… and saves to path (or cancels when path is empty); returns what the
    // dialog proposed.
    QString exportTo(const QString &path)
    {
        QString proposed;
        whenFileDialogOpens([&](QFileDialog *dialog) {
            proposed = QFileInfo(dialog->selectedFiles().value(0)).fileName();
            QVERIFY(dialog->acceptMode() == QFileDialog::AcceptSave);
            QVERIFY(!dialog->testOption(QFileDialog::ReadOnly));
            if (path.isEmpty()) {
                dialog->reject();
            } else {
                typeFileName(dialog, path);
                static_cast<QDialog *>(dialog)->accept();
            }
        });
        m_view->findChild<QPushButton *>("exportButton")->click();
        return proposed;
    }
    // What a user does: type the full path into the name field.
    static void typeFileName(QFileDialog *dialog, const QString &path)
    {
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(path);
    }
    QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

private Q_SLOTS:
    void initTestCase()
    {
        useFixedEnvironment();
        setNow(at("2026-03-01T12:00:00Z"));
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_log = std::make_unique<EventLog>(m_dir->path());
        m_settings = std::make_unique<AppSettings>();
    }

    void cleanup()
    {
        delete m_window;
        m_view = nullptr;
        m_log.reset();
        m_settings.reset();
        m_dir.reset();
    }

    // Cards and captions.

    void noRecordsGiveZeroCardsAndTheEmptyState()
    {
        makeView();
        QCOMPARE(card("crashesCard")->count(), 0);
        QCOMPARE(card("dropsCard")->count(), 0);
        QCOMPARE(card("fixesCard")->count(), 0);
        QCOMPARE(card("crashesCard")->caption(), QStringLiteral("None recorded"));
        QCOMPARE(card("dropsCard")->caption(), QStringLiteral("None recorded"));
        QCOMPARE(card("fixesCard")->caption(), QStringLiteral("No failed repairs"));
        QVERIFY(showsEmptyState());
        QCOMPARE(emptyText(), QStringLiteral("No outages in this period."));

        pickFilter(HistoryView::Filter::all);
        QCOMPARE(emptyText(), QStringLiteral("Nothing logged in this period."));
        saveScreenshot(m_window, QStringLiteral("history-empty"));
    }

    void lastOccurrenceIsRelativeAndAbbreviated()
    {
        recordAt(*m_log, Kind::plexDown, hoursAgo(2));
        recordAt(*m_log, Kind::volumeDown, hoursAgo(0.5));
        makeView();
        QCOMPARE(card("crashesCard")->caption(), QStringLiteral("Last 2 hr. ago"));
        QCOMPARE(card("dropsCard")->caption(), QStringLiteral("Last 30 min. ago"));
    }

    void outageOutsideTheWindowIsNotCountedButStillCaptioned()
    {
        recordAt(*m_log, Kind::plexDown, daysAgo(40));
        makeView();
        pickWindow(HistoryView::Window::month);
        QCOMPARE(card("crashesCard")->count(), 0);
        QVERIFY2(card("crashesCard")->caption().startsWith(QStringLiteral("Last ")),
                 qPrintable(card("crashesCard")->caption()));
        QCOMPARE(card("crashesCard")->caption(), QStringLiteral("Last 1 mo. ago"));

        pickWindow(HistoryView::Window::all);
        QCOMPARE(card("crashesCard")->count(), 1);
    }

    void failedRepairsCountLaunchFailuresAndErrors()
    {
        recordAt(*m_log, Kind::plexLaunched, hoursAgo(5));
        recordAt(*m_log, Kind::plexLaunchFailed, hoursAgo(4));
        recordAt(*m_log, Kind::volumeMounted, hoursAgo(3));
        recordAt(*m_log, Kind::error, hoursAgo(2), QStringLiteral("Launch at login: denied"));
        makeView();
        QCOMPARE(card("fixesCard")->count(), 2);
        QCOMPARE(card("fixesCard")->caption(), QStringLiteral("2 repairs failed"));

        m_log->clear();
        recordAt(*m_log, Kind::volumeMountFailed, hoursAgo(1));
        QCOMPARE(card("fixesCard")->count(), 0);
        QCOMPARE(card("fixesCard")->caption(), QStringLiteral("1 repair failed"));
    }

    // Window and filter.

    void windowAndFilterAreIndependent()
    {
        recordAt(*m_log, Kind::plexDown, daysAgo(3));
        recordAt(*m_log, Kind::wake, hoursAgo(3));
        recordAt(*m_log, Kind::plexDown, hoursAgo(2));
        recordAt(*m_log, Kind::plexOK, hoursAgo(1));
        makeView();
        QCOMPARE(m_view->timeWindow(), HistoryView::Window::week);
        QCOMPARE(m_view->filter(), HistoryView::Filter::incidents);
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
            recordAt(*m_log, kind, hoursAgo(1));
        makeView();
        QCOMPARE(listedKinds(), (QList<Kind>{Kind::error}));
    }

    void windowBoundaries_data()
    {
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("expected");
        // Records at 23 h, 25 h, 6.9 days, 7.1 days, 29.9 days and 30.1 days ago.
        QTest::newRow("24 hours") << int(HistoryView::Window::day) << 1;
        QTest::newRow("7 days") << int(HistoryView::Window::week) << 3;
        QTest::newRow("30 days") << int(HistoryView::Window::month) << 5;
        QTest::newRow("All time") << int(HistoryView::Window::all) << 6;
    }

    void windowBoundaries()
    {
        QFETCH(int, window);
        QFETCH(int, expected);
        for (double hours : {30.1 * 24, 29.9 * 24, 7.1 * 24, 6.9 * 24, 25.0, 23.0})
            recordAt(*m_log, Kind::volumeDown, hoursAgo(hours));
        makeView();
        pickWindow(HistoryView::Window(window));
        QCOMPARE(card("dropsCard")->count(), expected);
        QCOMPARE(m_view->listView()->model()->rowCount(), expected);
    }

    // The list.

    void rowsShowNewestFirstWithTheirDetails()
    {
        recordAt(*m_log, Kind::volumeDown, at("2026-03-01T08:15:00Z"), QStringLiteral("first"));
        recordAt(*m_log, Kind::volumeMounted, at("2026-03-01T08:16:00Z"));
        makeView();
        QAbstractItemModel *model = m_view->listView()->model();
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("Volume remounted"));
        QCOMPARE(model->index(1, 0).data().toString(), QStringLiteral("Volume disconnected"));
        QCOMPARE(model->index(1, 0).data(HistoryListModel::DetailRole).toString(),
                 QStringLiteral("first"));
        QVERIFY(model->index(1, 0)
                    .data(Qt::AccessibleTextRole)
                    .toString()
                    .contains(QStringLiteral("Mar 1, 2026")));
    }

    void detailTakesAtMostTwoLines()
    {
        const QString longDetail = QString(QStringLiteral("a long explanation ")).repeated(40);
        recordAt(*m_log, Kind::plexDown, hoursAgo(3));
        recordAt(*m_log, Kind::plexDown, hoursAgo(2), QStringLiteral("short"));
        recordAt(*m_log, Kind::plexDown, hoursAgo(1), longDetail);
        makeView();
        QListView *list = m_view->listView();
        const int longRow = list->visualRect(list->model()->index(0, 0)).height();
        const int shortRow = list->visualRect(list->model()->index(1, 0)).height();
        const int bareRow = list->visualRect(list->model()->index(2, 0)).height();
        QVERIFY2(bareRow < shortRow && shortRow < longRow,
                 qPrintable(QStringLiteral("%1 %2 %3").arg(bareRow).arg(shortRow).arg(longRow)));
        // The second detail line adds no more than one more line of the first's height.
        QCOMPARE(longRow - shortRow, shortRow - bareRow - 1);
    }

    void eightThousandRecordsStayOneView()
    {
        for (int i = 0; i < int(EventLog::maxEvents); ++i)
            recordAt(*m_log, i % 2 ? Kind::plexDown : Kind::plexLaunched, hoursAgo(100 - i * 0.01),
                     QStringLiteral("record %1").arg(i));
        makeView();
        pickWindow(HistoryView::Window::all);
        QCOMPARE(m_view->listView()->model()->rowCount(), int(EventLog::maxEvents));
        // Rows are painted by the delegate, never built as widgets.
        QVERIFY(m_view->listView()->viewport()->findChildren<QWidget *>().isEmpty());
        QCOMPARE(card("crashesCard")->count(), qsizetype(EventLog::maxEvents / 2));
    }

    // Export.

    void exportProposesItsNameAndCancelWritesNothing()
    {
        recordAt(*m_log, Kind::plexDown, hoursAgo(1));
        makeView();
        const QString target = m_dir->filePath(QStringLiteral("cancelled.tsv"));
        QCOMPARE(exportTo(QString()), HistoryView::proposedExportName);
        QVERIFY(!QFile::exists(target));
        QVERIFY(QDir(m_dir->path()).entryList({QStringLiteral("*.tsv")}).isEmpty());
    }

    void exportListsTheWindowOldestFirstWhateverTheFilter()
    {
        recordAt(*m_log, Kind::plexDown, at("2026-02-27T10:00:00Z"), QStringLiteral("old"));
        recordAt(*m_log, Kind::plexOK, at("2026-03-01T09:00:00Z"));
        recordAt(*m_log, Kind::volumeDown, at("2026-03-01T10:30:00Z"), QStringLiteral("gone"));
        makeView();
        pickWindow(HistoryView::Window::day);
        QCOMPARE(listedKinds().first(), Kind::volumeDown); // newest at the top of the list
        const QString path = m_dir->filePath(QStringLiteral("day.tsv"));
        exportTo(path);
        QCOMPARE(readFile(path), QByteArray("timestamp\tevent\tdetail\n"
                                            "2026-03-01T09:00:00Z\tplexOK\t\n"
                                            "2026-03-01T10:30:00Z\tvolumeDown\tgone"));
    }

    void exportOfAnEmptyWindowIsTheHeaderAlone()
    {
        recordAt(*m_log, Kind::plexDown, daysAgo(2));
        makeView();
        pickWindow(HistoryView::Window::day);
        const QString path = m_dir->filePath(QStringLiteral("empty.tsv"));
        exportTo(path);
        QCOMPARE(readFile(path), QByteArray("timestamp\tevent\tdetail"));
    }

    void exportReplacesAnExistingFileInAFolderItCreated()
    {
        recordAt(*m_log, Kind::volumeDown, hoursAgo(1));
        makeView();
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("made/in/dialog")));
        const QString path = m_dir->filePath(QStringLiteral("made/in/dialog/h.tsv"));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old contents that are longer than the export");
        }
        // The dialog asks before replacing the file; the answer is yes.
        auto *confirm = new QTimer(this);
        connect(confirm, &QTimer::timeout, confirm, [confirm] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                confirm->deleteLater();
                box->button(QMessageBox::Yes)->click();
            }
        });
        confirm->start(10);
        whenFileDialogOpens([&](QFileDialog *dialog) {
            typeFileName(dialog, path);
            static_cast<QDialog *>(dialog)->accept();
        });
        m_view->findChild<QPushButton *>("exportButton")->click();
        QVERIFY(readFile(path).startsWith("timestamp\tevent\tdetail\n"));
        QVERIFY(readFile(path).endsWith("\tvolumeDown\t"));
    }

    // Footer.

    void clearMenuDeletesWithoutAsking()
    {
        recordAt(*m_log, Kind::plexDown, daysAgo(40));
        recordAt(*m_log, Kind::volumeDown, daysAgo(31));
        recordAt(*m_log, Kind::plexDown, daysAgo(2));
        makeView();
        pickWindow(HistoryView::Window::all);
        QCOMPARE(m_view->listView()->model()->rowCount(), 3);

        auto *menu = m_view->findChild<QMenu *>("clearMenu");
        QCOMPARE(m_view->findChild<QPushButton *>("clearButton")->menu(), menu);
        menu->findChild<QAction *>("deleteOlderAction")->trigger();
        QCOMPARE(m_view->listView()->model()->rowCount(), 1);
        QCOMPARE(card("crashesCard")->count(), 1);
        QCOMPARE(card("dropsCard")->count(), 0);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);

        menu->findChild<QAction *>("deleteAllAction")->trigger();
        QVERIFY(showsEmptyState());
        QCOMPARE(card("crashesCard")->count(), 0);
        QCOMPARE(card("crashesCard")->caption(), QStringLiteral("None recorded"));
        QCOMPARE(m_log->events().size(), 0);
    }

    void logEveryCheckWritesTheSetting()
    {
        m_settings->setVerboseLogging(false);
        makeView();
        auto *toggle = m_view->findChild<QCheckBox *>("verboseToggle");
        QCOMPARE(toggle->toolTip(), QStringLiteral("Records a line even when everything is "
                                                   "fine. Useful when you're debugging, noisy "
                                                   "otherwise."));
        toggle->click();
        QVERIFY(m_settings->verboseLogging());
        QVERIFY(AppSettings().verboseLogging()); // persisted
        m_settings->setVerboseLogging(false);
        QVERIFY(!toggle->isChecked());
    }

    void revealPassesTheHistoryFileEvenBeforeItExists()
    {
        makeView();
        QStringList revealed;
        m_view->setRevealHandlerForTesting([&](const QString &path) { revealed << path; });
        m_view->findChild<QPushButton *>("revealButton")->click();
        QCOMPARE(revealed, QStringList{m_dir->filePath(QStringLiteral("events.jsonl"))});
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

        recordAt(*m_log, Kind::appStarted, hoursAgo(30));
        recordAt(*m_log, Kind::plexDown, hoursAgo(26), QStringLiteral("Plex stopped running"));
        recordAt(*m_log, Kind::plexLaunched, hoursAgo(26), AppSettings::defaultPlexAppPath);
        recordAt(*m_log, Kind::volumeDown, hoursAgo(3),
                 QStringLiteral("Not mounted when Vigilmount checked"));
        recordAt(*m_log, Kind::volumeMountFailed, hoursAgo(3),
                 QStringLiteral("The server refused the user name or password (error 13). "
                                "Check the credentials in Settings and try again later."));
        recordAt(*m_log, Kind::volumeMounted, hoursAgo(2),
                 QStringLiteral("/run/user/1000/gvfs/smb-share:server=nas.local,share=media"));
        recordAt(*m_log, Kind::wake, hoursAgo(1));
        makeView();
        pickFilter(HistoryView::Filter::all);
        QApplication::processEvents();

        const QStringList clipped = clippedWidgets(m_view);
        const QStringList unreachable = unreachableOrUnnamedControls(m_view);
        saveScreenshot(m_window, fontScale > 1 ? QStringLiteral("history-font125")
                                               : QStringLiteral("history"));
        QApplication::setFont(original);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
        QVERIFY2(unreachable.isEmpty(), qPrintable(unreachable.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(HistoryViewTest)
#include "HistoryViewTest.moc"
