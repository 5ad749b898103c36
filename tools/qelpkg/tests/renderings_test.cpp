#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <qel_package/application.hpp>
#include <qel_package/profile.hpp>

#include "chrome_trace.hpp"
#include "failure.hpp"
#include "package_info.hpp"
#include "profile_summary.hpp"

namespace qelpkg {
namespace {

using qel_package::Application;
using namespace qel_package::profile;

CycleSample sample(std::uint32_t index, StepKind kind, std::string operation, std::uint32_t start,
                   std::uint32_t end) {
  return CycleSample{.step = {.local_index = index,
                              .phase = 1,
                              .epoch = 2,
                              .operation = std::move(operation),
                              .kind = kind,
                              .kernel = "k"},
                     .start_cycle = start,
                     .end_cycle = end};
}

// Tile 17 crosses a counter wrap in its second step; tile 3 has no samples.
ProfileReport report(std::uint64_t clock_hz) {
  return ProfileReport{
      .clock_hz = clock_hz,
      .tiles = {{.physical_tile = 17,
                 .samples = {sample(0, StepKind::Compute, "accumulate", 4294967000u, 4294967285u),
                             sample(1, StepKind::Exchange, "send", 4294967285u, 7),
                             sample(2, StepKind::Compute, "accumulate", 7, 1007)}},
                {.physical_tile = 3, .samples = {}}},
  };
}

TEST(PackageInfo, EmptySections) {
  Application application;
  application.tiles.push_back({.physical_tile = 4, .entry_point = 0x4c000});
  const auto text = package_info_text(application);
  ASSERT_TRUE(text);
  EXPECT_EQ(*text,
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
  const auto json = package_info_json(application);
  ASSERT_TRUE(json);
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
  const auto json = package_info_json(application);
  ASSERT_TRUE(json);
  EXPECT_EQ((*json)["tiles"][0]["segments"][0].dump(),
            R"({"address":311312,"memory_size":4,"data_size":2,"flags":0})");
  EXPECT_EQ((*json)["tiles"][0]["load_base"], 0x4c000);
  EXPECT_EQ((*json)["tiles"][0]["image_size"], 20);
  EXPECT_EQ((*json)["outputs"][0]["byte_len"], 8);
  EXPECT_EQ((*json)["profile_tiles"][0].dump(),
            R"({"physical_tile":0,"steps":3,"kinds":{"Exchange":1,"Idle":2}})");
}

TEST(ProfileSummary, Text) {
  const std::vector<std::pair<std::uint64_t, std::string>> cases{
      {2000000,
       "clock: 2000000 Hz\n"
       "\n"
       "tile 17 (3 samples):\n"
       "  index  kind      operation   kernel       start         end  cycles       us\n"
       "      0  Compute   accumulate  k       4294967000  4294967285     285  142.500\n"
       "      1  Exchange  send        k       4294967285           7      18    9.000\n"
       "      2  Compute   accumulate  k                7        1007    1000  500.000\n"
       "  totals:\n"
       "    kind      cycles       us\n"
       "    Exchange      18    9.000\n"
       "    Compute     1285  642.500\n"
       "\n"
       "tile 3: no samples\n"},
      {0,
       "clock: unknown (0 Hz), durations in cycles only\n"
       "\n"
       "tile 17 (3 samples):\n"
       "  index  kind      operation   kernel       start         end  cycles\n"
       "      0  Compute   accumulate  k       4294967000  4294967285     285\n"
       "      1  Exchange  send        k       4294967285           7      18\n"
       "      2  Compute   accumulate  k                7        1007    1000\n"
       "  totals:\n"
       "    kind      cycles\n"
       "    Exchange      18\n"
       "    Compute     1285\n"
       "\n"
       "tile 3: no samples\n"},
  };
  for (const auto& [clock_hz, text] : cases) {
    SCOPED_TRACE(clock_hz);
    EXPECT_EQ(profile_summary_text(report(clock_hz)), text);
  }
}

TEST(ProfileSummary, Json) {
  const Json timed = profile_summary_json(report(2000000));
  EXPECT_EQ(timed["tiles"][0]["samples"][1].dump(),
            R"({"local_index":1,"kind":"Exchange","operation":"send","kernel":"k",)"
            R"("start_cycle":4294967285,"end_cycle":7,"duration_cycles":18,"duration_us":9.0})");
  EXPECT_EQ(
      timed["tiles"][0]["totals"].dump(),
      R"([{"kind":"Exchange","cycles":18,"us":9.0},{"kind":"Compute","cycles":1285,"us":642.5}])");
  const Json untimed = profile_summary_json(report(0));
  EXPECT_TRUE(untimed["tiles"][0]["samples"][0]["duration_us"].is_null());
  EXPECT_TRUE(untimed["tiles"][0]["totals"][0]["us"].is_null());
}

TEST(ChromeTrace, TimelineAcrossACounterWrap) {
  const auto trace = chrome_trace(report(2000000));
  ASSERT_TRUE(trace);
  const Json events = Json::parse(*trace)["traceEvents"];
  ASSERT_EQ(events.size(), 5u);  // a track name per tile, an event per sample
  EXPECT_EQ(events[0].dump(),
            R"({"name":"thread_name","ph":"M","pid":0,"tid":17,"args":{"name":"tile 17"}})");
  // The third step starts 303 cycles after the first, past the wrap.
  const double first = 4294967000.0 / 2;
  EXPECT_EQ(events[1]["ts"], first);
  EXPECT_EQ(events[2]["ts"], first + 285.0 / 2);
  EXPECT_EQ(events[3]["ts"], first + 303.0 / 2);
  EXPECT_EQ(events[2]["dur"], 9.0);
  EXPECT_EQ(events[4].dump(),
            R"({"name":"thread_name","ph":"M","pid":0,"tid":3,"args":{"name":"tile 3"}})");
}

TEST(ChromeTrace, Texts) {
  ProfileReport texts{.clock_hz = 1000000, .tiles = {{.physical_tile = 1}}};
  CycleSample escaped = sample(0, StepKind::Idle, "say \"hi\"\\\n\x01", 0, 1);
  escaped.step.kernel = "k\xc3\xa9";  // é
  escaped.step.metadata = {{.name = "n", .value = "v"}, {.name = "n", .value = "w"}};
  texts.tiles[0].samples.push_back(escaped);
  const auto trace = chrome_trace(texts);
  ASSERT_TRUE(trace);
  const Json event = Json::parse(*trace)["traceEvents"][1];
  EXPECT_EQ(event["name"], "say \"hi\"\\\n\x01");
  EXPECT_EQ(event["args"]["kernel"], "k\xc3\xa9");
  EXPECT_EQ(event["args"]["metadata"].dump(),
            R"([{"name":"n","value":"v"},{"name":"n","value":"w"}])");
  EXPECT_EQ(chrome_trace(ProfileReport{.clock_hz = 1}).value(),
            "{\"traceEvents\":[\n],\"displayTimeUnit\":\"ns\"}\n");
}

TEST(ChromeTrace, RefusesAClockOfZero) {
  const auto trace = chrome_trace(report(0));
  ASSERT_FALSE(trace);
  EXPECT_EQ(trace.error(), "report clock is 0 Hz, so its cycles have no duration in microseconds");
}

}  // namespace
// A library error as qelpkg reports it: the message, then where the rule broke if known.
TEST(Describe, MessageThenLocation) {
  using qel_package::PackageError;
  EXPECT_EQ(describe(PackageError::Invalid{"duplicate physical tile 3", "tiles[1]"}),
            "duplicate physical tile 3 (at tiles[1])");
  EXPECT_EQ(describe(PackageError::Invalid{"application has no tiles"}),
            "application has no tiles");
  EXPECT_EQ(describe(PackageError::SchemaEnum{9}), "enumeration value 9 is not in the schema");
}

}  // namespace qelpkg
