#include "EngineFakes.h"
#include "platform/PlexMediaServer.h"
#include "platform/ProcessTable.h"
#include "platform/ServerProcessScanner.h"
#include "platform/ServerStop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

const QString standIn = QStringLiteral(STANDIN_PATH);

// Live processes named like the server, of any user.
int liveServers()
{
    ProcessTable table(u"/proc"_s);
    int count = 0;
    for (qint64 pid : table.pids())
        count += table.nameOf(pid) == "Plex Media Server" && table.isAlive(pid);
    return count;
}

LaunchOutcome launched(PlexMediaServer &server, bool interactive)
{
    std::optional<LaunchOutcome> outcome;
    server.launch(standIn, interactive, [&](LaunchOutcome o) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), [&, o] { outcome = o; });
    });
    (void)QTest::qWaitFor([&] { return outcome.has_value(); }, 30000);
    return outcome.value_or(LaunchOutcome::failure(u"no answer"_s));
}

} // namespace

class PlexHealthTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        qunsetenv("VIGILMOUNT_STANDIN_PORT");
        ProcessTable table(u"/proc"_s);
        for (qint64 pid : table.pids())
            if (table.nameOf(pid) == "Plex Media Server")
                ::kill(pid_t(pid), SIGKILL);
        QTRY_COMPARE(liveServers(), 0);
    }

    // The stand-in answers, then hangs: three failed probes record it, one restart ends it and
    // starts a new process that answers, and there are never two at once.
    void hungServerIsRestartedOnce()
    {
        qputenv("VIGILMOUNT_STANDIN_PORT", "32400");
        SettingsStore::open()->clear();
        QTemporaryDir folder;
        AppSettings settings;
        EventLog log(folder.filePath(u"history"_s));
        const auto machine = std::make_shared<FakeMachine>();
        Watchdog dog(settings, log,
                     {std::make_shared<PlexMediaServer>(PlexMediaServer::Bounds{1s, 3s}), machine,
                      machine, machine, machine},
                     {.serverStartupGrace = 0ms, .probeRetryDelay = 100ms});
        settings.setWatchVolume(false);
        settings.setPlexAppPath(standIn);
        QCoro::waitFor(dog.checkNow(u"startup"_s));
        const std::optional<RunningInstance> first = ServerProcessScanner::findOnThisMachine();
        QVERIFY(first);
        QCoro::waitFor(dog.checkNow(u"timer"_s));
        QCOMPARE(dog.lastMessage(), u"Plex running"_s);
        const qsizetype before = log.events().size();

        int most = 0;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] { most = std::max(most, liveServers()); });
        watcher.start(100);
        QCOMPARE(::kill(pid_t(first->pid), SIGUSR1), 0);
        QCoro::waitFor(dog.checkNow(u"timer"_s));
        QCOMPARE(log.events().size(), before + 2);
        QCOMPARE(log.events()[before].detail, u"Plex Media Server isn't answering"_s);
        QCOMPARE(log.events()[before + 1].kind, LogEvent::Kind::plexLaunched);
        QCOMPARE(machine->posted.last().body,
                 u"Plex Media Server stopped answering, so Vigilmount restarted it."_s);
        const std::optional<RunningInstance> second = ServerProcessScanner::findOnThisMachine();
        QVERIFY(second && second->pid != first->pid);
        QCoro::waitFor(dog.checkNow(u"timer"_s));
        QCOMPARE(dog.lastMessage(), u"Plex running"_s);
        QCOMPARE(log.events().size(), before + 2);
        QCOMPARE(most, 1);
    }

    // Another user's server does not count and is never signalled; nor is a process that
    // reuses the pid of one that was found.
    void othersAreLeftAlone()
    {
        const pid_t other = ::fork();
        if (other == 0) {
            if (::setgid(65534) == 0 && ::setuid(65534) == 0)
                ::execl(STANDIN_PATH, STANDIN_PATH, nullptr);
            ::_exit(127);
        }
        ProcessTable table(u"/proc"_s);
        QTRY_VERIFY(table.nameOf(other) == "Plex Media Server");
        QVERIFY(!ServerProcessScanner::findOnThisMachine());
        const quint64 ticks = table.startTicksOf(other).value();
        QCOMPARE(ServerStop::stop(other, ticks, u"Plex Media Server"_s, 200ms).error(),
                 u"Plex Media Server isn't answering, and it runs under another account, so "
                 "Vigilmount can't restart it."_s);

        QProcess own;
        own.start(standIn);
        QVERIFY(own.waitForStarted());
        const quint64 ownTicks = table.startTicksOf(own.processId()).value();
        QVERIFY(ServerStop::stop(own.processId(), ownTicks + 1, u"Plex Media Server"_s, 200ms));
        QVERIFY(!own.waitForFinished(300));
        QVERIFY(table.isAlive(other));
        own.kill(), own.waitForFinished();
        ::kill(other, SIGKILL);
        ::waitpid(other, nullptr, 0);
    }

    // With the system unit loaded, the server is started through systemd (interactive when the
    // user asked), never as this user; a refusal says why.
    void systemUnitIsStartedThroughSystemd_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("started") << u"allow"_s << true << u"plexmediaserver.service"_s;
        QTest::newRow("refused") << u"refuse"_s << false
                                 << u"Plex Media Server runs as a system service, and starting it "
                                    "needs an administrator's permission."_s;
    }

    void systemUnitIsStartedThroughSystemd()
    {
        QFETCH(QString, mode);
        QFETCH(bool, interactive);
        QTemporaryDir folder;
        const QString calls = folder.filePath(u"calls"_s);
        QVERIFY(QFile(folder.filePath(u"plexmediaserver.service"_s)).open(QIODevice::WriteOnly));
        qputenv("SYSTEMD_UNIT_PATH", QFile::encodeName(folder.path()));
        QProcess systemd;
        systemd.start(u"/usr/bin/python3"_s, {QStringLiteral(FAKE_SYSTEMD), calls, mode});
        QTRY_VERIFY(QDBusConnection::systemBus().interface()->isServiceRegistered(
            u"org.freedesktop.systemd1"_s));
        PlexMediaServer server;
        const LaunchOutcome outcome = launched(server, interactive);
        QTEST(outcome ? outcome.value() : outcome.error(), "outcome");
        QFile recorded(calls);
        QVERIFY(recorded.open(QIODevice::ReadOnly));
        QCOMPARE(recorded.readAll(), "StartUnit plexmediaserver.service " +
                                         QByteArray::number(int(interactive)) + '\n');
        QCOMPARE(liveServers(), 0);
        systemd.kill(), systemd.waitForFinished();
        qunsetenv("SYSTEMD_UNIT_PATH");
        QTRY_VERIFY(!QDBusConnection::systemBus().interface()->isServiceRegistered(
            u"org.freedesktop.systemd1"_s));
    }
};

QTEST_GUILESS_MAIN(PlexHealthTest)
#include "PlexHealthTest.moc"
