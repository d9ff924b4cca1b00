// History figures, each beside its baseline from the same run:
//   load of 10 000 lines       vs a bare simdjson parse of every line
//   rewrite of 8000 records     vs a bare write of the same bytes to a new file (both synced
//                               to disk, as an atomic replace must be before its rename)
//   record() on the caller      (absolute; the file append happens on the writer thread)
//   TSV export of 8000 records  (absolute)
#include "history/EventLog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <simdjson.h>
#include <unistd.h>

namespace {

QTemporaryDir &workDir()
{
    static QTemporaryDir dir;
    return dir;
}

QString historyFile(int lines)
{
    const QString dir = workDir().path() + QStringLiteral("/load-%1").arg(lines);
    const QString path = dir + QStringLiteral("/events.jsonl");
    if (QFile::exists(path))
        return path;
    QDir().mkpath(dir);
    QByteArray content;
    for (int i = 0; i < lines; ++i) {
        LogEvent event = LogEvent::make(LogEvent::Kind(i % LogEvent::kindCount),
                                        QStringLiteral("Share reachable again at "
                                                       "/run/user/1000/gvfs/smb-share:server=nas,"
                                                       "share=media #%1")
                                            .arg(i));
        content += event.toJson() + '\n';
    }
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return path;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

void BM_LoadHistory(benchmark::State &state)
{
    const QString path = historyFile(10000);
    for (auto _ : state)
        benchmark::DoNotOptimize(EventLog::loadFile(path));
}
BENCHMARK(BM_LoadHistory)->Unit(benchmark::kMillisecond);

void BM_LoadBaselineSimdjson(benchmark::State &state)
{
    const QString path = historyFile(10000);
    simdjson::dom::parser parser;
    for (auto _ : state) {
        const QByteArray content = readAll(path); // the load reads the file too
        simdjson::padded_string padded(content.constData(), size_t(content.size()));
        std::string_view rest(padded.data(), padded.size());
        size_t count = 0;
        while (!rest.empty()) {
            const size_t feed = rest.find('\n');
            const std::string_view line = rest.substr(0, feed);
            simdjson::dom::element element;
            if (!parser.parse(line.data(), line.size(), true).get(element))
                ++count;
            if (feed == std::string_view::npos)
                break;
            rest.remove_prefix(feed + 1);
        }
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_LoadBaselineSimdjson)->Unit(benchmark::kMillisecond);

void BM_Rewrite8000(benchmark::State &state)
{
    const QString dir = workDir().path() + QStringLiteral("/rewrite");
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    QFile::copy(historyFile(8000), dir + QStringLiteral("/events.jsonl"));
    EventLog log(dir);
    for (auto _ : state) {
        log.prune(1'000'000); // removes nothing, rewrites everything
        log.flush();
    }
}
BENCHMARK(BM_Rewrite8000)->Unit(benchmark::kMillisecond);

void BM_RewriteBaselineRawWrite(benchmark::State &state)
{
    const QByteArray bytes = readAll(historyFile(8000));
    const QString path = workDir().path() + QStringLiteral("/raw.jsonl");
    for (auto _ : state) {
        QFile::remove(path); // a fresh file each time, as a replacing rewrite writes one
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(bytes);
        file.flush();
        ::fdatasync(file.handle());
        file.close();
    }
}
BENCHMARK(BM_RewriteBaselineRawWrite)->Unit(benchmark::kMillisecond);

void BM_RecordOnCaller(benchmark::State &state)
{
    const QString dir = workDir().path() + QStringLiteral("/record");
    EventLog log(dir);
    for (auto _ : state)
        log.record(LogEvent::Kind::plexOK, QStringLiteral("Plex is running again"));
    log.flush();
}
BENCHMARK(BM_RecordOnCaller)->Unit(benchmark::kMicrosecond);

void BM_ExportTSV8000(benchmark::State &state)
{
    const QList<LogEvent> events = EventLog::loadFile(historyFile(8000));
    const QString dir = workDir().path() + QStringLiteral("/export");
    EventLog log(dir);
    for (auto _ : state)
        benchmark::DoNotOptimize(log.exportTSV(events));
}
BENCHMARK(BM_ExportTSV8000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
