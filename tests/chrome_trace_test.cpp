#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <qel_package/chrome_trace.hpp>

#include "matchers.hpp"
#include "profile_fixture.hpp"

namespace qel_package::profile {
namespace {

using Json = nlohmann::json;
using qel_package::testing::cycle_sample;
using qel_package::testing::FailedAs;
using qel_package::testing::FailedWithMessage;
using qel_package::testing::Succeeded;
using qel_package::testing::wrapping_report;
using qel_package::testing::WrittenReport;

// The trace as written, parsed back: the parser refuses anything that is not JSON. A view over
// the written report gives the same text.
Json trace_events(const ProfileReport& report, const TimelineOptions& options = {}) {
  std::ostringstream text;
  EXPECT_THAT(write_chrome_trace(report, text, options), Succeeded());
  std::ostringstream from_view;
  EXPECT_THAT(write_chrome_trace(WrittenReport(report).view(), from_view, options), Succeeded());
  EXPECT_EQ(from_view.str(), text.str());
  const Json trace = Json::parse(text.str());
  EXPECT_EQ(trace["displayTimeUnit"], "ns");
  return trace["traceEvents"];
}

std::vector<Json> events_of(const Json& events, const std::string& phase) {
  std::vector<Json> found;
  for (const Json& event : events) {
    if (event["ph"] == phase) {
      found.push_back(event);
    }
  }
  return found;
}

TEST(ChromeTrace, NamesTheProcessAndEveryTile) {
  const Json events = trace_events(wrapping_report(2000000));
  const std::vector<Json> names = events_of(events, "M");
  ASSERT_EQ(names.size(), 7u);
  EXPECT_EQ(names[0], Json::parse(R"({"name":"process_name","ph":"M","pid":0,
                                      "args":{"name":"device, clock 2000000 Hz"}})"));
  const std::vector<unsigned> tiles{17, 3, 5};
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    SCOPED_TRACE(tiles[i]);
    EXPECT_EQ(names[1 + 2 * i], (Json{{"name", "thread_name"},
                                      {"ph", "M"},
                                      {"pid", 0},
                                      {"tid", tiles[i]},
                                      {"args", {{"name", "tile " + std::to_string(tiles[i])}}}}));
    EXPECT_EQ(names[2 + 2 * i]["name"], "thread_sort_index");
    EXPECT_EQ(names[2 + 2 * i]["args"]["sort_index"], tiles[i]);
  }
}

TEST(ChromeTrace, PlacesStepsOnTheUnwrappedTimeline) {
  struct Case {
    const char* name;
    TimelineOptions options;
    double tile17_origin;  // microseconds subtracted from tile 17's counter values
    double tile5_origin;
  };
  // At 2 MHz a cycle is half a microsecond.
  for (const Case& c :
       {Case{"counter values", {}, 0, 0}, Case{"aligned", {.align = true}, 4294967000.0 / 2, 50}}) {
    SCOPED_TRACE(c.name);
    const std::vector<Json> steps =
        events_of(trace_events(wrapping_report(2000000), c.options), "X");
    struct Expected {
      unsigned tid;
      const char* name;
      const char* cat;
      double ts;
      double dur;
    };
    const std::vector<Expected> expected{
        {17, "accumulate", "Compute", 4294967000.0 / 2 - c.tile17_origin, 142.5},
        {17, "send", "Exchange", 4294967285.0 / 2 - c.tile17_origin, 9},
        // past the wrap: 303 cycles after the first step
        {17, "accumulate", "Compute", 4294967303.0 / 2 - c.tile17_origin, 500},
        {5, "rest", "Idle", 50 - c.tile5_origin, 9},
    };
    ASSERT_EQ(steps.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(steps[i]["tid"], expected[i].tid);
      EXPECT_EQ(steps[i]["pid"], 0);
      EXPECT_EQ(steps[i]["name"], expected[i].name);
      EXPECT_EQ(steps[i]["cat"], expected[i].cat);
      EXPECT_EQ(steps[i]["ts"], expected[i].ts);
      EXPECT_EQ(steps[i]["dur"], expected[i].dur);
    }
  }
}

TEST(ChromeTrace, StepFieldsInArgs) {
  ProfileReport report{.clock_hz = 1000000, .tiles = {{.physical_tile = 1}}};
  CycleSample step = cycle_sample(4, StepKind::Idle, "say \"hi\"\\\n\x01", "k\xc3\xa9", 100, 90);
  step.step.exchange_event_cycles = 6;
  step.step.metadata = {{.name = "n", .value = "v"}, {.name = "n", .value = "w"}};
  report.tiles[0].samples = {step, cycle_sample(5, StepKind::Compute, "", "", 90, 91)};
  const std::vector<Json> steps = events_of(trace_events(report), "X");
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[0]["name"], "say \"hi\"\\\n\x01");
  EXPECT_EQ(steps[0]["args"], Json::parse(R"({
      "local_index": 4, "kernel": "k\u00e9", "phase": 1, "epoch": 2,
      "start_cycle": 100, "end_cycle": 90, "cycles": 4294967286, "exchange_event_cycles": 6,
      "metadata": [{"name": "n", "value": "v"}, {"name": "n", "value": "w"}],
      "exchange_activities": []})"));
  EXPECT_EQ(steps[1]["name"], "Compute");  // no operation: named for its kind
}

