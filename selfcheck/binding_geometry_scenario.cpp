#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include <qel_package/application.hpp>

#include "fixtures.hpp"
#include "scenarios.hpp"

namespace qel_package::tests {

void binding_extents_and_output_offsets_share_checked_file_geometry() {
  Binding values{.name = "values", .dtype = "u8", .shape = {16}, .slices = {}};
  const auto empty = values.byte_len();
  ASSERT_TRUE(empty) << empty.error();
  EXPECT_EQ(*empty, 0u);

  for (const std::uint64_t file_offset : {12u, 0u, 12u}) {
    values.slices.push_back(
        RegionSlice{.tile = 0, .tile_address = 0x4C000, .file_offset = file_offset, .size = 4});
  }
  // The furthest end, not the 12 bytes the sizes add up to.
  const auto extent = values.byte_len();
  ASSERT_TRUE(extent) << extent.error();
  EXPECT_EQ(*extent, 16u);

  Application application = sample();
  Binding next = values;
  next.name = "next";
  application.outputs = {values, next};
  const auto found = application.output_binding("next");
  ASSERT_TRUE(found) << found.error();
  EXPECT_EQ(found->base, 16u);
  EXPECT_FALSE(application.output_binding("absent"));

  // One overflowing file range breaks the extent, every later offset and validation alike.
  Binding& first = application.outputs[0];
  first.slices[0].file_offset = 18446744073709551615u;
  EXPECT_FALSE(first.byte_len());
  EXPECT_FALSE(application.output_binding("next"));
  EXPECT_FALSE(application.validate());
}

}  // namespace qel_package::tests
