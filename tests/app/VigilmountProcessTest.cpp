// The real program, each run with a fresh home, on a virtual X server with a StatusNotifier
// tray on the session bus.

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

namespace {

class Sandbox
{
public:
    QString path(const QString &name) const { return m_root.filePath(name); }
    QString historyFile() const { return path("data/Vigilmount/events.jsonl"); }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString variable :
             {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
            const QString dir =
                path(variable == "HOME" ? "home" : variable.section('_', 1, 1).toLower());
            QDir().mkpath(dir);
            QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            env.insert(variable, dir);
        }
        return env;
    }
    void writeSettings(const QVariantMap &values) const
    {
        QSettings store(path("config/Vigilmount/Vigilmount.conf"), QSettings::IniFormat);
        for (auto it = values.begin(); it != values.end(); ++it)
            store.setValue(it.key(), it.value());
    }
    // The history on disk as "kind: detail" lines, oldest first.
    QStringList history() const
    {
        QStringList lines;
        QFile file(historyFile());
        if (file.open(QIODevice::ReadOnly))
            while (!file.atEnd()) {
                const QJsonObject record = QJsonDocument::fromJson(file.readLine()).object();
                lines << record.value("kind").toString() + ": " + record.value("detail").toString();
            }
        return lines;
    }
    int count(const QString &kind) const
    {
        return history().filter(QRegularExpression("^" + kind + ":")).size();
    }
    bool waitFor(const QString &kind, int count = 1) const
    {
        return QTest::qWaitFor([&] { return this->count(kind) >= count; }, 15000);
    }
    std::unique_ptr<QProcess> start(const QStringList &arguments, const QString &display = {}) const
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = environment();
        if (!display.isEmpty())
            env.insert("DISPLAY", display);
        process->setProcessEnvironment(env);
        process->start(QStringLiteral(VIGILMOUNT_BINARY), arguments);
        return process;
    }

private:
    QTemporaryDir m_root;
};

int modeOf(const QString &path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777)
                                                                    : -1;
}

