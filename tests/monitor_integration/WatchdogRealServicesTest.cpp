#include "KeychainWait.h"
#include "app/ProductionServices.h"
#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "platform/GvfsShare.h"
#include "platform/KeyringCredentials.h"
#include "platform/MountTable.h"
#include "platform/ServerProcessScanner.h"
#include "settings/AppSettings.h"

#include <QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <csignal>

using Kind = LogEvent::Kind;
using namespace std::chrono_literals;

namespace {

QString env(const char *name)
{
    const QString value = qEnvironmentVariable(name);
    if (value.isEmpty())
        qFatal("%s is not set: the harness component is missing", name);
    return value;
}

QList<QJsonObject> notifications()
{
    QFile file(env("VIGILMOUNT_NOTIFICATIONS_LOG"));
    QList<QJsonObject> result;
    if (!file.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QJsonObject call = QJsonDocument::fromJson(line).object();
        if (call.value(QStringLiteral("method")).toString() == QLatin1String("Notify"))
            result << call;
    }
    return result;
}

QList<std::pair<Kind, QString>> recordsFrom(const EventLog &log, qsizetype first)
{
    QList<std::pair<Kind, QString>> result;
    for (qsizetype i = first; i < log.events().size(); ++i)
        result.append({log.events()[i].kind, log.events()[i].detail});
    return result;
}

void stopStandIn()
{
    while (const auto running = ServerProcessScanner::findOnThisMachine()) {
        ::kill(pid_t(running->pid), SIGKILL);
        QTRY_VERIFY(!ServerProcessScanner::findOnThisMachine() ||
                    ServerProcessScanner::findOnThisMachine()->pid != running->pid);
    }
}

// Unmounts the share and waits until the mount table no longer lists it.
void unmountShare()
{
    QProcess::execute(QStringLiteral("gio"), {QStringLiteral("mount"), QStringLiteral("-u"),
                                              QStringLiteral("smb://127.0.0.1/media")});
    QTRY_VERIFY(!MountTable::mountPoint(QStringLiteral("127.0.0.1"), QStringLiteral("media")));
}

// The live (not zombie) processes of a program, by their short name.
QList<pid_t> processes(const QByteArray &name)
{
    QList<pid_t> found;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
        if (line.contains(" (" + name + ") ") && !line.contains(") Z "))
            found.append(entry.toInt());
    }
    return found;
}

void signalAll(const QByteArray &name, int signal)
{
    for (const pid_t pid : processes(name))
        ::kill(pid, signal);
}

// Resumes every smbd however a case ends, so that nothing stays frozen.
struct SmbdResumer
{
    ~SmbdResumer() { signalAll("smbd", SIGCONT); }
};

// A watchdog on the real services with the share's bounds cut to seconds.
WatchdogServices quickShareServices()
{
    WatchdogServices services = makeProductionServices();
    services.share = std::make_shared<GvfsShare>(ShareProbe::Bounds{1500ms, 1000ms}, 5s);
    return services;
}
const Watchdog::Timing quickShare{
    .mountBound = 20s, .shareProbeBound = 3s, .confirmDelay = 500ms, .backendBound = 5s};

} // namespace

// Every case starts with the stand-in stopped, the share unmounted and the right password.
class WatchdogRealServicesTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<AppSettings> settings;
    std::unique_ptr<EventLog> log;

    // One check; what it recorded.
    QList<std::pair<Kind, QString>> check(Watchdog &dog)
    {
        const qsizetype before = log->events().size();
        QCoro::waitFor(dog.checkNow(QStringLiteral("manual")));
        return recordsFrom(*log, before);
    }

