#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <qel_package/application.hpp>
#include <qel_package/application_view.hpp>
#include <qel_package/constants.hpp>

#include "fixtures.hpp"
#include "matchers.hpp"
#include "unvalidated_bytes.hpp"

namespace qel_package {
namespace {

using profile::ProfileStep;
using testing::FailedAt;
using testing::FailedWithMessage;
using testing::Succeeded;

constexpr std::uint64_t U64_MAX = 18446744073709551615u;

using Mutation = std::function<void(Application&)>;

struct ValidationCase {
  const char* name;
  Mutation mutate;
  std::optional<std::string> message;  // empty: the package is valid
  std::string location{};              // where the rule broke
};

void check(const std::vector<ValidationCase>& cases) {
  for (const ValidationCase& c : cases) {
    SCOPED_TRACE(c.name);
    Application application = tests::sample();
    c.mutate(application);
    // The records and a view of the same package answer alike.
    const auto view = ApplicationView::open(testing::unvalidated_bytes(application));
    if (c.message) {
      EXPECT_THAT(application.validate(), FailedAt(*c.message, c.location));
      EXPECT_THAT(view, FailedAt(*c.message, c.location));
    } else {
      EXPECT_THAT(application.validate(), Succeeded());
      EXPECT_THAT(view, Succeeded());
    }
  }
}

Segment segment(std::uint32_t address, std::uint32_t memory_size, std::size_t data_size = 0) {
  return Segment{.address = address,
                 .memory_size = memory_size,
                 .data = std::vector<std::uint8_t>(data_size, 0xAB),
                 .flags = 0};
}

// Replaces the sample tile's segments.
Mutation segments(std::vector<Segment> list) {
  return [list](Application& application) { application.tiles[0].segments = list; };
}

ProfileStep step(std::uint32_t local_index) { return ProfileStep{.local_index = local_index}; }

Binding binding(std::string name, std::vector<RegionSlice> slices = {}) {
  return Binding{.name = std::move(name), .dtype = "u8", .shape = {4}, .slices = std::move(slices)};
}

RegionSlice slice(std::uint32_t tile, std::uint32_t tile_address, std::uint64_t size,
                  std::uint64_t file_offset = 0) {
  return RegionSlice{
      .tile = tile, .tile_address = tile_address, .file_offset = file_offset, .size = size};
}

TEST(Validate, Tiles) {
  check({
      {"the sample", [](Application&) {}, std::nullopt},
      {"no tiles, everything else faulty too",
       [](Application& a) {
         a.tiles.clear();
         a.device_config_writes = {{.offset = 2}};
         a.debug_symbols = {{}};
       },
       "application has no tiles", ""},
      {"tiles 0 and 3", [](Application& a) { a.tiles.push_back({.physical_tile = 3}); },
       std::nullopt},
      {"two tiles 3",
       [](Application& a) {
         a.tiles.push_back({.physical_tile = 3});
         a.tiles.push_back({.physical_tile = 3});
       },
       "duplicate physical tile 3", "tiles[2]"},
      {"a tile without segments", [](Application& a) { a.tiles.push_back({.physical_tile = 1}); },
       std::nullopt},
  });
}

TEST(Validate, DeviceConfigWrites) {
  check({
      {"offsets 0 and 4",
       [](Application& a) {
         a.device_config_writes = {{0, 1}, {4, 1}};
       },
       std::nullopt},
      {"unaligned offset 2",
       [](Application& a) {
         a.device_config_writes = {{2, 1}};
       },
       "unaligned or duplicate device configuration write", "device_config_writes[0]"},
      {"offset 4 twice with different values",
       [](Application& a) {
         a.device_config_writes = {{4, 1}, {4, 2}};
       },
       "unaligned or duplicate device configuration write", "device_config_writes[1]"},
      {"checked before the tiles",
       [](Application& a) {
         a.device_config_writes = {{4, 1}, {4, 1}};
         a.tiles.push_back(a.tiles[0]);
       },
       "unaligned or duplicate device configuration write", "device_config_writes[1]"},
  });
}

TEST(Validate, Segments) {
  check({
      {"4 bytes below the window", segments({segment(TILE_MEMORY_BASE - 4, 8, 4)}),
       "invalid segment on tile 0: address=0x4bffc end=0x4c004 memory_size=8 data_size=4",
       "tiles[0].segments[0]"},
      {"ends exactly at the window end", segments({segment(0xE0000, 0x8000)}), std::nullopt},
      {"ends one byte beyond the window", segments({segment(0xE0000, 0x8001)}),
       "invalid segment on tile 0: address=0xe0000 end=0xe8001 memory_size=32769 data_size=0",
       "tiles[0].segments[0]"},
      {"more data than memory", segments({segment(TILE_MEMORY_BASE, 2, 4)}),
       "invalid segment on tile 0: address=0x4c000 end=0x4c002 memory_size=2 data_size=4",
       "tiles[0].segments[0]"},
      {"data filling its memory", segments({segment(TILE_MEMORY_BASE, 4, 4)}), std::nullopt},
      {"end beyond 32 bits, before the window", segments({segment(0xFFFFFFF0, 0x20)}),
       "segment address overflow", "tiles[0].segments[0]"},
      {"empty segment below the window", segments({segment(0x1000, 0)}),
       "invalid segment on tile 0: address=0x1000 end=0x1000 memory_size=0 data_size=0",
       "tiles[0].segments[0]"},
      {"reported for the tile it is on",
       [](Application& a) {
         a.tiles.push_back({.physical_tile = 9, .segments = {segment(0xE8000, 1)}});
       },
       "invalid segment on tile 9: address=0xe8000 end=0xe8001 memory_size=1 data_size=0",
       "tiles[1].segments[0]"},
  });
}

TEST(Validate, SegmentOverlap) {
  check({
      {"lower range first whatever the list order",
       segments({segment(TILE_MEMORY_BASE + 4, 8), segment(TILE_MEMORY_BASE, 8)}),
       "overlapping segments on tile 0: 0x4c000..0x4c008 and 0x4c004..0x4c00c",
       "tiles[0].segments[0]"},
      {"touching segments",
       segments({segment(TILE_MEMORY_BASE + 8, 8), segment(TILE_MEMORY_BASE, 8)}), std::nullopt},
      {"a copy of a segment",
       [](Application& a) { a.tiles[0].segments.push_back(a.tiles[0].segments[0]); },
       "overlapping segments on tile 0: 0x4c000..0x4c008 and 0x4c000..0x4c008",
       "tiles[0].segments[1]"},
      {"an empty segment inside another",
       [](Application& a) { a.tiles[0].segments.push_back(segment(TILE_MEMORY_BASE + 2, 0)); },
       std::nullopt},
      {"found between neighbours after sorting",
       segments({segment(0x50000, 0x10), segment(0x4C000, 0x10), segment(0x50008, 0x10),
                 segment(0x60000, 0x10)}),
       "overlapping segments on tile 0: 0x50000..0x50010 and 0x50008..0x50018",
       "tiles[0].segments[2]"},
      {"segments on different tiles may share addresses",
       [](Application& a) {
         a.tiles.push_back({.physical_tile = 1, .segments = a.tiles[0].segments});
       },
       std::nullopt},
  });
}

TEST(Validate, ProfilePlans) {
  check({
      {"steps 0, 1, 2 and a plan without steps",
       [](Application& a) {
         a.tiles.push_back({.physical_tile = 1});
         a.profile_tiles = {{0, {step(0), step(1), step(2)}}, {1, {}}};
       },
       std::nullopt},
      {"a plan for a missing tile",
       [](Application& a) {
         a.profile_tiles = {{7, {}}};
       },
       "invalid tile profile plan", "profile_tiles[0]"},
      {"two plans for one tile",
       [](Application& a) {
         a.profile_tiles = {{0, {}}, {0, {}}};
       },
       "invalid tile profile plan", "profile_tiles[1]"},
      {"steps numbered from 1",
       [](Application& a) {
         a.profile_tiles = {{0, {step(1), step(2), step(3)}}};
       },
       "invalid tile profile plan", "profile_tiles[0].steps[0].local_index"},
  });
}

TEST(Validate, DebugMap) {
  constexpr std::uint32_t no_tile = 0xFFFFFFFF;
  check({
      {"a region of no tile ending at 2^32 - 1",
       [](Application& a) {
         a.debug_symbols = {{"kernel", 0}};
         a.debug_regions = {{no_tile, 0xFFFFFFFE, 1, "top"}, {0, TILE_MEMORY_BASE, 8, "image"}};
       },
       std::nullopt},
      {"an unnamed symbol",
       [](Application& a) {
         a.debug_symbols = {{"", 0}};
       },
       "invalid package debug map", "debug_symbols[0]"},
      {"an unnamed region",
       [](Application& a) {
         a.debug_regions = {{0, 0, 1, ""}};
       },
       "invalid package debug map", "debug_regions[0]"},
      {"a region of size 0",
       [](Application& a) {
         a.debug_regions = {{0, 0, 0, "r"}};
       },
       "invalid package debug map", "debug_regions[0]"},
      {"a region ending beyond 32 bits",
       [](Application& a) {
         a.debug_regions = {{no_tile, 0xFFFFFFFF, 1, "r"}};
       },
       "invalid package debug map", "debug_regions[0]"},
      {"a region on a missing tile",
       [](Application& a) {
         a.debug_regions = {{5, 0, 1, "r"}};
       },
       "invalid package debug map", "debug_regions[0]"},
  });
}

TEST(Validate, Bindings) {
  check({
      {"an empty slice at the window start and a binding without slices",
       [](Application& a) {
         a.inputs = {binding("in", {slice(0, TILE_MEMORY_BASE, 0)})};
         a.outputs = {binding("out")};
       },
       std::nullopt},
      {"slices may overlap and leave the segments",
       [](Application& a) {
         a.weights = {binding("w", {slice(0, 0xE7000, 0x1000), slice(0, 0xE7000, 0x1000)})};
       },
       std::nullopt},
      {"an empty name", [](Application& a) { a.inputs = {binding("")}; },
       "empty or duplicate binding ", "inputs[0]"},
      {"an input and a weight share a name",
       [](Application& a) {
         a.inputs = {binding("x")};
         a.outputs = {binding("y")};
         a.weights = {binding("x")};
       },
       "empty or duplicate binding x", "weights[0]"},
      {"a slice of 2^32 bytes",
       [](Application& a) { a.inputs = {binding("x", {slice(0, TILE_MEMORY_BASE, 1ull << 32)})}; },
       "binding x slice is too large", "inputs[0].slices[0]"},
      {"a tile address end beyond 32 bits",
       [](Application& a) { a.outputs = {binding("x", {slice(0, 0xFFFFFFFF, 1)})}; },
       "binding address overflow", "outputs[0].slices[0]"},
      {"a slice on a missing tile",
       [](Application& a) { a.outputs = {binding("x", {slice(1, TILE_MEMORY_BASE, 4)})}; },
       "binding x references invalid tile memory", "outputs[0].slices[0]"},
      {"a slice one byte below the window",
       [](Application& a) { a.weights = {binding("x", {slice(0, TILE_MEMORY_BASE - 1, 4)})}; },
       "binding x references invalid tile memory", "weights[0].slices[0]"},
      {"a slice one byte beyond the window",
       [](Application& a) { a.weights = {binding("x", {slice(0, TILE_MEMORY_END - 3, 4)})}; },
       "binding x references invalid tile memory", "weights[0].slices[0]"},
      {"the extent is checked before any slice",
       [](Application& a) {
         a.inputs = {binding("x", {slice(1, 0, 4), slice(0, TILE_MEMORY_BASE, 4, U64_MAX)})};
       },
       "binding x file range overflows", "inputs[0].slices[1]"},
  });
}

// One fault per rule group, in the order the groups run: with the faults of all later
// groups present too, each is reported by its own message.
TEST(Validate, RuleGroupsRunInOrder) {
  const std::vector<std::pair<Mutation, std::string>> faults = {
      {[](Application& a) {
         a.device_config_writes = {{1, 0}};
       },
       "unaligned or duplicate device configuration write"},
      {[](Application& a) { a.tiles.push_back(a.tiles[0]); }, "duplicate physical tile 0"},
      {[](Application& a) {
         a.profile_tiles = {{0, {step(5)}}};
       },
       "invalid tile profile plan"},
      {[](Application& a) {
         a.debug_symbols = {{"", 0}};
       },
       "invalid package debug map"},
      {[](Application& a) { a.inputs = {binding("")}; }, "empty or duplicate binding "},
      {[](Application& a) {
         a.host_exchange.pages = {{0, 1}, {0, 1}};
       },
       "invalid host page table"},
  };
  for (std::size_t first = 0; first < faults.size(); ++first) {
    SCOPED_TRACE(faults[first].second);
    Application application = tests::sample();
    for (std::size_t i = first; i < faults.size(); ++i) {
      faults[i].first(application);
    }
    EXPECT_THAT(application.validate(), FailedWithMessage(faults[first].second));
  }
}

TEST(BindingByteLen, IsTheFurthestSliceEnd) {
  struct Case {
    const char* name;
    std::vector<RegionSlice> slices;
    std::optional<std::uint64_t> extent;  // empty: the file range overflows
  };
  const Case cases[] = {
      {"no slices", {}, 0},
      {"furthest end, not the sum",
       {slice(0, 0, 4, 12), slice(0, 0, 4, 0), slice(0, 0, 4, 12)},
       16},
      {"an empty slice counts by its offset", {slice(0, 0, 0, 100)}, 100},
      {"an end of exactly 2^64 - 1", {slice(0, 0, 4, U64_MAX - 4)}, U64_MAX},
      {"an end of 2^64", {slice(0, 0, 4, U64_MAX - 3)}, std::nullopt},
      {"the first overflow ends the walk",
       {slice(0, 0, 4, U64_MAX), slice(0, 0, 4, 0)},
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Binding values = binding("values", c.slices);
    if (c.extent) {
      const auto extent = values.byte_len();
      ASSERT_THAT(extent, Succeeded());
      EXPECT_EQ(*extent, *c.extent);
    } else {
      EXPECT_THAT(values.byte_len(), FailedWithMessage("binding values file range overflows"));
    }
  }
}

}  // namespace
}  // namespace qel_package
