#include "ui/menubar/StatusMenuModel.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace StatusMenuModel;
using namespace std::chrono_literals;

namespace {

Inputs watchedAndConfigured()
{
    Inputs in;
    in.watchPlex = true;
    in.watchVolume = true;
    in.volumeConfigured = true;
    in.shareName = QStringLiteral("media");
    return in;
}

QStringList titles(const QList<Row> &list)
{
    QStringList out;
    for (const Row &row : list)
        out << (row.type == Row::Type::separator ? QStringLiteral("---") : row.title);
    return out;
}

std::optional<Row> findAction(const QList<Row> &list, Action action)
{
    for (const Row &row : list)
        if (row.action == action)
            return row;
    return std::nullopt;
}

LogEvent record(LogEvent::Kind kind, Instant date)
{
    return LogEvent{QUuid::createUuid(), date, kind, {}};
}

} // namespace

class StatusMenuModelTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { Clock::setSourceForTesting({}); }

    void plexStatusLine_data()
    {
        QTest::addColumn<bool>("watch");
        QTest::addColumn<int>("running"); // -1 none, 0 false, 1 true
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("symbol");
        QTest::newRow("off") << false << 1 << "Plex: not monitored"
                             << "minus.circle";
        QTest::newRow("none") << true << -1 << "Plex: unknown"
                              << "questionmark.circle";
        QTest::newRow("false") << true << 0 << "Plex: not running"
                               << "xmark.circle.fill";
        QTest::newRow("true") << true << 1 << "Plex: running"
                              << "checkmark.circle.fill";
    }
    void plexStatusLine()
    {
        QFETCH(bool, watch);
        QFETCH(int, running);
        Inputs in = watchedAndConfigured();
        in.watchPlex = watch;
        if (running >= 0)
            in.plexRunning = running == 1;
        const StatusLine line = plexStatus(in);
        QTEST(line.text, "text");
        QTEST(line.symbol, "symbol");
        // The same line is the menu's first row, shown disabled with its symbol.
        const Row first = rows(in).first();
        QCOMPARE(first.type, Row::Type::info);
        QCOMPARE(first.title, line.text);
        QCOMPARE(first.symbol, line.symbol);
        QCOMPARE(first.action, Action::none);
    }

    void volumeStatusLine_data()
    {
        QTest::addColumn<bool>("watch");
        QTest::addColumn<bool>("configured");
        QTest::addColumn<int>("mounted"); // -1 none, 0 false, 1 true
        QTest::addColumn<QString>("mountPoint");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("symbol");
        QTest::newRow("off") << false << true << 1 << "/m"
                             << "Volume: not monitored"
                             << "minus.circle";
        QTest::newRow("not configured") << true << false << 1 << "/m"
                                        << "Volume: not configured"
                                        << "minus.circle";
        QTest::newRow("none") << true << true << -1 << ""
                              << "Volume: unknown"
                              << "questionmark.circle";
        QTest::newRow("false") << true << true << 0 << ""
                               << "Volume: disconnected"
                               << "externaldrive.badge.xmark";
        QTest::newRow("true with mount point")
            << true << true << 1 << "/run/user/1000/gvfs/smb-share:server=nas,share=media"
            << "Volume: /run/user/1000/gvfs/smb-share:server=nas,share=media"
            << "externaldrive.fill.badge.checkmark";
        QTest::newRow("true without mount point")
            << true << true << 1 << QString() << "Volume: media"
            << "externaldrive.fill.badge.checkmark";
    }
    void volumeStatusLine()
    {
        QFETCH(bool, watch);
        QFETCH(bool, configured);
        QFETCH(int, mounted);
        QFETCH(QString, mountPoint);
        Inputs in = watchedAndConfigured();
        in.watchVolume = watch;
        in.volumeConfigured = configured;
        if (mounted >= 0)
            in.volumeMounted = mounted == 1;
        if (!mountPoint.isNull())
            in.volumeMountPoint = mountPoint;
        const StatusLine line = volumeStatus(in);
        QTEST(line.text, "text");
        QTEST(line.symbol, "symbol");
        const Row second = rows(in).at(1);
        QCOMPARE(second.title, line.text);
        QCOMPARE(second.symbol, line.symbol);
    }

    void startRowFollowsWatchAndState()
    {
        Inputs in = watchedAndConfigured();
        QVERIFY2(findAction(rows(in), Action::startPlex), "state none offers a start");
        in.plexRunning = false;
        const std::optional<Row> start = findAction(rows(in), Action::startPlex);
        QVERIFY(start);
        QCOMPARE(start->title, QStringLiteral("Start Plex Media Server"));
        QVERIFY(start->shortcut.isEmpty());
        in.plexRunning = true;
        QVERIFY(!findAction(rows(in), Action::startPlex));
        in.plexRunning = false;
        in.watchPlex = false;
        QVERIFY(!findAction(rows(in), Action::startPlex));
    }

    void shareRowOpensOrMounts()
    {
        Inputs in = watchedAndConfigured();
        in.shareName = QStringLiteral(" Media ");
        in.volumeMounted = true;
        const QList<Row> mounted = rows(in);
        QCOMPARE(findAction(mounted, Action::openVolume)->title,
                 QStringLiteral("Open  Media  in File Manager"));
        QVERIFY(!findAction(mounted, Action::mountVolume));

        for (const std::optional<bool> state :
             {std::optional<bool>(false), std::optional<bool>()}) {
            in.volumeMounted = state;
            const QList<Row> list = rows(in);
            QVERIFY(!findAction(list, Action::openVolume));
            QCOMPARE(findAction(list, Action::mountVolume)->title, QStringLiteral("Mount  Media "));
        }

        in.shareName.clear();
        QCOMPARE(findAction(rows(in), Action::mountVolume)->title, QStringLiteral("Mount Volume"));

        // Neither form without the watch switch or without a configured share.
        for (const std::optional<bool> state : {std::optional<bool>(true), std::optional<bool>()}) {
            in.volumeMounted = state;
            in.watchVolume = false;
            QVERIFY(!findAction(rows(in), Action::mountVolume) &&
                    !findAction(rows(in), Action::openVolume));
            in.watchVolume = true;
            in.volumeConfigured = false;
            QVERIFY(!findAction(rows(in), Action::mountVolume) &&
                    !findAction(rows(in), Action::openVolume));
            in.volumeConfigured = true;
        }
    }

    void fullMenuInOrder()
    {
        Inputs in = watchedAndConfigured();
        in.plexOutages = 2;
        const QList<Row> list = rows(in);
        QCOMPARE(titles(list),
                 (QStringList{"Plex: unknown", "Volume: unknown", "No check yet", "---",
                              "Check Now", "Start Plex Media Server", "Mount media", "---",
                              "Last 7 days: 2 Plex, 0 volume", "History\u2026", "---",
                              "Settings\u2026", "Quit Vigilmount"}));
        QCOMPARE(list.at(2).symbol, QStringLiteral("clock"));
        QCOMPARE(list.at(8).symbol, QStringLiteral("chart.bar"));
        QCOMPARE(list.at(8).type, Row::Type::info);
        QCOMPARE(findAction(list, Action::checkNow)->shortcut,
                 QKeySequence(QStringLiteral("Ctrl+R")));
        QCOMPARE(findAction(list, Action::openSettings)->shortcut,
                 QKeySequence(QStringLiteral("Ctrl+,")));
        QCOMPARE(findAction(list, Action::quit)->shortcut, QKeySequence(QStringLiteral("Ctrl+Q")));
        QVERIFY(findAction(list, Action::openHistory)->shortcut.isEmpty());

        in.watchPlex = false;
        in.watchVolume = false;
        QCOMPARE(titles(rows(in)),
                 (QStringList{"Plex: not monitored", "Volume: not monitored", "No check yet", "---",
                              "Check Now", "---", "Last 7 days: 2 Plex, 0 volume", "History\u2026",
                              "---", "Settings\u2026", "Quit Vigilmount"}));
    }

    void intervalText_data()
    {
        QTest::addColumn<double>("minutes");
        QTest::addColumn<QString>("text");
        QTest::newRow("5") << 5.0 << "5 min";
        QTest::newRow("2.5") << 2.5 << "2.5 min";
        QTest::newRow("1") << 1.0 << "minute";
        QTest::newRow("0.75") << 0.75 << "45s";
        QTest::newRow("0.25 floors at 30s") << 0.25 << "30s";
        QTest::newRow("0") << 0.0 << "30s";
        QTest::newRow("negative") << -3.0 << "30s";
        QTest::newRow("0.999 truncates") << 0.999 << "59s";
        QTest::newRow("1.04 rounds to one decimal") << 1.04 << "1.0 min";
        QTest::newRow("large whole") << 1e12 << "1000000000000 min";
        QTest::newRow("NaN") << std::nan("") << "nan min";
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "inf min";
        QTest::newRow("beyond 64 bits") << 1e20 << "100000000000000000000 min";
    }
    void intervalText()
    {
        QFETCH(double, minutes);
        QTEST(StatusMenuModel::intervalText(minutes), "text");
    }

    void checkLineStates()
    {
        qputenv("TZ", "UTC");
        Inputs in = watchedAndConfigured();
        QCOMPARE(checkLine(in), QStringLiteral("No check yet"));
        in.lastCheck = Clock::fromDateTime(QDateTime(QDate(2026, 3, 1), QTime(14, 5, 30), Qt::UTC));
        in.checkIntervalMinutes = 2.5;
        const QString us = checkLine(in, QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY2(us.startsWith(QStringLiteral("Last check 2:05")) &&
                     us.contains(QStringLiteral("PM")),
                 qPrintable(us));
        QVERIFY(us.endsWith(QStringLiteral(" \u00B7 every 2.5 min")));
        const QLocale de(QLocale::German, QLocale::Germany);
        QCOMPARE(checkLine(in, de), QStringLiteral("Last check 14:05 \u00B7 every 2.5 min"));
        in.checkIntervalMinutes = 1;
        QVERIFY(checkLine(in, de).endsWith(QStringLiteral("every minute")));
        in.isChecking = true;
        QCOMPARE(checkLine(in, de), QStringLiteral("Checking\u2026"));
        QCOMPARE(rows(in, de).at(2).title, QStringLiteral("Checking\u2026"));
    }

    void outageWindowEdges()
    {
        const Instant now =
            Clock::fromDateTime(QDateTime(QDate(2026, 3, 8), QTime(12, 0), Qt::UTC));
        Clock::setSourceForTesting([now] { return now; });
        const Instant edge = Clock::secondsAgo(now, 7 * 24 * 3600);
        QList<LogEvent> events{record(LogEvent::Kind::plexDown, edge),
                               record(LogEvent::Kind::plexDown, edge - 1s),
                               record(LogEvent::Kind::volumeDown, edge - 1ms),
                               record(LogEvent::Kind::plexLaunched, now),
                               record(LogEvent::Kind::volumeMountFailed, now)};
        OutageCount count = countOutages(events, Clock::now());
        QCOMPARE(count.plex, 1);
        QCOMPARE(count.volume, 0);
        QCOMPARE(outageSummary(count), QStringLiteral("Last 7 days: 1 Plex, 0 volume"));

        events.append(record(LogEvent::Kind::volumeDown, now));
        events.removeFirst();
        count = countOutages(events, Clock::now());
        QCOMPARE(outageSummary(count), QStringLiteral("Last 7 days: 0 Plex, 1 volume"));

        // A second later the clock has moved on and the week no longer holds anything.
        Clock::setSourceForTesting([now] { return now + 7 * 24h + 1s; });
        QCOMPARE(outageSummary(countOutages(events, Clock::now())),
                 QStringLiteral("No outages in the last 7 days"));
    }

    void attentionRule()
    {
        Inputs in = watchedAndConfigured();
        QVERIFY2(!needsAttention(in), "unknown states are no reason for attention");
        in.plexRunning = true;
        in.volumeMounted = true;
        QVERIFY(!needsAttention(in));
        in.plexRunning = false;
        QVERIFY2(needsAttention(in), "server down while the share's state is still unknown");
        in.volumeMounted.reset();
        QVERIFY(needsAttention(in));
        in.watchPlex = false;
        QVERIFY(!needsAttention(in));
        in.volumeMounted = false;
        QVERIFY(needsAttention(in));
        in.volumeConfigured = false;
        QVERIFY2(!needsAttention(in), "an unconfigured share never asks for attention");
        in.volumeConfigured = true;
        in.watchVolume = false;
        QVERIFY(!needsAttention(in));
    }
};

QTEST_GUILESS_MAIN(StatusMenuModelTest)
#include "StatusMenuModelTest.moc"
