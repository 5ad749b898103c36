#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include <qel_package/profile.hpp>

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

}  // namespace qel_package::tests
