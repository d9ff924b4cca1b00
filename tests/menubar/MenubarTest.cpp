#include "EngineFakes.h"
#include "platform/LaunchAtLogin.h"
#include "ui/Symbols.h"
#include "ui/menubar/StatusItemController.h"
#include "ui/menubar/StatusMenuModel.h"
#include "ui/settings/SettingsUIState.h"
#include "ui/settings/SettingsWindowController.h"

#include <QFile>
#include <QImage>
#include <QTest>
#include <QtDBus>

using namespace StatusMenuModel;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(Inputs)

namespace {

// Server and share states: -1 unknown, 0 down, 1 up.
// A state of 2 is down but there: the server not answering, the share not responding.
Inputs inputs(bool watchPlex, int running, bool watchVolume, bool configured, int mounted,
              const QString &share, const QString &mountPoint = {})
{
    const auto tri = [](int state) {
        return state < 0 ? std::nullopt : std::optional<bool>(state == 1);
    };
    return {.watchPlex = watchPlex,
            .watchVolume = watchVolume,
            .volumeConfigured = configured,
            .shareName = share,
            .plexRunning = tri(running),
            .volumeMounted = tri(mounted),
            .volumeMountPoint = mountPoint.isEmpty() ? std::nullopt : std::optional(mountPoint),
            .plexNotAnswering = running == 2,
            .volumeNotResponding = mounted == 2,
            .lastCheck = {}};
}

// The average colour of the opaque pixels; invalid when nothing is drawn.
QColor averageColour(const QIcon &icon)
{
    const QImage image = icon.pixmap(44).toImage().convertToFormat(QImage::Format_ARGB32);
    qint64 r = 0, g = 0, b = 0, n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QRgb p = image.pixel(x, y); qAlpha(p) >= 250)
                r += qRed(p), g += qGreen(p), b += qBlue(p), ++n;
    return n ? QColor(int(r / n), int(g / n), int(b / n)) : QColor();
}

// A property of this process's StatusNotifierItem, read the way a tray host reads it. The item
// is served on this thread: the call must not block.
QVariant trayItemProperty(const QString &name)
{
    const QDBusMessage items =
        QDBusMessage::createMethodCall("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                                       "org.freedesktop.DBus.Properties", "Get");
    const auto get = [](QDBusMessage message, const QVariantList &arguments) {
        message.setArguments(arguments);
        QDBusPendingCall call = QDBusConnection::sessionBus().asyncCall(message);
        if (!QTest::qWaitFor([&] { return call.isFinished(); }, 5000))
            return QVariant();
        return call.reply().arguments().value(0).value<QDBusVariant>().variant();
    };
    const QString item =
        get(items, {"org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems"})
            .toStringList()
            .value(0);
    const QDBusMessage property = QDBusMessage::createMethodCall(
        item.section('/', 0, 0), "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get");
    return get(property, {"org.kde.StatusNotifierItem", name});
}

// The title of the item's ToolTip (sa(iiay)ss).
QString toolTipTitle(const QVariant &toolTip)
{
    const QDBusArgument argument = toolTip.value<QDBusArgument>();
    QString icon, title;
    argument.beginStructure();
    argument >> icon;
    argument.beginArray();
    while (!argument.atEnd()) {
        int width = 0, height = 0;
        QByteArray pixels;
        argument.beginStructure();
        argument >> width >> height >> pixels;
        argument.endStructure();
    }
    argument.endArray();
    argument >> title;
    return title;
}

} // namespace

class MenubarTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The first two rows: "title|symbol".
    void statusLines_data()
    {
        QTest::addColumn<Inputs>("in");
        QTest::addColumn<QString>("plex");
        QTest::addColumn<QString>("volume");
        const QString running = "Plex: running|checkmark.circle.fill";
        QTest::newRow("off") << inputs(false, 1, false, true, 1, "media", "/m")
                             << "Plex: not monitored|minus.circle"
                             << "Volume: not monitored|minus.circle";
        QTest::newRow("up") << inputs(true, 1, true, true, 1, "media", "/run/media") << running
                            << "Volume: /run/media|externaldrive.fill.badge.checkmark";
        QTest::newRow("up without mount point")
            << inputs(true, 1, true, true, 1, "media") << running
            << "Volume: media|externaldrive.fill.badge.checkmark";
        QTest::newRow("not configured") << inputs(true, 1, true, false, 1, "media", "/m") << running
                                        << "Volume: not configured|minus.circle";
        QTest::newRow("there but not answering")
            << inputs(true, 2, true, true, 2, "media", "/m")
            << "Plex: not answering|xmark.circle.fill"
            << "Volume: not responding|externaldrive.badge.xmark";
    }
    void statusLines()
    {
        QFETCH(Inputs, in);
        const QList<Row> list = rows(in);
        QTEST(list.at(0).title + '|' + list.at(0).symbol, "plex");
        QTEST(list.at(1).title + '|' + list.at(1).symbol, "volume");
    }

    // The start row, the share row (opening or mounting, never both) and the attention mark.
    void actionRowsAndAttention_data()
    {
        QTest::addColumn<Inputs>("in");
        QTest::addColumn<bool>("startRow");
        QTest::addColumn<QString>("shareRow");
        QTest::addColumn<bool>("attention");
        QTest::addColumn<QString>("toolTip");
        const QString attention = "Vigilmount \u2014 attention needed\n";
        QTest::newRow("all unknown") << inputs(true, -1, true, true, -1, "media") << true
                                     << "Mount media" << false << "Vigilmount";
        QTest::newRow("server down, share unknown")
            << inputs(true, 0, true, true, -1, "media") << true << "Mount media" << true
            << attention + "Plex not running";
        QTest::newRow("all up") << inputs(true, 1, true, true, 1, " Media ") << false
                                << "Open  Media  in File Manager" << false
                                << "Vigilmount \u2014 Plex running \u00B7 Volume mounted";
        QTest::newRow("server down, not watched")
            << inputs(false, 0, true, true, -1, "media") << false << "Mount media" << false
            << "Vigilmount";
        QTest::newRow("share down") << inputs(false, 0, true, true, 0, " Media ") << false
                                    << "Mount  Media " << true << attention + "Volume disconnected";
        QTest::newRow("empty share name")
            << inputs(true, 1, true, true, 0, "") << false << "Mount Volume" << true
            << attention + "Plex running \u00B7 Volume disconnected";
        QTest::newRow("there but not answering")
            << inputs(true, 2, true, true, 2, "media", "/m") << true << "Mount media" << true
            << attention + "Plex not answering \u00B7 Volume not responding";
        QTest::newRow("share not configured") << inputs(true, 1, true, false, 0, "media") << false
                                              << "" << false << "Vigilmount \u2014 Plex running";
        QTest::newRow("share down, not watched")
            << inputs(true, 1, false, true, 0, "media") << false << "" << false
            << "Vigilmount \u2014 Plex running";
    }
    void actionRowsAndAttention()
    {
        QFETCH(Inputs, in);
        QMap<Action, QString> titles;
        for (const Row &row : rows(in))
            titles[row.action] += row.title;
        QTEST(titles.contains(Action::startPlex), "startRow");
        QTEST(titles.value(Action::openVolume) + titles.value(Action::mountVolume), "shareRow");
        QTEST(needsAttention(in), "attention");
        QTEST(trayToolTip(in), "toolTip");
    }

    // A long mount point never widens the menu: the row keeps its words and the path's ends,
    // and its tooltip has the whole of it.
    void longMountPointIsElidedInTheMiddle()
    {
        const QString path = "/run/user/1000/gvfs/smb-share:server=nas.example.lan,share=media";
        const Row row = rows(inputs(true, 1, true, true, 1, "media", path)).at(1);
        QCOMPARE(row.title, "Volume: /run/user/1000/g\u2026lan,share=media");
        QCOMPARE(row.title.size(), maximumRowLength);
        QCOMPARE(row.toolTip, "Volume: " + path);
        QVERIFY(rows(inputs(true, 1, true, true, 1, "media", "/m")).at(1).toolTip.isEmpty());
        // A character outside the BMP at the cut is kept whole or left out whole.
        QCOMPARE(elidedInTheMiddle("ab\U0001F4C1cdefgh", 6), "ab\u2026gh");
        QCOMPARE(elidedInTheMiddle("abcdef", 6), "abcdef");
    }

    // The item on a real StatusNotifier host, read back over D-Bus: the state in the tooltip,
    // Active while the server runs, NeedsAttention and the attention text while it is down.
    void trayItemStatusOverDBus()
    {
        EngineWorld world;
        world.settings.setWatchVolume(false);
        LaunchAtLogin launchAtLogin;
        SettingsUIState uiState;
        SettingsWindowController window(
            SettingsContext{world.settings, world.log, world.dog, launchAtLogin, uiState});
        StatusItemController controller(world.dog, world.settings, world.log, window);
        world.fake.running = true;
        world.dog.checkNow("manual");
        QTRY_COMPARE(trayItemProperty("Status").toString(), "Active");
        QCOMPARE(toolTipTitle(trayItemProperty("ToolTip")), "Vigilmount \u2014 Plex running");

        world.fake.running = false;
        world.fake.launchAnswers.answer = Answer::fail;
        world.dog.checkNow("manual");
        QTRY_COMPARE(trayItemProperty("Status").toString(), "NeedsAttention");
        QCOMPARE(toolTipTitle(trayItemProperty("ToolTip")),
                 "Vigilmount \u2014 attention needed\nPlex not running");
        // The menu still travels with the item.
        QCOMPARE(trayItemProperty("Menu").value<QDBusObjectPath>().path(), "/MenuBar");
    }

    // Under a minute: whole seconds, truncated, never below 30.
    void intervalText()
    {
        const std::pair<double, const char *> cases[] = {
            {5, "5 min"},  {2.5, "2.5 min"}, {1, "minute"}, {0.75, "45s"},       {0.999, "59s"},
            {0.25, "30s"}, {0, "30s"},       {-3, "30s"},   {qQNaN(), "nan min"}};
        for (const auto &[minutes, text] : cases)
            QCOMPARE(StatusMenuModel::intervalText(minutes), text);
    }

    void outageWindowEdges()
    {
        const Instant now =
            Clock::fromDateTime(QDateTime(QDate(2026, 3, 8), QTime(12, 0), Qt::UTC));
        const Instant edge = Clock::secondsAgo(now, 7 * 24 * 3600);
        const auto record = [](LogEvent::Kind kind, Instant date) {
            return LogEvent{QUuid::createUuid(), date, kind, {}};
        };
        const QList<LogEvent> events{record(LogEvent::Kind::plexDown, edge),
                                     record(LogEvent::Kind::plexDown, edge - 1s),
                                     record(LogEvent::Kind::volumeDown, edge - 1ms),
                                     record(LogEvent::Kind::volumeDown, now),
                                     record(LogEvent::Kind::plexLaunched, now),
                                     record(LogEvent::Kind::volumeMountFailed, now)};
        QCOMPARE(outageSummary(countOutages(events, now)), "Last 7 days: 1 Plex, 1 volume");
        QCOMPARE(outageSummary(countOutages(events.mid(0, 3), now + 7 * 24h + 1s)),
                 "No outages in the last 7 days");
    }

    // Every symbol the menu and the window use has a bundled SVG that draws and takes a tint.
    void symbolsDrawAndTintWithoutATheme()
    {
        const QColor green(0x2e, 0xa0, 0x43);
        for (const QString &symbol :
             QStringLiteral(
                 "checkmark.circle checkmark.circle.fill xmark.circle.fill "
                 "xmark.octagon.fill exclamationmark.triangle.fill questionmark.circle "
                 "minus.circle externaldrive.fill.badge.checkmark "
                 "externaldrive.badge.xmark externaldrive.connected.to.line.below clock "
                 "chart.bar chart.bar.doc.horizontal gearshape power sun.max info.circle "
                 "arrow.clockwise arrow.clockwise.circle.fill play.slash checkmark.seal")
                 .split(' ')) {
            const QString name = Symbols::freedesktopNames(symbol).value(0);
            QVERIFY2(QFile::exists(":/icons/" + name + ".svg"), qPrintable(symbol));
            QVERIFY2(averageColour(symbolIcon(symbol)).isValid(), qPrintable(symbol));
            // Antialiased edges blend a little: within a few levels of the tint.
            const QColor tinted = averageColour(tintedSymbolIcon(symbol, green));
            QVERIFY2(qAbs(tinted.red() - green.red()) < 8 &&
                         qAbs(tinted.green() - green.green()) < 8 &&
                         qAbs(tinted.blue() - green.blue()) < 8,
                     qPrintable(symbol));
        }
        QVERIFY(symbolIcon("no.such.symbol").isNull());
        QVERIFY(tintedSymbolIcon("no.such.symbol", Qt::red).isNull());
    }

    void trayGlyphsReadOnBothPanels()
    {
        for (const bool attention : {false, true}) {
            QVERIFY(averageColour(Symbols::trayIcon(attention, true)).lightnessF() > 0.5);
            QVERIFY(averageColour(Symbols::trayIcon(attention, false)).lightnessF() < 0.5);
        }
        QVERIFY(Symbols::isDark(QColor(0x20, 0x20, 0x20)) && !Symbols::isDark(Qt::white));
    }
};

QTEST_MAIN(MenubarTest)
#include "MenubarTest.moc"
