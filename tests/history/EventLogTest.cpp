#include "history/EventLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <sys/stat.h>

using Kind = LogEvent::Kind;
using namespace std::chrono_literals;

namespace {

QString freshDir(const QString &name)
{
    const QString dir = qEnvironmentVariable("VIGILMOUNT_TEST_ROOT") + "/history-" + name;
    QDir(dir).removeRecursively();
    return dir;
}

QByteArray line(int n, const char *date = "2025-03-01T08:15:00Z", const char *kind = "info")
{
    return QStringLiteral("{\"id\":\"%1\",\"date\":\"%2\",\"kind\":\"%3\",\"detail\":\"n%4\"}")
        .arg(QUuid::createUuid().toString(QUuid::WithoutBraces), QLatin1String(date),
             QLatin1String(kind))
        .arg(n)
        .toUtf8();
}

void writeFile(const QString &dir, const QByteArray &content)
{
    QDir().mkpath(dir);
    QFile file(dir + "/events.jsonl");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

int unixMode(const QString &path)
{
    struct stat info
    {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList details(const QList<LogEvent> &events)
{
    QStringList result;
    for (const auto &event : events)
        result << event.detail;
    return result;
}

struct FixedClock
{
    Instant now = Instant(std::chrono::seconds(1'740'816'900)); // 2025-03-01T08:15:00Z
    FixedClock()
    {
        Clock::setSourceForTesting([this] { return now; });
    }
    ~FixedClock() { Clock::setSourceForTesting({}); }
};

} // namespace

class EventLogTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The first record reaches the list, the signal and a private file, as one line.
    void firstRecordCreatesPrivateFolderAndFile()
    {
        const QString dir = freshDir("first");
        EventLog log(dir);
        QVERIFY(log.events().isEmpty());
        QCOMPARE(log.fileURL(), dir + "/events.jsonl");
        QSignalSpy changed(&log, &EventLog::eventsChanged);
        log.record(Kind::plexDown, QStringLiteral("line\nbreak"));
        QCOMPARE(changed.count(), 1);
        log.flush();
        const QByteArray content = readFile(log.fileURL());
        QCOMPARE(content.count('\n'), 1);
        QVERIFY(content.endsWith("\"detail\":\"line\\nbreak\"}\n"));
        QCOMPARE(unixMode(dir), 0700);
        QCOMPARE(unixMode(log.fileURL()), 0600);
        QCOMPARE(EventLog(dir).events().size(), 1);
    }

    void loadSkipsWhatDoesNotDecode()
    {
        const QString dir = freshDir("bad");
        QByteArray hugeLine =
            "{\"id\":\"x\",\"detail\":\"" + QByteArray(2 * 1024 * 1024, 'a') + "\"}";
        writeFile(dir, line(1) + "\n\n" + line(2) + "\nnot json\n" +
                           line(3, "2025-03-01T08:15:00Z", "reboot") + "\n   \n" + line(4) + "\n" +
                           line(5).replace("n5", "\xc3\x28") + "\n" + hugeLine + "\n" + line(6) +
                           "\n\xff\xfe garbage \x80\n" + line(7));
        EventLog log(dir);
        QCOMPARE(details(log.events()), QStringList({"n1", "n2", "n4", "n6", "n7"}));
    }

    void tornLastLineDoesNotSwallowTheNextRecord()
    {
        const QString dir = freshDir("torn");
        writeFile(dir, line(1) + "\n" + line(2).left(30));
        {
            EventLog log(dir);
            QCOMPARE(log.events().size(), 1);
            log.record(Kind::info, QStringLiteral("after"));
        }
        QCOMPARE(details(EventLog(dir).events()), QStringList({"n1", "after"}));
    }

    // Loading and recording keep the newest 8000 in memory; the file keeps every line.
    void theCapDropsTheOldestFromMemoryOnly()
    {
        const QString dir = freshDir("cap");
        QByteArray content;
        for (int i = 0; i < 10000; ++i)
            content += line(i) + '\n';
        writeFile(dir, content);
        EventLog log(dir);
        QCOMPARE(log.events().first().detail, QStringLiteral("n2000"));
        QSignalSpy changed(&log, &EventLog::eventsChanged);
        log.record(Kind::info, QStringLiteral("n10000"));
        QCOMPARE(log.events().size(), 8000);
        QCOMPARE(log.events().first().detail, QStringLiteral("n2001"));
        QCOMPARE(log.events().last().detail, QStringLiteral("n10000"));
        QCOMPARE(changed.count(), 2);
        log.flush();
        const QByteArray file = readFile(log.fileURL());
        QCOMPARE(file.count('\n'), 10001);
        QVERIFY(file.contains("\"detail\":\"n0\""));
    }

    void pruneCutsToTheSecondAndAlwaysRewrites()
    {
        FixedClock clock;
        const QString dir = freshDir("prune");
        const Instant cutoff = clock.now - 30 * 24h;
        const auto iso = [](Instant t) { return LogEvent::formatDate(t).toLatin1(); };
        writeFile(dir, line(1, iso(cutoff - 1s)) + "\n" + line(2, iso(cutoff)) + "\nnot json\n" +
                           line(3, iso(clock.now)) + "\n");
        EventLog log(dir);
        log.prune(30);
        QCOMPARE(details(log.events()), QStringList({"n2", "n3"}));
        log.flush();
        QCOMPARE(readFile(log.fileURL()).count('\n'), 2);

        // Nothing to remove: the file is still compacted.
        writeFile(dir, readFile(log.fileURL()) + "junk\n");
        log.prune(30);
        log.flush();
        QVERIFY(!readFile(log.fileURL()).contains("junk"));

        log.prune(std::numeric_limits<qint64>::max()); // an absurd retention keeps everything
        QCOMPARE(log.events().size(), 2);
    }

    void clearLeavesAnEmptyFile()
    {
        const QString dir = freshDir("clear");
        EventLog log(dir);
        log.record(Kind::appStarted);
        log.clear();
        QVERIFY(log.events().isEmpty());
        log.flush();
        QVERIFY(QFileInfo::exists(log.fileURL()));
        QCOMPARE(QFileInfo(log.fileURL()).size(), 0);
    }

    void appendsQueuedBeforeARewriteAreNeitherLostNorDoubled()
    {
        const QString dir = freshDir("order");
        EventLog log(dir);
        for (int i = 0; i < 200; ++i) {
            log.record(Kind::info, QString::number(i));
            if (i % 50 == 0)
                log.prune(7);
        }
        log.record(Kind::appStopped);
        log.flush();
        const QList<LogEvent> onDisk = EventLog::loadFile(log.fileURL());
        QCOMPARE(onDisk.size(), 201);
        for (qsizetype i = 0; i < onDisk.size(); ++i) {
            QCOMPARE(onDisk[i].id, log.events()[i].id);
            QCOMPARE(onDisk[i].detail, log.events()[i].detail);
        }
    }

    void queriesByTimeAndKind()
    {
        FixedClock clock;
        const QString dir = freshDir("queries");
        EventLog log(dir);
        log.record(Kind::plexDown, QStringLiteral("old"));
        clock.now += 10s;
        log.record(Kind::volumeDown);
        const Instant second = clock.now;
        clock.now += 10s;
        log.record(Kind::plexDown, QStringLiteral("new"));
        QCOMPARE(log.eventsSince(second).size(), 2);
        QCOMPARE(log.eventsSince(clock.now + 1ms).size(), 0);
        QCOMPARE(log.lastEvent(Kind::plexDown)->detail, QStringLiteral("new"));
        QCOMPARE(log.lastEvent(Kind::wake), std::nullopt);
    }

    void exportWritesAtomicallyAndKeepsTheOldFileOnFailure()
    {
        const QString dir = freshDir("export");
        QDir().mkpath(dir);
        const QString path = dir + "/Vigilmount-history.tsv";
        QVERIFY(writeFileAtomically(path, "first"));
        QVERIFY(writeFileAtomically(path, "second"));
        QCOMPARE(readFile(path), QByteArray("second"));
        QCOMPARE(unixMode(path), 0600);
        QVERIFY(!writeFileAtomically(dir + "/missing-folder/x.tsv", "x"));
    }
};

QTEST_GUILESS_MAIN(EventLogTest)
#include "EventLogTest.moc"
