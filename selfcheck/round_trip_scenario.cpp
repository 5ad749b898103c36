#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include <qel_package/application.hpp>

#include "fixtures.hpp"
#include "scenarios.hpp"

namespace qel_package::tests {

using profile::ExchangeActivityKind;
using profile::ProfileStep;
using profile::StepKind;

void round_trip_and_reconstruct() {
  Application application = sample();
  application.profile_tiles.push_back(TileProfilePlan{
      .physical_tile = 0,
      .steps = {ProfileStep{
          .local_index = 0,
          .phase = 7,
          .epoch = 0,
          .operation = "operation.0",
          .kind = StepKind::Compute,
          .kernel = "kernel",
          .metadata = {{.name = "reason", .value = "OperatorKernel"}},
          .exchange_activities = {{.fanout = 2,
                                   .paired = true,
                                   .kind = ExchangeActivityKind::Receive,
                                   .start_cycle = 3,
                                   .end_cycle = 11},
                                  {.fanout = 2,
                                   .paired = true,
                                   .kind = ExchangeActivityKind::PartnerBusy,
                                   .start_cycle = 1,
                                   .end_cycle = 3}},
          .exchange_event_cycles = 13,
      }},
  });
  application.device_config_writes.push_back({.offset = 0x4018, .value = 0xC000000D});
  application.debug_symbols.push_back({.name = "kernel", .address = 0x4C000});
  application.debug_regions.push_back(
      {.physical_tile = 0xFFFFFFFF, .address = 0x4C000, .size = 8, .name = "linked executable"});
  application.host_exchange = HostExchange{
      .startup_mark = 1,
      .command_page = 0,
      .command_offset = 0,
      .pages = {{.index = 0, .size = 0x1000}, {.index = 1, .size = 0x2000}},
      .attach_order = {0, 1},
      .calls = {HostCall{
          .name = "batched",
          .command = 2,
          .phases = 4,
          .inputs = {{.page = 1, .page_offset = 0, .file_offset = 0, .size = 0x10},
                     {.page = 1, .page_offset = 0x1000, .file_offset = 0x10, .size = 0x10}},
          .outputs = {{.page = 1, .page_offset = 0, .file_offset = 0, .size = 0x20}},
          .invocations = 1,
          .input_batch_ends = {2},
          .output_batch_ends = {1},
      }},
  };

  std::vector<std::uint8_t> bytes;
  const auto written = application.write(bytes);
  ASSERT_TRUE(written) << written.error();
  const auto read = Application::read(bytes);
  ASSERT_TRUE(read) << read.error();
  EXPECT_EQ(*read, application);

  const auto image = read->tile_image(0);
  ASSERT_TRUE(image) << image.error();
  ASSERT_GE(image->size(), 8u);
  EXPECT_EQ(std::vector<std::uint8_t>(image->begin(), image->begin() + 8),
            (std::vector<std::uint8_t>{1, 2, 3, 4, 0, 0, 0, 0}));
}

}  // namespace qel_package::tests
