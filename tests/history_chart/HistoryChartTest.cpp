#include "ui/settings/HistoryChart.h"
#include "history/EventLog.h"
#include "settings/AppSettings.h"
#include "ui/settings/HistoryListModel.h"
#include "ui/settings/SegmentedControl.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QListView>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>

using Kind = LogEvent::Kind;
using Period = OutageHistogram::Period;
using Window = HistoryView::Window;

namespace {

Instant at(const char *iso)
{
    return Clock::fromDateTime(QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate));
}

// Berlin local times: a repair after midnight, a record just after midnight in summer time
// (still the day before in UTC), and the hour 02:00-03:00 of 25 October twice.
const std::pair<const char *, Kind> seeds[] = {
    {"2026-03-10T09:00:00+01:00", Kind::plexDown},
    {"2026-03-24T11:30:00+01:00", Kind::plexDown},
    {"2026-03-27T23:50:00+01:00", Kind::volumeDown},
    {"2026-03-28T00:20:00+01:00", Kind::volumeMounted},
    {"2026-03-30T00:30:00+02:00", Kind::plexDown},
    {"2026-03-31T03:00:00+02:00", Kind::volumeDown},
    {"2026-03-31T11:59:00+02:00", Kind::plexDown},
    {"2026-10-25T02:30:00+02:00", Kind::volumeDown},
    {"2026-10-25T02:30:00+01:00", Kind::volumeDown},
};

// The seeded history as it stood at now.
QList<LogEvent> historyUntil(Instant now)
{
    QList<LogEvent> records;
    for (const auto &[date, kind] : seeds)
        if (at(date) <= now)
            records.append(LogEvent{QUuid::createUuid(), at(date), kind, {}});
    return records;
}

Instant currentNow;

} // namespace

class HistoryChartTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;
    std::unique_ptr<EventLog> m_log;
    AppSettings m_settings;
    std::unique_ptr<HistoryView> m_view;
    HistoryChart *m_chart = nullptr;

    // The History tab on the seeded history as it stood at now.
    void showHistory(const char *now, Window window)
    {
        m_view.reset();
        m_log = std::make_unique<EventLog>(m_folder.path());
        m_log->clear();
        for (const LogEvent &record : historyUntil(at(now))) {
            currentNow = record.date;
            m_log->record(record.kind);
        }
        currentNow = at(now);
        m_view = std::make_unique<HistoryView>(*m_log, m_settings);
        m_view->setTimeWindow(window);
        m_view->resize(560, 440);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        m_chart = m_view->findChild<HistoryChart *>();
    }
    QList<Kind> listed() const
    {
        QList<Kind> kinds;
        const QAbstractItemModel *model = m_view->listView()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            kinds << Kind(model->index(row, 0).data(HistoryListModel::KindRole).toInt());
        return kinds;
    }
    void clickBar(qsizetype index)
    {
        QTest::mouseClick(m_chart, Qt::LeftButton, {}, m_chart->barSlot(index).center().toPoint());
    }
    // The colour at the foot (the server) or the top (the share) of a full bar.
    QColor barColor(qsizetype index, bool top = false) const
    {
        const QRectF slot = m_chart->barSlot(index);
        const int y = top ? int(slot.top()) + 1 : int(slot.bottom()) - 1;
        return m_chart->grab().toImage().pixelColor(int(slot.center().x()), y);
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin"); // before the first local time, Qt's or ICU's
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Clock::setSourceForTesting([] { return currentNow; });
    }

    // Local days, hours and weeks, from their local start; sparse "index:<server><share>".
    void bucketing_data()
    {
        QTest::addColumn<Period>("period");
        QTest::addColumn<int>("hoursBack"); // the window's start; -1 for all time
        QTest::addColumn<QString>("now");
        QTest::addColumn<Qt::DayOfWeek>("firstDay");
        QTest::addColumn<QString>("firstStart");
        QTest::addColumn<QString>("outages");
        QTest::addColumn<int>("oddIndex"); // the one bucket that is not 1, 24 or 168 hours
        QTest::addColumn<int>("oddHours");
        QTest::newRow("7 days, spring change") << Period::day << 168 << "2026-03-31T12:00:00+02:00"
                                               << Qt::Monday << "2026-03-24T00:00:00+01:00"
                                               << "8 0:10 3:01 6:10 7:11" << 5 << 23;
        QTest::newRow("24 hours, autumn change")
            << Period::hour << 24 << "2026-10-25T06:30:00+01:00" << Qt::Monday
            << "2026-10-24T07:00:00+02:00"
            << "25 19:01 20:01" << -1 << 0;
        QTest::newRow("all time, Monday weeks") << Period::week << -1 << "2026-03-31T12:00:00+02:00"
                                                << Qt::Monday << "2026-03-09T00:00:00+01:00"
                                                << "4 0:10 2:11 3:21" << 2 << 167;
        QTest::newRow("all time, Sunday weeks") << Period::week << -1 << "2026-03-31T12:00:00+02:00"
                                                << Qt::Sunday << "2026-03-08T00:00:00+01:00"
                                                << "4 0:10 2:11 3:21" << 3 << 167;
    }
    void bucketing()
    {
        QFETCH(Period, period);
        QFETCH(int, hoursBack);
        QFETCH(QString, now);
        QFETCH(Qt::DayOfWeek, firstDay);
        QFETCH(QString, firstStart);
        QFETCH(QString, outages);
        QFETCH(int, oddIndex);
        QFETCH(int, oddHours);
        const Instant end = at(qPrintable(now));
        const auto from =
            hoursBack < 0 ? std::nullopt : std::optional(end - std::chrono::hours(hoursBack));
        const OutageHistogram histogram(historyUntil(end), period, from, end, firstDay);
        const QList<OutageHistogram::Bucket> &buckets = histogram.buckets();
        QStringList expected = outages.split(' ');
        QCOMPARE(buckets.size(), expected.takeFirst().toInt());
        QCOMPARE(buckets.first().start, at(qPrintable(firstStart)));
        QStringList got;
        for (qsizetype i = 0; i < buckets.size(); ++i) {
            if (buckets[i].total() > 0)
                got << QStringLiteral("%1:%2%3")
                           .arg(i)
                           .arg(buckets[i].server)
                           .arg(buckets[i].share);
            const auto hours =
                std::chrono::duration_cast<std::chrono::hours>(buckets[i].end - buckets[i].start);
            const int usual = period == Period::hour ? 1 : period == Period::day ? 24 : 168;
            QCOMPARE(int(hours.count()), i == oddIndex ? oddHours : usual);
            if (i > 0)
                QCOMPARE(buckets[i].start, buckets[i - 1].end);
        }
        QCOMPARE(got, expected);
    }

    void summary_data()
    {
        QTest::addColumn<Window>("window");
        QTest::addColumn<QString>("now");
        QTest::addColumn<QString>("expected");
        QTest::newRow("week") << Window::week << "2026-03-31T12:00:00+02:00"
                              << "5 outages in the last 7 days, most on Tuesday";
        QTest::newRow("month") << Window::month << "2026-03-31T12:00:00+02:00"
                               << "6 outages in the last 30 days, most on Mar 31";
        QTest::newRow("all, US weeks")
            << Window::all << "2026-03-31T12:00:00+02:00"
            << "6 outages in all recorded history, most in the week of Mar 29";
        QTest::newRow("one") << Window::day << "2026-03-31T11:00:00+02:00"
                             << "1 outage in the last 24 hours";
        QTest::newRow("tie") << Window::day << "2026-10-25T06:30:00+01:00"
                             << "2 outages in the last 24 hours";
    }
    void summary()
    {
        QFETCH(Window, window);
        QFETCH(QString, now);
        QFETCH(QString, expected);
        showHistory(qPrintable(now), window);
        QCOMPARE(QAccessible::queryAccessibleInterface(m_chart)->text(QAccessible::Name), expected);
    }

    // Picking a bar narrows the list to its day; picking it again, Escape or a window widens it.
    void pickingBarsFiltersTheList()
    {
        showHistory("2026-03-31T12:00:00+02:00", Window::week);
        const QList<Kind> all = {Kind::plexDown,      Kind::volumeDown, Kind::plexDown,
                                 Kind::volumeMounted, Kind::volumeDown, Kind::plexDown};
        QCOMPARE(listed(), all);
        clickBar(3);
        QCOMPARE(listed(), QList<Kind>{Kind::volumeDown}); // not the repair after midnight
        clickBar(3);
        QCOMPARE(listed(), all);
        clickBar(7);
        QCOMPARE(listed(), (QList<Kind>{Kind::plexDown, Kind::volumeDown}));
        QTest::keyClick(m_chart, Qt::Key_Left);
        QCOMPARE(listed(), QList<Kind>{Kind::plexDown});
        QTest::keyClick(m_chart, Qt::Key_Escape);
        QCOMPARE(listed(), all);
        clickBar(4);
        QCOMPARE(listed(), QList<Kind>{Kind::volumeMounted});
        m_view->findChild<SegmentedControl *>("windowPicker")->segment(int(Window::week))->click();
        QCOMPARE(listed(), all);

        QHelpEvent help(QEvent::ToolTip, m_chart->barSlot(7).center().toPoint(), QPoint(0, 0));
        QApplication::sendEvent(m_chart, &help);
        QCOMPARE(QToolTip::text(), "Tuesday, Mar 31\n2 outages\nPlex: 1, volume: 1");
    }

    // Bars take the palette's colours when they paint: a live switch to dark shows in them.
    void barsFollowThePalette()
    {
        showHistory("2026-03-31T12:00:00+02:00", Window::week);
        QCOMPARE(barColor(7), m_chart->palette().color(QPalette::Highlight));
        QCOMPARE_LT(barColor(7, true).lightness(), 128); // grey nearer the dark text
        QPalette dark = QApplication::palette();
        dark.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
        dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
        dark.setColor(QPalette::WindowText, Qt::white);
        QApplication::setPalette(dark);
        QApplication::processEvents();
        QCOMPARE(barColor(7), QColor(0x3d, 0xae, 0xe9));
        QCOMPARE_GT(barColor(7, true).lightness(), 128);
    }
};

QTEST_MAIN(HistoryChartTest)
#include "HistoryChartTest.moc"
