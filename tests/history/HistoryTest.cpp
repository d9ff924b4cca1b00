// The history's records, its file and its faults: killed or rate-limited writers, a full disk,
// files that are not the user's own or cannot be read, two writers at once and a clock far
// ahead. Children run this same binary in the mode that VM_CHILD names.
#include "history/EventLog.h"

#include "SmallDisk.h"

#include <QCoreApplication>
#include <QDir>
#include <QMutex>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using Kind = LogEvent::Kind;
using namespace std::chrono_literals;

namespace {

QString freshDir(const QString &name)
{
    const QString dir = qEnvironmentVariable("VIGILMOUNT_TEST_ROOT") + "/history-" + name;
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

std::string_view view(const QByteArray &bytes)
{
    return {bytes.constData(), size_t(bytes.size())};
}

LogEvent at(const char *isoDate, Kind kind, const QString &detail)
{
    const QDateTime date = QDateTime::fromString(isoDate, Qt::ISODateWithMs);
    return LogEvent{QUuid::createUuid(), Clock::fromDateTime(date), kind, detail};
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

// Starts this binary (or the program, running it) as a child with the given variables.
std::unique_ptr<QProcess> startChild(const QStringList &variables, const QString &program = {},
                                     const QStringList &arguments = {})
{
    auto child = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &variable : variables)
        env.insert(variable.section('=', 0, 0), variable.section('=', 1));
    child->setProcessEnvironment(env);
    child->start(program.isEmpty() ? QCoreApplication::applicationFilePath() : program, arguments);
    return child;
}

// Child: appends VM_COUNT numbered records from VM_FIRST on, printing each number once it is on
// disk.
int appendRecords(const QString &dir)
{
    EventLog log(dir);
    const int first = qEnvironmentVariableIntValue("VM_FIRST");
    for (int n = first; n < first + qEnvironmentVariableIntValue("VM_COUNT"); ++n) {
        log.record(Kind::info, QString::number(n));
        log.flush();
        std::printf("%d\n", n);
        std::fflush(stdout);
    }
    return 0;
}

// Child: records under a tiny file-size limit; must neither crash nor lose the memory history,
// and must know that writing failed.
int appendUnderWriteLimit(const QString &dir)
{
    int argc = 0;
    QCoreApplication app(argc, nullptr); // the write results come back through its event queue
    std::signal(SIGXFSZ, SIG_IGN);
    EventLog log(dir);
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    for (int n = 0; n < 300; ++n)
        log.record(Kind::info, QStringLiteral("record %1 with some padding text").arg(n));
    log.prune(7); // a rewrite that cannot fit either
    log.flush();
    QCoreApplication::processEvents();
    std::printf("%lld %s\n", static_cast<long long>(log.events().size()),
                log.lastWriteError() ? "failed" : "written");
    return 0;
}

// Child (without the right to read what it may not read): records, prunes and clears.
int useUnreadableHistory(const QString &dir)
{
    EventLog log(dir, [](const QString &text) { std::printf("%s\n", qPrintable(text)); });
    log.record(Kind::info, QStringLiteral("after"));
    log.prune(30);
    log.clear();
    return 0; // the history's destructor finishes its writes, then exit() flushes the output
}

} // namespace

class HistoryTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyKindRoundTripsAndBelongsToAtMostOneClass()
    {
        for (int i = 0; i < LogEvent::kindCount; ++i) {
            const auto kind = Kind(i);
            QCOMPARE(LogEvent::kindFromRaw(LogEvent::rawValue(kind).toStdString()), kind);
            const int classes =
                LogEvent::isOutage(kind) + LogEvent::isRepair(kind) + LogEvent::isFailure(kind);
            QVERIFY2(classes <= 1, qPrintable(LogEvent::rawValue(kind)));
            QCOMPARE(LogEvent::isIncident(kind), classes == 1);
        }
    }

