#include "platform/PlexController.h"
#include "PlatformTestSupport.h"
#include "platform/PlexMediaServer.h"

#include <QTemporaryDir>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace PlexController;
using namespace Qt::StringLiterals;
using PlatformTestSupport::writeFile;

namespace {

const QString standIn = QStringLiteral(STANDIN_PATH);
const QString otherStandIn = QStringLiteral(OTHER_STANDIN_PATH);
const QString serviceCgroup = u"0::/system.slice/plexmediaserver.service\n"_s;
const QByteArray entryText = "[Desktop Entry]\nType=Application\nName=Plex Media Server\nExec=\"" +
                             QFile::encodeName(standIn) + "\"\n";

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

// Every outcome until one arrived and a while longer (a second one would show up then).
QList<LaunchOutcome> launchAndCollect(const QString &path)
{
    auto outcomes = std::make_shared<QList<LaunchOutcome>>();
    PlexMediaServer().launch(path, [outcomes](LaunchOutcome outcome) {
        QMetaObject::invokeMethod(qApp, [outcomes, outcome] { outcomes->append(outcome); });
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
    QList<QProcess *> m_children;

    QString entry(const QString &dataDir) const
    {
        return m_dir.filePath(dataDir + u"/applications/com.plexapp.plexmediaserver.desktop"_s);
    }
    qint64 start(const QString &program)
    {
        auto *child = new QProcess;
        m_children.append(child);
        child->start(program, {});
        return child->waitForStarted() ? child->processId() : qint64(-1);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(QFileInfo(standIn).isExecutable(), qPrintable(standIn));
        QVERIFY2(!QFileInfo::exists(packagedBinaryPath),
                 "a media server is installed here; the registry tests need it absent");
        QVERIFY2(liveServers().isEmpty(), "a media server is already running");
        // An application registry of our own: empty unless a test writes an entry.
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(u"home-data"_s)));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(m_dir.filePath(u"system-data"_s)));
    }

    void cleanup()
    {
        for (QProcess *child : std::as_const(m_children))
            child->kill(), child->waitForFinished(), delete child;
        m_children.clear();
        for (qint64 pid : liveServers())
            ::kill(pid_t(pid), SIGKILL);
        QTRY_VERIFY(liveServers().isEmpty());
        QFile::remove(entry(u"home-data"_s));
        QFile::remove(entry(u"system-data"_s));
        qunsetenv("VIGILMOUNT_STANDIN_EXIT");
    }

    // The unit pass comes first, then the first exact name; zombies never count.
    void passes_data()
    {
        QTest::addColumn<QList<ProcessInfo>>("list");
        QTest::addColumn<qint64>("found"); // 0: none
        const auto named = [](qint64 pid, const QString &name, bool zombie = false) {
            return ProcessInfo{pid, name, {}, zombie};
        };
        const auto inUnit = [](qint64 pid, const QString &cgroup, bool zombie = false) {
            return ProcessInfo{pid, u"worker"_s, cgroup, zombie};
        };
        const auto unit = [&](const QString &cgroup) { return QList{inUnit(42, cgroup)}; };
        QTest::newRow("unit beats earlier name")
            << QList<ProcessInfo>{named(10, displayName), inUnit(20, serviceCgroup),
                                  inUnit(30, serviceCgroup)}
            << qint64(20);
        QTest::newRow("first exact name")
            << QList<ProcessInfo>{named(1, u"plex media server"_s), named(2, u"Plex Media Serv"_s),
                                  named(3, u"Plex Media Server "_s), named(7, displayName),
                                  named(9, displayName)}
            << qint64(7);
        QTest::newRow("zombies") << QList<ProcessInfo>{inUnit(4, serviceCgroup, true),
                                                       named(5, displayName, true)}
                                 << qint64(0);
        QTest::newRow("cgroup v1") << unit(u"12:pids:/system.slice/plexmediaserver.service\n"
                                           u"1:name=systemd:/system.slice/"
                                           u"plexmediaserver.service\n"_s)
                                   << qint64(42);
        QTest::newRow("gnome app scope")
            << unit(u"0::/user.slice/user@1000.service/app.slice/"
                    u"app-gnome-com.plexapp.plexmediaserver-4242.scope\n"_s)
            << qint64(42);
        QTest::newRow("identifier prefix only")
            << unit(u"0::/user.slice/app-com.plexapp.plexmediaserverx-1.scope\n"_s) << qint64(0);
    }

    void passes()
    {
        QFETCH(QList<ProcessInfo>, list);
        QFETCH(qint64, found);
        const std::optional<RunningInstance> instance = runningInstance(list);
        QCOMPARE(instance ? instance->pid : 0, found);
    }

