// Throughput of the library's operations on generated packages, next to two floors measured
// on the same bytes in the same run: a memcpy of the framed message and a raw pass over it
// through the generated accessors. bench/run prints the ratios.

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include "raw_pass.hpp"
#include "workload.hpp"

namespace qel_package::bench {
namespace {

constexpr std::uint64_t CLOCK_HZ = 1'500'000'000;

struct WorkloadSpec {
  const char* name;
  std::function<Application()> make;
  bool profiled;  // carries profile plans, so the report operations apply
};

const std::array<WorkloadSpec, 4> WORKLOADS = {{
    {"data_heavy", data_heavy, false},
    {"metadata_heavy_1_16", [] { return metadata_heavy(16); }, true},
    {"metadata_heavy_1_4", [] { return metadata_heavy(4); }, true},
    {"metadata_heavy", [] { return metadata_heavy(1); }, true},
}};

// Built on first use, so that a filtered run builds only what it measures.
const Workload& workload(std::size_t index) {
  static std::array<std::unique_ptr<Workload>, WORKLOADS.size()> built;
  if (!built[index]) {
    built[index] =
        std::make_unique<Workload>(prepare(WORKLOADS[index].name, WORKLOADS[index].make()));
  }
  return *built[index];
}

// False, with the run marked failed, when the operation failed.
template <class T>
bool succeeded(benchmark::State& state, const Result<T>& result) {
  if (result) {
    return true;
  }
  std::ostringstream message;
  message << result.error();
  state.SkipWithError(message.str().c_str());
  return false;
}

void count(benchmark::State& state, std::uint64_t bytes, std::uint64_t items) {
  const auto iterations = static_cast<std::int64_t>(state.iterations());
  state.SetBytesProcessed(iterations * static_cast<std::int64_t>(bytes));
  state.SetItemsProcessed(iterations * static_cast<std::int64_t>(items));
}

void copy_bytes(benchmark::State& state, const std::vector<std::uint8_t>& bytes,
                std::size_t items) {
  std::vector<std::uint8_t> copy(bytes.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), bytes.data(), bytes.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  count(state, bytes.size(), items);
}

// Runs operation once per iteration, keeping its result alive to the optimiser; a failure
// stops the benchmark with the error.
template <class Operation>
void measure(benchmark::State& state, std::uint64_t bytes, std::uint64_t items,
             Operation operation) {
  for (auto _ : state) {
    auto result = operation();
    if (!succeeded(state, result)) {
      break;
    }
    benchmark::DoNotOptimize(result);
  }
  count(state, bytes, items);
}

void bench_memcpy(benchmark::State& state, const Workload& w) {
  copy_bytes(state, w.package, w.package_records);
}

void bench_raw_capnp(benchmark::State& state, const Workload& w) {
  measure(state, w.package.size(), w.package_records, [&] { return raw_package_pass(w.package); });
}

// Into a new buffer each time, as a caller writing one package would.
void bench_write(benchmark::State& state, const Workload& w) {
  measure(state, w.package.size(), w.package_records, [&] {
    std::vector<std::uint8_t> sink;
    auto written = w.application.write(sink);
    benchmark::DoNotOptimize(sink.data());
    return written;
  });
}

void bench_read(benchmark::State& state, const Workload& w) {
  measure(state, w.package.size(), w.package_records, [&] { return Application::read(w.package); });
}

void bench_validate(benchmark::State& state, const Workload& w) {
  measure(state, w.package.size(), w.package_records, [&] { return w.application.validate(); });
}

void bench_tile_image(benchmark::State& state, const Workload& w) {
  measure(state, w.largest_image_bytes, w.largest_tile_segments,
          [&] { return w.application.tile_image(w.largest_tile); });
}

// Bytes are the runtime output that the lookup measures its way through.
void bench_output_binding(benchmark::State& state, const Workload& w) {
  measure(state, w.outputs_end, w.output_count,
          [&] { return w.application.output_binding(w.last_output); });
}

void bench_view_open(benchmark::State& state, const Workload& w) {
  measure(state, w.package.size(), w.package_records,
          [&] { return ApplicationView::open(w.package); });
}

// What a host does to load one tile: open a view of the package, then rebuild the image.
void bench_view_tile_image(benchmark::State& state, const Workload& w) {
  measure(state, w.largest_image_bytes, w.largest_tile_segments, [&] {
    return ApplicationView::open(w.package).and_then(
        [&](const ApplicationView& view) { return view.tile_image(w.largest_tile); });
  });
}

void bench_profile_report(benchmark::State& state, const Workload& w) {
  measure(state, w.counter_bytes, w.report_records,
          [&] { return w.application.profile_report(w.runtime_output, CLOCK_HZ); });
}

void bench_report_memcpy(benchmark::State& state, const Workload& w) {
  copy_bytes(state, w.report_bytes, w.report_records);
}

void bench_report_raw_capnp(benchmark::State& state, const Workload& w) {
  measure(state, w.report_bytes.size(), w.report_records,
          [&] { return raw_report_pass(w.report_bytes); });
}

void bench_report_write(benchmark::State& state, const Workload& w) {
  measure(state, w.report_bytes.size(), w.report_records, [&] {
    std::vector<std::uint8_t> output;
    auto written = w.report.write(output);
    benchmark::DoNotOptimize(output.data());
    return written;
  });
}

void bench_report_read(benchmark::State& state, const Workload& w) {
  measure(state, w.report_bytes.size(), w.report_records,
          [&] { return profile::ProfileReport::read(w.report_bytes); });
}

using Bench = void (*)(benchmark::State&, const Workload&);

struct Operation {
  const char* name;
  Bench run;
};

const Operation PACKAGE_OPERATIONS[] = {
    {"memcpy", bench_memcpy},
    {"raw_capnp", bench_raw_capnp},
    {"write", bench_write},
    {"read", bench_read},
    {"validate", bench_validate},
    {"tile_image", bench_tile_image},
    {"output_binding", bench_output_binding},
    {"view_open", bench_view_open},
    {"view_tile_image", bench_view_tile_image},
};

const Operation REPORT_OPERATIONS[] = {
    {"profile_report", bench_profile_report},     {"report_memcpy", bench_report_memcpy},
    {"report_raw_capnp", bench_report_raw_capnp}, {"report_write", bench_report_write},
    {"report_read", bench_report_read},
};

void register_operations(std::size_t index, std::span<const Operation> operations) {
  for (const Operation& operation : operations) {
    const std::string name = std::string(WORKLOADS[index].name) + "/" + operation.name;
    benchmark::RegisterBenchmark(name.c_str(), [index,
                                                run = operation.run](benchmark::State& state) {
      run(state, workload(index));
    })->Unit(benchmark::kMicrosecond);
  }
}

}  // namespace
}  // namespace qel_package::bench

int main(int argc, char** argv) {
  using namespace qel_package::bench;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  // Freed memory stays in the heap for reuse, as in a long-running host, instead of going
  // back to the kernel to be faulted in again. Otherwise whether a large buffer is fresh
  // depends on which benchmark ran before, and the figures swing with it.
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, -1);
  benchmark::AddCustomContext("compiler", QEL_PACKAGE_BENCH_COMPILER);
  benchmark::AddCustomContext("build_type", QEL_PACKAGE_BENCH_BUILD_TYPE);
  for (std::size_t index = 0; index < WORKLOADS.size(); ++index) {
    register_operations(index, PACKAGE_OPERATIONS);
    if (WORKLOADS[index].profiled) {
      register_operations(index, REPORT_OPERATIONS);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
