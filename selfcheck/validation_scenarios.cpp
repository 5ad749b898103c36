#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include <qel_package/application.hpp>

#include "fixtures.hpp"
#include "scenarios.hpp"

namespace qel_package::tests {

void rejects_overlapping_segments() {
  Application application = sample();
  std::vector<Segment>& segments = application.tiles[0].segments;
  segments.push_back(segments[0]);
  EXPECT_FALSE(application.validate());
}

void rejects_implicit_host_batches() {
  const HostCall call{.name = "explicit-batches", .invocations = 1};
  EXPECT_FALSE(validate_host_batch_ends(call, "input", {}, 1));
  EXPECT_FALSE(validate_host_batch_ends(call, "output", {}, 1));
  EXPECT_TRUE(validate_host_batch_ends(call, "input", {}, 0));
}

void rejects_overflowing_host_ranges() {
  Application application = sample();
  HostExchange& exchange = application.host_exchange;
  exchange.pages = {HostPage{.index = 0, .size = 0x1000}};
  exchange.calls = {HostCall{
      .name = "run",
      .command = 1,
      .phases = 2,
      .inputs = {HostSlice{.page = 0, .page_offset = 0xFFC, .file_offset = 0, .size = 4}},
      .invocations = 1,
      .input_batch_ends = {1},
  }};
  exchange.command_offset = 0xFFC;
  const auto valid = application.validate();
  ASSERT_TRUE(valid) << valid.error();

  const std::uint64_t offsets[] = {0xFFD, 18446744073709551613u, 18446744073709551615u};
  for (const std::uint64_t offset : offsets) {
    exchange.command_offset = offset;
    if (application.validate()) {
      FAIL() << "command offset " << offset;
    }
  }
  exchange.command_offset = 0xFFC;

  HostSlice& slice = exchange.calls[0].inputs[0];
  for (const std::uint64_t offset : offsets) {
    slice.page_offset = offset;
    if (application.validate()) {
      FAIL() << "slice offset " << offset;
    }
  }
  slice.page_offset = 0xFFC;
  slice.file_offset = 18446744073709551613u;
  EXPECT_FALSE(application.validate());
}

void rejects_ambiguous_device_configuration() {
  Application application = sample();
  application.device_config_writes = {DeviceConfigWrite{.offset = 4, .value = 1},
                                      DeviceConfigWrite{.offset = 4, .value = 2}};
  EXPECT_FALSE(application.validate());
}

}  // namespace qel_package::tests
