#include <sstream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <qel_package/application.hpp>

#include "fixtures.hpp"
#include "matchers.hpp"

namespace qel_package {
namespace {

using profile::CycleSample;
using profile::ExchangeActivityKind;
using profile::ProfileExchangeActivity;
using profile::ProfileMetadata;
using profile::ProfileStep;
using profile::StepKind;
using testing::FailedWithMessage;

template <class T>
std::string rendering(const T& value) {
  std::ostringstream os;
  os << value;
  return os.str();
}

TEST(Records, DefaultApplicationHasNoTilesAndFailsValidation) {
  const Application application;
  EXPECT_EQ(application.compiler_version, "0.1.0");
  EXPECT_TRUE(application.tiles.empty());
  EXPECT_EQ(application.host_exchange, HostExchange{});
  EXPECT_THAT(application.validate(), FailedWithMessage("application has no tiles"));
}

TEST(Records, EqualityComparesListsInOrder) {
  Application forward = tests::sample();
  forward.tiles.push_back(TileImage{.physical_tile = 3});
  Application backward = forward;
  std::swap(backward.tiles[0], backward.tiles[1]);
  EXPECT_NE(forward, backward);

  ProfileStep a{.metadata = {{"a", "1"}, {"b", "2"}}};
  ProfileStep b{.metadata = {{"b", "2"}, {"a", "1"}}};
  EXPECT_NE(a, b);
  EXPECT_EQ(ProfileStep{.kind = StepKind::Idle}, ProfileStep{.kind = StepKind::Idle});
}

TEST(Records, CopiesAreDeep) {
  const Application source = tests::sample();
  Application copy = source;
  EXPECT_EQ(copy, source);
  copy.tiles[0].segments[0].data.push_back(9);
  copy.tiles.push_back(TileImage{});
  EXPECT_EQ(source.tiles.size(), 1u);
  EXPECT_EQ(source.tiles[0].segments[0].data, (std::vector<std::uint8_t>{1, 2, 3, 4}));

  TileProfilePlan plan{.physical_tile = 0, .steps = {ProfileStep{.operation = "planned"}}};
  const CycleSample sample{.step = plan.steps[0], .start_cycle = 4294967285u, .end_cycle = 7};
  plan.steps[0].operation = "changed";
  EXPECT_EQ(sample.step.operation, "planned");
}

TEST(Records, RenderFieldsInDeclaredOrder) {
  EXPECT_EQ(
      rendering(Segment{.address = 311296, .memory_size = 8, .data = {1, 2, 3, 4}, .flags = 5}),
      "Segment { address: 311296, memory_size: 8, data: [1, 2, 3, 4], flags: 5 }");
  EXPECT_EQ(
      rendering(ProfileStep{.local_index = 1,
                            .operation = "op",
                            .kind = StepKind::Compute,
                            .metadata = {{"reason", "x"}},
                            .exchange_activities = {{.fanout = 2,
                                                     .paired = true,
                                                     .kind = ExchangeActivityKind::PartnerBusy,
                                                     .start_cycle = 3,
                                                     .end_cycle = 1}}}),
      "ProfileStep { local_index: 1, phase: 0, epoch: 0, operation: \"op\", kind: Compute, "
      "kernel: \"\", metadata: [ProfileMetadata { name: \"reason\", value: \"x\" }], "
      "exchange_activities: [ProfileExchangeActivity { fanout: 2, paired: true, "
      "kind: PartnerBusy, start_cycle: 3, end_cycle: 1 }], exchange_event_cycles: 0 }");
  EXPECT_EQ(rendering(HostExchange{}),
            "HostExchange { startup_mark: 0, command_page: 0, command_offset: 0, pages: [], "
            "attach_order: [], calls: [] }");
}

TEST(Records, EnumerationsConvertFromTheirNumbersOnly) {
  EXPECT_EQ(profile::step_kind_from_number(3), StepKind::Idle);
  EXPECT_EQ(profile::step_kind_from_number(4), std::nullopt);
  EXPECT_EQ(profile::exchange_activity_kind_from_number(2), ExchangeActivityKind::PartnerBusy);
  EXPECT_EQ(profile::exchange_activity_kind_from_number(3), std::nullopt);
  EXPECT_EQ(profile::to_number(StepKind::Synchronization), 2);
}

TEST(Records, SampleIsFreshAndValid) {
  Application first = tests::sample();
  const Application second = tests::sample();
  EXPECT_EQ(first, second);
  first.tiles.clear();
  EXPECT_EQ(second.tiles.size(), 1u);
  EXPECT_THAT(second.validate(), testing::Succeeded());
}

}  // namespace
}  // namespace qel_package
