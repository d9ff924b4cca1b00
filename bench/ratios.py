#!/usr/bin/env python3
"""Prints benchmark figures with their bars: ratios to a same-run baseline, or absolutes."""
import json
import re
import sys

# (figure, baseline or None, bar, unit) -- a ratio bar when a baseline is named.
CHECKS = [
    ("BM_LoadHistory", "BM_LoadBaselineSimdjson", 2.0, "x"),
    ("BM_Rewrite8000", "BM_RewriteBaselineRawWrite", 3.0, "x"),
    ("BM_RecordOnCaller", None, 10.0, "us"),
    ("BM_ExportTSV8000", None, None, "ms"),
    ("BM_CheckCycleUnprobed500", "BM_ProcScanBaseline500", 1.2, "x"),
    ("BM_CheckCycleUnprobed500", "BM_PgrepFindmntBaseline500", 0.05, "x"),
    ("BM_HistoryRedraw8000", "BM_HistoryRedrawEmpty", None, "x"),
    ("BM_HistoryRedraw8000", None, 16.0, "ms"),
]
# (figure, baseline, field, bar in us or None): what the figure adds to its same-run baseline;
# the field is real_time, cpu_time or a counter in us.
ADDED = [
    ("BM_CheckCycle500", "BM_CheckCycleUnprobed500", "real_time", 25000.0),
    ("BM_CheckCycle500", "BM_CheckCycleUnprobed500", "cpu_time", None),
    ("BM_CheckCycle500", "BM_CheckCycleWaiting500", "cpu_time", 1000.0),
    ("BM_PlexCycleWithProbe", "BM_PlexCycleWithoutProbe", "real_time", 25000.0),
    ("BM_PlexCycleWithProbe", "BM_PlexCycleWithoutProbe", "main_cpu_us", 1000.0),
]
# (figure, counter, bar): a counter a benchmark reports.
COUNTERS = [("BM_FrozenShareStall/0", "stall_ms", 5.0), ("BM_FrozenShareStall/1", "stall_ms", None)]
SCALE = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}


def plain_name(name):
    """The name without what Iterations() and UseRealTime() add to it; arguments stay."""
    return re.sub(r"/(iterations:\d+|real_time)", "", name)


def median_us(results, field="real_time"):
    times = {}
    for bench in results:
        if bench.get("aggregate_name", "median") != "median":
            continue
        name = bench["run_name"] if "run_name" in bench else bench["name"]
        times[plain_name(name)] = bench[field] * SCALE[bench["time_unit"]]
    return times


def main():
    times, cpu, counters = {}, {}, {}
    for path in sys.argv[1:]:
        with open(path) as handle:
            results = json.load(handle)["benchmarks"]
        times.update(median_us(results))
        cpu.update(median_us(results, "cpu_time"))
        for bench in results:
            if bench.get("aggregate_name", "median") == "median":
                counters[plain_name(bench.get("run_name", bench["name"]))] = bench
    for figure, baseline, field, bar in ADDED:
        table = {"real_time": times, "cpu_time": cpu}.get(field) or {
            name: bench[field] for name, bench in counters.items() if field in bench}
        if figure in table and baseline in table:
            added = table[figure] - table[baseline]
            verdict = "" if bar is None else ("  ok" if added <= bar else "  OVER BAR")
            bar_text = "" if bar is None else f" (bar {bar / 1e3} ms)"
            print(f"{figure} - {baseline} ({field}) = {added / 1e3:.3f} ms{bar_text}{verdict}")
    for figure, counter, bar in COUNTERS:
        if figure in counters and counter in counters[figure]:
            value = counters[figure][counter]
            verdict = "" if bar is None else ("  ok" if value <= bar else "  OVER BAR")
            bar_text = "" if bar is None else f" (bar {bar})"
            print(f"{figure} {counter} = {value:.3f}{bar_text}{verdict}")
    for figure, baseline, bar, unit in CHECKS:
        if figure not in times or (baseline and baseline not in times):
            continue
        if baseline:
            ratio = times[figure] / times[baseline]
            verdict = "" if bar is None else ("  ok" if ratio <= bar else "  OVER BAR")
            bar_text = "" if bar is None else f" (bar {bar}x)"
            print(f"{figure} / {baseline} = {ratio:.2f}x{bar_text}{verdict}")
        else:
            value = times[figure] / (1.0 if unit == "us" else 1e3)
            verdict = "" if bar is None else ("  ok" if value <= bar else "  OVER BAR")
            bar_text = "" if bar is None else f" (bar {bar} {unit})"
            print(f"{figure} = {value:.3f} {unit}{bar_text}{verdict}")


if __name__ == "__main__":
    main()
