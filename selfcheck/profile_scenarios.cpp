#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include <qel_package/application.hpp>
#include <qel_package/profile.hpp>

#include "fixtures.hpp"
#include "scenarios.hpp"

namespace qel_package::tests {

using profile::CycleSample;
using profile::ExchangeActivityKind;
using profile::ProfileExchangeActivity;
using profile::ProfileReport;
using profile::ProfileStep;
using profile::StepKind;
using profile::TileProfile;

void profile_round_trip() {
  const StepKind kinds[] = {StepKind::Exchange, StepKind::Compute, StepKind::Synchronization,
                            StepKind::Idle};
  TileProfile tile{.physical_tile = 17};
  for (std::uint32_t i = 0; i < 4; ++i) {
    const StepKind kind = kinds[i];
    std::vector<ProfileExchangeActivity> activities;
    if (kind == StepKind::Exchange) {
      activities = {
          {.fanout = 2,
           .paired = true,
           .kind = ExchangeActivityKind::Send,
           .start_cycle = 2,
           .end_cycle = 6},
          {.fanout = 2,
           .paired = true,
           .kind = ExchangeActivityKind::PartnerBusy,
           .start_cycle = 6,
           .end_cycle = 8},
      };
    }
    // Start cycles just below the 32-bit limit and end cycles just above 0, as a wrapped
    // counter leaves them.
    tile.samples.push_back(CycleSample{
        .step = ProfileStep{.local_index = i,
                            .phase = 5,
                            .epoch = 8,
                            .operation = "accumulate",
                            .kind = kind,
                            .kernel = "gemm_f32_accumulate",
                            .metadata = {{.name = "innerBlock", .value = "8"}},
                            .exchange_activities = activities,
                            .exchange_event_cycles = 9},
        .start_cycle = static_cast<std::uint32_t>(4294967285u + i),
        .end_cycle = i + 7,
    });
  }
  const ProfileReport profile{.clock_hz = 1500000000, .tiles = {tile}};

  std::vector<std::uint8_t> encoded;
  const auto written = profile.write(encoded);
  ASSERT_TRUE(written) << written.error();
  const auto read = ProfileReport::read(encoded);
  ASSERT_TRUE(read) << read.error();
  EXPECT_EQ(*read, profile);
}

void reads_legacy_package_profile_records() {
  const std::vector<std::uint8_t> bytes = legacy_package();
  const auto app = Application::read(bytes);
  ASSERT_TRUE(app) << app.error();

  const std::vector<ProfileStep>& steps = app->profile_tiles.at(0).steps;
  std::vector<StepKind> kinds;
  for (const ProfileStep& step : steps) {
    kinds.push_back(step.kind);
  }
  EXPECT_EQ(kinds, (std::vector<StepKind>{StepKind::Exchange, StepKind::Compute,
                                          StepKind::Synchronization, StepKind::Idle}));
  ASSERT_FALSE(steps.empty());
  EXPECT_EQ(steps[0], (ProfileStep{
                          .local_index = 0,
                          .phase = 7,
                          .epoch = 3,
                          .operation = "operation.4",
                          .kind = StepKind::Exchange,
                          .kernel = "multicast",
                          .metadata = {{.name = "reason", .value = "LayoutRearrangement"}},
                          .exchange_activities = {{.fanout = 3,
                                                   .paired = true,
                                                   .kind = ExchangeActivityKind::Send,
                                                   .start_cycle = 2,
                                                   .end_cycle = 8},
                                                  {.fanout = 2,
                                                   .paired = false,
                                                   .kind = ExchangeActivityKind::Receive,
                                                   .start_cycle = 4,
                                                   .end_cycle = 10},
                                                  {.fanout = 3,
                                                   .paired = true,
                                                   .kind = ExchangeActivityKind::PartnerBusy,
                                                   .start_cycle = 1,
                                                   .end_cycle = 12}},
                          .exchange_event_cycles = 13,
                      }));

  std::vector<std::uint8_t> encoded;
  const auto written = app->write(encoded);
  ASSERT_TRUE(written) << written.error();
  const auto reread = Application::read(encoded);
  ASSERT_TRUE(reread) << reread.error();
  EXPECT_EQ(*reread, *app);
}

}  // namespace qel_package::tests