    void hostileDetailsRoundTripOnOneLine_data()
    {
        QTest::addColumn<QString>("detail");
        QTest::newRow("empty") << QString();
        QTest::newRow("tab and line feed") << QStringLiteral("a\tb\nc\r\n");
        QTest::newRow("quotes and backslash") << QStringLiteral("say \"hi\" \\ there");
        QTest::newRow("non-ASCII") << QStringLiteral("Médiathèque — 日本 🎬");
        QTest::newRow("control characters") << QString::fromUtf8("\x01\x1f\x7f");
        QTest::newRow("format directives") << QStringLiteral("%s %n %%");
    }
    void hostileDetailsRoundTripOnOneLine()
    {
        QFETCH(QString, detail);
        const LogEvent event = at("2025-03-01T08:15:00Z", Kind::plexDown, detail);
        const QByteArray json = event.toJson();
        QVERIFY(!json.contains('\n'));
        QCOMPARE(LogEvent::fromJson(view(json)).value_or(LogEvent{}), event);
    }

    void encodesTheExactForm()
    {
        LogEvent event = at("2025-03-01T08:15:00.750Z", Kind::plexDown, QStringLiteral("x"));
        event.id = QUuid::fromString(QStringLiteral("0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0"));
        QCOMPARE(event.toJson(),
                 QByteArray(R"({"id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","date":)"
                            R"("2025-03-01T08:15:00Z","kind":"plexDown","detail":"x"})"));
        // The fraction is lost on the way out, so the copy is not equal to the original.
        const auto decoded = LogEvent::fromJson(view(event.toJson()));
        QVERIFY(decoded && !(*decoded == event));
        QCOMPARE(Clock::toDateTime(decoded->date).time().msec(), 0);
        const QByteArray offset = event.toJson().replace("08:15:00Z", "09:15:00+01:00");
        QCOMPARE(LogEvent::fromJson(view(offset)), decoded); // the same instant
    }