    // A /proc fixture: names from exe (even deleted) or argv[0], states, and the cheap scan
    // finding the unit's member in a cgroup hierarchy before an earlier name match.
    void procScan()
    {
        const QString root = m_dir.filePath(u"proc"_s);
        const auto add = [&](int pid, const QByteArray &stat, const QByteArray &cmdline,
                             const QString &exe = {}) {
            const QString dir = root + u"/"_s + QString::number(pid);
            QVERIFY(writeFile(dir + u"/stat"_s, stat) && writeFile(dir + u"/cmdline"_s, cmdline));
            QVERIFY(exe.isEmpty() || QFile::link(exe, dir + u"/exe"_s));
        };
        add(5, "5 (Plex Media Serv) S 1", QByteArray("/usr/lib/x/Plex Media Server\0-f\0", 33));
        add(7, "7 (Plex Media Serv) Z 1", {});
        add(10, "10 (Plex Media Serv) S 1", QByteArray("renamed\0", 8),
            u"/usr/lib/x/Plex Media Server (deleted)"_s);
        add(12, "12 (a) Z (b) R 1", QByteArray("worker\0", 7)); // ") Z (" is not its state
        QVERIFY(QDir().mkpath(root + u"/self"_s));
        QStringList seen;
        for (const ProcessInfo &info : processes(root))
            seen.append(u"%1 %2%3"_s.arg(info.pid).arg(info.name, info.zombie ? u" Z"_s : u""_s));
        QCOMPARE(seen, (QStringList{u"5 Plex Media Server"_s, u"7  Z"_s, u"10 Plex Media Server"_s,
                                    u"12 worker"_s}));

        QVERIFY(writeFile(m_dir.filePath(u"cgroup/system.slice/plexmediaserver.service/"
                                         u"cgroup.procs"_s),
                          "12\n"));
        QCOMPARE(runningInstance(root, m_dir.filePath(u"cgroup"_s)).value_or(RunningInstance{}).pid,
                 qint64(12));
    }

    // The exact executable name counts, another name or a zombie does not.
    void liveProcessesByExecutableName()
    {
        QVERIFY(start(otherStandIn) > 0);
        const QByteArray path = QFile::encodeName(standIn);
        char exitAtOnce[] = "VIGILMOUNT_STANDIN_EXIT=1";
        char *environment[] = {exitAtOnce, nullptr};
        const pid_t zombie = ::fork();
        QVERIFY(zombie >= 0);
        if (zombie == 0) {
            ::execle(path.constData(), path.constData(), static_cast<char *>(nullptr), environment);
            ::_exit(127);
        }
        QTRY_VERIFY(std::ranges::any_of(
            processes(), [&](const ProcessInfo &p) { return p.pid == zombie && p.zombie; }));
        QVERIFY(!runningInstance());
        ::waitpid(zombie, nullptr, 0);

        // The real name is longer than the 15 characters /proc/PID/comm keeps.
        const qint64 server = start(standIn);
        QCOMPARE(runningInstance().value_or(RunningInstance{}).pid, server);
    }

    void whatToLaunch()
    {
        QCOMPARE(appURL(u"  \t"_s + standIn + u" \t "_s).value_or(QString()), standIn);
        // The line break stays, nothing exists there, and the registry is empty.
        QVERIFY(!appURL(standIn + u"\n"_s));
        QVERIFY(!appURL(QString()));

        QVERIFY(writeFile(entry(u"system-data"_s), entryText));
        QCOMPARE(appURL(u"/nowhere/Plex Media Server"_s).value_or(QString()),
                 entry(u"system-data"_s));
        QVERIFY(writeFile(entry(u"home-data"_s), entryText));
        QCOMPARE(appURL(u" "_s).value_or(QString()), entry(u"home-data"_s));
        QCOMPARE(appURL(otherStandIn).value_or(QString()), otherStandIn);
    }

    // Through the configured path and through the registry; never while one runs.
    void launchStartsOneServer()
    {
        QVERIFY(writeFile(entry(u"home-data"_s), entryText));
        for (const QString &configured : {u" "_s + standIn, u"/not/installed"_s}) {
            const QList<LaunchOutcome> outcomes = launchAndCollect(configured);
            QCOMPARE(outcomes.size(), 1);
            QVERIFY2(outcomes.first().ok, qPrintable(outcomes.first().errorDescription));
            const QList<qint64> servers = liveServers();
            QCOMPARE(servers.size(), 1);

            const QList<LaunchOutcome> again = launchAndCollect(otherStandIn);
            QCOMPARE(again.size(), 1);
            QVERIFY(again.first().ok);
            QCOMPARE(liveServers(), servers);
            for (const ProcessInfo &info : processes())
                QVERIFY(info.name != u"Other Media Server"_s);
            ::kill(pid_t(servers.first()), SIGKILL);
            QTRY_VERIFY(liveServers().isEmpty());
        }
    }

    void failuresCarryTheSystemsMessage_data()
    {
        QTest::addColumn<QString>("path"); // with content: a file by that name
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("executable");
        QTest::addColumn<QString>("error");
        QTest::newRow("blank path, nothing registered")
            << u" \t "_s << QByteArray() << false
            << u"Plex Media Server wasn't found at \" \t \" and isn't registered with the "
               "system. Set the correct path in Settings."_s;
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
            QVERIFY(QFile::setPermissions(
                path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                          (executable ? QFileDevice::ExeOwner : QFileDevice::Permissions())));
        }
        const QList<LaunchOutcome> outcomes = launchAndCollect(path);
        QCOMPARE(outcomes.size(), 1);
        QCOMPARE(outcomes.first().errorDescription, error);
        QVERIFY(liveServers().isEmpty());
    }
};

QTEST_GUILESS_MAIN(PlexControllerTest)
#include "PlexControllerTest.moc"
