#include "platform/PlexController.h"
#include "platform/PlexMediaServer.h"
#include "settings/HorizontalBlanks.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

using namespace PlexController;

Q_DECLARE_METATYPE(PlexController::ProcessInfo)

namespace {

const QString standIn = QStringLiteral(STANDIN_PATH);
const QString otherStandIn = QStringLiteral(OTHER_STANDIN_PATH);

ProcessInfo process(qint64 pid, const QString &name, const QString &cgroup = {},
                    bool zombie = false)
{
    return ProcessInfo{pid, name, cgroup, zombie};
}

const QString serviceCgroup = QStringLiteral("0::/system.slice/plexmediaserver.service\n");

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Live processes named like the server (the test runs in its own PID namespace).
QList<qint64> liveServers()
{
    QList<qint64> pids;
    for (const ProcessInfo &info : processes()) {
        if (!info.zombie && info.name == displayName)
            pids.append(info.pid);
    }
    return pids;
}

struct Completions
{
    QMutex mutex;
    QList<LaunchResult> results;
};

// Launches and collects every completion until one arrived and a while longer (a second call
// would show up then).
QList<LaunchResult> launchAndCollect(const QString &path)
{
    auto completions = std::make_shared<Completions>();
    launch(path, [completions](LaunchResult result) {
        QMutexLocker lock(&completions->mutex);
        completions->results.append(result);
    });
    const auto count = [&] {
        QMutexLocker lock(&completions->mutex);
        return completions->results.size();
    };
    QElapsedTimer timer;
    timer.start();
    while (count() == 0 && timer.elapsed() < 15000)
        QTest::qWait(20);
    QTest::qWait(300);
    QMutexLocker lock(&completions->mutex);
    return completions->results;
}

// The stand-in's report: "key=value" lines, environment entries as "env:NAME=value".
QMap<QString, QString> readReport(const QString &path)
{
    QMap<QString, QString> report;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n')))
            report.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    }
    return report;
}

} // namespace

class PlexControllerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    // The two passes over a process list.
    void passes_data();
    void passes();
    void serverUnits_data();
    void serverUnits();

    // Reading /proc.
    void procScanReadsNameStateAndUnit();
    void liveProcessesByExecutableName();

    // Where the server is.
    void pathIsTrimmedOfBlanksButNotLineBreaks();
    void registryFallbackThroughDesktopEntry();
    void blankPathWithoutRegistryIsNotFound();

    // Starting it.
    void launchStartsDetachedServer();
    void launchWhileServerRunsStartsNone();
    void failuresCarryTheSystemsMessage_data();
    void failuresCarryTheSystemsMessage();

private:
    QTemporaryDir m_dir;
    QString m_dataHome;
    QList<QProcess *> m_children;
};

void PlexControllerTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFileInfo(standIn).isExecutable(), qPrintable(standIn));
    QVERIFY2(!QFileInfo::exists(packagedBinaryPath),
             "a media server is installed on this machine; the registry tests need it absent");
    QVERIFY2(liveServers().isEmpty(), "a media server is already running");
}

void PlexControllerTest::init()
{
    // An application registry of our own: empty unless a test writes an entry.
    m_dataHome = m_dir.filePath(QStringLiteral("data-%1").arg(QTest::currentTestFunction()));
    QVERIFY(QDir().mkpath(m_dataHome + QStringLiteral("/applications")));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("system-data/applications"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(m_dir.filePath(QStringLiteral("system-data"))));
}

void PlexControllerTest::cleanup()
{
    for (QProcess *child : std::as_const(m_children)) {
        child->kill();
        child->waitForFinished();
        delete child;
    }
    m_children.clear();
    for (qint64 pid : liveServers())
        ::kill(pid_t(pid), SIGKILL);
    QTRY_VERIFY(liveServers().isEmpty());
    QDir(m_dir.filePath(QStringLiteral("system-data/applications"))).removeRecursively();
    qunsetenv("VIGILMOUNT_STANDIN_EXIT");
    qunsetenv("VIGILMOUNT_STANDIN_REPORT");
}

void PlexControllerTest::passes_data()
{
    QTest::addColumn<QList<ProcessInfo>>("list");
    QTest::addColumn<qint64>("found"); // 0: none
    const QString tuner = QStringLiteral("Plex Tuner Service");
    QTest::newRow("empty") << QList<ProcessInfo>{} << qint64(0);
    QTest::newRow("unit beats earlier name")
        << QList<ProcessInfo>{process(10, displayName), process(20, tuner, serviceCgroup),
                              process(30, tuner, serviceCgroup)}
        << qint64(20);
    QTest::newRow("first name match")
        << QList<ProcessInfo>{process(1, QStringLiteral("plex media server")),
                              process(7, displayName), process(9, displayName)}
        << qint64(7);
    QTest::newRow("near names")
        << QList<ProcessInfo>{process(1, QStringLiteral("plex media server")),
                              process(2, QStringLiteral("Plex Media Serv")),
                              process(3, QStringLiteral("Plex Media Server "))}
        << qint64(0);
    QTest::newRow("zombies") << QList<ProcessInfo>{process(4, displayName, serviceCgroup, true),
                                                   process(5, displayName, {}, true)}
                             << qint64(0);
    QTest::newRow("zombie in unit, live by name")
        << QList<ProcessInfo>{process(4, tuner, serviceCgroup, true), process(8, displayName)}
        << qint64(8);
}

