#include "Sandbox.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QRegularExpression>
#include <QTest>

namespace {

// One entry of a menu exported over DBusMenu (com.canonical.dbusmenu).
struct MenuNode
{
    int id = 0;
    QVariantMap properties;
    QList<MenuNode> children;

    QString label() const { return properties.value("label").toString(); }
    bool isSeparator() const { return properties.value("type").toString() == "separator"; }
    bool isEnabled() const { return properties.value("enabled", true).toBool(); }
    QString shortcut() const
    {
        const QVariant value = properties.value("shortcut");
        if (!value.isValid())
            return {};
        QList<QStringList> chords;
        value.value<QDBusArgument>() >> chords;
        QStringList parts;
        for (const QStringList &chord : chords)
            parts << chord.join('+');
        return parts.join(' ');
    }
};

const QDBusArgument &operator>>(const QDBusArgument &argument, MenuNode &node)
{
    argument.beginStructure();
    argument >> node.id >> node.properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        MenuNode childNode;
        child.variant().value<QDBusArgument>() >> childNode;
        node.children.append(childNode);
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

QDBusConnection bus()
{
    return QDBusConnection::sessionBus();
}

QVariant busProperty(const QString &service, const QString &path, const QString &interface,
                     const QString &name)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, "org.freedesktop.DBus.Properties", "Get");
    call << interface << name;
    const QDBusReply<QDBusVariant> reply = bus().call(call, QDBus::Block, 2000);
    return reply.isValid() ? reply.value().variant() : QVariant();
}

QStringList registeredItems()
{
    return busProperty("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                       "org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems")
        .toStringList();
}

// The tray item's menu as the host would read it.
class ExportedMenu
{
public:
    ExportedMenu(QString service, QString path)
        : m_service(std::move(service)), m_path(std::move(path))
    {}

    QList<MenuNode> rows() const
    {
        call("AboutToShow", {0});
        const QDBusMessage reply = call("GetLayout", {0, -1, QStringList()});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 2)
            return {};
        MenuNode root;
        reply.arguments().at(1).value<QDBusArgument>() >> root;
        return root.children;
    }

    static QStringList labels(const QList<MenuNode> &rows)
    {
        QStringList list;
        for (const MenuNode &row : rows)
            list << (row.isSeparator() ? QStringLiteral("---") : row.label());
        return list;
    }

    bool click(const QString &label) const
    {
        for (const MenuNode &row : rows()) {
            if (row.label() == label) {
                const QDBusMessage reply =
                    call("Event", {row.id, QStringLiteral("clicked"),
                                   QVariant::fromValue(QDBusVariant(0)), 0u});
                return reply.type() == QDBusMessage::ReplyMessage;
            }
        }
        return false;
    }

private:
    QDBusMessage call(const QString &method, const QVariantList &arguments) const
    {
        QDBusMessage message =
            QDBusMessage::createMethodCall(m_service, m_path, "com.canonical.dbusmenu", method);
        message.setArguments(arguments);
        return bus().call(message, QDBus::Block, 3000);
    }

    QString m_service;
    QString m_path;
};

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

QString visibleSettingsWindow()
{
    return run("xdotool", {"search", "--onlyvisible", "--name", "^Vigilmount$"})
        .split('\n')
        .value(0);
}

void saveScreenshot(const QStringList &windowArguments, const QString &name)
{
    const QString dir = QStringLiteral(VIGILMOUNT_ARTIFACTS_DIR);
    QDir().mkpath(dir);
    QProcess import;
    import.start("import", windowArguments + QStringList{QDir(dir).filePath(name)});
    QVERIFY2(import.waitForFinished(20000) && import.exitCode() == 0,
             import.readAllStandardError().constData());
}

} // namespace

