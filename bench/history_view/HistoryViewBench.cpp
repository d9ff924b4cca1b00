#include "history/EventLog.h"
#include "settings/AppSettings.h"
#include "ui/settings/HistoryChart.h"
#include "ui/settings/HistoryView.h"

#include <QApplication>
#include <QFile>
#include <QListView>
#include <QPixmap>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

Instant benchNow;

// A history file of count records, one every 5 minutes up to now, in the kinds a busy
// server produces, loaded the way the program loads it.
std::unique_ptr<EventLog> makeHistory(const QString &folder, int count)
{
    using Kind = LogEvent::Kind;
    static constexpr Kind kinds[] = {
        Kind::checkStarted,      Kind::plexOK,       Kind::volumeOK,
        Kind::plexDown,          Kind::plexLaunched, Kind::volumeDown,
        Kind::volumeMountFailed, Kind::wake,         Kind::volumeMounted};
    QFile file(folder + QStringLiteral("/events.jsonl"));
    if (!file.open(QIODevice::WriteOnly))
        return nullptr;
    const Instant now = benchNow;
    for (int i = 0; i < count; ++i) {
        benchNow = Clock::secondsAgo(now, qint64(count - i) * 300);
        // Details repeat (paths, fixed texts), except failures, whose messages vary.
        const Kind kind = kinds[i % std::size(kinds)];
        const QString detail =
            kind == Kind::volumeMountFailed
                ? QStringLiteral("The server could not be reached (error %1).").arg(i)
            : i % 3 ? QStringLiteral("/run/user/1000/gvfs/smb-share:server=nas.local,share=media")
                    : QString();
        const LogEvent event = LogEvent::make(kind, detail);
        file.write(event.toJson() + '\n');
    }
    benchNow = now;
    file.close();
    return std::make_unique<EventLog>(folder);
}

// One redraw of the History tab after the store changed: cards, captions, chart and list model
// recomputed, every row laid out and the chart painted, on "All time" and "Everything" so all
// records are rows and every record is counted in the chart's weeks.
void historyRedraw(benchmark::State &state, int count)
{
    QTemporaryDir folder;
    std::unique_ptr<EventLog> log = makeHistory(folder.path(), count);
    if (!log || log->events().size() != count) {
        state.SkipWithError("could not build the history");
        return;
    }
    AppSettings settings;
    HistoryView view(*log, settings);
    view.setTimeWindow(HistoryView::Window::all);
    view.setFilter(HistoryView::Filter::all);
    view.resize(560, 440);
    view.show();
    QApplication::processEvents();
    auto *chart = view.findChild<HistoryChart *>();
    QPixmap canvas(chart->size());

    for (auto _ : state) {
        view.refresh();
        view.listView()->doItemsLayout();
        chart->render(&canvas);
    }
    state.counters["rows"] = double(view.listView()->model()->rowCount());
}

} // namespace

void BM_HistoryRedrawEmpty(benchmark::State &state)
{
    historyRedraw(state, 0);
}

void BM_HistoryRedraw8000(benchmark::State &state)
{
    historyRedraw(state, int(EventLog::maxEvents));
}

BENCHMARK(BM_HistoryRedrawEmpty)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryRedraw8000)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    // Offscreen, and never the real user's settings.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    benchNow = Clock::now();
    Clock::setSourceForTesting([] { return benchNow; });

    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
