#!/usr/bin/env python3
"""Prints the results of qel_package_bench (its JSON output) as a Markdown table.

Each operation's time is shown as a multiple of the two floors measured on the same bytes
in the same run: the memcpy of the framed message and the raw Cap'n Proto pass over it.
The report operations (profile_report, report_write, report_read) are compared with the
floors on the report's bytes, every other operation with the floors on the package's.
"""

import json
import os
import sys

PACKAGE_FLOORS = ("memcpy", "raw_capnp")
REPORT_FLOORS = ("report_memcpy", "report_raw_capnp")
REPORT_OPERATIONS = ("profile_report", "report_write", "report_read")


def cpu_model():
    try:
        with open("/proc/cpuinfo") as cpuinfo:
            for line in cpuinfo:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown CPU"


def medians(benchmarks):
    """Time in seconds and rates per run name, in the program's order: medians over
    repetitions, else the one run."""
    results = {}
    for run in benchmarks:
        if "error_message" in run:
            sys.exit(f"{run['name']} failed: {run['error_message']}")
        repeated = run.get("run_type") == "aggregate"
        if repeated and run.get("aggregate_name") != "median":
            continue
        if not repeated and run.get("repetitions", 1) > 1:
            continue
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[run["time_unit"]]
        results[run["run_name"]] = {
            "order": run.get("family_index", 0),
            "time": run["cpu_time"] * scale,
            "bytes": run.get("bytes_per_second", 0.0),
            "items": run.get("items_per_second", 0.0),
        }
    return dict(sorted(results.items(), key=lambda item: item[1]["order"]))


def time_text(seconds):
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("µs", 1e-6)):
        if seconds >= scale:
            return f"{seconds / scale:.3g} {unit}"
    return f"{seconds / 1e-9:.3g} ns"


def rate_text(rate, unit):
    for prefix, scale in (("T", 1e12), ("G", 1e9), ("M", 1e6), ("k", 1e3)):
        if rate >= scale:
            return f"{rate / scale:.3g} {prefix}{unit}/s"
    return f"{rate:.3g} {unit}/s"


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: table.py RESULTS.json")
    with open(sys.argv[1]) as results_file:
        results = json.load(results_file)
    context = results["context"]
    runs = medians(results["benchmarks"])

    print(f"Machine: {cpu_model()}, {os.cpu_count()} cores; "
          f"compiler {context.get('compiler', 'unknown')}, "
          f"build type {context.get('build_type', 'unknown')}.")
    print()
    print("| workload | operation | time | bytes/s | items/s | × memcpy | × raw Cap'n Proto |")
    print("|---|---|---:|---:|---:|---:|---:|")
    for name, run in runs.items():
        workload, operation = name.split("/", 1)
        floors = REPORT_FLOORS if operation in REPORT_OPERATIONS + REPORT_FLOORS else PACKAGE_FLOORS
        ratios = []
        for floor in floors:
            base = runs.get(f"{workload}/{floor}")
            ratios.append(f"{run['time'] / base['time']:.3g}" if base else "")
        print(f"| {workload} | {operation} | {time_text(run['time'])} | "
              f"{rate_text(run['bytes'], 'B')} | {rate_text(run['items'], '')} | "
              f"{ratios[0]} | {ratios[1]} |")


if __name__ == "__main__":
    main()