// The real program in a StatusNotifier tray on a virtual X server: its menu as the tray host
// sees it over DBusMenu, clicked the way the host clicks it.
class TrayMenuTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(bus().isConnected(), "the tray component provides a session bus");
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "the x11 component provides a display");
        QVERIFY2(registeredItems().isEmpty(), "the tray starts empty");
    }

    void trayMenuOverDBusMenu()
    {
        Sandbox box;
        // A share that cannot be reached and no server watching: every row is predictable.
        box.writeSettings({{"hasLaunchedBefore", true},
                           {"verboseLogging", true},
                           {"watchPlex", false},
                           {"serverHost", "127.0.0.1"},
                           {"shareName", "media"}});
        auto app = box.start({"--verbose"});
        QVERIFY(app->waitForStarted(5000));

        QVERIFY2(QTest::qWaitFor([] { return !registeredItems().isEmpty(); }, 30000),
                 app->readAllStandardError().constData());
        const QString item = registeredItems().constFirst();
        const QString service = item.section('/', 0, 0);
        const QString itemPath =
            item.contains('/') ? '/' + item.section('/', 1) : "/StatusNotifierItem";
        const QString menuPath =
            busProperty(service, itemPath, "org.kde.StatusNotifierItem", "Menu")
                .value<QDBusObjectPath>()
                .path();
        QVERIFY2(!menuPath.isEmpty(), qPrintable(item));
        const ExportedMenu menu(service, menuPath);

        // The start-up check finds the share missing and fails to mount it; the exported menu
        // follows without being opened first.
        QVERIFY(QTest::qWaitFor([&] { return box.kinds().contains("volumeDown"); }, 30000));
        QList<MenuNode> rows;
        QVERIFY(QTest::qWaitFor(
            [&] {
                rows = menu.rows();
                return rows.size() == 12 && rows.at(2).label().startsWith("Last check ");
            },
            10000));
        QStringList labels = ExportedMenu::labels(rows);
        QVERIFY2(
            QRegularExpression("^Last check .+ \u00B7 every 5 min$").match(labels.at(2)).hasMatch(),
            qPrintable(labels.at(2)));
        labels[2] = "<check line>";
        QCOMPARE(labels,
                 (QStringList{"Plex: not monitored", "Volume: disconnected", "<check line>", "---",
                              "Check Now", "Mount media", "---", "Last 7 days: 0 Plex, 1 volume",
                              "History\u2026", "---", "Settings\u2026", "Quit Vigilmount"}));
        for (const int info : {0, 1, 2, 7})
            QVERIFY2(!rows.at(info).isEnabled(), qPrintable(labels.at(info)));
        for (const int action : {4, 5, 8, 10, 11})
            QVERIFY2(rows.at(action).isEnabled(), qPrintable(labels.at(action)));
        QCOMPARE(rows.at(4).shortcut(), QStringLiteral("Control+R"));
        QCOMPARE(rows.at(10).shortcut(), QStringLiteral("Control+,"));
        QCOMPARE(rows.at(11).shortcut(), QStringLiteral("Control+Q"));
        QVERIFY(rows.at(0).properties.contains("icon-data"));

        const QVariant tooltip =
            busProperty(service, itemPath, "org.kde.StatusNotifierItem", "ToolTip");
        QVERIFY(tooltip.isValid());

        QTest::qWait(500); // let the host draw the icon
        saveScreenshot({"-window", "root"}, "tray.png");

        // Clicking "Check Now" as the host does runs a manual cycle.
        QVERIFY(menu.click("Check Now"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                return box.history().contains({"checkStarted", "manual"});
            },
            15000));

        // Starting Vigilmount again hands over to this one, which shows its settings window.
        QVERIFY(visibleSettingsWindow().isEmpty());
        auto second = box.start({});
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitCode(), 0);
        QString window;
        QVERIFY(
            QTest::qWaitFor([&] { return !(window = visibleSettingsWindow()).isEmpty(); }, 10000));
        QTest::qWait(300);
        saveScreenshot({"-window", window}, "settings-window.png");
        const QString geometry = run("xdotool", {"getwindowgeometry", window});
        QVERIFY2(geometry.contains("560x470"), qPrintable(geometry));

        QVERIFY(menu.click("Quit Vigilmount"));
        QVERIFY(app->waitForFinished(10000));
        QCOMPARE(app->exitCode(), 0);
        QCOMPARE(box.kinds().last(), QStringLiteral("appStopped"));
        QVERIFY(!app->readAllStandardError().contains("No system tray is available"));
        QVERIFY(QTest::qWaitFor([] { return registeredItems().isEmpty(); }, 5000));
    }
};

QTEST_GUILESS_MAIN(TrayMenuTest)
#include "TrayMenuTest.moc"
