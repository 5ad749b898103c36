#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <qel_package/application.hpp>

#include "matchers.hpp"

namespace qel_package {
namespace {

using testing::FailedWithMessage;
using testing::Succeeded;

constexpr std::uint64_t U64_MAX = 18446744073709551615u;

RegionSlice slice(std::uint64_t file_offset, std::uint64_t size) {
  return RegionSlice{.tile = 0, .tile_address = 0x4C000, .file_offset = file_offset, .size = size};
}

Binding binding(std::string name, std::vector<RegionSlice> slices) {
  return Binding{
      .name = std::move(name), .dtype = "u8", .shape = {16}, .slices = std::move(slices)};
}

// Slices of 4 bytes at 12, 0 and 12: extent 16.
Binding values() { return binding("values", {slice(12, 4), slice(0, 4), slice(12, 4)}); }

// values() whose first slice ends beyond 2^64 - 1.
Binding overflowing_values() {
  Binding overflowing = values();
  overflowing.slices[0].file_offset = U64_MAX;
  return overflowing;
}

TEST(OutputBinding, BaseIsTheSumOfTheExtentsBefore) {
  struct Case {
    const char* name;
    Application application;
    std::string request;
    std::size_t index;  // of the binding found in outputs
    std::uint64_t base;
  };
  const Case cases[] = {
      {"the first output starts at 0 whatever its slices",
       {.outputs = {binding("late", {slice(100, 4)}), values()}},
       "late",
       0,
       0},
      {"the furthest slice end, not the sum of sizes",
       {.outputs = {values(), binding("next", {})}},
       "next",
       1,
       16},
      {"the first output, before the others",
       {.outputs = {values(), binding("next", {})}},
       "values",
       0,
       0},
      {"a gap at the start of a region still takes up space",
       {.outputs = {binding("gap", {slice(8, 4)}), binding("empty", {}), values()}},
       "values",
       2,
       12},
      {"the first output of a repeated name",
       {.outputs = {binding("twice", {slice(0, 4)}), binding("twice", {})}},
       "twice",
       0,
       0},
      {"the match's own extent is not computed",
       {.outputs = {overflowing_values(), binding("next", {})}},
       "values",
       0,
       0},
      {"the match's base may be close to the limit",
       {.outputs = {binding("huge", {slice(U64_MAX - 4, 4)}), values()}},
       "values",
       1,
       U64_MAX},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto found = c.application.output_binding(c.request);
    ASSERT_THAT(found, Succeeded());
    EXPECT_EQ(found->binding, &c.application.outputs[c.index]);
    EXPECT_EQ(found->base, c.base);
  }
}

TEST(OutputBinding, FailsWithTheFirstBrokenExtentOrTheMissingName) {
  struct Case {
    const char* name;
    Application application;
    std::string request;
    std::string message;
  };
  const Binding overflowing = overflowing_values();
  const Binding half = binding("half", {slice(0, std::uint64_t{1} << 63)});
  const Case cases[] = {
      {"no outputs", {}, "absent", "application has no absent output binding"},
      {"no output of that name",
       {.outputs = {values(), binding("next", {})}},
       "absent",
       "application has no absent output binding"},
      {"names compare exactly",
       {.outputs = {values()}},
       "Values",
       "application has no Values output binding"},
      {"inputs and weights are not searched",
       {.inputs = {binding("x", {})}, .weights = {binding("x", {})}},
       "x",
       "application has no x output binding"},
      {"a broken extent before the match",
       {.outputs = {overflowing, binding("next", {})}},
       "next",
       "binding values file range overflows"},
      {"a broken extent before the missing name",
       {.outputs = {overflowing}},
       "absent",
       "binding values file range overflows"},
      {"the sum of the extents overflows",
       {.outputs = {half, binding("other", {slice(0, std::uint64_t{1} << 63)}),
                    binding("third", {})}},
       "third",
       "output binding size overflow"},
      {"an overflowing sum before the missing name",
       {.outputs = {half, binding("other", {slice(0, std::uint64_t{1} << 63)})}},
       "absent",
       "output binding size overflow"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT(c.application.output_binding(c.request), FailedWithMessage(c.message));
  }
}

}  // namespace
}  // namespace qel_package