void PlexControllerTest::passes()
{
    QFETCH(QList<ProcessInfo>, list);
    QFETCH(qint64, found);
    const std::optional<RunningInstance> instance = runningInstance(list);
    QCOMPARE(instance ? instance->pid : 0, found);
}

void PlexControllerTest::serverUnits_data()
{
    QTest::addColumn<QString>("cgroup");
    QTest::addColumn<bool>("inUnit");
    QTest::newRow("system service") << serviceCgroup << true;
    QTest::newRow("cgroup v1 lines")
        << QStringLiteral("12:pids:/system.slice/plexmediaserver.service\n"
                          "1:name=systemd:/system.slice/plexmediaserver.service\n")
        << true;
    QTest::newRow("gnome app scope")
        << QStringLiteral("0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                          "app-gnome-com.plexapp.plexmediaserver-4242.scope\n")
        << true;
    QTest::newRow("app scope without launcher")
        << QStringLiteral("0::/user.slice/app-com.plexapp.plexmediaserver-17.scope\n") << true;
    QTest::newRow("app service with instance")
        << QStringLiteral("0::/user.slice/app-com.plexapp.plexmediaserver@3f2a.service\n") << true;
    QTest::newRow("identifier prefix only")
        << QStringLiteral("0::/user.slice/app-com.plexapp.plexmediaserverx-1.scope\n") << false;
    QTest::newRow("not an app unit")
        << QStringLiteral("0::/user.slice/com.plexapp.plexmediaserver.scope\n") << false;
    QTest::newRow("similar service")
        << QStringLiteral("0::/system.slice/plexmediaserver2.service\n") << false;
    QTest::newRow("plain session")
        << QStringLiteral("0::/user.slice/user-1000.slice/session-2.scope\n") << false;
    QTest::newRow("unreadable") << QString() << false;
}

void PlexControllerTest::serverUnits()
{
    QFETCH(QString, cgroup);
    QFETCH(bool, inUnit);
    QCOMPARE(inServerUnit(cgroup), inUnit);
}

void PlexControllerTest::procScanReadsNameStateAndUnit()
{
    const QString root = m_dir.filePath(QStringLiteral("proc"));
    const auto add = [&](int pid, const QByteArray &stat, const QByteArray &cmdline,
                         const QString &exe, const QByteArray &cgroup) {
        const QString dir = root + QLatin1Char('/') + QString::number(pid);
        QVERIFY(QDir().mkpath(dir));
        QVERIFY(writeFile(dir + QStringLiteral("/stat"), stat));
        QVERIFY(writeFile(dir + QStringLiteral("/cmdline"), cmdline));
        QVERIFY(writeFile(dir + QStringLiteral("/cgroup"), cgroup));
        if (!exe.isEmpty())
            QVERIFY(QFile::link(exe, dir + QStringLiteral("/exe")));
    };
    // exe readable (a binary replaced by an update shows " (deleted)"); comm is cut short.
    add(10, "10 (Plex Media Serv) S 1 10 10 0", QByteArray("/opt/x/renamed\0", 15),
        QStringLiteral("/usr/lib/plexmediaserver/Plex Media Server (deleted)"), "0::/\n");
    // exe unreadable: argv[0] decides.
    add(5, "5 (Plex Media Serv) S 1 5 5 0",
        QByteArray("/usr/lib/plexmediaserver/Plex Media Server\0--flag\0", 50), {}, "0::/\n");
    // A zombie, and a command name holding ") Z (" that must not be read as its state.
    add(7, "7 (Plex Media Serv) Z 1 7 7 0", QByteArray(), {}, "0::/\n");
    add(12, "12 (a) Z (b) R 1 12 12 0", QByteArray("worker\0", 7), {}, serviceCgroup.toUtf8());
    QVERIFY(QDir().mkpath(root + QStringLiteral("/self")));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/sys")));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/99"))); // vanished: no stat

    const QList<ProcessInfo> list = processes(root);
    QStringList seen;
    for (const ProcessInfo &info : list)
        seen.append(QStringLiteral("%1 %2%3%4")
                        .arg(info.pid)
                        .arg(info.name, info.zombie ? QStringLiteral(" zombie") : QString(),
                             inServerUnit(info.cgroup) ? QStringLiteral(" unit") : QString()));
    QCOMPARE(seen, (QStringList{QStringLiteral("5 Plex Media Server"), QStringLiteral("7  zombie"),
                                QStringLiteral("10 Plex Media Server"),
                                QStringLiteral("12 worker unit")}));
    // The unit match (pid 12) beats the earlier name matches.
    QCOMPARE(runningInstance(list)->pid, qint64(12));
}

