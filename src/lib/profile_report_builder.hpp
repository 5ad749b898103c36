#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include <qel_package/error.hpp>
#include <qel_package/profile.hpp>
#include <qel_package/profile_view.hpp>

#include "lib/checked.hpp"
#include "lib/fail.hpp"
#include "lib/field.hpp"
#include "lib/little_endian.hpp"
#include "lib/location.hpp"
#include "lib/output_binding.hpp"

namespace qel_package::detail {

// The output binding that holds every profiled tile's cycle counters.
inline constexpr std::string_view PROFILE_CYCLES = "profile.cycles";

// Each counter is an unsigned 32-bit value, least significant byte first.
inline constexpr std::uint64_t COUNTER_BYTES = 4;

// Physical tile to the position of the slice that holds its counters.
using SliceIndex = std::unordered_map<std::uint32_t, std::size_t>;

// A later slice for a tile replaces an earlier one.
template <class Slices>
SliceIndex index_slices(const Slices& slices) {
  SliceIndex index;
  index.reserve(slices.size());
  for (std::size_t k = 0; k < slices.size(); ++k) {
    index.insert_or_assign(QEL_FIELD(slices[k], tile), k);
  }
  return index;
}

// A plan of n steps owns n + 1 counters: step k runs from counter k to counter k + 1.
[[nodiscard]] inline Result<std::uint64_t> region_size(std::size_t step_count) {
  const auto count = checked_add<std::uint64_t>(step_count, 1);
  if (!count) {
    return invalid("profile sample count overflow");
  }
  const auto size = checked_mul(*count, COUNTER_BYTES);
  if (!size) {
    return invalid("profile sample size overflow");
  }
  return *size;
}

// The slice's bytes in the runtime output. size_t holds 64 bits (checked.hpp), so the
// offsets convert to positions in output without loss.
[[nodiscard]] inline Result<std::span<const std::uint8_t>> region_bytes(
    std::span<const std::uint8_t> output, std::uint64_t binding_base, std::uint64_t file_offset,
    std::uint64_t size) {
  const auto start = checked_add(binding_base, file_offset);
  if (!start) {
    return invalid("profile output offset overflow");
  }
  const auto end = checked_add(*start, size);
  if (!end) {
    return invalid("profile output range overflow");
  }
  if (*end > output.size()) {
    return invalid("profile binding exceeds runtime output");
  }
  return output.subspan(*start, size);
}

// The planned step a sample carries, as a record.
inline const profile::ProfileStep& step_record(const profile::ProfileStep& step) { return step; }
inline profile::ProfileStep step_record(const profile::ProfileStepView& step) {
  return step.to_step();
}

template <class Plan, class Slices>
[[nodiscard]] Result<profile::TileProfile> profile_tile(const Plan& plan, const Slices& slices,
                                                        const SliceIndex& slice_index,
                                                        std::span<const std::uint8_t> output,
                                                        std::uint64_t binding_base) {
  const std::uint32_t physical_tile = QEL_FIELD(plan, physical_tile);
  const auto found = slice_index.find(physical_tile);
  if (found == slice_index.end()) {
    return invalid("cycle profile has no slice for tile {}", physical_tile);
  }
  decltype(auto) slice = slices[found->second];
  const auto& steps = QEL_FIELD(plan, steps);
  std::uint64_t expected = 0;
  QEL_ASSIGN(expected, region_size(steps.size()));
  const std::uint64_t size = QEL_FIELD(slice, size);
  if (size != expected) {
    return invalid("cycle profile slice for tile {} has size {}, expected {}", physical_tile, size,
                   expected);
  }
  std::span<const std::uint8_t> bytes;
  QEL_ASSIGN(bytes, region_bytes(output, binding_base, QEL_FIELD(slice, file_offset), size));
  // The size check above makes this exactly one counter more than there are steps.
  profile::TileProfile tile{.physical_tile = physical_tile};
  tile.samples.reserve(steps.size());
  for (std::size_t k = 0; k < steps.size(); ++k) {
    tile.samples.push_back(profile::CycleSample{
        .step = step_record(steps[k]),
        .start_cycle = read_le32(bytes, k * COUNTER_BYTES),
        .end_cycle = read_le32(bytes, (k + 1) * COUNTER_BYTES),
    });
  }
  return tile;
}

// Pairs every planned step with its start and end counters in the output buffer.
template <class Application>
[[nodiscard]] Result<profile::ProfileReport> profile_report(const Application& application,
                                                            std::span<const std::uint8_t> output,
                                                            std::uint64_t clock_hz) {
  OutputPosition cycles{};
  QEL_ASSIGN(cycles, find_output_binding(application, PROFILE_CYCLES));
  decltype(auto) binding = QEL_FIELD(application, outputs)[cycles.index];
  const auto& slices = QEL_FIELD(binding, slices);
  const SliceIndex slice_index = index_slices(slices);

  const auto& plans = QEL_FIELD(application, profile_tiles);
  profile::ProfileReport report{.clock_hz = clock_hz};
  report.tiles.reserve(plans.size());
  for (std::size_t i = 0; i < plans.size(); ++i) {
    QEL_APPEND(report.tiles, profile_tile(plans[i], slices, slice_index, output, cycles.base));
  }
  return report;
}

}  // namespace qel_package::detail
