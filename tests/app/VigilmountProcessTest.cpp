#include "Sandbox.h"

#include <QFileInfo>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

namespace {

int modeOf(const QString &path)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return static_cast<int>(info.st_mode & 07777);
}

// Waits until the started program has recorded its start and handed the start-up check on.
bool waitForStart(const Sandbox &box)
{
    return QTest::qWaitFor([&] { return box.kinds().contains(QStringLiteral("appStarted")); },
                           10000);
}

} // namespace

class VigilmountProcessTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void helpAndVersion()
    {
        Sandbox box;
        auto help = box.start({"--help"});
        QVERIFY(help->waitForFinished(5000));
        QCOMPARE(help->exitCode(), 0);
        const QString text = QString::fromLocal8Bit(help->readAllStandardOutput());
        QVERIFY2(text.contains("Usage: vigilmount") && text.contains("--headless") &&
                     text.contains("--version"),
                 qPrintable(text));

        auto version = box.start({"--version"});
        QVERIFY(version->waitForFinished(5000));
        QCOMPARE(version->exitCode(), 0);
        QCOMPARE(version->readAllStandardOutput(),
                 QByteArray("vigilmount " VIGILMOUNT_VERSION "\n"));

        auto wrong = box.start({"--no-such-option"});
        QVERIFY(wrong->waitForFinished(5000));
        QCOMPARE(wrong->exitCode(), 2);
        QVERIFY(wrong->readAllStandardError().contains("no-such-option"));
        QVERIFY2(!QFileInfo::exists(box.historyFile()), "nothing runs for these options");
    }

    void desktopStartWithoutDisplayPointsToHeadless()
    {
        Sandbox box;
        QProcessEnvironment env = box.environment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(VIGILMOUNT_BINARY), {});
        QVERIFY(process.waitForFinished(5000));
        QVERIFY(process.exitCode() != 0);
        const QByteArray error = process.readAllStandardError();
        QVERIFY2(error.contains("no display") && error.contains("--headless"), error.constData());
        QVERIFY(!QFileInfo::exists(box.historyFile()));
    }

    void terminationSignalsStopCleanly_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void terminationSignalsStopCleanly()
    {
        QFETCH(int, signalNumber);
        Sandbox box;
        box.writeSettings({{"verboseLogging", true}});
        auto app = box.start({"--headless"});
        QVERIFY(app->waitForStarted(5000));
        QVERIFY2(waitForStart(box), app->readAllStandardError().constData());
        // Let the start-up check run first, so appStopped has records before it.
        QVERIFY(QTest::qWaitFor([&] { return box.kinds().contains("checkStarted"); }, 10000));

        ::kill(static_cast<pid_t>(app->processId()), signalNumber);
        QVERIFY(app->waitForFinished(10000));
        QCOMPARE(app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(app->exitCode(), 0);

        const auto history = box.history();
        QCOMPARE(history.first().first, QStringLiteral("appStarted"));
        QCOMPARE(history.last().first, QStringLiteral("appStopped"));
        QCOMPARE(box.kinds().count("appStopped"), 1);
        QVERIFY(
            history.contains(qMakePair(QStringLiteral("checkStarted"), QStringLiteral("startup"))));
    }

    void withoutTrayTheWatchdogKeepsRunning()
    {
        // The harness draws off screen: a desktop start, but no tray host anywhere.
        Sandbox box;
        box.writeSettings({{"verboseLogging", true}});
        auto app = box.start({"--verbose"});
        QVERIFY(QTest::qWaitFor([&] { return box.kinds().contains("checkStarted"); }, 10000));
        QTest::qWait(300);
        app->terminate();
        QVERIFY(app->waitForFinished(10000));
        QCOMPARE(app->exitCode(), 0);
        const QString log = QString::fromLocal8Bit(app->readAllStandardError());
        QCOMPARE(log.count(QStringLiteral("No system tray is available")), 1);
        QVERIFY2(log.contains(QStringLiteral("[Vigilmount] appStopped")), qPrintable(log));
        QCOMPARE(box.kinds().last(), QStringLiteral("appStopped"));
    }

    void filesAndSocketArePrivate()
    {
        Sandbox box;
        auto app = box.start({"--headless"});
        QVERIFY(waitForStart(box));
        const int socketMode = modeOf(box.path("runtime/vigilmount.socket"));
        QVERIFY(socketMode > 0);
        QCOMPARE(socketMode & 077, 0); // nobody but the user may connect
        QCOMPARE(socketMode & 0600, 0600);
        QCOMPARE(modeOf(box.path("runtime/vigilmount.lock")), 0600);
        QCOMPARE(modeOf(box.path("data/Vigilmount")), 0700);
        QCOMPARE(modeOf(box.historyFile()), 0600);
        app->terminate();
        QVERIFY(app->waitForFinished(10000));
        QCOMPARE(modeOf(box.historyFile()), 0600);
    }

    void umaskIsPrivateFromTheStart()
    {
        Sandbox box;
        auto app = box.start({"--headless"});
        QVERIFY(waitForStart(box));
        QFile status(QStringLiteral("/proc/%1/status").arg(app->processId()));
        QVERIFY(status.open(QIODevice::ReadOnly));
        QVERIFY(status.readAll().contains("Umask:\t0077\n"));
        app->terminate();
        QVERIFY(app->waitForFinished(10000));
    }

    void fileSizeLimitDoesNotKill()
    {
        // Room for the first record only: the next history write goes beyond the limit.
        Sandbox box;
        box.writeSettings({{"verboseLogging", true}});
        QProcess app;
        app.setProcessEnvironment(box.environment());
        app.setProcessChannelMode(QProcess::MergedChannels);
        app.start("prlimit", {"--fsize=200", "--", VIGILMOUNT_BINARY, "--headless", "--verbose"});
        QVERIFY(app.waitForStarted(5000));
        QVERIFY(QTest::qWaitFor(
            [&] {
                app.waitForReadyRead(100);
                return app.peek(1 << 16).contains("[Vigilmount] checkStarted");
            },
            10000));
        QTest::qWait(500);
        QCOMPARE(app.state(), QProcess::Running);
        app.terminate();
        QVERIFY(app.waitForFinished(10000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 0);
        QCOMPARE(box.kinds().first(), QStringLiteral("appStarted"));
        QVERIFY(QFileInfo(box.historyFile()).size() <= 200);
    }

    void secondStartHandsOverAndEnds()
    {
        Sandbox box;
        auto first = box.start({"--headless"});
        QVERIFY(waitForStart(box));

        auto second = box.start({"--headless"});
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);
        QCOMPARE(box.kinds().count("appStarted"), 1);

        first->terminate();
        QVERIFY(first->waitForFinished(10000));
        QCOMPARE(box.kinds().last(), QStringLiteral("appStopped"));
    }

    void leftoversOfAKilledInstanceDoNotBlock()
    {
        Sandbox box;
        auto crashed = box.start({"--headless"});
        QVERIFY(waitForStart(box));
        crashed->kill();
        QVERIFY(crashed->waitForFinished(5000));
        QVERIFY(QFileInfo::exists(box.path("runtime/vigilmount.socket")));

        auto next = box.start({"--headless"});
        QVERIFY(QTest::qWaitFor([&] { return box.kinds().count("appStarted") == 2; }, 10000));
        QCOMPARE(next->state(), QProcess::Running);
        next->terminate();
        QVERIFY(next->waitForFinished(10000));
        QCOMPARE(next->exitCode(), 0);
        QCOMPARE(box.kinds().last(), QStringLiteral("appStopped"));
    }
};

QTEST_GUILESS_MAIN(VigilmountProcessTest)
#include "VigilmountProcessTest.moc"