private Q_SLOTS:
    void init()
    {
        stopStandIn();
        unmountShare();
        settings = std::make_unique<AppSettings>();
        log = std::make_unique<EventLog>(EventLog::defaultDirectory());
        settings->setWatchPlex(true);
        settings->setVerboseLogging(false);
        settings->setPlexAppPath(QStringLiteral(STANDIN_PATH));
        settings->setServerHost(env("VIGILMOUNT_SMB_HOST"));
        settings->setShareName(QStringLiteral("media"));
        settings->setUsername(env("VIGILMOUNT_SMB_USER"));
        QVERIFY(KeychainWait::save(env("VIGILMOUNT_SMB_PASSWORD"), settings->keychainAccount()));
    }

    void cleanupTestCase()
    {
        stopStandIn();
        unmountShare();
        // The smbd restarted by a case is not the harness's: end it with the rest.
        signalAll("smbd", SIGTERM);
    }

    void repairsBothStaysQuietAndRepairsAgain()
    {
        Watchdog dog(*settings, *log, makeProductionServices());
        const int posted = int(notifications().size());
        const auto first = check(dog);
        const QString mountPoint = dog.volumeMountPoint().value_or(QString());
        QVERIFY(mountPoint.contains(QLatin1String("share=media")));
        QCOMPARE(first, (QList<std::pair<Kind, QString>>{
                            {Kind::plexDown, QStringLiteral("Not running when Vigilmount checked")},
                            {Kind::plexLaunched, QStringLiteral(STANDIN_PATH)},
                            {Kind::volumeDown,
                             QStringLiteral("media was not mounted when Vigilmount checked")},
                            {Kind::volumeMounted, mountPoint},
                        }));
        QCOMPARE(dog.lastMessage(), QStringLiteral("Plex restarted · Volume remounted"));

        // What the notification server received.
        QTRY_COMPARE(notifications().size(), posted + 2);
        const QList<QJsonObject> sent = notifications().mid(posted);
        QCOMPARE(sent[0][QStringLiteral("summary")].toString(), QStringLiteral("Plex restarted"));
        QCOMPARE(sent[1][QStringLiteral("body")].toString(),
                 QStringLiteral("media is mounted at ") + mountPoint + QLatin1Char('.'));
        const auto id = [](const QJsonObject &call) {
            return call[QStringLiteral("hints")]
                .toObject()[QStringLiteral("x-vigilmount-id")]
                .toString();
        };
        QCOMPARE(id(sent[0]).size(), 36);
        QCOMPARE(id(sent[0]), id(sent[0]).toUpper());
        QVERIFY(id(sent[0]) != id(sent[1]));
        QVERIFY(!QJsonDocument(sent[1]).toJson().contains(env("VIGILMOUNT_SMB_PASSWORD").toUtf8()));

        // Both up: nothing to record or post.
        QTRY_VERIFY(ServerProcessScanner::findOnThisMachine());
        QCOMPARE(check(dog).size(), 0);
        QCOMPARE(dog.lastMessage(), QStringLiteral("Plex running · Volume mounted"));
        QCOMPARE(notifications().size(), posted + 2);

        // Both go down while watched.
        stopStandIn();
        unmountShare();
        const auto again = check(dog);
        QCOMPARE(again.size(), 4);
        QCOMPARE(again[0], std::pair(Kind::plexDown, QStringLiteral("Plex stopped running")));
        QCOMPARE(again[1].first, Kind::plexLaunched);
        QCOMPARE(again[2], std::pair(Kind::volumeDown, QStringLiteral("media disconnected")));
        QCOMPARE(again[3].first, Kind::volumeMounted);
    }

    void aRefusedPasswordIsRecordedAndNotified()
    {
        settings->setWatchPlex(false);
        QVERIFY(KeychainWait::save(QStringLiteral("wrong password"), settings->keychainAccount()));
        Watchdog dog(*settings, *log, makeProductionServices());
        const int posted = int(notifications().size());
        const QString refused =
            QStringLiteral("The server rejected the user name or password. (code 13)");
        const auto records = check(dog);
        QCOMPARE(records.size(), 2); // down, then the failed repair
        QCOMPARE(records[1], std::pair(Kind::volumeMountFailed, refused));
        QCOMPARE(dog.lastMessage(), QStringLiteral("Volume down — ") + refused);
        QTRY_COMPARE(notifications().size(), posted + 1);
        QCOMPARE(notifications().last()[QStringLiteral("summary")].toString(),
                 QStringLiteral("Couldn't mount media"));
        QCOMPARE(notifications().last()[QStringLiteral("body")].toString(), refused);
    }

    // A keyring that does not answer fails the repair within its bound, and the cycle never
    // blocks the main thread meanwhile.
    void aStoppedKeyringFailsTheRepairWithoutBlocking()
    {
        settings->setWatchPlex(false);
        WatchdogServices services = makeProductionServices();
        services.credentials = std::make_shared<KeyringCredentials>(1s);
        Watchdog dog(*settings, *log, services, {.serviceBound = 1s});
        QVERIFY(KeychainWait::signalKeyring(SIGSTOP));
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(50ms);
        const auto records = check(dog);
        QVERIFY(KeychainWait::signalKeyring(SIGCONT));
        QVERIFY(records.contains(std::pair{Kind::volumeMountFailed,
                                           QStringLiteral("The login keyring didn't answer.")}));
        QVERIFY2(ticks >= 15, QByteArray::number(ticks).constData());
    }

    // A frozen server: recorded within the probe bounds while the main thread stays free, its
    // backend ended (which releases a blocked reader), and remounted once the server resumes.
    void aFrozenShareIsEndedAndRemounted()
    {
        settings->setWatchPlex(false);
        Watchdog dog(*settings, *log, quickShareServices(), quickShare);
        check(dog);
        const QString mountPoint = dog.volumeMountPoint().value_or(QString());
        QVERIFY(dog.volumeMounted() == true);
        const SmbdResumer resumer;
        signalAll("smbd", SIGSTOP);
        QProcess reader;
        reader.start(QStringLiteral("stat"), {QStringLiteral("-f"), mountPoint});
        int ticks = 0;
        bool frozen = true;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            ++ticks;
            // The server resumes once its mount is gone.
            if (frozen && !MountTable::mountPoint(env("VIGILMOUNT_SMB_HOST"), "media"))
                signalAll("smbd", SIGCONT), frozen = false;
        });
        ticker.start(50ms);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(check(dog), (QList<std::pair<Kind, QString>>{
                                 {Kind::volumeDown, "media is mounted but not responding"},
                                 {Kind::volumeMounted, mountPoint}}));
        QVERIFY2(ticks >= clock.elapsed() / 100, QByteArray::number(ticks).constData());
        QTRY_COMPARE(reader.state(), QProcess::NotRunning); // released with EIO
        QVERIFY(reader.exitCode() != 0);
        // Reads right after a remount may fail with EIO for about a second.
        const QString file = mountPoint + QLatin1Char('/') + env("VIGILMOUNT_SMB_FILE");
        QProcess cat;
        QTRY_VERIFY_WITH_TIMEOUT(
            (cat.start("cat", {file}), cat.waitForFinished(5000)) && cat.exitCode() == 0, 5000);
        QCOMPARE(cat.readAllStandardOutput().trimmed(), env("VIGILMOUNT_SMB_FILE_CONTENT"));
    }

    // A stopped server: not responding, nothing mounted again over the listed mount, and
    // reachable again once the server is back.
    void aStoppedServerIsReportedWithoutARemount()
    {
        settings->setWatchPlex(false);
        Watchdog dog(*settings, *log, quickShareServices(), quickShare);
        check(dog);
        const QString mountPoint = dog.volumeMountPoint().value_or(QString());
        const QList<pid_t> smbd = processes("smbd");
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(smbd.value(0)));
        QVERIFY(commandLine.open(QIODevice::ReadOnly));
        QStringList command = QString::fromLocal8Bit(commandLine.readAll()).split(QChar(0));
        command.removeAll(QString());
        signalAll("smbd", SIGTERM);
        QTRY_VERIFY(processes("smbd").isEmpty());
        QCOMPARE(check(dog), (QList<std::pair<Kind, QString>>{
                                 {Kind::volumeDown, "media is mounted but not responding"}}));
        QVERIFY(dog.volumeNotResponding() && dog.volumeMounted() == false);

        // Restarted for the cases after this one.
        QVERIFY(QProcess::startDetached(QStringLiteral("setsid"), command));
        const QString ready = "smbclient -s \"$0\" -N -c ls //127.0.0.1/public >/dev/null 2>&1";
        QTRY_VERIFY_WITH_TIMEOUT(QProcess::execute("sh", {"-c", ready, command.last()}) == 0,
                                 10000);
        // Back by itself: reachable again without a remount (the first read after the restart
        // may still fail).
        QList<std::pair<Kind, QString>> recovered;
        QTRY_VERIFY_WITH_TIMEOUT((recovered += check(dog), !dog.volumeNotResponding()), 10000);
        QCOMPARE(recovered, (QList<std::pair<Kind, QString>>{
                                {Kind::volumeOK, "Share reachable again at " + mountPoint}}));
    }

    // A killed file-system bridge: the folder is unreachable, and with the bridge's mount gone
    // too nothing is mounted again (it would fail as "already mounted"). Last: the bridge stays
    // gone.
    void aKilledBridgeIsReportedOnce()
    {
        settings->setWatchPlex(false);
        Watchdog dog(*settings, *log, quickShareServices(), quickShare);
        check(dog);
        signalAll("gvfsd-fuse", SIGKILL);
        QTRY_VERIFY(processes("gvfsd-fuse").isEmpty());
        QCOMPARE(check(dog),
                 (QList<std::pair<Kind, QString>>{
                     {Kind::volumeDown, "media is mounted but its local folder isn't reachable"}}));
        QCOMPARE(QProcess::execute("fusermount3", {"-u", "-z", env("XDG_RUNTIME_DIR") + "/gvfs"}),
                 0);
        QCOMPARE(check(dog).size(), 0);
        QVERIFY(dog.volumeNotResponding());
    }
};

QTEST_GUILESS_MAIN(WatchdogRealServicesTest)
#include "WatchdogRealServicesTest.moc"
