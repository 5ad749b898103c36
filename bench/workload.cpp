#include "workload.hpp"

#include <cstdlib>
#include <iostream>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace qel_package::bench {
namespace {

constexpr std::string_view PROFILE_CYCLES = "profile.cycles";

// The workloads are generated, so a failure is a fault of the generator.
template <class T>
T expect(Result<T> result, std::string_view what) {
  if (!result) {
    std::cerr << what << ": " << result.error() << '\n';
    std::exit(EXIT_FAILURE);
  }
  if constexpr (!std::is_void_v<T>) {
    return *std::move(result);
  }
}

std::size_t step_records(const profile::ProfileStep& step) {
  return 1 + step.metadata.size() + step.exchange_activities.size();
}

std::size_t binding_records(const std::vector<Binding>& bindings) {
  std::size_t count = bindings.size();
  for (const Binding& binding : bindings) {
    count += binding.slices.size();
  }
  return count;
}

// Every element of every list of records in the package.
std::size_t record_count(const Application& application) {
  std::size_t count = application.tiles.size();
  for (const TileImage& tile : application.tiles) {
    count += tile.segments.size();
  }
  count += binding_records(application.inputs) + binding_records(application.outputs) +
           binding_records(application.weights);
  const HostExchange& exchange = application.host_exchange;
  count += exchange.pages.size() + exchange.calls.size();
  for (const HostCall& call : exchange.calls) {
    count += call.inputs.size() + call.outputs.size();
  }
  count += application.entry_points.size() + application.device_config_writes.size() +
           application.debug_symbols.size() + application.debug_regions.size();
  count += application.profile_tiles.size();
  for (const TileProfilePlan& plan : application.profile_tiles) {
    for (const profile::ProfileStep& step : plan.steps) {
      count += step_records(step);
    }
  }
  return count;
}

std::size_t record_count(const profile::ProfileReport& report) {
  std::size_t count = report.tiles.size();
  for (const profile::TileProfile& tile : report.tiles) {
    for (const profile::CycleSample& sample : tile.samples) {
      count += step_records(sample.step);
    }
  }
  return count;
}

void find_largest_tile(Workload& workload) {
  for (const TileImage& tile : workload.application.tiles) {
    const auto image = expect(workload.application.tile_image(tile.physical_tile), "tile image");
    if (image.size() > workload.largest_image_bytes) {
      workload.largest_tile = tile.physical_tile;
      workload.largest_image_bytes = image.size();
      workload.largest_tile_segments = tile.segments.size();
    }
  }
}

void find_last_output(Workload& workload) {
  const Application& application = workload.application;
  workload.last_output = application.outputs.back().name;
  workload.output_count = application.outputs.size();
  const OutputBinding last = expect(application.output_binding(workload.last_output), "output");
  workload.outputs_end = last.base + expect(last.binding->byte_len(), "output extent");
}

// Counters rise through each plan's slice, starting from a different value on every tile.
void fill_counters(Workload& workload) {
  const OutputBinding cycles =
      expect(workload.application.output_binding(PROFILE_CYCLES), "profile output");
  workload.runtime_output.assign(workload.outputs_end, 0);
  for (const RegionSlice& slice : cycles.binding->slices) {
    const std::uint64_t start = cycles.base + slice.file_offset;
    for (std::uint64_t offset = 0; offset + 4 <= slice.size; offset += 4) {
      const std::uint32_t counter = slice.tile * 1000 + static_cast<std::uint32_t>(offset) * 25;
      for (std::uint64_t byte = 0; byte < 4; ++byte) {
        workload.runtime_output[start + offset + byte] =
            static_cast<std::uint8_t>(counter >> (8 * byte));
      }
    }
    workload.counter_bytes += slice.size;
  }
}

}  // namespace

Workload prepare(std::string name, Application application) {
  Workload workload{.name = std::move(name), .application = std::move(application)};
  expect(workload.application.write(workload.package), "write");
  workload.package_records = record_count(workload.application);
  find_largest_tile(workload);
  find_last_output(workload);
  workload.profiled = !workload.application.profile_tiles.empty();
  if (workload.profiled) {
    fill_counters(workload);
    workload.report =
        expect(workload.application.profile_report(workload.runtime_output, 1'500'000'000),
               "profile report");
    expect(workload.report.write(workload.report_bytes), "report write");
    workload.report_records = record_count(workload.report);
  }
  return workload;
}

}  // namespace qel_package::bench
