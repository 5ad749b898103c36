#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <qel_package/timeline_svg.hpp>

#include "matchers.hpp"
#include "profile_fixture.hpp"
#include "xml_tree.hpp"

namespace qel_package::profile {
namespace {

using qel_package::testing::cycle_sample;
using qel_package::testing::Element;
using qel_package::testing::FailedWithMessage;
using qel_package::testing::parse_xml;
using qel_package::testing::Succeeded;
using qel_package::testing::wrapping_report;
using qel_package::testing::WrittenReport;

std::unique_ptr<Element> plot(const ProfileReport& report, const TimelineOptions& options = {}) {
  std::ostringstream text;
  EXPECT_THAT(write_timeline_svg(report, text, options), Succeeded());
  std::ostringstream from_view;
  EXPECT_THAT(write_timeline_svg(WrittenReport(report).view(), from_view, options), Succeeded());
  EXPECT_EQ(from_view.str(), text.str());
  auto document = parse_xml(text.str());
  EXPECT_EQ(document->children.size(), 1u);
  EXPECT_EQ(document->children.at(0)->name, "svg");
  EXPECT_EQ(document->children.at(0)->attribute("xmlns"), "http://www.w3.org/2000/svg");
  return document;
}

TEST(TimelineSvg, LanesStepsAndLegend) {
  const auto svg = plot(wrapping_report(2000000), {.align = true});
  const auto lanes = svg->all("g", "lane");
  ASSERT_EQ(lanes.size(), 3u);
  const std::vector<std::string> tiles{"17", "3", "5"};
  for (std::size_t i = 0; i < lanes.size(); ++i) {
    SCOPED_TRACE(tiles[i]);
    EXPECT_EQ(lanes[i]->attribute("data-tile"), tiles[i]);
    ASSERT_EQ(lanes[i]->all("text").size(), 1u);
    EXPECT_EQ(lanes[i]->all("text")[0]->text, "tile " + tiles[i]);
  }
  struct Expected {
    const char* css_class;
    const char* title;
  };
  const std::vector<std::vector<Expected>> steps{
      {{"Compute", "accumulate \u00b7 gemm \u00b7 285 cycles \u00b7 142.500 us \u00b7 tile 17"},
       {"Exchange", "send \u00b7 multicast \u00b7 18 cycles \u00b7 9.000 us \u00b7 tile 17"},
       {"Compute", "accumulate \u00b7 gemm \u00b7 1000 cycles \u00b7 500.000 us \u00b7 tile 17"}},
      {},
      {{"Idle", "rest \u00b7  \u00b7 18 cycles \u00b7 9.000 us \u00b7 tile 5"}},
  };
  for (std::size_t lane = 0; lane < lanes.size(); ++lane) {
    const auto rects = lanes[lane]->all("rect");
    ASSERT_EQ(rects.size(), steps[lane].size());
    for (std::size_t i = 0; i < rects.size(); ++i) {
      SCOPED_TRACE(steps[lane][i].title);
      EXPECT_EQ(rects[i]->attribute("class"), steps[lane][i].css_class);
      ASSERT_NE(rects[i]->title(), nullptr);
      EXPECT_EQ(rects[i]->title()->text, steps[lane][i].title);
    }
  }
  // Aligned, tile 17's steps start at 0, 285 and 303 cycles of a 1303-cycle axis.
  const auto tile17 = lanes[0]->all("rect");
  EXPECT_EQ(tile17[0]->attribute("x"), "0.0");
  EXPECT_EQ(tile17[1]->attribute("x"), "262.5");
  EXPECT_EQ(tile17[2]->attribute("x"), "279.0");
  EXPECT_EQ(tile17[2]->attribute("width"), "921.0");

  const auto legends = svg->all("g", "legend");
  ASSERT_EQ(legends.size(), 1u);
  std::vector<std::string> legend;
  for (const Element* rect : legends[0]->all("rect")) {
    legend.push_back(rect->attribute("class"));
  }
  EXPECT_EQ(legend, (std::vector<std::string>{"Exchange", "Compute", "Synchronization", "Idle"}));
  const auto axes = svg->all("g", "axis");
  ASSERT_EQ(axes.size(), 1u);
  std::vector<std::string> ticks;
  for (const Element* text : axes[0]->all("text")) {
    ticks.push_back(text->text);
  }
  EXPECT_EQ(ticks,
            (std::vector<std::string>{"time (us)", "0", "100", "200", "300", "400", "500", "600"}));
}

TEST(TimelineSvg, MergesStepsNarrowerThanAPixel) {
  // 1000 one-cycle steps, then one of 1000 cycles: 2000 cycles over 1200 pixels.
  TileProfile tile{.physical_tile = 2};
  std::uint32_t cycle = 0;
  for (std::uint32_t i = 0; i < 1000; ++i, ++cycle) {
    tile.samples.push_back(cycle_sample(i, i % 4 == 0 ? StepKind::Exchange : StepKind::Compute,
                                        "tiny", "k", cycle, cycle + 1));
  }
  tile.samples.push_back(cycle_sample(1000, StepKind::Idle, "long", "k", cycle, cycle + 1000));
  const auto svg = plot(ProfileReport{.clock_hz = 1000000, .tiles = {tile}});
  const auto rects = svg->all("g", "lane").at(0)->all("rect");
  // Each merged rectangle gathers the two steps that make up a pixel or more (0.6 px each).
  ASSERT_EQ(rects.size(), 501u);
  EXPECT_EQ(rects[0]->attribute("class"), "Exchange merged");  // a tie goes to the first kind
  EXPECT_EQ(rects[0]->title()->text,
            "2 steps merged, each narrower than a pixel \u00b7 2 cycles \u00b7 2.000 us \u00b7 "
            "Exchange 1 \u00b7 Compute 1 \u00b7 tile 2 steps 0 to 1");
  EXPECT_EQ(rects[499]->title()->text.substr(0, 14), "2 steps merged");
  EXPECT_EQ(rects[500]->attribute("class"), "Idle");
  EXPECT_EQ(rects[500]->attribute("x"), "600.0");
}

TEST(TimelineSvg, TextsAreEscaped) {
  CycleSample step = cycle_sample(0, StepKind::Compute, "a<b>&\"c\"\x01", "k\xc3\xa9", 0, 10);
  const auto svg =
      plot(ProfileReport{.clock_hz = 1, .tiles = {{.physical_tile = 0, .samples = {step}}}});
  EXPECT_EQ(
      svg->all("rect", "Compute").at(1)->title()->text,
      "a<b>&\"c\"\ufffd \u00b7 k\u00e9 \u00b7 10 cycles \u00b7 10000000.000 us \u00b7 tile 0");
}

TEST(TimelineSvg, EmptyReportAndZeroClock) {
  const auto svg = plot(ProfileReport{.clock_hz = 1});
  EXPECT_TRUE(svg->all("g", "lane").empty());
  std::ostringstream text;
  EXPECT_THAT(
      write_timeline_svg(wrapping_report(0), text),
      FailedWithMessage("report clock is 0 Hz, so its cycles have no duration in microseconds"));
  EXPECT_THAT(
      write_timeline_svg(WrittenReport(wrapping_report(0)).view(), text),
      FailedWithMessage("report clock is 0 Hz, so its cycles have no duration in microseconds"));
  EXPECT_EQ(text.str(), "");
}

}  // namespace
}  // namespace qel_package::profile