void PlexControllerTest::liveProcessesByExecutableName()
{
    const auto start = [this](const QString &program) {
        auto *child = new QProcess;
        m_children.append(child);
        child->start(program, {});
        return child->waitForStarted() ? child->processId() : qint64(-1);
    };
    QVERIFY(start(otherStandIn) > 0);

    // A server that has exited but was not reaped yet.
    const QByteArray path = QFile::encodeName(standIn);
    char exitAtOnce[] = "VIGILMOUNT_STANDIN_EXIT=1";
    char *environment[] = {exitAtOnce, nullptr};
    const pid_t zombie = ::fork();
    QVERIFY(zombie >= 0);
    if (zombie == 0) {
        ::execle(path.constData(), path.constData(), static_cast<char *>(nullptr), environment);
        ::_exit(127);
    }
    const auto isZombie = [zombie] {
        const QList<ProcessInfo> list = processes();
        return std::any_of(list.cbegin(), list.cend(),
                           [&](const ProcessInfo &p) { return p.pid == zombie && p.zombie; });
    };
    QTRY_VERIFY(isZombie());
    QVERIFY(!runningInstance());
    ::waitpid(zombie, nullptr, 0);

    // The real name is longer than the 15 characters /proc/PID/comm keeps.
    const qint64 server = start(standIn);
    const std::optional<RunningInstance> found = runningInstance();
    QVERIFY(found);
    QCOMPARE(found->pid, server);
    QCOMPARE(found->name, displayName);
}

void PlexControllerTest::pathIsTrimmedOfBlanksButNotLineBreaks()
{
    QCOMPARE(trimmedHorizontalBlanks(QStringLiteral(" \t\u00a0\u2003a b\t \u3000")),
             QStringLiteral("a b"));
    QCOMPARE(trimmedHorizontalBlanks(QStringLiteral("\na\n")), QStringLiteral("\na\n"));

    QCOMPARE(appURL(QStringLiteral("  \t") + standIn + QStringLiteral(" \t ")).value_or(QString()),
             standIn);
    QCOMPARE(appURL(standIn).value_or(QString()), standIn);
    // The line break stays, nothing exists there, and the registry is empty.
    QVERIFY(!appURL(standIn + QStringLiteral("\n")));
    QVERIFY(!appURL(QString()));
}

void PlexControllerTest::registryFallbackThroughDesktopEntry()
{
    const QByteArray entry = "[Desktop Entry]\nType=Application\nName=Plex Media Server\nExec=\"" +
                             QFile::encodeName(standIn) + "\"\n";
    const QString systemEntry = m_dir.filePath(
        QStringLiteral("system-data/applications/com.plexapp.plexmediaserver.desktop"));
    QVERIFY(writeFile(systemEntry, entry));
    QCOMPARE(appURL(QStringLiteral("/nowhere/Plex Media Server")).value_or(QString()), systemEntry);
    QCOMPARE(appURL(QStringLiteral(" ")).value_or(QString()), systemEntry);

    // The user's own entry comes first.
    const QString userEntry =
        m_dataHome + QStringLiteral("/applications/com.plexapp.plexmediaserver.desktop");
    QVERIFY(writeFile(userEntry, entry));
    QCOMPARE(appURL(QString()).value_or(QString()), userEntry);
    // An existing configured path still beats the registry.
    QCOMPARE(appURL(otherStandIn).value_or(QString()), otherStandIn);
}

void PlexControllerTest::blankPathWithoutRegistryIsNotFound()
{
    const QList<LaunchResult> results = launchAndCollect(QStringLiteral(" \t "));
    QCOMPARE(results.size(), 1);
    QVERIFY(!results.first().succeeded());
    QCOMPARE(results.first().error,
             QStringLiteral("Plex Media Server wasn't found at \" \t \" and isn't registered "
                            "with the system. Set the correct path in Settings."));
    QVERIFY(liveServers().isEmpty());
}

