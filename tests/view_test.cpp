#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <qel_package/qel_package.hpp>

#include "fixtures.hpp"
#include "matchers.hpp"
#include "written.hpp"

namespace qel_package {
namespace {

using profile::ProfileReport;
using profile::ProfileReportView;
using testing::FailedAs;
using testing::written;

// The bytes at an offset of one from a word boundary, which a view copies once.
std::vector<std::uint8_t> shifted(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint8_t> buffer(bytes.size() + 1);
  std::copy(bytes.begin(), bytes.end(), buffer.begin() + 1);
  return buffer;
}

TEST(ApplicationView, OpensInPlaceOrFromACopyAndIgnoresLaterBytes) {
  const Application application = tests::full_package();
  std::vector<std::uint8_t> bytes = written(application);
  const std::size_t message_bytes = bytes.size();
  bytes.insert(bytes.end(), 64, 0xFF);
  const std::vector<std::uint8_t> unaligned = shifted(bytes);
  for (const std::span<const std::uint8_t> input :
       {std::span<const std::uint8_t>(bytes), std::span(unaligned).subspan(1)}) {
    const auto view = ApplicationView::open(input);
    ASSERT_TRUE(view) << view.error();
    EXPECT_EQ(view->message_bytes(), message_bytes);
    EXPECT_EQ(view->to_application(), application);
  }
}

TEST(ApplicationView, ElementViewsBorrowTheInput) {
  const std::vector<std::uint8_t> bytes = written(tests::full_package());
  const auto view = ApplicationView::open(bytes);
  ASSERT_TRUE(view) << view.error();
  const std::span<const std::uint8_t> data = view->tiles()[0].segments()[0].data();
  const std::string_view name = view->outputs()[0].name();
  for (const auto* pointer : {data.data(), reinterpret_cast<const std::uint8_t*>(name.data())}) {
    EXPECT_GE(pointer, bytes.data());
    EXPECT_LT(pointer, bytes.data() + bytes.size());
  }
}

// Copies share the checked message, and a moved view keeps working.
TEST(ApplicationView, StaysValidWhenCopiedOrMoved) {
  const Application application = tests::full_package();
  const std::vector<std::uint8_t> unaligned = shifted(written(application));
  std::vector<ApplicationView> views;
  {
    auto opened = ApplicationView::open(std::span(unaligned).subspan(1));
    ASSERT_TRUE(opened) << opened.error();
    ApplicationView copy = *opened;
    views.push_back(std::move(*opened));
    views.push_back(std::move(copy));
  }
  for (const ApplicationView& view : views) {
    EXPECT_EQ(view.to_application(), application);
  }
}

TEST(ApplicationView, RuntimeViewsAnswerAsTheRecords) {
  const Application application = tests::full_package();
  const std::vector<std::uint8_t> bytes = written(application);
  const auto view = ApplicationView::open(bytes);
  ASSERT_TRUE(view) << view.error();
  for (const TileImage& tile : application.tiles) {
    SCOPED_TRACE(tile.physical_tile);
    const auto expected = application.tile_image(tile.physical_tile);
    const auto image = view->tile_image(tile.physical_tile);
    ASSERT_EQ(static_cast<bool>(image), static_cast<bool>(expected));
    if (expected) {
      EXPECT_EQ(*image, *expected);
    } else {
      EXPECT_EQ(testing::render(image.error()), testing::render(expected.error()));
    }
  }
  EXPECT_THAT(view->tile_image(77), FailedAs("Invalid(\"unknown tile 77\")"));
  for (const Binding& output : application.outputs) {
    const auto found = view->output_binding(output.name);
    ASSERT_TRUE(found) << found.error();
    EXPECT_EQ(found->binding.name(), output.name);
    EXPECT_EQ(found->base, application.output_binding(output.name)->base);
  }
  EXPECT_THAT(view->output_binding("absent"),
              FailedAs("Invalid(\"application has no absent output binding\")"));
}

TEST(ProfileReportView, OpensAsTheReaderReads) {
  const ProfileReport report{
      .clock_hz = 1500000000,
      .tiles = {{.physical_tile = 4,
                 .samples = {{.step = tests::full_package().profile_tiles[0].steps[0],
                              .start_cycle = 4294967290u,
                              .end_cycle = 6}}}},
  };
  const std::vector<std::uint8_t> bytes = written(report);
  const std::vector<std::uint8_t> unaligned = shifted(bytes);
  for (const std::span<const std::uint8_t> input :
       {std::span<const std::uint8_t>(bytes), std::span(unaligned).subspan(1)}) {
    const auto view = ProfileReportView::open(input);
    ASSERT_TRUE(view) << view.error();
    EXPECT_EQ(view->message_bytes(), bytes.size());
    EXPECT_EQ(view->to_report(), report);
    EXPECT_EQ(view->clock_hz(), 1500000000u);
    const auto sample = view->tiles()[0].samples()[0];
    EXPECT_EQ(sample.cycles(), 12u);
    EXPECT_EQ(sample.step().to_step(), report.tiles[0].samples[0].step);
  }
  EXPECT_THAT(ProfileReportView::open({}),
              FailedAs("Capnp(Exception { type: Failed, description: \"message of 0 bytes ends "
                       "before its segment count\" })"));
}

}  // namespace
}  // namespace qel_package
