#include <cstdint>
#include <functional>
#include <vector>

#include <capnp/message.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <qel_package/profile.hpp>

#include "matchers.hpp"

namespace qel_package {
namespace {

namespace wire = profile_capnp;

using profile::ExchangeActivityKind;
using profile::ProfileStep;
using profile::StepKind;
using testing::FailedAs;
using testing::FailedWith;
using testing::Succeeded;

const ProfileStep RICH_STEP{
    .local_index = 3,
    .phase = 4,
    .epoch = 5,
    .operation = "accumulate",
    .kind = StepKind::Synchronization,
    .kernel = "gemm_f32_accumulate",
    .metadata = {{"innerBlock", "8"}, {"reason", "LayoutRearrangement"}, {"innerBlock", ""}},
    .exchange_activities = {{.fanout = 65535,
                             .paired = false,
                             .kind = ExchangeActivityKind::Receive,
                             .start_cycle = 900,
                             .end_cycle = 7},
                            {.fanout = 2,
                             .paired = true,
                             .kind = ExchangeActivityKind::PartnerBusy,
                             .start_cycle = 1,
                             .end_cycle = 4294967295u}},
    .exchange_event_cycles = 4294967295u,
};

TEST(ProfileStepCodec, RoundTripsEveryField) {
  for (const ProfileStep& step : {RICH_STEP, ProfileStep{}}) {
    SCOPED_TRACE(::testing::PrintToString(step));
    capnp::MallocMessageBuilder message;
    auto output = message.initRoot<wire::ProfileStep>();
    step.write(output);
    EXPECT_TRUE(output.hasOperation() && output.hasKernel() && output.hasMetadata() &&
                output.hasExchangeActivities())
        << "every text and list is written, also when empty";
    const auto read = ProfileStep::read(output.asReader());
    ASSERT_THAT(read, Succeeded());
    EXPECT_EQ(*read, step);
  }
}

TEST(ProfileStepCodec, NullPointersReadAsEmpty) {
  capnp::MallocMessageBuilder message;
  auto step = message.initRoot<wire::ProfileStep>();
  step.setLocalIndex(2);
  step.setKind(wire::StepKind::IDLE);
  const auto read = ProfileStep::read(step.asReader());
  ASSERT_THAT(read, Succeeded());
  EXPECT_EQ(*read, (ProfileStep{.local_index = 2, .kind = StepKind::Idle}));
}

// Reads a step stored by an older producer with a shorter data section.
Result<ProfileStep> read_short_step(std::vector<std::uint64_t> data) {
  std::vector<std::uint64_t> words = {std::uint64_t{data.size()} << 32};  // struct pointer
  words.insert(words.end(), data.begin(), data.end());
  const kj::ArrayPtr<const capnp::word> segments[] = {
      kj::arrayPtr(reinterpret_cast<const capnp::word*>(words.data()), words.size())};
  capnp::SegmentArrayMessageReader message(segments);
  return ProfileStep::read(message.getRoot<wire::ProfileStep>());
}

TEST(ProfileStepCodec, ShorterStructsReadMissingFieldsAsDefaults) {
  const auto two_words = read_short_step({0x0000000700000001, 0x0000000100000003});
  ASSERT_THAT(two_words, Succeeded());
  EXPECT_EQ(*two_words, (ProfileStep{.local_index = 1,
                                     .phase = 7,
                                     .epoch = 3,
                                     .kind = StepKind::Compute,
                                     .exchange_event_cycles = 0}));
  const auto one_word = read_short_step({0x0000000700000001});
  ASSERT_THAT(one_word, Succeeded());
  EXPECT_EQ(*one_word, (ProfileStep{.local_index = 1, .phase = 7}));
}

TEST(ProfileStepCodec, RefusesWhatTheSchemaDoesNotDefine) {
  struct Case {
    const char* name;
    std::function<void(wire::ProfileStep::Builder)> corrupt;
    std::string rendering;
  };
  const Case cases[] = {
      {"step kind 7", [](auto step) { step.setKind(static_cast<wire::StepKind>(7)); },
       "SchemaEnum(7)"},
      {"activity kind 5",
       [](auto step) {
         step.getExchangeActivities()[1].setKind(static_cast<wire::ExchangeActivityKind>(5));
       },
       "SchemaEnum(5)"},
      {"step kind before a later activity kind",
       [](auto step) {
         step.setKind(static_cast<wire::StepKind>(4));
         step.getExchangeActivities()[0].setKind(static_cast<wire::ExchangeActivityKind>(3));
       },
       "SchemaEnum(4)"},
      {"a metadata value that is not UTF-8",
       [](auto step) { step.getMetadata()[2].setValue("ok\xC3("); },
       "Utf8(Utf8Error { valid_up_to: 2, error_len: 1 })"},
      {"an operation cut inside a sequence", [](auto step) { step.setOperation("a\xE2\x82"); },
       "Utf8(Utf8Error { valid_up_to: 1, error_len: none })"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    capnp::MallocMessageBuilder message;
    auto step = message.initRoot<wire::ProfileStep>();
    RICH_STEP.write(step);
    c.corrupt(step);
    EXPECT_THAT(ProfileStep::read(step.asReader()), FailedAs(c.rendering));
  }
}

TEST(ProfileStepCodec, MalformedPointerIsACapnpError) {
  capnp::MallocMessageBuilder message;
  auto step = message.initRoot<wire::ProfileStep>();
  RICH_STEP.write(step);
  // A struct where the kernel text belongs.
  capnp::AnyStruct::Builder(kj::cp(step)).getPointerSection()[1].initAs<wire::MetadataEntry>();
  EXPECT_THAT(ProfileStep::read(step.asReader()), FailedWith<PackageError::Capnp>());
}

}  // namespace
}  // namespace qel_package
