#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <qel_package/qel_package.hpp>

// The packages the benchmarks measure, generated in memory and always the same.
namespace qel_package::bench {

// 64 tiles, each one segment of 600 KiB of data, and one input and one output spread over
// all of them.
Application data_heavy();

// Many small records: 1472 tiles of 16 segments of 256 bytes; 4096 bindings of 8 slices; a
// host exchange of 256 pages and 512 calls of 8 slices; one plan of 64 steps per tile, each
// step with 2 metadata entries and 2 exchange activities; a last output "profile.cycles"
// with one slice per plan. Every count is divided by divisor (1, 4 or 16).
Application metadata_heavy(std::uint32_t divisor);

// A package with everything derived from it that the benchmarks use.
struct Workload {
  std::string name{};
  Application application{};
  std::vector<std::uint8_t> package{};  // the framed package
  std::size_t package_records{};

  std::uint32_t largest_tile{};  // the tile with the largest image
  std::size_t largest_image_bytes{};
  std::size_t largest_tile_segments{};

  std::string last_output{};
  std::size_t output_count{};
  std::uint64_t outputs_end{};  // where the last output ends in the runtime output

  // Only for packages with profile plans: a runtime output holding every plan's counters,
  // the report built from it and that report framed.
  bool profiled{};
  std::vector<std::uint8_t> runtime_output{};
  std::uint64_t counter_bytes{};
  profile::ProfileReport report{};
  std::vector<std::uint8_t> report_bytes{};
  std::size_t report_records{};
};

// Writes the package and derives the rest; a failure ends the program, since it means the
// generator built an invalid package.
Workload prepare(std::string name, Application application);

}  // namespace qel_package::bench
