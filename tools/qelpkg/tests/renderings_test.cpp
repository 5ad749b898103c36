#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <qel_package/application.hpp>
#include <qel_package/profile.hpp>

#include "failure.hpp"
#include "package_info.hpp"
#include "profile_fixture.hpp"
#include "profile_show.hpp"

namespace qelpkg {
namespace {

using qel_package::Application;
using namespace qel_package::profile;
using qel_package::testing::wrapping_report;
using qel_package::testing::WrittenReport;

TEST(PackageInfo, EmptySections) {
  Application application;
  application.tiles.push_back({.physical_tile = 4, .entry_point = 0x4c000});
  const auto text = package_info_text(application, {.message = 96, .file = 100});
  ASSERT_TRUE(text);
  EXPECT_EQ(*text,
            "message: 96 bytes, followed by 4 other bytes\n"
            "compiler version: 0.1.0\n"
            "\n"
            "tiles (1):\n"
            "  tile 4: entry point 0x4c000, command address 0x0, diagnostic address 0x0\n"
            "    image: no loadable segments\n"
            "\n"
            "inputs: none\n"
            "\n"
            "outputs: none\n"
            "\n"
            "weights: none\n"
            "\n"
            "host exchange: startup mark 0, command word at page 0 offset 0\n"
            "  pages: none\n"
            "  attach order: none\n"
            "  calls: none\n"
            "\n"
            "entry points: none\n"
            "\n"
            "device configuration writes: none\n"
            "\n"
            "profile plans: none\n"
            "\n"
            "debug symbols: none\n"
            "\n"
            "debug regions: none\n");
  const auto json = package_info_json(application, {.message = 96, .file = std::nullopt});
  ASSERT_TRUE(json);
  EXPECT_EQ((*json)["message_bytes"], 96);
  EXPECT_TRUE((*json)["bytes_after_message"].is_null());
  EXPECT_TRUE((*json)["tiles"][0]["load_base"].is_null());
  EXPECT_EQ((*json)["tiles"][0]["image_size"], 0);
}

TEST(PackageInfo, DerivedJsonFields) {
  Application application;
  application.tiles.push_back({.physical_tile = 0,
                               .segments = {{.address = 0x4c010, .memory_size = 4, .data = {1, 2}},
                                            {.address = 0x4c000, .memory_size = 8, .data = {3}}}});
  application.outputs.push_back(
      {.name = "y", .slices = {{.tile = 0, .tile_address = 0x4c000, .file_offset = 6, .size = 2}}});
  application.profile_tiles.push_back({.physical_tile = 0,
                                       .steps = {{.local_index = 0, .kind = StepKind::Idle},
                                                 {.local_index = 1, .kind = StepKind::Exchange},
                                                 {.local_index = 2, .kind = StepKind::Idle}}});
  const auto json = package_info_json(application, {.message = 8, .file = 8});
  ASSERT_TRUE(json);
  EXPECT_EQ((*json)["bytes_after_message"], 0);
  EXPECT_EQ((*json)["tiles"][0]["segments"][0].dump(),
            R"({"address":311312,"memory_size":4,"data_size":2,"flags":0})");
  EXPECT_EQ((*json)["tiles"][0]["load_base"], 0x4c000);
  EXPECT_EQ((*json)["tiles"][0]["image_size"], 20);
  EXPECT_EQ((*json)["outputs"][0]["byte_len"], 8);
  EXPECT_EQ((*json)["profile_tiles"][0].dump(),
            R"({"physical_tile":0,"steps":3,"kinds":{"Exchange":1,"Idle":2}})");
}

// The text of profile show, as the command puts it together.
std::string show_text(const ProfileReport& report, const ShowOptions& options = {}) {
  const WrittenReport written(report);
  const ProfileSummary summary = summarize(written.view());
  std::string text = summary_text(summary, options);
  for (std::size_t i = 0; i < report.tiles.size(); ++i) {
    text += tile_samples_text(written.view().tiles()[i], summary.tiles[i], report.clock_hz);
  }
  return text;
}

TEST(ProfileShow, Text) {
  const std::vector<std::pair<std::uint64_t, std::string>> cases{
      {2000000,
       "clock: 2000000 Hz\n"
       "total: 4 samples on 3 tiles, 1321 cycles, 660.500 us\n"
       "\n"
       "kinds:\n"
       "  kind      samples  cycles       us     %\n"
       "  Exchange        1      18    9.000   1.4\n"
       "  Compute         2    1285  642.500  97.3\n"
       "  Idle            1      18    9.000   1.4\n"
       "\n"
       "kernels:\n"
       "  kernel     samples  cycles       us     %\n"
       "  gemm             2    1285  642.500  97.3\n"
       "  (none)           1      18    9.000   1.4\n"
       "  multicast        1      18    9.000   1.4\n"
       "\n"
       "operations:\n"
       "  operation   samples  cycles       us     %\n"
       "  accumulate        2    1285  642.500  97.3\n"
       "  rest              1      18    9.000   1.4\n"
       "  send              1      18    9.000   1.4\n"
       "\n"
       "tiles:\n"
       "  tile  samples  busy cycles  busy us  first start    last end\n"
       "    17        3         1303  651.500   4294967000  4294968303\n"
       "     3        0            0    0.000            0           0\n"
       "     5        1           18    9.000          100         118\n"
       "\n"
       "tile 17 (3 samples):\n"
       "  index  kind      operation   kernel          start         end  cycles       us\n"
       "      0  Compute   accumulate  gemm       4294967000  4294967285     285  142.500\n"
       "      1  Exchange  send        multicast  4294967285           7      18    9.000\n"
       "      2  Compute   accumulate  gemm                7        1007    1000  500.000\n"
       "  totals:\n"
       "    kind      cycles       us\n"
       "    Exchange      18    9.000\n"
       "    Compute     1285  642.500\n"
       "\n"
       "tile 3: no samples\n"
       "\n"
       "tile 5 (1 sample):\n"
       "  index  kind  operation  kernel  start  end  cycles     us\n"
       "      0  Idle  rest                 100  118      18  9.000\n"
       "  totals:\n"
       "    kind  cycles     us\n"
       "    Idle      18  9.000\n"},
      {0,
       "clock: unknown (0 Hz), durations in cycles only\n"
       "total: 4 samples on 3 tiles, 1321 cycles\n"
       "\n"
       "kinds:\n"
       "  kind      samples  cycles     %\n"
       "  Exchange        1      18   1.4\n"
       "  Compute         2    1285  97.3\n"
       "  Idle            1      18   1.4\n"
       "\n"
       "kernels:\n"
       "  kernel     samples  cycles     %\n"
       "  gemm             2    1285  97.3\n"
       "  (none)           1      18   1.4\n"
       "  multicast        1      18   1.4\n"
       "\n"
       "operations:\n"
       "  operation   samples  cycles     %\n"
       "  accumulate        2    1285  97.3\n"
       "  rest              1      18   1.4\n"
       "  send              1      18   1.4\n"
       "\n"
       "tiles:\n"
       "  tile  samples  busy cycles  first start    last end\n"
       "    17        3         1303   4294967000  4294968303\n"
       "     3        0            0            0           0\n"
       "     5        1           18          100         118\n"
       "\n"
       "tile 17 (3 samples):\n"
       "  index  kind      operation   kernel          start         end  cycles\n"
       "      0  Compute   accumulate  gemm       4294967000  4294967285     285\n"
       "      1  Exchange  send        multicast  4294967285           7      18\n"
       "      2  Compute   accumulate  gemm                7        1007    1000\n"
       "  totals:\n"
       "    kind      cycles\n"
       "    Exchange      18\n"
       "    Compute     1285\n"
       "\n"
       "tile 3: no samples\n"
       "\n"
       "tile 5 (1 sample):\n"
       "  index  kind  operation  kernel  start  end  cycles\n"
       "      0  Idle  rest                 100  118      18\n"
       "  totals:\n"
       "    kind  cycles\n"
       "    Idle      18\n"},
  };
  for (const auto& [clock_hz, text] : cases) {
    SCOPED_TRACE(clock_hz);
    EXPECT_EQ(show_text(wrapping_report(clock_hz)), text);
  }
}

TEST(ProfileShow, TopKernelsAndOperations) {
  const ProfileSummary summary = summarize(wrapping_report(2000000));
  const std::string text = summary_text(summary, {.top = 2});
  EXPECT_NE(text.find("kernels (top 2 of 3):\n"
                      "  kernel  samples  cycles       us     %\n"
                      "  gemm          2    1285  642.500  97.3\n"
                      "  (none)        1      18    9.000   1.4\n"
                      "\n"
                      "operations (top 2 of 3):\n"),
            std::string::npos)
      << text;
  const Json json = summary_json(summary, {.top = 1});
  EXPECT_EQ(json["kernels"].dump(), R"([{"name":"gemm","samples":2,"cycles":1285,"us":642.5}])");
  EXPECT_EQ(json["operations"].size(), 1u);
  EXPECT_EQ(summary_json(summary, {})["operations"].size(), 3u);
}

TEST(ProfileShow, EmptyReport) {
  EXPECT_EQ(show_text(ProfileReport{.clock_hz = 1}),
            "clock: 1 Hz\n"
            "total: 0 samples on 0 tiles, 0 cycles, 0.000 us\n");
}

TEST(ProfileShow, Json) {
  const ProfileReport report = wrapping_report(2000000);
  const WrittenReport written(report);
  const ProfileSummary summary = summarize(report);
  const Json json = summary_json(summary, {});
  EXPECT_EQ(json["kinds"][1].dump(), R"({"kind":"Compute","samples":2,"cycles":1285,"us":642.5})");
  EXPECT_EQ(json["tiles"][0].dump(),
            R"({"physical_tile":17,"samples":3,"busy_cycles":1303,"busy_us":651.5,)"
            R"("first_start":4294967000,"last_end":4294968303})");
  const Json tile = tile_samples_json(written.view().tiles()[0], summary.tiles[0], report.clock_hz);
  EXPECT_EQ(tile["samples"][1].dump(),
            R"({"local_index":1,"kind":"Exchange","operation":"send","kernel":"multicast",)"
            R"("start_cycle":4294967285,"end_cycle":7,"duration_cycles":18,"duration_us":9.0})");
  EXPECT_EQ(
      tile["totals"].dump(),
      R"([{"kind":"Exchange","cycles":18,"us":9.0},{"kind":"Compute","cycles":1285,"us":642.5}])");
  const ProfileSummary untimed = summarize(wrapping_report(0));
  EXPECT_TRUE(summary_json(untimed, {})["us"].is_null());
  EXPECT_TRUE(
      tile_samples_json(written.view().tiles()[0], untimed.tiles[0], 0)["samples"][0]["duration_us"]
          .is_null());
}

// A library error as qelpkg reports it: an Invalid error's message, then where the rule broke
// when the error names that.
TEST(Describe, MessageThenLocation) {
  using qel_package::PackageError;
  EXPECT_EQ(describe(PackageError::Invalid{"duplicate physical tile 3", "tiles[1]"}),
            "duplicate physical tile 3 (at tiles[1])");
  EXPECT_EQ(describe(PackageError::Invalid{"application has no tiles"}),
            "application has no tiles");
}

}  // namespace
}  // namespace qelpkg
