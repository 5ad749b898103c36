#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <qel_package/application.hpp>

#include "scenarios.hpp"

namespace qel_package::tests {
namespace {

using profile::CycleSample;
using profile::ProfileStep;
using profile::StepKind;
using profile::TileProfile;

constexpr std::uint64_t SEED = 0x70726F66;
constexpr int CASES = 64;
constexpr std::uint64_t CLOCK_HZ = 1500000000;

// The one generator of a run and the kinds of draw the cases make from it.
class Draws {
 public:
  explicit Draws(std::uint64_t seed) : generator_(seed) {}

  std::size_t size(std::size_t low, std::size_t high) {
    return std::uniform_int_distribution<std::size_t>(low, high)(generator_);
  }
  std::uint32_t u32(std::uint32_t low, std::uint32_t high) {
    return std::uniform_int_distribution<std::uint32_t>(low, high)(generator_);
  }
  bool coin() { return std::bernoulli_distribution(0.5)(generator_); }

 private:
  std::mt19937_64 generator_;
};

struct ExpectedTile {
  std::uint32_t physical_tile;
  std::vector<ProfileStep> steps;
  std::vector<std::uint32_t> bounds;  // the tile's counters, one more than its steps
};

struct RandomCase {
  Application application;
  std::vector<std::uint8_t> output;
  std::vector<ExpectedTile> expected;
};

void append_le32(std::vector<std::uint8_t>& output, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    output.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

ProfileStep generated_step(std::uint32_t index, bool compute) {
  return ProfileStep{.local_index = index,
                     .phase = index,
                     .epoch = 0,
                     .operation = "operation." + std::to_string(index),
                     .kind = compute ? StepKind::Compute : StepKind::Exchange,
                     .kernel = "kernel." + std::to_string(index),
                     .metadata = {},
                     .exchange_activities = {},
                     .exchange_event_cycles = 0};
}

// Draws in a fixed order: the tile count, the prefix, then per tile its step count, first
// counter, every increment and last the kinds of its steps.
RandomCase generate_case(Draws& draws) {
  RandomCase c;
  const std::size_t tile_count = draws.size(1, 8);
  const std::size_t prefix_bytes = draws.size(0, 8) * 4;

  // Only shifts where the counters begin: "profile.cycles" follows it in the output.
  Binding prefix{.name = "prefix",
                 .dtype = "u8",
                 .shape = {static_cast<std::uint32_t>(prefix_bytes)},
                 .slices = {}};
  if (prefix_bytes != 0) {
    prefix.slices.push_back(
        RegionSlice{.tile = 0, .tile_address = 0x4C000, .file_offset = 0, .size = prefix_bytes});
  }
  c.application.outputs.push_back(std::move(prefix));
  c.output.assign(prefix_bytes, 0xA5);

  std::vector<RegionSlice> slices;
  std::uint64_t offset = 0;
  for (std::uint32_t t = 0; t < tile_count; ++t) {
    const std::size_t step_count = draws.size(1, 16);
    std::vector<std::uint32_t> bounds = {draws.u32(0, 0x7FFFFFFF)};
    for (std::size_t i = 0; i < step_count; ++i) {
      bounds.push_back(bounds.back() + draws.u32(1, 10000));  // wraps at 32 bits
    }
    for (const std::uint32_t counter : bounds) {
      append_le32(c.output, counter);
    }
    const std::uint64_t size = (step_count + 1) * 4;
    slices.push_back(
        RegionSlice{.tile = t, .tile_address = 0x4C100, .file_offset = offset, .size = size});
    offset += size;

    std::vector<ProfileStep> steps;
    for (std::uint32_t i = 0; i < step_count; ++i) {
      steps.push_back(generated_step(i, draws.coin()));
    }
    c.expected.push_back(ExpectedTile{.physical_tile = t, .steps = steps, .bounds = bounds});
    c.application.profile_tiles.push_back(
        TileProfilePlan{.physical_tile = t, .steps = std::move(steps)});
  }
  c.application.outputs.push_back(Binding{.name = "profile.cycles",
                                          .dtype = "u32",
                                          .shape = {static_cast<std::uint32_t>(offset / 4)},
                                          .slices = std::move(slices)});
  return c;
}

}  // namespace

void randomized_profile_reports_use_adjacent_start_samples() {
  Draws draws(SEED);
  for (int number = 0; number < CASES; ++number) {
    const RandomCase c = generate_case(draws);
    const auto report = c.application.profile_report(c.output, CLOCK_HZ);
    ASSERT_TRUE(report) << "random case " << number << ": " << report.error();
    ASSERT_EQ(report->tiles.size(), c.expected.size()) << "random case " << number;
    for (std::size_t p = 0; p < c.expected.size(); ++p) {
      const TileProfile& tile = report->tiles[p];
      const ExpectedTile& expected = c.expected[p];
      ASSERT_EQ(expected.physical_tile, p) << "random case " << number;
      ASSERT_EQ(tile.physical_tile, expected.physical_tile);
      ASSERT_EQ(tile.samples.size(), expected.steps.size()) << "random case " << number;
      for (std::size_t i = 0; i < tile.samples.size(); ++i) {
        const CycleSample& sample = tile.samples[i];
        ASSERT_EQ(sample.step, expected.steps[i]) << "random case " << number;
        ASSERT_EQ(sample.start_cycle, expected.bounds[i]) << "random case " << number;
        ASSERT_EQ(sample.end_cycle, expected.bounds[i + 1]) << "random case " << number;
      }
    }
  }
}

}  // namespace qel_package::tests
