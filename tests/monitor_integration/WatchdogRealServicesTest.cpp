#include "KeychainWait.h"
#include "app/ProductionServices.h"
#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "platform/KeyringCredentials.h"
#include "platform/MountTable.h"
#include "platform/ServerProcessScanner.h"
#include "settings/AppSettings.h"

#include <QCoroTask>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
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

QStringList linesFrom(const EventLog &log, qsizetype first)
{
    QStringList lines;
    for (qsizetype i = first; i < log.events().size(); ++i)
        lines.append(LogEvent::rawValue(log.events()[i].kind) + QStringLiteral(": ") +
                     log.events()[i].detail);
    return lines;
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

} // namespace

class WatchdogRealServicesTest : public QObject
{
    Q_OBJECT

    AppSettings *settings = nullptr;
    EventLog *log = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        settings = new AppSettings(this);
        log = new EventLog(EventLog::defaultDirectory(), {}, this);
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
    }

    void findsRepairsAndThenSeesBothSubjectsUp()
    {
        Watchdog dog(*settings, *log, makeProductionServices());
        const qsizetype before = log->events().size();

        QCoro::waitFor(dog.checkNow(QStringLiteral("manual")));
        const QString mountPoint = dog.volumeMountPoint().value_or(QString());
        QVERIFY(mountPoint.contains(QLatin1String("share=media")));
        QCOMPARE(
            recordsFrom(*log, before),
            (QList<std::pair<Kind, QString>>{
                {Kind::plexDown, QStringLiteral("Not running when Vigilmount checked")},
                {Kind::plexLaunched, QStringLiteral(STANDIN_PATH)},
                {Kind::volumeDown, QStringLiteral("media was not mounted when Vigilmount checked")},
                {Kind::volumeMounted, mountPoint},
            }));
        QCOMPARE(dog.lastMessage(), QStringLiteral("Plex restarted · Volume remounted"));
        QCOMPARE(dog.plexRunning(), true);
        QCOMPARE(dog.volumeMounted(), true);

        // What the notification server received, field by field.
        QTRY_COMPARE(notifications().size(), 2);
        const QList<QJsonObject> posted = notifications();
        QCOMPARE(posted[0][QStringLiteral("summary")].toString(), QStringLiteral("Plex restarted"));
        QCOMPARE(posted[0][QStringLiteral("body")].toString(),
                 QStringLiteral("Plex Media Server wasn't running, so Vigilmount started it."));
        QCOMPARE(posted[1][QStringLiteral("summary")].toString(),
                 QStringLiteral("Plex volume reconnected"));
        QCOMPARE(posted[1][QStringLiteral("body")].toString(),
                 QStringLiteral("media is mounted at ") + mountPoint + QLatin1Char('.'));
        const auto id = [](const QJsonObject &call) {
            return call[QStringLiteral("hints")]
                .toObject()[QStringLiteral("x-vigilmount-id")]
                .toString();
        };
        QCOMPARE(id(posted[0]).size(), 36);
        QCOMPARE(id(posted[0]), id(posted[0]).toUpper());
        QVERIFY(id(posted[0]) != id(posted[1]));
        QVERIFY(
            !QJsonDocument(posted[1]).toJson().contains(env("VIGILMOUNT_SMB_PASSWORD").toUtf8()));

        // The next cycle finds both up and has nothing to record.
        QTRY_VERIFY(ServerProcessScanner::findOnThisMachine());
        const qsizetype quiet = log->events().size();
        QCoro::waitFor(dog.checkNow(QStringLiteral("timer")));
        QCOMPARE(log->events().size(), quiet);
        QCOMPARE(dog.lastMessage(), QStringLiteral("Plex running · Volume mounted"));
        QCOMPARE(notifications().size(), 2);
    }

    void seesBothGoDownAndBringsThemBack()
    {
        Watchdog dog(*settings, *log, makeProductionServices());
        QTRY_VERIFY(ServerProcessScanner::findOnThisMachine());
        QCoro::waitFor(dog.checkNow(QStringLiteral("manual")));
        QCOMPARE(dog.lastMessage(), QStringLiteral("Plex running · Volume mounted"));

        stopStandIn();
        QCOMPARE(
            QProcess::execute(QStringLiteral("gio"), {QStringLiteral("mount"), QStringLiteral("-u"),
                                                      QStringLiteral("smb://127.0.0.1/media")}),
            0);
        const qsizetype before = log->events().size();
        QCoro::waitFor(dog.checkNow(QStringLiteral("manual")));
        const auto records = recordsFrom(*log, before);
        QCOMPARE(records.size(), 4);
        QCOMPARE(records[0], std::pair(Kind::plexDown, QStringLiteral("Plex stopped running")));
        QCOMPARE(records[1].first, Kind::plexLaunched);
        QCOMPARE(records[2], std::pair(Kind::volumeDown, QStringLiteral("media disconnected")));
        QCOMPARE(records[3].first, Kind::volumeMounted);
        QCOMPARE(dog.lastMessage(), QStringLiteral("Plex restarted · Volume remounted"));
    }

    void aRefusedPasswordIsRecordedAndNotified()
    {
        Watchdog dog(*settings, *log, makeProductionServices());
        settings->setWatchPlex(false);
        unmountShare();
        QVERIFY(KeychainWait::save(QStringLiteral("wrong password"), settings->keychainAccount()));
        const int posted = int(notifications().size());
        const qsizetype before = log->events().size();
        QCoro::waitFor(dog.checkNow(QStringLiteral("manual")));
        QCOMPARE(log->events().size(), before + 2); // down, then the failed repair
        const QString refused =
            QStringLiteral("The server rejected the user name or password. (code 13)");
        QCOMPARE(log->events().last().kind, Kind::volumeMountFailed);
        QCOMPARE(log->events().last().detail, refused);
        QCOMPARE(dog.lastMessage(), QStringLiteral("Volume down — ") + refused);
        QTRY_COMPARE(notifications().size(), posted + 1);
        QCOMPARE(notifications().last()[QStringLiteral("summary")].toString(),
                 QStringLiteral("Couldn't mount media"));
        QCOMPARE(notifications().last()[QStringLiteral("body")].toString(), refused);
        QVERIFY(KeychainWait::save(env("VIGILMOUNT_SMB_PASSWORD"), settings->keychainAccount()));
        settings->setWatchPlex(true);
    }

    void wakeFromLogindRunsTheDelayedCycle()
    {
        settings->setVerboseLogging(true);
        Watchdog dog(*settings, *log, makeProductionServices(),
                     {.wakeDelay = std::chrono::milliseconds(300)});
        dog.start();
        QTRY_VERIFY(dog.lastCheck().has_value()); // the start-up cycle
        QTRY_VERIFY(!dog.isChecking());
        const qsizetype before = log->events().size();

        QCOMPARE(QProcess::execute(qEnvironmentVariable("VIGILMOUNT_HARNESS_DIR") +
                                       QStringLiteral("/emit-prepare-for-sleep"),
                                   {QStringLiteral("true")}),
                 0);
        QCOMPARE(QProcess::execute(qEnvironmentVariable("VIGILMOUNT_HARNESS_DIR") +
                                       QStringLiteral("/emit-prepare-for-sleep"),
                                   {QStringLiteral("false")}),
                 0);
        QTRY_VERIFY(log->events().size() > before);
        QCOMPARE(log->events()[before].kind, Kind::wake); // going to sleep records nothing
        QTRY_VERIFY(std::any_of(
            log->events().begin() + before, log->events().end(), [](const LogEvent &event) {
                return event.kind == Kind::checkStarted && event.detail == QLatin1String("wake");
            }));
        dog.stop();
        QCOMPARE(log->events().last().kind, Kind::appStopped);
        settings->setVerboseLogging(false);
    }

    // The keyring stopped, then locked, then gone: each in turn, as none can be undone after.
    void aKeyringThatCannotGiveThePassword()
    {
        settings->setWatchPlex(false);
        unmountShare();
        WatchdogServices services = makeProductionServices();
        services.credentials = std::make_shared<KeyringCredentials>(1s);
        Watchdog dog(*settings, *log, services, {.serviceBound = 1s});
        const auto failureOfACycle = [&] {
            const qsizetype before = log->events().size();
            QCoro::waitFor(dog.checkNow(QStringLiteral("manual")));
            return linesFrom(*log, before).filter(QRegularExpression("^(volumeMountFailed|error)"));
        };

        QVERIFY(KeychainWait::signalKeyring(SIGSTOP));
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(50ms);
        const QStringList silent = failureOfACycle();
        QVERIFY(KeychainWait::signalKeyring(SIGCONT));
        QCOMPARE(silent, QStringList{"volumeMountFailed: The login keyring didn't answer."});
        QVERIFY2(ticks >= 15, QByteArray::number(ticks).constData()); // the cycle never blocked

        QCOMPARE(QProcess::execute(env("VIGILMOUNT_HARNESS_DIR") +
                                   QStringLiteral("/tools/keyring-lock.sh")),
                 0);
        QCOMPARE(failureOfACycle(), QStringList{"volumeMountFailed: The login keyring is locked."});

        // Without a keyring the mount goes ahead and fails; the reason is told once.
        QVERIFY(KeychainWait::signalKeyring(SIGTERM));
        const auto missingKeyring = [] {
            return KeychainWait::answerOf<std::optional<QString>>(
                [](auto done) { Keychain::missingService(std::move(done)); });
        };
        QTRY_COMPARE(missingKeyring(), QStringLiteral("The login keyring isn't available."));
        const QStringList first = failureOfACycle();
        QCOMPARE(first.size(), 2);
        QVERIFY(first[0].startsWith("volumeMountFailed: "));
        QCOMPARE(first[1], "error: The login keyring isn't available.");
        QCOMPARE(failureOfACycle().filter(QRegularExpression("^error")), QStringList());
    }
};

QTEST_GUILESS_MAIN(WatchdogRealServicesTest)
#include "WatchdogRealServicesTest.moc"
