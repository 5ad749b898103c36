#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include <qel_package/application.hpp>

#include "lib/checked.hpp"
#include "lib/fail.hpp"
#include "lib/little_endian.hpp"

namespace qel_package {
namespace {

using detail::checked_add;
using detail::checked_mul;
using detail::invalid;
using detail::read_le32;
using profile::CycleSample;
using profile::TileProfile;

// The output binding that holds every profiled tile's cycle counters.
constexpr std::string_view PROFILE_CYCLES = "profile.cycles";

// Each counter is an unsigned 32-bit value, least significant byte first.
constexpr std::uint64_t COUNTER_BYTES = 4;

// Physical tile to the slice that holds its counters.
using SliceIndex = std::unordered_map<std::uint32_t, const RegionSlice*>;

// A later slice for a tile replaces an earlier one.
SliceIndex index_slices(const Binding& binding) {
  SliceIndex slices;
  slices.reserve(binding.slices.size());
  for (const RegionSlice& slice : binding.slices) {
    slices.insert_or_assign(slice.tile, &slice);
  }
  return slices;
}

// A plan of n steps owns n + 1 counters: step k runs from counter k to counter k + 1.
[[nodiscard]] Result<std::uint64_t> region_size(const TileProfilePlan& plan) {
  const auto count = checked_add<std::uint64_t>(plan.steps.size(), 1);
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
[[nodiscard]] Result<std::span<const std::uint8_t>> region_bytes(
    std::span<const std::uint8_t> output, std::uint64_t binding_base, const RegionSlice& slice) {
  const auto start = checked_add(binding_base, slice.file_offset);
  if (!start) {
    return invalid("profile output offset overflow");
  }
  const auto end = checked_add(*start, slice.size);
  if (!end) {
    return invalid("profile output range overflow");
  }
  if (*end > output.size()) {
    return invalid("profile binding exceeds runtime output");
  }
  return output.subspan(*start, slice.size);
}

std::vector<std::uint32_t> decode_counters(std::span<const std::uint8_t> bytes) {
  std::vector<std::uint32_t> cycles;
  cycles.reserve(bytes.size() / COUNTER_BYTES);
  for (std::size_t offset = 0; offset + COUNTER_BYTES <= bytes.size(); offset += COUNTER_BYTES) {
    cycles.push_back(read_le32(bytes, offset));
  }
  return cycles;
}

[[nodiscard]] Result<TileProfile> profile_tile(const TileProfilePlan& plan,
                                               const SliceIndex& slices,
                                               std::span<const std::uint8_t> output,
                                               std::uint64_t binding_base) {
  const auto found = slices.find(plan.physical_tile);
  if (found == slices.end()) {
    return invalid("cycle profile has no slice for tile {}", plan.physical_tile);
  }
  const RegionSlice& slice = *found->second;
  std::uint64_t expected = 0;
  QEL_ASSIGN(expected, region_size(plan));
  if (slice.size != expected) {
    return invalid("cycle profile slice for tile {} has size {}, expected {}", plan.physical_tile,
                   slice.size, expected);
  }
  std::span<const std::uint8_t> bytes;
  QEL_ASSIGN(bytes, region_bytes(output, binding_base, slice));
  // The size check above makes this exactly one counter more than there are steps.
  const std::vector<std::uint32_t> cycles = decode_counters(bytes);

  TileProfile tile{.physical_tile = plan.physical_tile};
  tile.samples.reserve(plan.steps.size());
  for (std::size_t k = 0; k < plan.steps.size(); ++k) {
    tile.samples.push_back(
        CycleSample{.step = plan.steps[k], .start_cycle = cycles[k], .end_cycle = cycles[k + 1]});
  }
  return tile;
}

}  // namespace

Result<profile::ProfileReport> Application::profile_report(std::span<const std::uint8_t> output,
                                                           std::uint64_t clock_hz) const {
  auto cycles = output_binding(PROFILE_CYCLES);
  if (!cycles) {
    return tl::unexpected(std::move(cycles).error());
  }
  const auto [binding, binding_base] = *cycles;
  const SliceIndex slices = index_slices(*binding);

  profile::ProfileReport report{.clock_hz = clock_hz};
  report.tiles.reserve(profile_tiles.size());
  for (const TileProfilePlan& plan : profile_tiles) {
    QEL_APPEND(report.tiles, profile_tile(plan, slices, output, binding_base));
  }
  return report;
}

}  // namespace qel_package
