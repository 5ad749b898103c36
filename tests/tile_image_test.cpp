#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <qel_package/application.hpp>
#include <qel_package/constants.hpp>

#include "matchers.hpp"

namespace qel_package {
namespace {

using testing::FailedWithMessage;
using testing::Succeeded;

constexpr std::uint32_t BASE = TILE_MEMORY_BASE;

using Bytes = std::vector<std::uint8_t>;

struct ImageCase {
  const char* name;
  std::vector<Segment> segments;
  std::optional<Bytes> image;  // empty: the call fails with message
  std::string message;
};

const ImageCase IMAGE_CASES[] = {
    {"data shorter than memory", {{BASE, 6, {1, 2, 3}, 0}}, Bytes{1, 2, 3, 0, 0, 0}, ""},
    {"load base is the lowest address, not the first",
     {{BASE + 4, 2, {7, 8}, 0}, {BASE, 2, {5, 6}, 0}},
     Bytes{5, 6, 0, 0, 7, 8},
     ""},
    {"a gap filled with zeros",
     {{BASE, 1, {1}, 0}, {BASE + 5, 2, {2}, 0}},
     Bytes{1, 0, 0, 0, 0, 2, 0},
     ""},
    {"an empty segment still extends the image",
     {{BASE, 1, {1}, 0}, {BASE + 1, 3, {}, 0}},
     Bytes{1, 0, 0, 0},
     ""},
    {"memory size 0 counts for the load base",
     {{BASE, 0, {}, 0}, {BASE + 2, 1, {9}, 0}},
     Bytes{0, 0, 9},
     ""},
    {"flags play no part", {{BASE, 1, {1}, 0}, {BASE + 1, 1, {2}, 0xFFFFFFFF}}, Bytes{1, 2}, ""},
    {"later segments win where they overlap",
     {{BASE, 4, {1, 1, 1, 1}, 0}, {BASE + 1, 2, {2, 2}, 0}},
     Bytes{1, 2, 2, 1},
     ""},
    {"no segments", {}, std::nullopt, "tile has no loadable segments"},
    // Applications built in memory are not validated; the segment rule still guards the image.
    {"data longer than memory",
     {{BASE, 2, {1, 2, 3}, 0}},
     std::nullopt,
     "invalid segment on tile 3: address=0x4c000 end=0x4c002 memory_size=2 data_size=3"},
    {"a segment end that wraps 32 bits",
     {{BASE, 1, {1}, 0}, {0xFFFFFFF0, 0x20, {}, 0}},
     std::nullopt,
     "segment address overflow"},
    {"a huge memory size",
     {{BASE, 0xF0000000, {}, 0}},
     std::nullopt,
     "invalid segment on tile 3: address=0x4c000 end=0xf004c000 memory_size=4026531840 "
     "data_size=0"},
};

TEST(TileImage, RebuildsTheTileMemoryFromItsSegments) {
  for (const ImageCase& c : IMAGE_CASES) {
    SCOPED_TRACE(c.name);
    Application application;
    application.tiles = {{.physical_tile = 1, .segments = {{BASE, 1, {0xEE}, 0}}},
                         {.physical_tile = 3, .segments = c.segments}};
    const auto image = application.tile_image(3);
    if (c.image) {
      ASSERT_THAT(image, Succeeded());
      EXPECT_EQ(*image, *c.image);
    } else {
      EXPECT_THAT(image, FailedWithMessage(c.message));
    }
  }
}

// tile_load_image gives the same image and the same errors, with the load base beside.
TEST(TileImage, LoadImageCarriesTheLoadBase) {
  for (const ImageCase& c : IMAGE_CASES) {
    SCOPED_TRACE(c.name);
    Application application;
    application.tiles = {{.physical_tile = 3, .segments = c.segments}};
    const auto loaded = application.tile_load_image(3);
    if (c.image) {
      ASSERT_THAT(loaded, Succeeded());
      EXPECT_EQ(loaded->image, *c.image);
    } else {
      EXPECT_THAT(loaded, FailedWithMessage(c.message));
    }
  }
  Application application;
  application.tiles = {
      {.physical_tile = 3, .segments = {{BASE + 8, 2, {7}, 0}, {BASE + 6, 1, {5}, 0}}}};
  const auto loaded = application.tile_load_image(3);
  ASSERT_THAT(loaded, Succeeded());
  EXPECT_EQ(*loaded, (TileLoadImage{.load_base = BASE + 6, .image = {5, 0, 7, 0}}));
  EXPECT_THAT(application.tile_load_image(7), FailedWithMessage("unknown tile 7"));
}

TEST(TileImage, UnknownTile) {
  Application application;
  application.tiles = {{.physical_tile = 1, .segments = {{BASE, 1, {1}, 0}}}};
  EXPECT_THAT(application.tile_image(7), FailedWithMessage("unknown tile 7"));
}

}  // namespace
}  // namespace qel_package
