#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <qel_package/application.capnp.h>
#include <qel_package/application.hpp>
#include <qel_package/constants.hpp>
#include <qel_package/profile.hpp>

#include "fixtures.hpp"
#include "lib/little_endian.hpp"
#include "lib/sink_message_builder.hpp"
#include "matchers.hpp"
#include "written.hpp"

namespace qel_package {
namespace {

using profile::ExchangeActivityKind;
using profile::ProfileReport;
using profile::StepKind;
using testing::FailedAs;
using testing::Succeeded;
using testing::written;

const std::vector<std::uint8_t> SINK_BEFORE = {0xAA, 0xBB, 0xCC};

// A package too large for the first segment of its message.
Application two_segment_package() {
  Application application = tests::full_package();
  Segment& segment = application.tiles[0].segments[1];
  segment.memory_size = 0x3000;
  segment.data = std::vector<std::uint8_t>(segment.memory_size, 0x5A);
  return application;
}

ProfileReport two_tile_report() {
  ProfileReport report{.clock_hz = 1'500'000'000};
  for (const TileProfilePlan& plan : tests::full_package().profile_tiles) {
    profile::TileProfile& tile = report.tiles.emplace_back();
    tile.physical_tile = plan.physical_tile;
    for (const profile::ProfileStep& step : plan.steps) {
      tile.samples.push_back({.step = step, .start_cycle = 10, .end_cycle = 4});
    }
  }
  return report;
}

TEST(Writer, ApplicationWriteRefusesWhatReadingBackRefuses) {
  struct Case {
    const char* name;
    std::function<void(Application&)> patch;
    std::string rendering;
  };
  const std::string invalid_first_byte = "Utf8(Utf8Error { valid_up_to: 0, error_len: 1 })";
  const auto bad_kind = static_cast<StepKind>(9);
  const Case cases[] = {
      {"compiler version", [](auto& a) { a.compiler_version = "\xC0"; }, invalid_first_byte},
      {"input name", [](auto& a) { a.inputs[0].name = "in\xFF"; },
       "Utf8(Utf8Error { valid_up_to: 2, error_len: 1 })"},
      {"output dtype", [](auto& a) { a.outputs[1].dtype = "\xF5"; }, invalid_first_byte},
      {"weight name", [](auto& a) { a.weights[0].name = "w\xE2\x82"; },
       "Utf8(Utf8Error { valid_up_to: 1, error_len: none })"},
      {"host call name", [](auto& a) { a.host_exchange.calls[1].name = "\xED\xA0\x80"; },
       invalid_first_byte},
      {"entry point name", [](auto& a) { a.entry_points[1].name = "\xFF"; }, invalid_first_byte},
      {"step operation", [](auto& a) { a.profile_tiles[0].steps[0].operation = "\xFF"; },
       invalid_first_byte},
      {"step kind", [&](auto& a) { a.profile_tiles[1].steps[0].kind = bad_kind; }, "SchemaEnum(9)"},
      {"step kernel", [](auto& a) { a.profile_tiles[0].steps[0].kernel = "\xFF"; },
       invalid_first_byte},
      {"metadata name", [](auto& a) { a.profile_tiles[0].steps[0].metadata[1].name = "\xFF"; },
       invalid_first_byte},
      {"metadata value", [](auto& a) { a.profile_tiles[0].steps[0].metadata[0].value = "\xFF"; },
       invalid_first_byte},
      {"exchange activity kind",
       [](auto& a) {
         a.profile_tiles[0].steps[0].exchange_activities[0].kind =
             static_cast<ExchangeActivityKind>(3);
       },
       "SchemaEnum(3)"},
      {"debug symbol name", [](auto& a) { a.debug_symbols[0].name = "\xFF"; }, invalid_first_byte},
      {"debug region name", [](auto& a) { a.debug_regions[1].name = "t\xFF"; },
       "Utf8(Utf8Error { valid_up_to: 1, error_len: 1 })"},
      {"outputs before profile plans",
       [&](auto& a) {
         a.profile_tiles[0].steps[0].kind = bad_kind;
         a.outputs[1].dtype = "\xF5";
       },
       invalid_first_byte},
      {"a step's kind before its kernel",
       [&](auto& a) {
         a.profile_tiles[0].steps[0].kernel = "\xFF";
         a.profile_tiles[0].steps[0].kind = bad_kind;
       },
       "SchemaEnum(9)"},
      {"a host call name before a debug symbol name",
       [](auto& a) {
         a.debug_symbols[0].name = "\xFF";
         a.host_exchange.calls[1].name = "\xE2\x82";
       },
       "Utf8(Utf8Error { valid_up_to: 0, error_len: none })"},
      {"texts before the package rules",
       [](auto& a) {
         a.tiles[0].physical_tile = 1;
         a.weights[0].name = "\xFF";
       },
       invalid_first_byte},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Application application = tests::full_package();
    c.patch(application);
    std::vector<std::uint8_t> sink = SINK_BEFORE;
    EXPECT_THAT(application.write(sink), FailedAs(c.rendering));
    EXPECT_EQ(sink, SINK_BEFORE);
  }
}

TEST(Writer, ReportWriteRefusesWhatReadingBackRefuses) {
  struct Case {
    const char* name;
    std::function<void(ProfileReport&)> patch;
    std::string rendering;
  };
  const std::string invalid_first_byte = "Utf8(Utf8Error { valid_up_to: 0, error_len: 1 })";
  const Case cases[] = {
      {"operation", [](auto& r) { r.tiles[0].samples[1].step.operation = "\xFF"; },
       invalid_first_byte},
      {"kind", [](auto& r) { r.tiles[1].samples[0].step.kind = static_cast<StepKind>(4); },
       "SchemaEnum(4)"},
      {"metadata value", [](auto& r) { r.tiles[0].samples[0].step.metadata[0].value = "8\xC0"; },
       "Utf8(Utf8Error { valid_up_to: 1, error_len: 1 })"},
      {"exchange activity kind",
       [](auto& r) {
         r.tiles[0].samples[0].step.exchange_activities[0].kind =
             static_cast<ExchangeActivityKind>(65535);
       },
       "SchemaEnum(65535)"},
      {"an earlier sample first",
       [](auto& r) {
         r.tiles[1].samples[0].step.kernel = "\xFF";
         r.tiles[0].samples[1].step.kind = static_cast<StepKind>(4);
       },
       "SchemaEnum(4)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProfileReport report = two_tile_report();
    c.patch(report);
    std::vector<std::uint8_t> sink = SINK_BEFORE;
    EXPECT_THAT(report.write(sink), FailedAs(c.rendering));
    EXPECT_EQ(sink, SINK_BEFORE);
  }
}

// Where the sink ends decides where the message is built, never what its bytes are.
template <class Record>
void expect_same_bytes_after_any_prefix(const Record& record) {
  const std::vector<std::uint8_t> alone = written(record);
  for (std::size_t prefix = 0; prefix <= 9; ++prefix) {
    SCOPED_TRACE(prefix);
    std::vector<std::uint8_t> sink(prefix, 0xEE);
    ASSERT_THAT(record.write(sink), Succeeded());
    EXPECT_EQ(std::vector<std::uint8_t>(sink.begin(), sink.begin() + prefix),
              std::vector<std::uint8_t>(prefix, 0xEE));
    EXPECT_EQ(std::vector<std::uint8_t>(sink.begin() + prefix, sink.end()), alone);
    const auto read = Record::read(std::span(sink).subspan(prefix));
    ASSERT_THAT(read, Succeeded());
    EXPECT_EQ(*read, record);
  }
}

TEST(Writer, WritesTheSameBytesWhateverTheSinkHolds) {
  ASSERT_GT(detail::read_le32(written(two_segment_package()), 0), 0u) << "one segment only";
  for (const Application& application : {tests::sample(), two_segment_package()}) {
    expect_same_bytes_after_any_prefix(application);
  }
  expect_same_bytes_after_any_prefix(two_tile_report());
  ProfileReport long_report = two_tile_report();
  long_report.tiles[0].samples.resize(200, long_report.tiles[0].samples[0]);
  ASSERT_GT(detail::read_le32(written(long_report), 0), 0u) << "one segment only";
  expect_same_bytes_after_any_prefix(long_report);
}

TEST(Writer, AnUnfinishedMessageGivesTheSinkBackItsOldSize) {
  const std::vector<std::uint8_t> before(16, 0x77);
  std::vector<std::uint8_t> sink = before;
  {
    detail::SinkMessageBuilder message(sink, 4096);
    auto root = message.initRoot<application_capnp::Application>();
    root.initTiles(1)[0].initSegments(1)[0].initData(8 * 2048);
    EXPECT_GT(message.getSegmentsForOutput().size(), 1u);
    EXPECT_GT(sink.size(), before.size());
  }
  EXPECT_EQ(sink, before);
}

}  // namespace
}  // namespace qel_package
