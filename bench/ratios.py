#!/usr/bin/env python3
"""Prints benchmark figures with their bars: ratios to a same-run baseline, or absolutes."""
import json
import sys

# (figure, baseline or None, bar, unit) -- a ratio bar when a baseline is named.
CHECKS = [
    ("BM_LoadHistory", "BM_LoadBaselineSimdjson", 2.0, "x"),
    ("BM_Rewrite8000", "BM_RewriteBaselineRawWrite", 3.0, "x"),
    ("BM_RecordOnCaller", None, 10.0, "us"),
    ("BM_ExportTSV8000", None, None, "ms"),
    ("BM_CheckCycle500", "BM_ProcScanBaseline500", 1.2, "x"),
    ("BM_CheckCycle500", "BM_PgrepFindmntBaseline500", 0.05, "x"),
    ("BM_HistoryRedraw8000", "BM_HistoryRedrawEmpty", None, "x"),
    ("BM_HistoryRedraw8000", None, 16.0, "ms"),
]
SCALE = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}


def median_us(results):
    times = {}
    for bench in results:
        if bench.get("aggregate_name", "median") != "median":
            continue
        name = bench["run_name"] if "run_name" in bench else bench["name"]
        times[name] = bench["real_time"] * SCALE[bench["time_unit"]]
    return times


def main():
    times = {}
    for path in sys.argv[1:]:
        with open(path) as handle:
            times.update(median_us(json.load(handle)["benchmarks"]))
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