TEST(ChromeTrace, ExchangeActivitiesOnTheTimeline) {
  // The step runs from cycle 4294967290 for 20 cycles, across the wrap.
  CycleSample step = cycle_sample(0, StepKind::Exchange, "op", "k", 4294967290u, 14);
  const std::vector<ProfileExchangeActivity> activities{
      {.fanout = 2,
       .paired = true,
       .kind = ExchangeActivityKind::Send,
       .start_cycle = 4294967294u,
       .end_cycle = 4},  // inside, across the wrap
      {.kind = ExchangeActivityKind::Receive,
       .start_cycle = 4294967290u,
       .end_cycle = 14},  // all of it
      {.kind = ExchangeActivityKind::PartnerBusy,
       .start_cycle = 10,
       .end_cycle = 20},                                                           // ends after
      {.kind = ExchangeActivityKind::Send, .start_cycle = 100, .end_cycle = 120},  // after
      {.kind = ExchangeActivityKind::Receive, .start_cycle = 8, .end_cycle = 2},   // reversed
  };
  step.step.exchange_activities = activities;
  const Json events = trace_events(
      ProfileReport{.clock_hz = 1000000, .tiles = {{.physical_tile = 9, .samples = {step}}}},
      {.align = true});
  const std::vector<Json> slices = events_of(events, "X");
  const std::vector<Json> instants = events_of(events, "i");
  ASSERT_EQ(slices.size(), 3u);
  EXPECT_EQ(slices[0]["args"]["exchange_activities"].size(), 5u);
  EXPECT_EQ(slices[1], Json::parse(R"({"name":"Send","cat":"exchange","ph":"X","pid":0,"tid":9,
      "ts":4,"dur":6,"args":{"fanout":2,"paired":true,"kind":"Send",
      "start_cycle":4294967294,"end_cycle":4}})"));
  EXPECT_EQ(slices[2]["ts"], 0);
  EXPECT_EQ(slices[2]["dur"], 20);
  ASSERT_EQ(instants.size(), 3u);
  const std::vector<std::pair<const char*, double>> expected{
      {"PartnerBusy", 16}, {"Send", 0}, {"Receive", 14}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(instants[i]["name"], expected[i].first);
    EXPECT_EQ(instants[i]["s"], "t");
    EXPECT_EQ(instants[i]["tid"], 9);
    EXPECT_EQ(instants[i]["ts"], expected[i].second);
  }
}

TEST(ChromeTrace, EmptyReport) {
  std::ostringstream text;
  ASSERT_THAT(write_chrome_trace(ProfileReport{.clock_hz = 1}, text), Succeeded());
  EXPECT_EQ(text.str(),
            "{\"traceEvents\":[\n"
            R"({"name":"process_name","ph":"M","pid":0,"args":{"name":"device, clock 1 Hz"}})"
            "\n],\"displayTimeUnit\":\"ns\"}\n");
}

TEST(ChromeTrace, Failures) {
  std::ostringstream text;
  EXPECT_THAT(
      write_chrome_trace(wrapping_report(0), text),
      FailedWithMessage("report clock is 0 Hz, so its cycles have no duration in microseconds"));
  EXPECT_EQ(text.str(), "");
  EXPECT_THAT(
      write_chrome_trace(WrittenReport(wrapping_report(0)).view(), text),
      FailedWithMessage("report clock is 0 Hz, so its cycles have no duration in microseconds"));
  EXPECT_EQ(text.str(), "");
  std::ostringstream failed;
  failed.setstate(std::ios::badbit);
  EXPECT_THAT(write_chrome_trace(wrapping_report(1), failed),
              FailedAs("Io(IoError { code: 5, message: \"Input/output error\" })"));
}

}  // namespace
}  // namespace qel_package::profile