void PlexControllerTest::launchStartsDetachedServer()
{
    // Through an executable (the configured path, blanks trimmed) and through a desktop entry
    // (the registry, for a path that does not exist).
    const QString entry =
        m_dataHome + QStringLiteral("/applications/com.plexapp.plexmediaserver.desktop");
    QVERIFY(writeFile(entry, "[Desktop Entry]\nType=Application\nName=Plex Media Server\nExec=\"" +
                                 QFile::encodeName(standIn) + "\"\n"));
    for (const auto &[configured, started] : {std::pair(QStringLiteral(" ") + standIn, standIn),
                                              std::pair(QStringLiteral("/not/installed"), entry)}) {
        const QString report = m_dir.filePath(QStringLiteral("report-%1").arg(started.size()));
        qputenv("VIGILMOUNT_STANDIN_REPORT", QFile::encodeName(report));
        qputenv("SHARE_PASSWORD", "hunter2");
        const QList<LaunchResult> results = launchAndCollect(configured);
        qunsetenv("SHARE_PASSWORD");
        QCOMPARE(results.size(), 1);
        QVERIFY2(results.first().succeeded(), qPrintable(results.first().error));
        QCOMPARE(*results.first().appPath, started);
        QCOMPARE(liveServers().size(), 1);

        QTRY_VERIFY(QFile::exists(report));
        const QMap<QString, QString> seen = readReport(report);
        QCOMPARE(seen.value(QStringLiteral("session-leader")), QStringLiteral("1"));
        QVERIFY(seen.value(QStringLiteral("parent")) != QString::number(::getpid()));
        QCOMPARE(seen.value(QStringLiteral("cwd")), QDir::homePath());
        for (const char *fd : {"fd0", "fd1", "fd2"})
            QCOMPARE(seen.value(QLatin1String(fd)), QStringLiteral("/dev/null"));
        QVERIFY(seen.contains(QStringLiteral("env:HOME")));
        QVERIFY(!seen.contains(QStringLiteral("env:SHARE_PASSWORD")));
        for (qint64 pid : liveServers())
            ::kill(pid_t(pid), SIGKILL);
        QTRY_VERIFY(liveServers().isEmpty());
    }
}

void PlexControllerTest::launchWhileServerRunsStartsNone()
{
    auto *server = new QProcess;
    m_children.append(server);
    server->start(standIn, {});
    QVERIFY(server->waitForStarted());

    // Another existing path resolves, but nothing is started (asked as the watchdog asks).
    PlexMediaServer port;
    QVERIFY(port.isRunning());
    QList<LaunchOutcome> outcomes;
    port.launch(otherStandIn, [&](LaunchOutcome outcome) {
        QMetaObject::invokeMethod(this, [&, outcome] { outcomes.append(outcome); });
    });
    QTRY_COMPARE(outcomes.size(), 1);
    QVERIFY(outcomes.first().ok);
    QCOMPARE(outcomes.first().appPath, otherStandIn);
    QCOMPARE(liveServers(), QList<qint64>{server->processId()});
    for (const ProcessInfo &info : processes())
        QVERIFY(info.name != QStringLiteral("Other Media Server"));
}

void PlexControllerTest::failuresCarryTheSystemsMessage_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("executable");
    QTest::addColumn<QString>("error");
    QTest::newRow("no execute permission")
        << QByteArray("#!/bin/sh\nsleep 100\n") << false << QStringLiteral("Permission denied");
    QTest::newRow("not a program")
        << QByteArray(64, '\x01') << true << QStringLiteral("Exec format error");
    QTest::newRow("desktop entry without program")
        << QByteArray("[Desktop Entry]\nType=Application\nName=P\nExec=/nowhere/plex\n") << false
        << QStringLiteral("No such file or directory");
    // The stand-in is told to exit at once: started without error, but not running.
    QTest::newRow("dies at once") << QByteArray() << true
                                  << QStringLiteral("The system reported no error but didn't "
                                                    "return a running Plex process.");
}

void PlexControllerTest::failuresCarryTheSystemsMessage()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, executable);
    QFETCH(QString, error);
    QString path = standIn;
    if (content.startsWith("[Desktop Entry]")) {
        path = m_dir.filePath(QStringLiteral("plex.desktop"));
    } else if (!content.isEmpty()) {
        path = m_dir.filePath(QStringLiteral("Plex Media Server"));
    }
    if (path != standIn) {
        QVERIFY(writeFile(path, content));
        QVERIFY(QFile::setPermissions(
            path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                      (executable ? QFileDevice::ExeOwner : QFileDevice::Permissions())));
    } else {
        qputenv("VIGILMOUNT_STANDIN_EXIT", "1");
    }
    const QList<LaunchResult> results = launchAndCollect(path);
    QCOMPARE(results.size(), 1);
    QVERIFY(!results.first().succeeded());
    QCOMPARE(results.first().error, error);
    QVERIFY(liveServers().isEmpty());
}

QTEST_GUILESS_MAIN(PlexControllerTest)
#include "PlexControllerTest.moc"
