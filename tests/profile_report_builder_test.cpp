#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <qel_package/application.hpp>

#include "matchers.hpp"

namespace qel_package {
namespace {

using profile::CycleSample;
using profile::ProfileReport;
using profile::ProfileStep;
using profile::StepKind;
using profile::TileProfile;
using testing::FailedWithMessage;
using testing::Succeeded;

constexpr std::uint64_t U64_MAX = 18446744073709551615u;
constexpr std::uint64_t CLOCK_HZ = 1500000000;

RegionSlice region(std::uint32_t tile, std::uint64_t file_offset, std::uint64_t size) {
  return RegionSlice{
      .tile = tile, .tile_address = 0x4C100, .file_offset = file_offset, .size = size};
}

Binding cycles(std::vector<RegionSlice> slices) {
  return Binding{
      .name = "profile.cycles", .dtype = "u32", .shape = {}, .slices = std::move(slices)};
}

// An output of size bytes that lies before "profile.cycles".
Binding prefix(std::uint64_t size, std::string name = "prefix") {
  return Binding{
      .name = std::move(name), .dtype = "u8", .shape = {}, .slices = {region(0, 0, size)}};
}

// Steps that differ in every descriptive field, so a sample shows which step it copied.
ProfileStep step(std::uint32_t index) {
  return ProfileStep{.local_index = index,
                     .phase = index + 1,
                     .epoch = 2,
                     .operation = fmt::format("operation.{}", index),
                     .kind = index % 2 == 0 ? StepKind::Exchange : StepKind::Compute,
                     .kernel = fmt::format("kernel.{}", index),
                     .metadata = {{.name = "index", .value = std::to_string(index)}},
                     .exchange_activities = {},
                     .exchange_event_cycles = index * 3};
}

TileProfilePlan plan(std::uint32_t tile, std::uint32_t step_count) {
  TileProfilePlan result{.physical_tile = tile};
  for (std::uint32_t i = 0; i < step_count; ++i) {
    result.steps.push_back(step(i));
  }
  return result;
}

CycleSample sample(std::uint32_t index, std::uint32_t start_cycle, std::uint32_t end_cycle) {
  return CycleSample{.step = step(index), .start_cycle = start_cycle, .end_cycle = end_cycle};
}

// Counters as a run stores them, least significant byte first, after the given bytes.
std::vector<std::uint8_t> counters(std::initializer_list<std::uint32_t> values,
                                   std::vector<std::uint8_t> before = {}) {
  for (const std::uint32_t value : values) {
    for (int shift = 0; shift < 32; shift += 8) {
      before.push_back(static_cast<std::uint8_t>(value >> shift));
    }
  }
  return before;
}

TEST(ProfileReportBuilder, PairsEachStepWithAdjacentCounters) {
  struct Case {
    const char* name;
    Application application;
    std::vector<std::uint8_t> output;
    std::uint64_t clock_hz;
    ProfileReport expected;
  };
  const Case cases[] = {
      {"a plan with no steps owns one counter",
       {.outputs = {cycles({region(0, 0, 4)})}, .profile_tiles = {plan(0, 0)}},
       counters({7}),
       CLOCK_HZ,
       {CLOCK_HZ, {{.physical_tile = 0, .samples = {}}}}},
      {"an inner counter ends one step and starts the next",
       {.outputs = {cycles({region(4, 0, 16)})}, .profile_tiles = {plan(4, 3)}},
       counters({10, 15, 15, 40}),
       CLOCK_HZ,
       {CLOCK_HZ, {{4, {sample(0, 10, 15), sample(1, 15, 15), sample(2, 15, 40)}}}}},
      {"the least significant byte comes first",
       {.outputs = {cycles({region(0, 0, 8)})}, .profile_tiles = {plan(0, 1)}},
       {0x01, 0x02, 0x03, 0x04, 0x78, 0x56, 0x34, 0x12},
       CLOCK_HZ,
       {CLOCK_HZ, {{0, {sample(0, 0x04030201, 0x12345678)}}}}},
      {"an earlier 12-byte output shifts the region",
       {.outputs = {prefix(12), cycles({region(0, 0, 8)})}, .profile_tiles = {plan(0, 1)}},
       counters({3, 9}, std::vector<std::uint8_t>(12, 0xA5)),
       CLOCK_HZ,
       {CLOCK_HZ, {{0, {sample(0, 3, 9)}}}}},
      {"tiles in plan order, and an unplanned tile's slice is never read",
       {.outputs = {cycles({region(1, 0, 8), region(9, U64_MAX, 1), region(0, 8, 12)})},
        .profile_tiles = {plan(0, 2), plan(1, 1)}},
       counters({100, 200, 1, 2, 3}),
       CLOCK_HZ,
       {CLOCK_HZ, {{0, {sample(0, 1, 2), sample(1, 2, 3)}}, {1, {sample(0, 100, 200)}}}}},
      {"the later slice for a tile wins",
       {.outputs = {cycles({region(0, 0, 8), region(0, 8, 8)})}, .profile_tiles = {plan(0, 1)}},
       counters({1, 2, 3, 4}),
       CLOCK_HZ,
       {CLOCK_HZ, {{0, {sample(0, 3, 4)}}}}},
      {"a wrapped counter is reported as read, bytes after the region are ignored",
       {.outputs = {cycles({region(0, 0, 8)})}, .profile_tiles = {plan(0, 1)}},
       counters({4294967290u, 5, 0xFFFFFFFF}),
       CLOCK_HZ,
       {CLOCK_HZ, {{0, {sample(0, 4294967290u, 5)}}}}},
      {"the clock is the argument whatever the application holds",
       {.outputs = {cycles({})}},
       {},
       7,
       {7, {}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto report = c.application.profile_report(c.output, c.clock_hz);
    ASSERT_THAT(report, Succeeded());
    EXPECT_EQ(*report, c.expected);
  }
}

TEST(ProfileReportBuilder, FailsWithTheFirstBrokenRule) {
  struct Case {
    const char* name;
    Application application;
    std::vector<std::uint8_t> output;
    std::string message;
  };
  Binding overflowing = prefix(4);
  overflowing.slices[0].file_offset = U64_MAX;
  const std::uint64_t half = std::uint64_t{1} << 63;
  const Case cases[] = {
      {"no profile.cycles output",
       {.inputs = {cycles({region(0, 0, 4)})}, .profile_tiles = {plan(0, 0)}},
       counters({1}),
       "application has no profile.cycles output binding"},
      {"an earlier output's file range overflows",
       {.outputs = {overflowing, cycles({region(0, 0, 4)})}, .profile_tiles = {plan(0, 0)}},
       counters({1}),
       "binding prefix file range overflows"},
      {"the earlier outputs' extents overflow",
       {.outputs = {prefix(half), prefix(half, "second"), cycles({region(0, 0, 4)})},
        .profile_tiles = {plan(0, 0)}},
       counters({1}),
       "output binding size overflow"},
      {"a later plan's tile has no slice",
       {.outputs = {cycles({region(0, 0, 4), region(2, 4, 4)})},
        .profile_tiles = {plan(0, 0), plan(3, 0), plan(2, 0)}},
       counters({1, 2}),
       "cycle profile has no slice for tile 3"},
      {"a slice of 8 bytes for two steps",
       {.outputs = {cycles({region(6, 0, 8)})}, .profile_tiles = {plan(6, 2)}},
       counters({1, 2, 3}),
       "cycle profile slice for tile 6 has size 8, expected 12"},
      {"a slice one byte short of its region",
       {.outputs = {cycles({region(0, 0, 11)})}, .profile_tiles = {plan(0, 2)}},
       counters({1, 2, 3}),
       "cycle profile slice for tile 0 has size 11, expected 12"},
      {"the size is checked before the offset",
       {.outputs = {prefix(8), cycles({region(0, U64_MAX, 8)})}, .profile_tiles = {plan(0, 2)}},
       counters({1, 2, 3}),
       "cycle profile slice for tile 0 has size 8, expected 12"},
      {"the binding's base plus the slice offset overflows",
       {.outputs = {prefix(8), cycles({region(0, U64_MAX - 7, 4)})}, .profile_tiles = {plan(0, 0)}},
       counters({1}),
       "profile output offset overflow"},
      {"the region's end overflows",
       {.outputs = {cycles({region(0, U64_MAX - 3, 8)})}, .profile_tiles = {plan(0, 1)}},
       counters({1, 2}),
       "profile output range overflow"},
      {"an output one byte shorter than the region's end at 16",
       {.outputs = {prefix(4), cycles({region(0, 0, 12)})}, .profile_tiles = {plan(0, 2)}},
       std::vector<std::uint8_t>(15, 0xA5),
       "profile binding exceeds runtime output"},
      {"a region far beyond the output",
       {.outputs = {cycles({region(0, 1000, 4)})}, .profile_tiles = {plan(0, 0)}},
       counters({1}),
       "profile binding exceeds runtime output"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT(c.application.profile_report(c.output, CLOCK_HZ), FailedWithMessage(c.message));
  }
}

}  // namespace
}  // namespace qel_package