    void decodingRules_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("accepted");
        const QByteArray id = R"("id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0")";
        const QByteArray date = R"("date":"2025-03-01T08:15:00Z")";
        const QByteArray kind = R"("kind":"wake")";
        const QByteArray detail = R"("detail":"")";
        const auto obj = [](std::initializer_list<QByteArray> members) {
            return "{" + QByteArrayList(members).join(',') + "}";
        };
        const auto withId = [&](const char *value) {
            return obj({QByteArray(R"("id":)") + value, date, kind, detail});
        };
        const auto withDate = [&](const char *value) {
            return obj({id, QByteArray(R"("date":)") + value, kind, detail});
        };
        QTest::newRow("complete") << obj({id, date, kind, detail}) << true;
        QTest::newRow("other key order") << obj({detail, kind, date, id}) << true;
        QTest::newRow("extra members")
            << obj({id, date, R"("x":[1,{"y":null}])", kind, detail}) << true;
        QTest::newRow("lower-case id")
            << withId(R"("0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0")") << true;
        QTest::newRow("zone offset") << withDate(R"("2025-03-01T09:15:00+01:00")") << true;
        QTest::newRow("missing detail") << obj({id, date, kind}) << false;
        QTest::newRow("missing id") << obj({date, kind, detail}) << false;
        QTest::newRow("detail is a number") << obj({id, date, kind, R"("detail":3)"}) << false;
        QTest::newRow("detail is null") << obj({id, date, kind, R"("detail":null)"}) << false;
        QTest::newRow("unknown kind") << obj({id, date, R"("kind":"reboot")", detail}) << false;
        QTest::newRow("kind in other case") << obj({id, date, R"("kind":"Wake")", detail}) << false;
        QTest::newRow("fractional seconds") << withDate(R"("2025-03-01T08:15:00.5Z")") << false;
        QTest::newRow("no zone") << withDate(R"("2025-03-01T08:15:00")") << false;
        QTest::newRow("impossible day") << withDate(R"("2025-02-30T08:15:00Z")") << false;
        QTest::newRow("date as number") << withDate("760000000") << false;
        QTest::newRow("braced id")
            << withId(R"("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}")") << false;
        QTest::newRow("non-hexadecimal id")
            << withId(R"("0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1FG")") << false;
        QTest::newRow("short id") << withId(R"("0F1E2D3C")") << false;
        QTest::newRow("array") << QByteArray("[1,2]") << false;
        QTest::newRow("trailing garbage") << obj({id, date, kind, detail}) + " x" << false;
        QTest::newRow("truncated") << obj({id, date, kind, detail}).chopped(3) << false;
        QTest::newRow("broken ignored member")
            << obj({id, date, R"("x":tru)", kind, detail}) << false;
        QTest::newRow("invalid UTF-8") << obj({id, date, kind, "\"detail\":\"\xff\xfe\""}) << false;
    }
    void decodingRules()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, accepted);
        QCOMPARE(LogEvent::fromJson(view(json)).has_value(), accepted);
    }

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
        EventLog log(freshDir("size"));
        log.record(Kind::volumeDown, detail);
        log.flush();
        const QList<LogEvent> loaded = EventLog::loadFile(log.fileURL());
        QCOMPARE(loaded.size(), 1);
        QCOMPARE(loaded.first().detail, log.events().first().detail);
        QVERIFY(loaded.first().detail.endsWith(QChar(0x2026)));
        QVERIFY(loaded.first().detail.size() <= LogEvent::maxDetailLength);
        QVERIFY(detail.startsWith(loaded.first().detail.chopped(1)));
    }

    void exportedFieldsKeepTheirColumns()
    {
        EventLog log(freshDir("export"));
        QCOMPARE(log.exportTSV(QList<LogEvent>{}), QStringLiteral("timestamp\tevent\tdetail"));
        const QList<LogEvent> two = {
            at("2025-03-01T08:15:00.999Z", Kind::plexDown, QStringLiteral("a\tb\r\nc")),
            at("2025-03-02T10:00:00Z", Kind::info, QStringLiteral("\"q\" back\\slash \u00e9 ;,")),
        };
        QCOMPARE(log.exportTSV(two), QStringLiteral("timestamp\tevent\tdetail\n"
                                                    "2025-03-01T08:15:00Z\tplexDown\ta b  c\n"
                                                    "2025-03-02T10:00:00Z\tinfo\t\"q\" "
                                                    "back\\slash \u00e9 ;,"));
    }

    // The first record reaches the list, the signal and a private file, as one line.
    void firstRecordCreatesPrivateFolderAndFile()
    {
        const QString dir = freshDir("first") + "/Vigilmount";
        EventLog log(dir);
        QSignalSpy changed(&log, &EventLog::eventsChanged);
        log.record(Kind::plexDown, QStringLiteral("line\nbreak"));
        QCOMPARE(changed.count(), 1);
        log.flush();
        const QByteArray content = readFile(log.fileURL());
        QCOMPARE(content.count('\n'), 1);
        QVERIFY(content.endsWith("\"detail\":\"line\\nbreak\"}\n"));
        QCOMPARE(fingerprint(dir).left(5), QStringLiteral("40700"));
        QCOMPARE(fingerprint(log.fileURL()).left(6), QStringLiteral("100600"));
        QCOMPARE(EventLog(dir).events().size(), 1);
    }

    // Bad lines are skipped; a last line without its line feed is read, and the next record
    // still starts a line of its own.
    void loadSkipsWhatDoesNotDecode()
    {
        const QString dir = freshDir("bad");
        const QByteArray hugeLine =
            "{\"id\":\"x\",\"detail\":\"" + QByteArray(2 << 20, 'a') + "\"}";
        QByteArray unknownKind = line("n3"), badUtf8 = line("n5");
        QVERIFY(writeFile(dir + "/events.jsonl",
                          line("n1") + "\n" + line("n2") + "not json\n" +
                              unknownKind.replace("\"info\"", "\"reboot\"") + "   \n" + line("n4") +
                              badUtf8.replace("n5", "\xc3\x28") + hugeLine + "\n" + line("n6") +
                              "\xff\xfe garbage \x80\n" + line("n7").chopped(1)));
        {
            EventLog log(dir);
            QCOMPARE(details(log.events()), QStringList({"n1", "n2", "n4", "n6", "n7"}));
            log.record(Kind::info, QStringLiteral("after"));
        }
        QCOMPARE(details(EventLog(dir).events()),
                 QStringList({"n1", "n2", "n4", "n6", "n7", "after"}));
    }

    // Loading and recording keep the newest 8000 in memory; the file keeps every line.
    void theCapDropsTheOldestFromMemoryOnly()
    {
        const QString dir = freshDir("cap");
        QByteArray content;
        for (int i = 0; i < 10000; ++i)
            content += line("n" + QString::number(i));
        QVERIFY(writeFile(dir + "/events.jsonl", content));
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

    // A prune cuts to the second and always rewrites (compacts) the file; a clear empties it.
    void pruneAndClearRewriteTheFile()
    {
        FixedClock clock;
        const QString dir = freshDir("prune");
        const QString path = dir + "/events.jsonl";
        const Instant cutoff = clock.now - 30 * 24h;
        QVERIFY(writeFile(path, line("n1", cutoff - 1s) + line("n2", cutoff) + "not json\n" +
                                    line("n3", clock.now)));
        EventLog log(dir);
        log.prune(30);
        QCOMPARE(details(log.events()), QStringList({"n2", "n3"}));
        log.flush();
        QCOMPARE(readFile(path).count('\n'), 2);

        QVERIFY(writeFile(path, readFile(path) + "junk\n"));
        log.prune(30); // nothing to remove: the file is still compacted
        log.flush();
        QVERIFY(!readFile(path).contains("junk"));

        log.prune(std::numeric_limits<qint64>::max()); // an absurd retention keeps everything
        QCOMPARE(log.events().size(), 2);
        log.clear();
        QVERIFY(log.events().isEmpty());
        log.flush();
        QVERIFY(QFileInfo::exists(path));
        QCOMPARE(QFileInfo(path).size(), 0);
    }

    void appendsQueuedBeforeARewriteAreNeitherLostNorDoubled()
    {
        EventLog log(freshDir("queue"));
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
        EventLog log(freshDir("queries"));
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

    // The system log gets the detail literally, and only once the file has the record.
    void theFileHasTheRecordBeforeTheSystemLogSeesIt()
    {
        const QString dir = freshDir("order");
        QStringList seenInFile;
        EventLog log(dir, [&](const QString &text) {
            if (readFile(dir + "/events.jsonl").contains(text.section(": ", 1).toUtf8()))
                seenInFile << text;
        });
        log.record(Kind::info, QStringLiteral("first %1 %s"));
        log.record(Kind::wake, QStringLiteral("second"));
        log.flush();
        QCOMPARE(seenInFile,
                 QStringList({"[Vigilmount] info: first %1 %s", "[Vigilmount] wake: second"}));
    }

    void killedWriterNeverLosesACompletedAppend()
    {
        const QString dir = freshDir("kill");
        QSet<QString> completed;
        for (int round = 0; round < 8; ++round) {
            auto child = startChild({"VM_CHILD=append", "VM_DIR=" + dir, "VM_COUNT=1000000",
                                     "VM_FIRST=" + QString::number(round * 1'000'000)});
            QVERIFY(child->waitForStarted());
            QTest::qWait(20 + QRandomGenerator::global()->bounded(200));
            ::kill(pid_t(child->processId()), SIGKILL);
            QVERIFY(child->waitForFinished());
            for (const QByteArray &n : child->readAllStandardOutput().split('\n'))
                if (!n.isEmpty())
                    completed.insert(QString::fromLatin1(n));
        }
        QVERIFY2(completed.size() > 8, "children got some work done");
        // Every line of the file: a load keeps only the newest records, and the children may
        // write more than that.
        QSet<QString> onDisk;
        for (const QByteArray &line : readFile(dir + "/events.jsonl").split('\n')) {
            if (const std::optional<LogEvent> event = LogEvent::fromJson(view(line)))
                onDisk.insert(event->detail);
        }
        for (const QString &n : completed)
            QVERIFY2(onDisk.contains(n), qPrintable("lost record " + n));
    }

    void twoWritersNeverOverwriteEachOther()
    {
        const QString dir = freshDir("writers");
        const QStringList variables = {"VM_CHILD=append", "VM_DIR=" + dir, "VM_COUNT=2000"};
        auto first = startChild(variables), second = startChild(variables);
        QVERIFY(first->waitForFinished(20000) && second->waitForFinished(20000));
        QCOMPARE(first->exitCode() + second->exitCode(), 0);
        QCOMPARE(EventLog::loadFile(dir + "/events.jsonl").size(), 4000);
    }

    void aFileSizeLimitNeitherCrashesNorLosesTheMemoryHistory()
    {
        const QString dir = freshDir("limit");
        auto child = startChild({"VM_CHILD=limit", "VM_DIR=" + dir});
        QVERIFY(child->waitForFinished(60000));
        QCOMPARE(child->exitStatus(), QProcess::NormalExit);
        QCOMPARE(child->exitCode(), 0);
        QCOMPARE(child->readAllStandardOutput().trimmed(), QByteArray("300 failed"));
        QVERIFY(QFileInfo(dir + "/events.jsonl").size() <= 4096);
        const QList<LogEvent> onDisk = EventLog::loadFile(dir + "/events.jsonl");
        QVERIFY(!onDisk.isEmpty());
        for (int i = 0; i < onDisk.size(); ++i)
            QVERIFY(onDisk[i].detail.startsWith(QStringLiteral("record %1 ").arg(i)));
    }

    void aFullDiskNeverReplacesAFileWithLess()
    {
        const QString dir = freshDir("full");
        const QString exported = dir + "/history.tsv";
        QVERIFY(!writeFileAtomically(dir + "/missing-folder/x.tsv", "x"));
        SmallDisk disk(dir);
        if (!disk.mounted())
            QSKIP("needs root in a private mount namespace");
        QVERIFY(writeFileAtomically(exported, "first"));
        QVERIFY(writeFileAtomically(exported, "old export"));
        QCOMPARE(fingerprint(exported), QStringLiteral("100600 0 old export"));
        EventLog log(dir + "/history");
        for (int n = 0; n < 40; ++n)
            log.record(Kind::info, QStringLiteral("record %1 with some words of padding").arg(n));
        log.flush();
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
        QCOMPARE(QDir(dir + "/history").entryList(QDir::Files),
                 QStringList{"events.jsonl"}); // no temporary file left behind
    }

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
        auto child = startChild({"VM_CHILD=unreadable", "VM_DIR=" + dir}, "setpriv",
                                {"--bounding-set=-dac_override,-dac_read_search", "--",
                                 QCoreApplication::applicationFilePath()});
        QVERIFY(child->waitForFinished(10000));
        QCOMPARE(child->exitCode(), 0);
        QCOMPARE(child->readAllStandardOutput().count("couldn't be read"), 1);
        QCOMPARE(details(EventLog::loadFile(path)), QStringList({"n1", "n2", "after"}));
    }

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
};

int main(int argc, char **argv)
{
    const QString mode = qEnvironmentVariable("VM_CHILD");
    const QString dir = qEnvironmentVariable("VM_DIR");
    if (mode == QLatin1String("append"))
        return appendRecords(dir);
    if (mode == QLatin1String("limit"))
        return appendUnderWriteLimit(dir);
    if (mode == QLatin1String("unreadable"))
        return useUnreadableHistory(dir);
    QCoreApplication app(argc, argv);
    HistoryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "HistoryTest.moc"
