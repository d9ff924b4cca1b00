// Crash and disk-fault behaviour of the history, driven through child processes that run
// this same binary in a "child mode" and are killed or limited from outside.
#include "history/EventLog.h"
#include "platform/SystemLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>

namespace {

QString freshDir(const QString &name)
{
    const QString dir = qEnvironmentVariable("VIGILMOUNT_TEST_ROOT") + "/fault-" + name;
    QDir(dir).removeRecursively();
    return dir;
}

// Child: appends numbered records forever, printing each number once its append is on disk.
int appendForever(const QString &dir, int first)
{
    EventLog log(dir);
    for (int n = first;; ++n) {
        log.record(LogEvent::Kind::info, QString::number(n));
        log.flush();
        std::printf("%d\n", n);
        std::fflush(stdout);
    }
}

// Child: records under a tiny file-size limit; must neither crash nor lose memory history.
int appendUnderWriteLimit(const QString &dir)
{
    std::signal(SIGXFSZ, SIG_IGN);
    EventLog log(dir);
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    for (int n = 0; n < 300; ++n)
        log.record(LogEvent::Kind::info, QStringLiteral("record %1 with some padding text").arg(n));
    log.prune(7); // a rewrite that cannot fit either
    log.flush();
    std::printf("%lld\n", static_cast<long long>(log.events().size()));
    return 0;
}

int logOneLine(const QString &dir)
{
    SystemLog::setAlsoToStderr(true);
    EventLog log(dir, &SystemLog::write);
    log.record(LogEvent::Kind::info, QStringLiteral("%s %n %d 100%"));
    return 0;
}

QProcess *startChild(const QString &mode, const QString &dir, int first = 0)
{
    auto *child = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VM_CHILD", mode);
    env.insert("VM_DIR", dir);
    env.insert("VM_FIRST", QString::number(first));
    child->setProcessEnvironment(env);
    child->start(QCoreApplication::applicationFilePath(), {});
    return child;
}

} // namespace

class EventLogFaultTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedWriterNeverLosesACompletedAppend()
    {
        const QString dir = freshDir("kill");
        QSet<QString> completed;
        for (int round = 0; round < 8; ++round) {
            std::unique_ptr<QProcess> child(startChild("append", dir, round * 1'000'000));
            QVERIFY(child->waitForStarted());
            QTest::qWait(20 + QRandomGenerator::global()->bounded(200));
            ::kill(pid_t(child->processId()), SIGKILL);
            QVERIFY(child->waitForFinished());
            for (const QByteArray &n : child->readAllStandardOutput().split('\n'))
                if (!n.isEmpty())
                    completed.insert(QString::fromLatin1(n));
        }
        QVERIFY2(completed.size() > 8, "children got some work done");
        QSet<QString> onDisk;
        for (const LogEvent &event : EventLog::loadFile(dir + "/events.jsonl"))
            onDisk.insert(event.detail);
        for (const QString &n : completed)
            QVERIFY2(onDisk.contains(n), qPrintable("lost record " + n));
    }

    void aFullDiskNeitherCrashesNorLosesTheMemoryHistory()
    {
        const QString dir = freshDir("limit");
        std::unique_ptr<QProcess> child(startChild("limit", dir));
        QVERIFY(child->waitForFinished(60000));
        QCOMPARE(child->exitStatus(), QProcess::NormalExit);
        QCOMPARE(child->exitCode(), 0);
        QCOMPARE(child->readAllStandardOutput().trimmed(), QByteArray("300"));
        QVERIFY(QFileInfo(dir + "/events.jsonl").size() <= 4096);
        const QList<LogEvent> onDisk = EventLog::loadFile(dir + "/events.jsonl");
        QVERIFY(!onDisk.isEmpty());
        for (int i = 0; i < onDisk.size(); ++i)
            QVERIFY(onDisk[i].detail.startsWith(QStringLiteral("record %1 ").arg(i)));
    }

    void systemLogTakesTheDetailLiterally()
    {
        std::unique_ptr<QProcess> child(startChild("syslog", freshDir("syslog")));
        QVERIFY(child->waitForFinished(30000));
        QCOMPARE(child->exitCode(), 0);
        QVERIFY2(child->readAllStandardError().contains("[Vigilmount] info: %s %n %d 100%"),
                 "the line reaches the log unformatted");
    }
};

int main(int argc, char **argv)
{
    const QString mode = qEnvironmentVariable("VM_CHILD");
    const QString dir = qEnvironmentVariable("VM_DIR");
    if (mode == QLatin1String("append"))
        return appendForever(dir, qEnvironmentVariableIntValue("VM_FIRST"));
    if (mode == QLatin1String("limit"))
        return appendUnderWriteLimit(dir);
    if (mode == QLatin1String("syslog"))
        return logOneLine(dir);
    QCoreApplication app(argc, argv);
    EventLogFaultTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "EventLogFaultTest.moc"
