#include "platform/PlexController.h"
#include "PlatformTestSupport.h"
#include "platform/PlexMediaServer.h"
#include "platform/ProcessSetup.h"
#include "platform/ProcessTable.h"
#include "platform/ServerProcessScanner.h"

#include <QTemporaryDir>

#include <csignal>
#include <sys/stat.h>

using namespace PlexController;
using namespace Qt::StringLiterals;
using PlatformTestSupport::writeFile;

namespace {

const QString standIn = QStringLiteral(STANDIN_PATH);
const QString otherStandIn = QStringLiteral(OTHER_STANDIN_PATH);
const QByteArray entryText = "[Desktop Entry]\nType=Application\nName=Plex Media Server\nExec=\"" +
                             QFile::encodeName(standIn) + "\"\n";
// Links to the stand-in: one below the home folder, one in the working folder only.
const QString belowHome = u"rel/Plex Media Server"_s, inWorkFolder = u"work/Plex Media Server"_s;

// One process of a fake /proc tree.
struct FakeProcess
{
    int pid = 0;
    QString exe{}; // the target of the exe link; no link when empty
    QByteArray cmdline = QByteArray("worker\0", 7);
    QString cgroup{};                 // the text of /proc/PID/cgroup
    QByteArray stat = "(worker) S 1"; // after the pid
    uid_t owner = 0;
};

// Live processes named like the server (the test runs in its own PID namespace).
QList<qint64> liveServers(const QString &name = u"Plex Media Server"_s)
{
    QList<qint64> pids;
    ProcessTable table(u"/proc"_s);
    for (qint64 pid : table.pids())
        if (table.nameOf(pid) == name.toStdString() && table.isAlive(pid))
            pids.append(pid);
    return pids;
}

// Every outcome until one arrived and a while longer (a second one would show up then).
QList<LaunchOutcome> launchAndCollect(const QString &path)
{
    auto outcomes = std::make_shared<QList<LaunchOutcome>>();
    PlexMediaServer().launch(path, false, [outcomes](LaunchOutcome outcome) {
        QMetaObject::invokeMethod(QCoreApplication::instance(),
                                  [outcomes, outcome] { outcomes->append(outcome); });
    });
    (void)QTest::qWaitFor([&] { return !outcomes->isEmpty(); }, 15000);
    QTest::qWait(300);
    return *outcomes;
}

} // namespace

class PlexControllerTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString entry(const QString &dataDir = u"home-data"_s) const
    {
        return m_dir.filePath(dataDir + u"/applications/com.plexapp.plexmediaserver.desktop"_s);
    }
    QByteArray report(qint64 pid) const
    {
        QFile file(m_dir.filePath(QString::number(pid)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(!QFileInfo::exists(packagedBinaryPath),
                 "a media server is installed here; the registry tests need it absent");
        QVERIFY2(liveServers().isEmpty(), "a media server is already running");
        // An application registry of our own: empty unless a test writes an entry.
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(u"home-data"_s)));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(m_dir.filePath(u"system-data"_s)));
        qputenv("VIGILMOUNT_STANDIN_REPORTS", QFile::encodeName(m_dir.path()));
        for (const QString &link :
             {QDir::homePath() + u'/' + belowHome, m_dir.filePath(inWorkFolder)})
            QVERIFY(QDir().mkpath(QFileInfo(link).path()) && QFile::link(standIn, link));
        QVERIFY(QDir::setCurrent(m_dir.path()));
        // Started from a shell that ignores some signals and blocks others, by a user whose
        // umask is 022; then the program makes its own files private and ignores SIGXFSZ.
        ::umask(022);
        for (const int ignored : {SIGINT, SIGQUIT, SIGPIPE})
            ::signal(ignored, SIG_IGN);
        sigset_t blocked;
        sigemptyset(&blocked);
        for (const int signalNumber : {SIGUSR1, SIGALRM, SIGRTMIN + 2})
            sigaddset(&blocked, signalNumber);
        QCOMPARE(::pthread_sigmask(SIG_BLOCK, &blocked, nullptr), 0);
        ProcessSetup::restrictFileModes();
        ProcessSetup::restrictFileModes();
        ProcessSetup::ignoreFileSizeLimit();
    }

    void cleanup()
    {
        for (qint64 pid : liveServers())
            ::kill(pid_t(pid), SIGKILL);
        QTRY_VERIFY(liveServers().isEmpty());
        QFile::remove(entry());
        QFile::remove(entry(u"system-data"_s));
        qunsetenv("VIGILMOUNT_STANDIN_EXIT");
    }

    // The scan over fake /proc and cgroup trees. The unit is "path member…" below the
    // hierarchy; without one there is no hierarchy and /proc/PID/cgroup places the processes.
    void scan_data()
    {
        QTest::addColumn<QList<FakeProcess>>("processes");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("found"); // "pid name", empty: none
        const QString binary = u"/usr/lib/plexmediaserver/Plex Media Server"_s;
        const QString service = u"system.slice/plexmediaserver.service"_s;
        const QString apps = u"user.slice/user@1000.service/app.slice/"_s;
        const auto named = [](int pid, const QString &exe, const QByteArray &stat = "(P) S 1") {
            return FakeProcess{.pid = pid, .exe = exe, .stat = stat};
        };
        const auto worker = [](int pid, const QString &cgroup = {}) {
            return FakeProcess{.pid = pid, .cgroup = cgroup};
        };
        const QList<FakeProcess> mixed{named(10, binary), worker(20), worker(30)};
        QTest::newRow("unit member before an earlier name")
            << mixed << (service + u" 30 20"_s) << u"20 worker"_s;
        QTest::newRow("members outside the namespace or gone")
            << mixed << (service + u" 0 99"_s) << u"10 Plex Media Server"_s;
        QTest::newRow("cgroup nested in an app service")
            << mixed << (apps + u"app-com.plexapp.plexmediaserver@x.service/y 30"_s)
            << u"30 worker"_s;
        QTest::newRow("gnome app scope")
            << mixed << (apps + u"app-gnome-com.plexapp.plexmediaserver-1.scope 20"_s)
            << u"20 worker"_s;
        // Only the system unit counts whoever owns it; else only this user's and plex's own.
        FakeProcess otherUsers = named(10, binary), otherWorker = worker(20),
                    unitWorker = worker(30);
        otherUsers.owner = otherWorker.owner = unitWorker.owner = 1001;
        QTest::newRow("another user's server and app unit")
            << QList{otherUsers, otherWorker}
            << (apps + u"app-com.plexapp.plexmediaserver@x.service 20"_s) << QString();
        QTest::newRow("the system unit under its own account")
            << QList{otherUsers, unitWorker} << (service + u" 30"_s) << u"30 worker"_s;
        QTest::newRow("identifier prefix only")
            << QList{worker(20)} << (apps + u"app-com.plexapp.plexmediaserverx-1.scope 20"_s)
            << QString();
        QTest::newRow("no hierarchy: unit from cgroup v1 text before an earlier name")
            << QList{named(10, binary),
                     worker(42, u"12:pids:/"_s + service + u"\n1:name=systemd:/"_s + service)}
            << QString() << u"42 worker"_s;
        QTest::newRow("zombies never count; the state follows the last parenthesis")
            << QList{FakeProcess{.pid = 4, .cgroup = u"0::/"_s + service, .stat = "(w) Z 1"},
                     named(5, binary, "(P) Z 1"), named(6, binary, "(P) X 1"),
                     named(8, binary, "(a) Z (b) R 1")}
            << QString() << u"8 Plex Media Server"_s;
        QTest::newRow("first exact name, also of a replaced binary")
            << QList{named(1, u"/x/plex media server"_s), named(2, u"/x/Plex Media Serv"_s),
                     named(3, u"/x/Plex Media Server "_s), named(7, binary + u" (deleted)"_s),
                     named(9, binary)}
            << QString() << u"7 Plex Media Server"_s;
        QTest::newRow("argv[0] when the link is unreadable")
            << QList{FakeProcess{.pid = 3, .cmdline = QByteArray("/x/Plex Media Server\0-f\0", 24)}}
            << QString() << u"3 Plex Media Server"_s;
    }

    void scan()
    {
        QFETCH(QList<FakeProcess>, processes);
        QFETCH(QString, unit);
        QFETCH(QString, found);
        const QTemporaryDir root;
        const QString proc = root.filePath(u"proc"_s);
        QVERIFY(QDir().mkpath(proc + u"/self"_s));
        for (const FakeProcess &p : processes) {
            const QString dir = proc + u"/"_s + QString::number(p.pid);
            QVERIFY(writeFile(dir + u"/stat"_s, QByteArray::number(p.pid) + ' ' + p.stat) &&
                    writeFile(dir + u"/cmdline"_s, p.cmdline) &&
                    writeFile(dir + u"/cgroup"_s, p.cgroup.toUtf8()));
            QVERIFY(p.exe.isEmpty() || QFile::link(p.exe, dir + u"/exe"_s));
            QCOMPARE(::chown(qPrintable(dir), p.owner, 0), 0);
        }
        std::optional<QString> hierarchy;
        if (!unit.isEmpty()) {
            hierarchy = root.filePath(u"cgroup"_s);
            QStringList members = unit.split(u' ');
            QVERIFY(writeFile(*hierarchy + u"/"_s + members.takeFirst() + u"/cgroup.procs"_s,
                              members.join(u'\n').toUtf8() + '\n'));
        }
        const std::optional<RunningInstance> instance =
            ServerProcessScanner(proc, hierarchy).find();
        QCOMPARE(instance ? u"%1 %2"_s.arg(instance->pid).arg(instance->name) : QString(), found);
    }

    void whatToLaunch()
    {
        QVERIFY(!appURL(standIn + u"\n"_s)); // the line break stays; nothing is registered
        QVERIFY(!appURL(QString()));
        QVERIFY(writeFile(entry(u"system-data"_s), entryText));
        QCOMPARE(appURL(u"/nowhere/Plex Media Server"_s).value_or(QString()),
                 entry(u"system-data"_s));
        QVERIFY(writeFile(entry(u"home-data"_s), entryText));
        QCOMPARE(appURL(u" "_s).value_or(QString()), entry(u"home-data"_s));
    }

    // Through the configured path, the registry or a path relative to home, never while one
    // runs; the server gets the user's umask, default signals and none blocked.
    void launchStartsOneServer_data()
    {
        QTest::addColumn<QString>("configured");
        QTest::addColumn<QString>("started");
        QTest::newRow("configured path") << u" \t"_s + standIn + u" "_s << standIn;
        QTest::newRow("registered entry") << u"/not/installed"_s << entry();
        QTest::newRow("below home") << belowHome << QDir::homePath() + u'/' + belowHome;
    }

    void launchStartsOneServer()
    {
        QFETCH(QString, configured);
        QVERIFY(writeFile(entry(), entryText));
        QProcess other; // another name never counts as the server
        other.start(otherStandIn);
        QVERIFY(other.waitForStarted());
        const QList<LaunchOutcome> outcomes = launchAndCollect(configured);
        QCOMPARE(outcomes.size(), 1);
        QVERIFY2(outcomes.first().ok(), qPrintable(outcomes.first().error()));
        QTEST(outcomes.first().value(), "started");
        const QList<qint64> servers = liveServers();
        QCOMPARE(servers.size(), 1);
        QTRY_COMPARE(report(servers.first()), QByteArray("umask 0022\n"));
        QCOMPARE(::umask(077), mode_t(077)); // the program itself stays private
        // The real name is longer than the 15 characters /proc/PID/comm keeps.
        QCOMPARE(ServerProcessScanner::findOnThisMachine().value_or(RunningInstance{}).pid,
                 servers.first());

        QCOMPARE(launchAndCollect(otherStandIn), QList{LaunchOutcome::success(otherStandIn)});
        QCOMPARE(liveServers(), servers);
        QCOMPARE(liveServers(u"Other Media Server"_s), QList{other.processId()});
        other.kill(), other.waitForFinished();
    }

    void failuresCarryTheSystemsMessage_data()
    {
        QTest::addColumn<QString>("path"); // with content: a file by that name
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("executable");
        QTest::addColumn<QString>("error");
        const auto notFound = [](const QString &path) {
            return u"Plex Media Server wasn't found at \"%1\" and isn't registered with the "
                   "system. Set the correct path in Settings."_s.arg(path);
        };
        QTest::newRow("blank path, nothing registered")
            << u" \t "_s << QByteArray() << false << notFound(u" \t "_s);
        QTest::newRow("only in the working folder")
            << inWorkFolder << QByteArray() << false << notFound(inWorkFolder);
        QTest::newRow("no execute permission")
            << u"Plex Media Server"_s << QByteArray("#!/bin/sh\n") << false
            << u"Permission denied"_s;
        QTest::newRow("not a program")
            << u"Plex Media Server"_s << QByteArray(64, '\x01') << true << u"Exec format error"_s;
        QTest::newRow("desktop entry without program")
            << u"plex.desktop"_s << QByteArray("[Desktop Entry]\nType=Application\nExec=/no/plex\n")
            << false << u"No such file or directory"_s;
        // The stand-in is told to exit at once: started without error, but not running.
        QTest::newRow("dies at once") << standIn << QByteArray() << true
                                      << u"The system reported no error but didn't return a "
                                         "running Plex process."_s;
    }

    void failuresCarryTheSystemsMessage()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, content);
        QFETCH(bool, executable);
        QFETCH(QString, error);
        if (path == standIn)
            qputenv("VIGILMOUNT_STANDIN_EXIT", "1");
        if (!content.isEmpty()) {
            path = m_dir.filePath(path);
            QVERIFY(writeFile(path, content));
            QCOMPARE(::chmod(qPrintable(path), executable ? 0700 : 0600), 0);
        }
        const QList<LaunchOutcome> outcomes = launchAndCollect(path);
        QCOMPARE(outcomes.size(), 1);
        QCOMPARE(outcomes.first().error(), error);
        QVERIFY(liveServers().isEmpty());
    }
};

QTEST_GUILESS_MAIN(PlexControllerTest)
#include "PlexControllerTest.moc"
