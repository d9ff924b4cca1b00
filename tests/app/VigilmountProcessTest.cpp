// The real program, each run with a fresh home, on a virtual X server with a StatusNotifier
// tray on the session bus.

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QtDBus>

#include <csignal>
#include <sys/stat.h>

namespace {

class Sandbox
{
public:
    Sandbox()
    {
        for (const char *variable :
             {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
            QDir().mkdir(path(variable), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            env.insert(variable, path(variable));
        }
    }

    QString path(const QString &name) const { return m_root.filePath(name); }
    QString historyFile() const { return path("XDG_DATA_HOME/Vigilmount/events.jsonl"); }
    void writeSettings(const QVariantMap &values) const
    {
        QSettings store(path("XDG_CONFIG_HOME/Vigilmount/Vigilmount.conf"), QSettings::IniFormat);
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
    // The records that begin with "kind" or "kind: detail".
    qsizetype count(const QString &record) const
    {
        return std::ranges::count_if(history(),
                                     [&](const QString &line) { return line.startsWith(record); });
    }
    bool waitFor(const QString &record, int count = 1) const
    {
        return QTest::qWaitFor([&] { return this->count(record) >= count; }, 15000);
    }
    std::unique_ptr<QProcess> start(const QStringList &arguments) const
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        process->start(QStringLiteral(VIGILMOUNT_BINARY), arguments);
        return process;
    }
    // Runs the program to its end: exit code (-1 when it did not end), stdout, stderr.
    std::tuple<int, QString, QString> run(const QStringList &arguments) const
    {
        const auto process = start(arguments);
        if (!process->waitForFinished(15000))
            return {-1, {}, {}};
        return {process->exitCode(), process->readAllStandardOutput(),
                process->readAllStandardError()};
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

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
    const QDBusMessage reply =
        call(service, path, "org.freedesktop.DBus.Properties", "Get", {interface, name});
    return reply.arguments().value(0).value<QDBusVariant>().variant();
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
    // What the user asked for on stdout, complaints on stderr, and nothing else runs.
    void optionsThatEndAtOnce_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("hidden");
        // Qt's own options only with --help-all (without a display, its core ones).
        QTest::newRow("help") << QStringList{"--help"} << 0
                              << QStringList{"Usage: vigilmount", "--status"} << "--qmljsdebugger";
        QTest::newRow("help-all") << QStringList{"--help-all"} << 0
                                  << QStringList{"--qmljsdebugger", "--check-now"} << "";
        QTest::newRow("version") << QStringList{"--version"} << 0
                                 << QStringList{"vigilmount " VIGILMOUNT_VERSION "\n"} << "";
        QTest::newRow("unknown") << QStringList{"--no-such-option"} << 2
                                 << QStringList{"no-such-option"} << "";
        QTest::newRow("no display")
            << QStringList{} << 1 << QStringList{"no display found", "--headless"} << "";
        QTest::newRow("status, none running")
            << QStringList{"--status"} << 3
            << QStringList{"vigilmount: Vigilmount is not running.\n"} << "";
    }
    void optionsThatEndAtOnce()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, shown);
        QFETCH(QString, hidden);
        Sandbox box;
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            box.env.remove(name);
        const auto [exitCode, out, err] = box.run(arguments);
        QTEST(exitCode, "exitCode");
        const QString &text = exitCode ? err : out;
        QVERIFY2((exitCode ? out : err).isEmpty(), qPrintable(out + err));
        for (const QString &expected : shown)
            QVERIFY2(text.contains(expected), qPrintable(text));
        QVERIFY2(hidden.isEmpty() || !text.contains(hidden), qPrintable(text));
        QVERIFY2(!QFile::exists(box.historyFile()), "nothing runs for these");
    }

    // The private files, --status and --check-now against the running instance, and a killed
    // instance that leaves its socket behind: the next start still becomes primary.
    void runningInstance()
    {
        Sandbox box;
        box.writeSettings({{"verboseLogging", true}});
        auto first = box.start({"--headless"});
        QVERIFY(box.waitFor("checkStarted: startup"));
        QCOMPARE(modeOf(box.path("XDG_RUNTIME_DIR/vigilmount.socket")) & 077, 0);
        QCOMPARE(modeOf(box.path("XDG_DATA_HOME/Vigilmount/vigilmount.lock")), 0600);
        QCOMPARE(modeOf(box.historyFile()), 0600);
        QFile status(QStringLiteral("/proc/%1/status").arg(first->processId()));
        QVERIFY(status.open(QIODevice::ReadOnly) && status.readAll().contains("Umask:\t0077\n"));

        const auto [exitCode, out, err] = box.run({"--status"});
        QCOMPARE(exitCode, 0);
        QVERIFY2(out.endsWith('\n') && out.count('\n') == 1, qPrintable(out));
        const QJsonObject state = QJsonDocument::fromJson(out.toUtf8()).object();
        QCOMPARE(state.keys(), (QStringList{"isChecking", "lastCheck", "lastMessage", "plexRunning",
                                            "volumeMountPoint", "volumeMounted"}));
        QVERIFY(state["isChecking"].isBool() && state["lastMessage"].isString());
        QVERIFY(state["volumeMounted"].isNull() || state["volumeMounted"].isBool());
        QVERIFY(state["lastCheck"].isNull() ||
                QDateTime::fromString(state["lastCheck"].toString(), Qt::ISODate).timeSpec() ==
                    Qt::UTC);
        QCOMPARE(std::get<0>(box.run({"--check-now"})), 0);
        QVERIFY(box.waitFor("checkStarted: manual"));

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
                labels << (row.properties.value("type") == "separator"
                               ? "---"
                               : row.properties.value("label").toString());
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
            const int id = root.children.value(labels.indexOf(label), {}).id;
            return menu("Event", {id, "clicked", QVariant::fromValue(QDBusVariant(0)), 0u})
                       .type() == QDBusMessage::ReplyMessage;
        };
        QTest::qWait(500); // let the host draw the icon
        screenshot("root", "tray.png");

        QVERIFY(click("Check Now"));
        QVERIFY(box.waitFor("checkStarted: manual"));
        QVERIFY(box.waitFor("volumeMountFailed", 2));

        // A second start hands over and ends; the running one shows its settings window.
        QCOMPARE(std::get<0>(box.run({})), 0);
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

    // A signal, or the display going away (on an X server of the row's own): the stop is
    // recorded once, last.
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
        QProcess xServer;
        Sandbox box;
        box.writeSettings({{"verboseLogging", true}});
        if (display) {
            xServer.start("Xvfb",
                          {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
            QVERIFY(xServer.waitForReadyRead(10000));
            box.env.insert("DISPLAY", ":" + QString::fromLatin1(xServer.readLine().trimmed()));
        }
        auto app = box.start(display ? QStringList{} : QStringList{"--headless"});
        QVERIFY2(box.waitFor("checkStarted"), app->readAllStandardError().constData());
        QCOMPARE(::kill(pid_t(display ? xServer.processId() : app->processId()), signalNumber), 0);
        QVERIFY(app->waitForFinished(15000));
        QCOMPARE(app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(box.history().last(), "appStopped: ");
        QCOMPARE(box.count("appStopped"), 1);
        QVERIFY(!display || xServer.waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(VigilmountProcessTest)
#include "VigilmountProcessTest.moc"
