#include "PlatformTestSupport.h"
#include "platform/PlexController.h"
#include "platform/ProcessSetup.h"
#include "platform/ProcessTable.h"

#include <QTemporaryDir>

#include <csignal>
#include <optional>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using PlatformTestSupport::writeFile;

namespace {

const QString probe = QStringLiteral(PROBE_PATH);
const QString relativePath = u"rel/Plex Media Server"_s;

QList<qint64> liveProbes()
{
    QList<qint64> pids;
    ProcessTable table(u"/proc"_s);
    for (qint64 pid : table.pids()) {
        if (table.nameOf(pid) == "launch-probe" && table.isAlive(pid))
            pids.append(pid);
    }
    return pids;
}

Outcome<QString> launchAndWait(const QString &configured)
{
    auto result = std::make_shared<std::optional<Outcome<QString>>>();
    PlexController::launch(configured, [result](Outcome<QString> outcome) {
        QMetaObject::invokeMethod(qApp, [result, outcome] { *result = outcome; });
    });
    if (!QTest::qWaitFor([&] { return result->has_value(); }, 10000))
        return Outcome<QString>::failure(u"no outcome"_s);
    return **result;
}

} // namespace

// What a started server inherits, and where a configured path points to.
class LaunchedServerTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_startFolder = QDir::currentPath();

    QString report() const { return m_dir.filePath(u"report"_s); }
    QString entry() const
    {
        return m_dir.filePath(u"data/applications/com.plexapp.plexmediaserver.desktop"_s);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(QFileInfo(probe).isExecutable(), qPrintable(probe));
        QVERIFY(!QFileInfo::exists(PlexController::packagedBinaryPath));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(u"data"_s)));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(m_dir.filePath(u"system"_s)));
        qputenv("VIGILMOUNT_PROBE_REPORT", QFile::encodeName(report()));
        // Started from a shell that ignores some signals and blocks others, by a user whose
        // umask is 022; then the program makes its own files private and ignores SIGXFSZ.
        ::umask(022);
        ::signal(SIGINT, SIG_IGN);
        ::signal(SIGQUIT, SIG_IGN);
        ::signal(SIGPIPE, SIG_IGN);
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
        for (qint64 pid : liveProbes())
            ::kill(pid_t(pid), SIGKILL);
        QTRY_VERIFY(liveProbes().isEmpty());
        QFile::remove(report());
        QFile::remove(entry());
        QVERIFY(QDir::setCurrent(m_startFolder));
        QVERIFY(QDir(QDir::homePath() + u"/rel"_s).removeRecursively());
    }

    void serverGetsTheUsersUmaskAndDefaultSignals_data()
    {
        QTest::addColumn<QString>("configured");
        QTest::addColumn<bool>("registered");
        QTest::newRow("executable at the configured path") << probe << false;
        QTest::newRow("registered desktop entry") << u"/not/installed"_s << true;
    }

    void serverGetsTheUsersUmaskAndDefaultSignals()
    {
        QFETCH(QString, configured);
        QFETCH(bool, registered);
        if (registered) {
            QVERIFY(writeFile(entry(), "[Desktop Entry]\nType=Application\nName=Probe\nExec=\"" +
                                           QFile::encodeName(probe) + "\"\n"));
        }
        const Outcome<QString> launched = launchAndWait(configured);
        QVERIFY2(launched.ok(), qPrintable(launched.error()));
        QTRY_VERIFY(QFileInfo::exists(report()));
        QFile text(report());
        QVERIFY(text.open(QIODevice::ReadOnly));
        QCOMPARE(text.readAll(), QByteArray("umask 0022\nnot default:\nblocked:\n"));
        // The program itself stays private.
        QCOMPARE(::umask(077), mode_t(077));
    }

    // Relative to the home folder, where the server runs, whatever the working folder is.
    void relativePathLivesBelowHome_data()
    {
        QTest::addColumn<bool>("belowHome"); // else in the working folder only
        QTest::addColumn<QString>("outcome");
        QTest::newRow("below home") << true << (QDir::homePath() + u"/"_s + relativePath);
        QTest::newRow("only in the working folder")
            << false
            << u"Plex Media Server wasn't found at \"rel/Plex Media Server\" and isn't registered "
               "with the system. Set the correct path in Settings."_s;
    }

    void relativePathLivesBelowHome()
    {
        QFETCH(bool, belowHome);
        QFETCH(QString, outcome);
        const QTemporaryDir workFolder;
        QVERIFY(QDir::setCurrent(workFolder.path()));
        const QString base = belowHome ? QDir::homePath() : workFolder.path();
        QVERIFY(QDir().mkpath(base + u"/rel"_s));
        QVERIFY(QFile::link(probe, base + u"/"_s + relativePath));
        const Outcome<QString> launched = launchAndWait(relativePath);
        QCOMPARE(launched.ok() ? launched.value() : launched.error(), outcome);
        QCOMPARE(liveProbes().size(), belowHome ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(LaunchedServerTest)
#include "LaunchedServerTest.moc"