// One entry of a menu exported over DBusMenu.
struct MenuNode
{
    int id = 0;
    QVariantMap properties;
    QList<MenuNode> children;
    QString label() const
    {
        return properties.value("type") == "separator" ? "---"
                                                       : properties.value("label").toString();
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
        child.variant().value<QDBusArgument>() >> node.children.emplace_back();
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

QDBusMessage call(const QString &service, const QString &path, const QString &interface,
                  const QString &method, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, 3000);
}

QVariant busProperty(const QString &service, const QString &path, const QString &interface,
                     const QString &name)
{
    const QDBusReply<QDBusVariant> reply =
        call(service, path, "org.freedesktop.DBus.Properties", "Get", {interface, name});
    return reply.isValid() ? reply.value().variant() : QVariant();
}

QStringList trayItems()
{
    return busProperty("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                       "org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems")
        .toStringList();
}

void screenshot(const QString &window, const QString &name)
{
    QDir().mkpath(VIGILMOUNT_ARTIFACTS_DIR);
    QCOMPARE(QProcess::execute("import", {"-window", window, VIGILMOUNT_ARTIFACTS_DIR "/" + name}),
             0);
}

} // namespace

class VigilmountProcessTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void optionsThatEndAtOnce_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: vigilmount";
        QTest::newRow("version") << QStringList{"--version"} << 0
                                 << "vigilmount " VIGILMOUNT_VERSION "\n";
        QTest::newRow("unknown") << QStringList{"--no-such-option"} << 2 << "no-such-option";
        QTest::newRow("no display") << QStringList{} << 1 << "no display found";
    }
    void optionsThatEndAtOnce()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, output);
        Sandbox box;
        QProcessEnvironment env = box.environment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        QProcess app;
        app.setProcessEnvironment(env);
        app.start(VIGILMOUNT_BINARY, arguments);
        QVERIFY(app.waitForFinished(5000));
        QTEST(app.exitCode(), "exitCode");
        // What the user asked for on stdout, complaints on stderr.
        const QString text =
            app.exitCode() ? app.readAllStandardError() : app.readAllStandardOutput();
        QVERIFY2(text.contains(output) && (!arguments.isEmpty() || text.contains("--headless")),
                 qPrintable(text));
        QVERIFY2(!QFile::exists(box.historyFile()), "nothing runs for these");
    }

    void filesArePrivateAndAKilledInstanceDoesNotBlock()
    {
        Sandbox box;
        auto first = box.start({"--headless"});
        QVERIFY(box.waitFor("appStarted"));
        QCOMPARE(modeOf(box.path("runtime/vigilmount.socket")) & 077, 0);
        QCOMPARE(modeOf(box.path("runtime/vigilmount.lock")), 0600);
        QCOMPARE(modeOf(box.historyFile()), 0600);
        QFile status(QStringLiteral("/proc/%1/status").arg(first->processId()));
        QVERIFY(status.open(QIODevice::ReadOnly) && status.readAll().contains("Umask:\t0077\n"));

        // A killed instance leaves its socket behind; the next start still becomes primary.
        first->kill();
        QVERIFY(first->waitForFinished(5000));
        auto next = box.start({"--headless"});
        QVERIFY(box.waitFor("appStarted", 2));
        next->terminate();
        QVERIFY(next->waitForFinished(10000));
    }

    void trayMenuOverDBusMenu()
    {
        QVERIFY2(QTest::qWaitFor([] { return trayItems().isEmpty(); }, 5000),
                 "the tray starts empty");
        Sandbox box;
        // An unreachable share and no server watched: every row is predictable.
        box.writeSettings({{"hasLaunchedBefore", true},
                           {"verboseLogging", true},
                           {"watchPlex", false},
                           {"serverHost", "127.0.0.1"},
                           {"shareName", "media"}});
        auto app = box.start({});
        QVERIFY2(QTest::qWaitFor([] { return !trayItems().isEmpty(); }, 30000),
                 app->readAllStandardError().constData());
        const QString item = trayItems().constFirst();
        const QString service = item.section('/', 0, 0);
        const QString itemPath =
            item.contains('/') ? '/' + item.section('/', 1) : "/StatusNotifierItem";
        const QString menuPath =
            busProperty(service, itemPath, "org.kde.StatusNotifierItem", "Menu")
                .value<QDBusObjectPath>()
                .path();
        const auto menu = [&](const QString &method, const QVariantList &arguments) {
            return call(service, menuPath, "com.canonical.dbusmenu", method, arguments);
        };

        // The exported menu follows the start-up check without being opened first.
        QVERIFY(box.waitFor("volumeMountFailed"));
        MenuNode root;
        QStringList labels;
        const auto read = [&] {
            menu("AboutToShow", {0});
            root = {};
            menu("GetLayout", {0, -1, QStringList()}).arguments().value(1).value<QDBusArgument>() >>
                root;
            labels.clear();
            for (const MenuNode &row : root.children)
                labels << row.label();
            return labels.value(2).startsWith("Last check ");
        };
        QVERIFY(QTest::qWaitFor(read, 10000));
        QVERIFY2(labels[2].endsWith("\u00B7 every 5 min"), qPrintable(labels[2]));
        labels[2] = "<check line>";
        QCOMPARE(labels,
                 (QStringList{"Plex: not monitored", "Volume: disconnected", "<check line>", "---",
                              "Check Now", "Mount media", "---", "Last 7 days: 0 Plex, 1 volume",
                              "History\u2026", "---", "Settings\u2026", "Quit Vigilmount"}));
        for (int row : {0, 1, 2, 7})
            QCOMPARE(root.children[row].properties.value("enabled", true).toBool(), false);
        const auto click = [&](const QString &label) {
            read();
            const QVariant data = QVariant::fromValue(QDBusVariant(0));
            const int id = root.children.value(labels.indexOf(label), {}).id;
            return menu("Event", {id, "clicked", data, 0u}).type() == QDBusMessage::ReplyMessage;
        };
        QTest::qWait(500); // let the host draw the icon
        screenshot("root", "tray.png");

        QVERIFY(click("Check Now"));
        QVERIFY(
            QTest::qWaitFor([&] { return box.history().contains("checkStarted: manual"); }, 15000));
        QVERIFY(box.waitFor("volumeMountFailed", 2));

        // A second start hands over and ends; the running one shows its settings window.
        auto second = box.start({});
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(app->state(), QProcess::Running);
        QCOMPARE(box.count("appStarted"), 1);
        QString window;
        QVERIFY(QTest::qWaitFor(
            [&] {
                QProcess xdotool;
                xdotool.start("xdotool", {"search", "--onlyvisible", "--name", "^Vigilmount$"});
                xdotool.waitForFinished();
                return !(window = xdotool.readAllStandardOutput().trimmed()).isEmpty();
            },
            10000));
        QTest::qWait(300);
        screenshot(window.section('\n', 0, 0), "settings-window.png");

        QVERIFY(click("Quit Vigilmount"));
        QVERIFY(app->waitForFinished(10000));
        QCOMPARE(app->exitCode(), 0);
        QCOMPARE(box.history().last(), "appStopped: ");
        QCOMPARE(box.count("appStopped"), 1);
        QVERIFY(QTest::qWaitFor([] { return trayItems().isEmpty(); }, 5000));
    }

    void everyEndStillRecordsTheStop_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<bool>("display");
        QTest::newRow("SIGTERM") << SIGTERM << false;
        QTest::newRow("SIGINT") << SIGINT << false;
        QTest::newRow("SIGHUP") << SIGHUP << false;
        QTest::newRow("display lost") << SIGTERM << true;
    }
    void everyEndStillRecordsTheStop()
    {
        QFETCH(int, signalNumber);
        QFETCH(bool, display);
        // The display row runs on an X server of its own, which it then ends.
        QProcess xServer;
        if (display) {
            xServer.start("Xvfb",
                          {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
            QVERIFY(xServer.waitForReadyRead(10000));
        }
        Sandbox box;
        box.writeSettings({{"verboseLogging", true}});
        auto app = display ? box.start({}, ":" + QString::fromLatin1(xServer.readLine().trimmed()))
                           : box.start({"--headless"});
        QVERIFY2(box.waitFor("checkStarted"), app->readAllStandardError().constData());
        const qint64 target = display ? xServer.processId() : app->processId();
        QCOMPARE(::kill(pid_t(target), signalNumber), 0);
        QVERIFY(app->waitForFinished(15000));
        QCOMPARE(app->exitStatus(), QProcess::NormalExit);
        const QStringList history = box.history();
        QCOMPARE(history.first(), "appStarted: ");
        QVERIFY(history.contains("checkStarted: startup"));
        QCOMPARE(history.last(), "appStopped: ");
        QCOMPARE(box.count("appStopped"), 1);
        QVERIFY(!display || xServer.waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(VigilmountProcessTest)
#include "VigilmountProcessTest.moc"
