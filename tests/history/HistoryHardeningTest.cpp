// The history against an unlucky or hostile world, grouped by resource: a full disk (a 64 KiB
// tmpfs in this process's own mount namespace), files that are not the user's own, a file the
// user cannot read, two writers at once, a clock far ahead, huge details, the export format and
// the system log. Children run this same binary in a "child mode".
#include "history/EventLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QProcess>
#include <QTest>
#include <cstdio>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using Kind = LogEvent::Kind;
using namespace std::chrono_literals;

namespace {

bool privateMounts = false; // this process may mount its own tmpfs

QString freshDir(const QString &name)
{
    const QString dir = qEnvironmentVariable("VIGILMOUNT_TEST_ROOT") + "/harden-" + name;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray line(const QString &detail, Instant date = Clock::now())
{
    return LogEvent{QUuid::createUuid(), date, Kind::info, detail}.toJson() + '\n';
}

QStringList details(const QList<LogEvent> &events)
{
    QStringList result;
    for (const auto &event : events)
        result << event.detail;
    return result;
}

// What a file is, beyond its bytes: kind, mode and owner.
QString fingerprint(const QString &path)
{
    struct stat info
    {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("missing");
    QString text = QStringLiteral("%1 %2 %3")
                       .arg(info.st_mode, 0, 8)
                       .arg(info.st_uid)
                       .arg(S_ISREG(info.st_mode) ? QString::fromUtf8(readFile(path)) : QString());
    if (S_ISDIR(info.st_mode)) {
        for (const QString &entry : QDir(path).entryList(QDir::NoDotAndDotDot | QDir::AllEntries))
            text += " [" + entry + ": " + fingerprint(path + '/' + entry) + ']';
    }
    return text;
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

// Collects the system-log lines the history sends (on its writer thread).
struct LogLines
{
    QMutex mutex;
    QStringList lines;
    EventLog::LineSink sink()
    {
        return [this](const QString &text) {
            QMutexLocker lock(&mutex);
            lines << text;
        };
    }
    qsizetype count(const QString &part)
    {
        QMutexLocker lock(&mutex);
        return std::count_if(lines.cbegin(), lines.cend(),
                             [&](const QString &text) { return text.contains(part); });
    }
};

// A 64 KiB tmpfs, gone again when the test ends.
struct SmallDisk
{
    QString path;
    bool mounted;
    explicit SmallDisk(const QString &name)
        : path(freshDir(name)),
          mounted(privateMounts && ::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs",
                                           MS_NOSUID | MS_NODEV, "size=64k,mode=0700") == 0)
    {}
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(QFile::encodeName(path).constData(), MNT_DETACH);
    }
    void fill() const
    {
        QFile filler(path + "/filler");
        if (filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            while (filler.write(QByteArray(1024, 'f')) == 1024) {
            }
    }
};

QProcess *startChild(const QString &mode, const QString &dir, const QString &program = {},
                     const QStringList &arguments = {})
{
    auto *child = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VM_CHILD", mode);
    env.insert("VM_DIR", dir);
    child->setProcessEnvironment(env);
    child->start(program.isEmpty() ? QCoreApplication::applicationFilePath() : program, arguments);
    return child;
}

// Child: appends numbered records as fast as it can.
int appendMany(const QString &dir)
{
    EventLog log(dir);
    for (int n = 0; n < 2000; ++n)
        log.record(Kind::info, QStringLiteral("%1-%2").arg(::getpid()).arg(n));
    return 0;
}

// Child (without the right to read what it does not may read): records, prunes and clears.
int useUnreadableHistory(const QString &dir)
{
    {
        EventLog log(dir, [](const QString &text) { std::printf("%s\n", qPrintable(text)); });
        log.record(Kind::info, QStringLiteral("after"));
        log.prune(30);
        log.clear();
    }
    std::fflush(stdout);
    return 0;
}

} // namespace

class HistoryHardeningTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // ---- disk ---------------------------------------------------------------------------

    void aFullDiskNeverReplacesAFileWithLess()
    {
        SmallDisk disk("full");
        if (!disk.mounted)
            QSKIP("needs root in a private mount namespace");
        EventLog log(disk.path + "/history");
        for (int n = 0; n < 40; ++n)
            log.record(Kind::info, QStringLiteral("record %1 with some words of padding").arg(n));
        log.flush();
        const QString exported = disk.path + "/history.tsv";
        QVERIFY(writeFileAtomically(exported, "old export"));
        const QByteArray history = readFile(log.fileURL());
        QVERIFY(history.size() > 4096 && history.size() < 16 * 1024);
        disk.fill();

        log.prune(30); // rewrites the file with the same 40 records
        log.flush();
        QCoreApplication::processEvents();
        QVERIFY(log.lastWriteError().has_value());
        QCOMPARE(readFile(log.fileURL()), history);
        QVERIFY(!writeFileAtomically(exported, log.exportTSV().toUtf8()));
        QCOMPARE(readFile(exported), QByteArray("old export"));
        QCOMPARE(log.events().size(), 40);
        QCOMPARE(QDir(disk.path + "/history").entryList(QDir::Files),
                 QStringList{"events.jsonl"}); // no temporary file left behind
    }

    // ---- files that are not the user's own -----------------------------------------------

    void aHistoryThatIsNotAnOwnRegularFileIsLeftAlone_data()
    {
        // Each row builds the folder and names the path that must stay exactly as it was.
        QTest::addColumn<std::function<QString(const QString &dir)>>("prepare");
        QTest::newRow("file is a link") << std::function([](const QString &dir) {
            writeFile(dir + "/../target", line("theirs"));
            ::symlink("../target", QFile::encodeName(dir + "/events.jsonl").constData());
            return dir + "/../target";
        });
        QTest::newRow("folder is a link") << std::function([](const QString &dir) {
            QDir(dir).removeRecursively();
            QDir().mkpath(dir + "-target");
            ::chmod(QFile::encodeName(dir + "-target").constData(), 0755);
            writeFile(dir + "-target/events.jsonl", line("theirs"));
            ::symlink(QFile::encodeName(dir + "-target").constData(),
                      QFile::encodeName(dir).constData());
            return dir + "-target";
        });
        QTest::newRow("file of another user") << std::function([](const QString &dir) {
            writeFile(dir + "/events.jsonl", line("theirs"));
            ::chown(QFile::encodeName(dir + "/events.jsonl").constData(), 65534, 65534);
            return dir + "/events.jsonl";
        });
        QTest::newRow("folder of another user") << std::function([](const QString &dir) {
            ::chmod(QFile::encodeName(dir).constData(), 0755);
            ::chown(QFile::encodeName(dir).constData(), 65534, 65534);
            return dir;
        });
        QTest::newRow("pipe") << std::function([](const QString &dir) {
            ::mkfifo(QFile::encodeName(dir + "/events.jsonl").constData(), 0600);
            return dir + "/events.jsonl";
        });
    }

    void aHistoryThatIsNotAnOwnRegularFileIsLeftAlone()
    {
        QFETCH(std::function<QString(const QString &)>, prepare);
        const QString dir = freshDir("foreign") + "/Vigilmount";
        QDir().mkpath(dir);
        const QString witness = prepare(dir);
        const QString before = fingerprint(witness);
        LogLines logLines;
        {
            EventLog log(dir, logLines.sink());
            log.record(Kind::info, QStringLiteral("mine"));
            log.prune(30);
            log.record(Kind::info, QStringLiteral("mine too"));
            log.clear();
            log.record(Kind::info, QStringLiteral("still mine"));
            QCOMPARE(details(log.events()), QStringList{"still mine"});
        }
        QCOMPARE(fingerprint(witness), before);
        QCOMPARE(logLines.count("of yours"), 1);
        QCOMPARE(logLines.count("info: "), 3);
    }

    void anUnreadableHistoryIsOnlyAppendedTo()
    {
        // Root reads anything; the child runs without the capabilities that allow that.
        const QString dir = freshDir("unreadable");
        const QString path = dir + "/events.jsonl";
        QVERIFY(writeFile(path, line("n1") + line("n2")));
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0200) == 0);
        std::unique_ptr<QProcess> child(
            startChild("unreadable", dir, "setpriv",
                       {"--bounding-set=-dac_override,-dac_read_search", "--",
                        QCoreApplication::applicationFilePath()}));
        QVERIFY(child->waitForFinished(10000));
        QCOMPARE(child->exitCode(), 0);
        const QByteArray output = child->readAllStandardOutput();
        QCOMPARE(output.count("couldn't be read"), 1);
        QCOMPARE(details(EventLog::loadFile(path)), QStringList({"n1", "n2", "after"}));
    }

    // ---- two writers ---------------------------------------------------------------------

    void twoWritersNeverOverwriteEachOther()
    {
        const QString dir = freshDir("writers");
        std::unique_ptr<QProcess> first(startChild("append", dir));
        std::unique_ptr<QProcess> second(startChild("append", dir));
        QVERIFY(first->waitForFinished(20000) && second->waitForFinished(20000));
        QCOMPARE(first->exitCode() + second->exitCode(), 0);
        QCOMPARE(EventLog::loadFile(dir + "/events.jsonl").size(), 4000);
    }

    // ---- clock ---------------------------------------------------------------------------

    void aClockFarAheadPostponesThePrune()
    {
        FixedClock clock;
        const QString dir = freshDir("clock");
        QByteArray content;
        for (int day = 40; day >= 1; --day)
            content += line(QString::number(day), clock.now - day * 24h);
        QVERIFY(writeFile(dir + "/events.jsonl", content));
        LogLines logLines;
        EventLog log(dir, logLines.sink());

        for (const auto ahead : {120 * 24h, 365 * 24h}) {
            clock.now += ahead;
            log.prune(30);
            QCOMPARE(log.events().size(), 40);
            clock.now -= ahead;
        }
        clock.now += 20 * 24h; // within the retention of the newest record: prunes as usual
        log.prune(30);
        QCOMPARE(details(log.events()).first(), QStringLiteral("10"));
        log.flush();
        QCOMPARE(logLines.count("The clock is more than 30 days ahead"), 1);
    }

    // ---- record size ---------------------------------------------------------------------

    void everyRecordedDetailCanBeReadBack_data()
    {
        QTest::addColumn<QString>("detail");
        QTest::newRow("escaped six bytes a character") << QString(1'200'000, QChar(1));
        QTest::newRow("pairs of surrogates")
            << QString::fromUtf8("\xF0\x9F\x98\x80").repeated(300'000);
    }

    void everyRecordedDetailCanBeReadBack()
    {
        QFETCH(QString, detail);
        const QString dir = freshDir("size");
        EventLog log(dir);
        log.record(Kind::volumeDown, detail);
        log.flush();
        const QList<LogEvent> loaded = EventLog::loadFile(log.fileURL());
        QCOMPARE(loaded.size(), 1);
        QCOMPARE(loaded.first().detail, log.events().first().detail);
        QVERIFY(loaded.first().detail.endsWith(QChar(0x2026)));
        QVERIFY(loaded.first().detail.size() <= LogEvent::maxDetailLength);
        QVERIFY(detail.startsWith(loaded.first().detail.chopped(1)));
    }

    // ---- export and system log -----------------------------------------------------------

    void exportedFieldsKeepTheirColumns()
    {
        FixedClock clock;
        EventLog log(freshDir("export"));
        log.record(Kind::plexDown, QStringLiteral("a\tb\r\nc"));
        log.record(Kind::info, QStringLiteral("\"quoted\" back\\slash \u00e9 ;,"));
        QCOMPARE(log.exportTSV(), QStringLiteral("timestamp\tevent\tdetail\n"
                                                 "2025-03-01T08:15:00Z\tplexDown\ta b  c\n"
                                                 "2025-03-01T08:15:00Z\tinfo\t\"quoted\" "
                                                 "back\\slash \u00e9 ;,"));
    }

    void theFileHasTheRecordBeforeTheSystemLogSeesIt()
    {
        const QString dir = freshDir("order");
        QStringList seenInFile;
        EventLog log(dir, [&](const QString &text) {
            const QString detail = text.section(QStringLiteral(": "), 1);
            if (readFile(dir + "/events.jsonl").contains(detail.toUtf8()))
                seenInFile << detail;
        });
        log.record(Kind::info, QStringLiteral("first"));
        log.record(Kind::info, QStringLiteral("second"));
        log.flush();
        QCOMPARE(seenInFile, QStringList({"first", "second"}));
    }
};

int main(int argc, char **argv)
{
    const QString mode = qEnvironmentVariable("VM_CHILD");
    const QString dir = qEnvironmentVariable("VM_DIR");
    if (mode == QLatin1String("append"))
        return appendMany(dir);
    if (mode == QLatin1String("unreadable"))
        return useUnreadableHistory(dir);
    // Mounts made here stay in this process (single-threaded still, as unshare needs).
    privateMounts = ::unshare(CLONE_NEWNS) == 0 &&
                    ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    QCoreApplication app(argc, argv);
    HistoryHardeningTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "HistoryHardeningTest.moc"
