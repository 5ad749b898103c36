#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include <capnp/message.h>
#include <capnp/serialize.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <qel_package/profile.capnp.h>
#include <qel_package/profile.hpp>

#include "matchers.hpp"
#include "written.hpp"

namespace qel_package::profile {
namespace {

namespace wire = profile_capnp;

using testing::FailedAs;
using testing::FailedWith;
using testing::FailedWithMessage;
using testing::Succeeded;
using testing::written;

ProfileStep exchange_step() {
  return ProfileStep{
      .local_index = 0,
      .phase = 5,
      .epoch = 8,
      .operation = "accumulate",
      .kind = StepKind::Exchange,
      .kernel = "gemm_f32_accumulate",
      .metadata = {{.name = "innerBlock", .value = "8"}, {.name = "reason", .value = ""}},
      .exchange_activities = {{.fanout = 2,
                               .paired = true,
                               .kind = ExchangeActivityKind::Send,
                               .start_cycle = 2,
                               .end_cycle = 6},
                              {.fanout = 65535,
                               .paired = false,
                               .kind = ExchangeActivityKind::PartnerBusy,
                               .start_cycle = 8,
                               .end_cycle = 6}},
      .exchange_event_cycles = 9,
  };
}

// Two tiles, the first with samples whose counters wrapped (end below start).
ProfileReport wrapped_report() {
  return ProfileReport{
      .clock_hz = 1500000000,
      .tiles = {{.physical_tile = 17,
                 .samples = {{exchange_step(), 4294967285u, 7},
                             {{.local_index = 1, .kind = StepKind::Idle}, 4294967286u, 8}}},
                {.physical_tile = 3, .samples = {}}},
  };
}

std::vector<std::uint8_t> bytes_of(kj::ArrayPtr<const capnp::word> words) {
  const auto bytes = words.asBytes();
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

// One segment of hand-made words behind its stream framing.
std::vector<std::uint8_t> framed(std::initializer_list<std::uint64_t> words) {
  std::vector<std::uint8_t> bytes = {0, 0, 0, 0, static_cast<std::uint8_t>(words.size()), 0, 0, 0};
  for (const std::uint64_t word : words) {
    for (int shift = 0; shift < 64; shift += 8) {
      bytes.push_back(static_cast<std::uint8_t>(word >> shift));
    }
  }
  return bytes;
}

// The written report with its stored version replaced.
std::vector<std::uint8_t> with_version(const ProfileReport& report, std::uint32_t version) {
  const std::vector<std::uint8_t> encoded = written(report);
  auto words = kj::heapArray<capnp::word>(encoded.size() / sizeof(capnp::word));
  std::memcpy(words.asBytes().begin(), encoded.data(), encoded.size());
  capnp::FlatArrayMessageReader reader(words);
  capnp::MallocMessageBuilder message;
  message.setRoot(reader.getRoot<wire::Profile>());
  message.getRoot<wire::Profile>().setSchemaVersion(version);
  return bytes_of(capnp::messageToFlatArray(message));
}

// Hand-made words: a profile root of 2 data words and 1 pointer right after the root pointer,
// a composite list of one element of 1 data word and 1 pointer right after the list pointer,
// that list's tag, and pointers whose target lies 100 words beyond the segment.
constexpr std::uint64_t ROOT = 0x0001'0002'0000'0000;
constexpr std::uint64_t ONE_ELEMENT_LIST = 0x0000'0017'0000'0001;
constexpr std::uint64_t ONE_ELEMENT_TAG = 0x0001'0001'0000'0004;
constexpr std::uint64_t OUT_OF_BOUNDS_ROOT = 0x0001'0002'0000'0190;
constexpr std::uint64_t OUT_OF_BOUNDS_LIST = 0x0000'000F'0000'0191;
constexpr std::uint64_t OUT_OF_BOUNDS_STEP = 0x0004'0003'0000'0190;

TEST(ProfileReportCodec, RoundTrips) {
  struct Case {
    const char* name;
    ProfileReport report;
  };
  const Case cases[] = {
      {"no tiles", {}},
      {"a tile with no samples", {.clock_hz = 1, .tiles = {{.physical_tile = 4, .samples = {}}}}},
      {"wrapped counters", wrapped_report()},
      {"the largest numbers",
       {.clock_hz = 18446744073709551615u,
        .tiles = {{.physical_tile = 4294967295u,
                   .samples = {{{.local_index = 4294967295u}, 4294967295u, 4294967295u}}}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> encoded;
    ASSERT_THAT(c.report.write(encoded), Succeeded());
    const auto read = ProfileReport::read(encoded);
    ASSERT_THAT(read, Succeeded());
    EXPECT_EQ(*read, c.report);
  }
}

TEST(ProfileReportCodec, AppendsAfterTheBytesAlreadyInTheBuffer) {
  const ProfileReport first = wrapped_report();
  const ProfileReport second{.clock_hz = 2, .tiles = {{.physical_tile = 9, .samples = {}}}};
  std::vector<std::uint8_t> buffer = written(first);
  const std::vector<std::uint8_t> first_bytes = buffer;
  ASSERT_THAT(second.write(buffer), Succeeded());

  ASSERT_GT(buffer.size(), first_bytes.size());
  EXPECT_TRUE(std::equal(first_bytes.begin(), first_bytes.end(), buffer.begin()));
  const auto read_first = ProfileReport::read(buffer);
  ASSERT_THAT(read_first, Succeeded());
  EXPECT_EQ(*read_first, first);
  const auto read_second = ProfileReport::read(std::span(buffer).subspan(first_bytes.size()));
  ASSERT_THAT(read_second, Succeeded());
  EXPECT_EQ(*read_second, second);
}

TEST(ProfileReportCodec, IgnoresBytesAfterTheMessage) {
  std::vector<std::uint8_t> encoded = written(wrapped_report());
  encoded.insert(encoded.end(), 13, 0xFF);
  const auto read = ProfileReport::read(encoded);
  ASSERT_THAT(read, Succeeded());
  EXPECT_EQ(*read, wrapped_report());
}

TEST(ProfileReportCodec, ReadsVersionsOneToFiveAlike) {
  for (const std::uint32_t version : {1u, 3u, 5u}) {
    SCOPED_TRACE(version);
    const auto read = ProfileReport::read(with_version(wrapped_report(), version));
    ASSERT_THAT(read, Succeeded());
    EXPECT_EQ(*read, wrapped_report());
  }
}

TEST(ProfileReportCodec, RefusesOtherVersionsBeforeReadingAnythingElse) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> input;
    std::string message;
  };
  const Case cases[] = {
      {"version 0", with_version(wrapped_report(), 0), "unsupported profile schema version 0"},
      {"version 6", with_version(wrapped_report(), 6), "unsupported profile schema version 6"},
      {"the largest version", with_version(wrapped_report(), 4294967295u),
       "unsupported profile schema version 4294967295"},
      {"a null root reads as version 0", framed({0}), "unsupported profile schema version 0"},
      {"a version 6 report with a malformed tiles pointer",
       framed({ROOT, 6, 0, OUT_OF_BOUNDS_LIST}), "unsupported profile schema version 6"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT(ProfileReport::read(c.input), FailedWithMessage(c.message));
  }
}

TEST(ProfileReportCodec, BrokenFramingFailsAsCapnp) {
  std::vector<std::uint8_t> truncated = written(wrapped_report());
  truncated.resize(truncated.size() - 8);
  struct Case {
    const char* name;
    std::vector<std::uint8_t> input;
  };
  const Case cases[] = {
      {"empty input", {}},
      {"inside the segment count", {0, 0, 0}},
      {"a segment cut short", truncated},
      {"a root pointer beyond the segment", framed({OUT_OF_BOUNDS_ROOT})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT(ProfileReport::read(c.input), FailedWith<PackageError::Capnp>());
  }
}

TEST(ProfileReportCodec, MalformedPointersFailAsCapnp) {
  struct Case {
    const char* name;
    std::initializer_list<std::uint64_t> words;  // the last word is the malformed pointer
    std::initializer_list<std::uint64_t> with_null;
  };
  const Case cases[] = {
      {"tiles", {ROOT, 5, 0, OUT_OF_BOUNDS_LIST}, {ROOT, 5, 0, 0}},
      {"samples",
       {ROOT, 5, 0, ONE_ELEMENT_LIST, ONE_ELEMENT_TAG, 0, OUT_OF_BOUNDS_LIST},
       {ROOT, 5, 0, ONE_ELEMENT_LIST, ONE_ELEMENT_TAG, 0, 0}},
      {"step",
       {ROOT, 5, 0, ONE_ELEMENT_LIST, ONE_ELEMENT_TAG, 0, ONE_ELEMENT_LIST, ONE_ELEMENT_TAG, 0,
        OUT_OF_BOUNDS_STEP},
       {ROOT, 5, 0, ONE_ELEMENT_LIST, ONE_ELEMENT_TAG, 0, ONE_ELEMENT_LIST, ONE_ELEMENT_TAG, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT(ProfileReport::read(framed(c.words)), FailedWith<PackageError::Capnp>());
    // The rest of the hand-made message is sound.
    EXPECT_THAT(ProfileReport::read(framed(c.with_null)), Succeeded());
  }
}

TEST(ProfileReportCodec, StepEnumOutsideTheSchemaFailsAsSchemaEnum) {
  capnp::MallocMessageBuilder message;
  auto root = message.initRoot<wire::Profile>();
  root.setSchemaVersion(5);
  auto sample = root.initTiles(1)[0].initSamples(1)[0];
  ProfileStep{}.write(sample.initStep());
  sample.getStep().setKind(static_cast<wire::StepKind>(9));
  EXPECT_THAT(ProfileReport::read(bytes_of(capnp::messageToFlatArray(message))),
              FailedAs("SchemaEnum(9)"));
}

}  // namespace
}  // namespace qel_package::profile
