"""Times qel_package.Application.read on a package file against the benchmark program's C++
read of the same workload, alternating the two so that a slow spell of a shared machine
reaches both. Times are CPU time per read, the median of every repetition."""

import json
import statistics
import subprocess
import sys
import time

import qel_package as qp

ROUNDS = 3
REPETITIONS = 5


def cpp_read_times():
    output = subprocess.run(
        ["build/bench/qel_package_bench", "--benchmark_filter=^data_heavy/read$",
         f"--benchmark_repetitions={REPETITIONS}", "--benchmark_format=json"],
        check=True, capture_output=True, text=True).stdout
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    return [run["cpu_time"] * scale[run["time_unit"]]
            for run in json.loads(output)["benchmarks"] if run.get("run_type") == "iteration"]


def python_read_times(data, iterations):
    times = []
    for _ in range(REPETITIONS):
        start = time.process_time()
        for _ in range(iterations):
            qp.Application.read(data)
        times.append((time.process_time() - start) / iterations)
    return times


def main():
    with open(sys.argv[1], "rb") as file:
        data = file.read()
    cpp, python = [], []
    for _ in range(ROUNDS):
        cpp += cpp_read_times()
        python += python_read_times(data, iterations=50)
    cpp_median, python_median = statistics.median(cpp), statistics.median(python)
    print(f"data_heavy read ({len(data) / 2**20:.1f} MiB): C++ {cpp_median * 1e3:.2f} ms, "
          f"Python {python_median * 1e3:.2f} ms, Python / C++ {python_median / cpp_median:.2f}")


if __name__ == "__main__":
    main()
