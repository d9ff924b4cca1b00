#include "platform/PlexController.h"

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

namespace {

const QString standIn = QStringLiteral(STANDIN_PATH);
const QString otherStandIn = QStringLiteral(OTHER_STANDIN_PATH);

ProcessInfo process(qint64 pid, const QString &name, const QString &cgroup = {},
                    bool zombie = false)
{
    return ProcessInfo{pid, name, cgroup, zombie};
}

const QString plainCgroup = QStringLiteral("0::/user.slice/user-1000.slice/session-2.scope\n");
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

QMap<QString, QString> readReport(const QString &path)
{
    QMap<QString, QString> report;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return report;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QString text = QString::fromUtf8(line);
        if (text.startsWith(QStringLiteral("env:"))) {
            const QString entry = text.mid(4);
            report.insert(QStringLiteral("env:") + entry.section(QLatin1Char('='), 0, 0),
                          entry.section(QLatin1Char('='), 1));
        } else if (text.contains(QLatin1Char('='))) {
            report.insert(text.section(QLatin1Char('='), 0, 0), text.section(QLatin1Char('='), 1));
        }
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
    void identifierMatchBeatsEarlierNameMatch();
    void nameMatchIsExactAndCaseSensitive();
    void zombiesNeverCount();
    void serverUnits_data();
    void serverUnits();

    // Reading /proc.
    void procScanReadsNameStateAndUnit();
    void liveServerIsFoundByItsExecutableName();
    void otherNamesAndZombieServersAreNotRunning();

    // Where the server is.
    void pathIsTrimmedOfBlanksButNotLineBreaks();
    void registryFallbackThroughDesktopEntry();
    void blankPathWithoutRegistryIsNotFound();

    // Starting it.
    void launchStartsDetachedServer();
    void launchWhileServerRunsStartsNone();
    void spawnErrorCarriesSystemMessage();
    void serverDyingAtOnceIsLaunchFailure();
    void launchThroughDesktopEntry();

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

void PlexControllerTest::identifierMatchBeatsEarlierNameMatch()
{
    const QList<ProcessInfo> list{
        process(10, displayName, plainCgroup),
        process(20, QStringLiteral("Plex Tuner Service"), serviceCgroup),
    };
    const std::optional<RunningInstance> found = runningInstance(list);
    QVERIFY(found);
    QCOMPARE(found->pid, qint64(20));
    QCOMPARE(found->name, QStringLiteral("Plex Tuner Service"));

    // Among several identifier matches the first one in the list wins.
    const QList<ProcessInfo> two{process(30, QStringLiteral("a"), serviceCgroup),
                                 process(5, QStringLiteral("b"), serviceCgroup)};
    QCOMPARE(runningInstance(two)->pid, qint64(30));
}

void PlexControllerTest::nameMatchIsExactAndCaseSensitive()
{
    QVERIFY(!runningInstance(QList<ProcessInfo>{}));
    QVERIFY(!runningInstance({process(1, QStringLiteral("plex media server")),
                              process(2, QStringLiteral("Plex Media Serv")),
                              process(3, QStringLiteral("Plex Media Server "))}));
    const std::optional<RunningInstance> found =
        runningInstance({process(1, QStringLiteral("plex media server")), process(7, displayName),
                         process(9, displayName)});
    QVERIFY(found);
    QCOMPARE(found->pid, qint64(7));
    QCOMPARE(found->name, displayName);
}

void PlexControllerTest::zombiesNeverCount()
{
    QVERIFY(!runningInstance({process(4, displayName, serviceCgroup, true),
                              process(5, displayName, plainCgroup, true)}));
    // A zombie in the unit does not hide a live server found by name.
    const std::optional<RunningInstance> found = runningInstance(
        {process(4, QStringLiteral("x"), serviceCgroup, true), process(8, displayName)});
    QVERIFY(found);
    QCOMPARE(found->pid, qint64(8));
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
    QTest::newRow("user service")
        << QStringLiteral("0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                          "plexmediaserver.service\n")
        << true;
    QTest::newRow("gnome app scope")
        << QStringLiteral("0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                          "app-gnome-com.plexapp.plexmediaserver-4242.scope\n")
        << true;
    QTest::newRow("app scope without launcher")
        << QStringLiteral("0::/user.slice/app-com.plexapp.plexmediaserver-17.scope\n") << true;
    QTest::newRow("app service with instance")
        << QStringLiteral("0::/user.slice/app-com.plexapp.plexmediaserver@3f2a.service\n") << true;
    QTest::newRow("other app scope")
        << QStringLiteral("0::/user.slice/app-gnome-org.gnome.Terminal-99.scope\n") << false;
    QTest::newRow("identifier prefix only")
        << QStringLiteral("0::/user.slice/app-com.plexapp.plexmediaserverx-1.scope\n") << false;
    QTest::newRow("not an app unit")
        << QStringLiteral("0::/user.slice/com.plexapp.plexmediaserver.scope\n") << false;
    QTest::newRow("similar service")
        << QStringLiteral("0::/system.slice/plexmediaserver2.service\n") << false;
    QTest::newRow("plain session") << plainCgroup << false;
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
    QCOMPARE(list.size(), 4);
    QCOMPARE(list.at(0).pid, qint64(5));
    QCOMPARE(list.at(0).name, displayName);
    QVERIFY(!list.at(0).zombie);
    QCOMPARE(list.at(1).pid, qint64(7));
    QVERIFY(list.at(1).zombie);
    QCOMPARE(list.at(2).pid, qint64(10));
    QCOMPARE(list.at(2).name, displayName);
    QCOMPARE(list.at(3).pid, qint64(12));
    QCOMPARE(list.at(3).name, QStringLiteral("worker"));
    QVERIFY(!list.at(3).zombie);
    QVERIFY(inServerUnit(list.at(3).cgroup));
    // The unit match (pid 12) beats the earlier name matches.
    QCOMPARE(runningInstance(list)->pid, qint64(12));
}

void PlexControllerTest::liveServerIsFoundByItsExecutableName()
{
    QVERIFY(!runningInstance());
    auto *server = new QProcess;
    m_children.append(server);
    server->start(standIn, {});
    QVERIFY(server->waitForStarted());
    const std::optional<RunningInstance> found = runningInstance();
    QVERIFY(found);
    QCOMPARE(found->pid, server->processId());
    QCOMPARE(found->name, displayName);
}

void PlexControllerTest::otherNamesAndZombieServersAreNotRunning()
{
    auto *other = new QProcess;
    m_children.append(other);
    other->start(otherStandIn, {});
    QVERIFY(other->waitForStarted());

    // A server that has exited but was not reaped yet.
    const QByteArray path = QFile::encodeName(standIn);
    const pid_t zombie = ::fork();
    QVERIFY(zombie >= 0);
    if (zombie == 0) {
        ::setenv("VIGILMOUNT_STANDIN_EXIT", "1", 1);
        ::execl(path.constData(), path.constData(), static_cast<char *>(nullptr));
        ::_exit(127);
    }
    QTRY_VERIFY([&] {
        for (const ProcessInfo &info : processes()) {
            if (info.pid == zombie)
                return info.zombie;
        }
        return false;
    }());
    QVERIFY(!runningInstance());
    ::waitpid(zombie, nullptr, 0);
}

void PlexControllerTest::pathIsTrimmedOfBlanksButNotLineBreaks()
{
    QCOMPARE(trimmedBlanks(QStringLiteral(" \t\u00a0\u2003a b\t \u3000")), QStringLiteral("a b"));
    QCOMPARE(trimmedBlanks(QStringLiteral("\na\n")), QStringLiteral("\na\n"));

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
    QCOMPARE(PlexError::notFound(QStringLiteral("/x")).description(),
             QStringLiteral("Plex Media Server wasn't found at \"/x\" and isn't registered with "
                            "the system. Set the correct path in Settings."));
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
    const QString report = m_dir.filePath(QStringLiteral("report"));
    qputenv("VIGILMOUNT_STANDIN_REPORT", QFile::encodeName(report));
    qputenv("SHARE_PASSWORD", "hunter2");
    qputenv("VIGILMOUNT_API_TOKEN", "t0k3n");
    const QList<LaunchResult> results = launchAndCollect(QStringLiteral(" ") + standIn);
    qunsetenv("SHARE_PASSWORD");
    qunsetenv("VIGILMOUNT_API_TOKEN");
    QCOMPARE(results.size(), 1);
    QVERIFY2(results.first().succeeded(), qPrintable(results.first().error));
    QCOMPARE(*results.first().appPath, standIn);

    const std::optional<RunningInstance> running = runningInstance();
    QVERIFY(running);
    QTRY_VERIFY(QFile::exists(report));
    const QMap<QString, QString> started = readReport(report);
    QCOMPARE(started.value(QStringLiteral("session-leader")), QStringLiteral("1"));
    QVERIFY(started.value(QStringLiteral("parent")) != QString::number(::getpid()));
    QCOMPARE(started.value(QStringLiteral("cwd")), QDir::homePath());
    for (const char *fd : {"fd0", "fd1", "fd2"})
        QCOMPARE(started.value(QLatin1String(fd)), QStringLiteral("/dev/null"));
    QVERIFY(started.contains(QStringLiteral("env:VIGILMOUNT_STANDIN_REPORT")));
    QVERIFY(started.contains(QStringLiteral("env:HOME")));
    QVERIFY(!started.contains(QStringLiteral("env:SHARE_PASSWORD")));
    QVERIFY(!started.contains(QStringLiteral("env:VIGILMOUNT_API_TOKEN")));
}

void PlexControllerTest::launchWhileServerRunsStartsNone()
{
    auto *server = new QProcess;
    m_children.append(server);
    server->start(standIn, {});
    QVERIFY(server->waitForStarted());

    // Another existing path: it resolves, but nothing is started.
    const QList<LaunchResult> results = launchAndCollect(otherStandIn);
    QCOMPARE(results.size(), 1);
    QVERIFY(results.first().succeeded());
    QCOMPARE(*results.first().appPath, otherStandIn);
    QCOMPARE(liveServers(), QList<qint64>{server->processId()});
    for (const ProcessInfo &info : processes())
        QVERIFY(info.name != QStringLiteral("Other Media Server"));
}

void PlexControllerTest::spawnErrorCarriesSystemMessage()
{
    const QString notExecutable = m_dir.filePath(QStringLiteral("Plex Media Server"));
    QVERIFY(writeFile(notExecutable, "#!/bin/sh\nsleep 100\n"));
    QVERIFY(QFile::setPermissions(notExecutable, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QList<LaunchResult> results = launchAndCollect(notExecutable);
    QCOMPARE(results.size(), 1);
    QVERIFY(!results.first().succeeded());
    QCOMPARE(results.first().error, QStringLiteral("Permission denied"));

    // Something that exists but cannot be executed at all.
    const QString garbage = m_dir.filePath(QStringLiteral("garbage"));
    QVERIFY(writeFile(garbage, QByteArray(64, '\x01')));
    QVERIFY(QFile::setPermissions(garbage, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    results = launchAndCollect(garbage);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.first().error, QStringLiteral("Exec format error"));
    QVERIFY(liveServers().isEmpty());
}

void PlexControllerTest::serverDyingAtOnceIsLaunchFailure()
{
    qputenv("VIGILMOUNT_STANDIN_EXIT", "1");
    const QList<LaunchResult> results = launchAndCollect(standIn);
    QCOMPARE(results.size(), 1);
    QVERIFY(!results.first().succeeded());
    QCOMPARE(
        results.first().error,
        QStringLiteral("The system reported no error but didn't return a running Plex process."));
    QCOMPARE(results.first().error, PlexError::launchFailed().description());
}

void PlexControllerTest::launchThroughDesktopEntry()
{
    const QString entry =
        m_dataHome + QStringLiteral("/applications/com.plexapp.plexmediaserver.desktop");
    QVERIFY(writeFile(entry, "[Desktop Entry]\nType=Application\nName=Plex Media Server\n"
                             "Exec=\"" +
                                 QFile::encodeName(standIn) + "\"\n"));
    const QString report = m_dir.filePath(QStringLiteral("desktop-report"));
    qputenv("VIGILMOUNT_STANDIN_REPORT", QFile::encodeName(report));
    qputenv("MOUNT_SECRET", "s3cret");
    const QList<LaunchResult> results = launchAndCollect(QStringLiteral("/not/installed"));
    qunsetenv("MOUNT_SECRET");
    QCOMPARE(results.size(), 1);
    QVERIFY2(results.first().succeeded(), qPrintable(results.first().error));
    QCOMPARE(*results.first().appPath, entry);
    QCOMPARE(liveServers().size(), 1);
    QTRY_VERIFY(QFile::exists(report));
    const QMap<QString, QString> started = readReport(report);
    QCOMPARE(started.value(QStringLiteral("session-leader")), QStringLiteral("1"));
    QCOMPARE(started.value(QStringLiteral("cwd")), QDir::homePath());
    QCOMPARE(started.value(QStringLiteral("fd1")), QStringLiteral("/dev/null"));
    QVERIFY(!started.contains(QStringLiteral("env:MOUNT_SECRET")));

    // An entry that cannot start anything fails with the system's message.
    QVERIFY(writeFile(entry, "[Desktop Entry]\nType=Application\nName=Plex Media Server\n"
                             "Exec=/nowhere/plex\n"));
    const QList<qint64> before = liveServers();
    for (qint64 pid : before)
        ::kill(pid_t(pid), SIGKILL);
    QTRY_VERIFY(liveServers().isEmpty());
    const QList<LaunchResult> failed = launchAndCollect(QString());
    QCOMPARE(failed.size(), 1);
    QVERIFY(!failed.first().succeeded());
    QVERIFY2(failed.first().error.contains(QStringLiteral("No such file or directory")),
             qPrintable(failed.first().error));
}

QTEST_GUILESS_MAIN(PlexControllerTest)
#include "PlexControllerTest.moc"
