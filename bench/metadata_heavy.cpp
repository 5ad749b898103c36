#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "workload.hpp"

namespace qel_package::bench {
namespace {

using profile::ExchangeActivityKind;
using profile::ProfileStep;
using profile::StepKind;

constexpr std::uint32_t TILES = 1472;
constexpr std::uint32_t SEGMENTS_PER_TILE = 16;
constexpr std::uint32_t SEGMENT_BYTES = 256;
constexpr std::uint32_t BINDINGS = 4096;
constexpr std::uint32_t SLICES_PER_BINDING = 8;
constexpr std::uint64_t BINDING_SLICE_BYTES = 64;
constexpr std::uint32_t HOST_PAGES = 256;
constexpr std::uint32_t HOST_CALLS = 512;
// Each call has this many input slices and as many output slices, in two batches each.
constexpr std::uint32_t HOST_SLICES_PER_DIRECTION = 4;
constexpr std::uint64_t HOST_PAGE_BYTES = 0x10000;
constexpr std::uint64_t HOST_SLICE_BYTES = 256;
constexpr std::uint32_t STEPS_PER_PLAN = 64;
// A plan of n steps owns n + 1 counters of 4 bytes.
constexpr std::uint64_t PLAN_COUNTER_BYTES = (STEPS_PER_PLAN + 1) * 4;

// Where the binding slices and the profile counters lie in every tile, past the segments.
constexpr std::uint32_t BINDING_AREA = TILE_MEMORY_BASE + 0x10000;
constexpr std::uint32_t COUNTER_AREA = TILE_MEMORY_BASE + 0x80000;

std::string numbered(std::string_view prefix, std::uint32_t number) {
  return std::string(prefix) + std::to_string(number);
}

TileImage tile_image(std::uint32_t tile) {
  TileImage image{.physical_tile = tile,
                  .entry_point = TILE_MEMORY_BASE,
                  .command_address = COUNTER_AREA - 0x100,
                  .diagnostic_address = COUNTER_AREA - 0x80};
  image.segments.reserve(SEGMENTS_PER_TILE);
  for (std::uint32_t k = 0; k < SEGMENTS_PER_TILE; ++k) {
    std::vector<std::uint8_t> data(SEGMENT_BYTES);
    for (std::uint32_t i = 0; i < SEGMENT_BYTES; ++i) {
      data[i] = static_cast<std::uint8_t>(i * 7 + k * 31 + tile);
    }
    image.segments.push_back(Segment{.address = TILE_MEMORY_BASE + k * SEGMENT_BYTES,
                                     .memory_size = SEGMENT_BYTES,
                                     .data = std::move(data),
                                     .flags = k % 3});
  }
  return image;
}

Binding binding(std::string name, std::uint32_t number, std::uint32_t tiles) {
  Binding result{.name = std::move(name), .dtype = "u32", .shape = {SLICES_PER_BINDING, 16}};
  result.slices.reserve(SLICES_PER_BINDING);
  for (std::uint32_t j = 0; j < SLICES_PER_BINDING; ++j) {
    result.slices.push_back(RegionSlice{
        .tile = (number + j) % tiles,
        .tile_address = BINDING_AREA + static_cast<std::uint32_t>(j * BINDING_SLICE_BYTES),
        .file_offset = j * BINDING_SLICE_BYTES,
        .size = BINDING_SLICE_BYTES,
    });
  }
  return result;
}

// One slice per plan, in plan order.
Binding profile_cycles(std::span<const TileProfilePlan> plans) {
  Binding result{.name = "profile.cycles",
                 .dtype = "u32",
                 .shape = {static_cast<std::uint32_t>(plans.size()), STEPS_PER_PLAN + 1}};
  result.slices.reserve(plans.size());
  for (std::size_t p = 0; p < plans.size(); ++p) {
    result.slices.push_back(RegionSlice{.tile = plans[p].physical_tile,
                                        .tile_address = COUNTER_AREA,
                                        .file_offset = p * PLAN_COUNTER_BYTES,
                                        .size = PLAN_COUNTER_BYTES});
  }
  return result;
}

std::vector<HostSlice> host_slices(std::uint32_t call, std::uint32_t first, std::uint32_t pages) {
  std::vector<HostSlice> slices;
  slices.reserve(HOST_SLICES_PER_DIRECTION);
  for (std::uint32_t j = 0; j < HOST_SLICES_PER_DIRECTION; ++j) {
    const std::uint64_t position = std::uint64_t{call} * 2 * HOST_SLICES_PER_DIRECTION + first + j;
    slices.push_back(HostSlice{.page = (call + j) % pages,
                               .page_offset = (first + j) * HOST_SLICE_BYTES,
                               .file_offset = position * HOST_SLICE_BYTES,
                               .size = HOST_SLICE_BYTES});
  }
  return slices;
}

HostExchange host_exchange(std::uint32_t pages, std::uint32_t calls) {
  HostExchange exchange{.startup_mark = 0xCAFE, .command_page = 0, .command_offset = 0};
  exchange.pages.reserve(pages);
  exchange.attach_order.reserve(pages);
  for (std::uint32_t index = 0; index < pages; ++index) {
    exchange.pages.push_back(HostPage{.index = index, .size = HOST_PAGE_BYTES});
    exchange.attach_order.push_back(index);
  }
  exchange.calls.reserve(calls);
  for (std::uint32_t call = 0; call < calls; ++call) {
    exchange.calls.push_back(HostCall{
        .name = numbered("call.", call),
        .command = call,
        .phases = 2,
        .inputs = host_slices(call, 0, pages),
        .outputs = host_slices(call, HOST_SLICES_PER_DIRECTION, pages),
        .invocations = 1 + call % 4,
        .input_batch_ends = {HOST_SLICES_PER_DIRECTION / 2, HOST_SLICES_PER_DIRECTION},
        .output_batch_ends = {HOST_SLICES_PER_DIRECTION / 2, HOST_SLICES_PER_DIRECTION},
    });
  }
  return exchange;
}

ProfileStep step(std::uint32_t k) {
  return ProfileStep{
      .local_index = k,
      .phase = k / 8,
      .epoch = k / 16,
      .operation = numbered("operation.", k % 16),
      .kind = static_cast<StepKind>(k % 4),
      .kernel = k % 2 == 0 ? "gemm_f32_accumulate" : "multicast",
      .metadata = {{.name = "innerBlock", .value = "8"},
                   {.name = "reason", .value = "LayoutRearrangement"}},
      .exchange_activities = {{.fanout = 2,
                               .paired = true,
                               .kind = ExchangeActivityKind::Send,
                               .start_cycle = k * 100,
                               .end_cycle = k * 100 + 40},
                              {.fanout = 3,
                               .paired = false,
                               .kind = ExchangeActivityKind::Receive,
                               .start_cycle = k * 100 + 10,
                               .end_cycle = k * 100 + 60}},
      .exchange_event_cycles = k * 10,
  };
}

TileProfilePlan plan(std::uint32_t tile) {
  TileProfilePlan result{.physical_tile = tile};
  result.steps.reserve(STEPS_PER_PLAN);
  for (std::uint32_t k = 0; k < STEPS_PER_PLAN; ++k) {
    result.steps.push_back(step(k));
  }
  return result;
}

}  // namespace

Application metadata_heavy(std::uint32_t divisor) {
  const std::uint32_t tiles = TILES / divisor;
  const std::uint32_t bindings = BINDINGS / divisor;
  Application application;
  application.tiles.reserve(tiles);
  application.profile_tiles.reserve(tiles);
  for (std::uint32_t tile = 0; tile < tiles; ++tile) {
    application.tiles.push_back(tile_image(tile));
    application.profile_tiles.push_back(plan(tile));
  }
  // A quarter inputs, half outputs, a quarter weights; "profile.cycles" is the last output.
  for (std::uint32_t i = 0; i < bindings; ++i) {
    if (i < bindings / 4) {
      application.inputs.push_back(binding(numbered("input.", i), i, tiles));
    } else if (i < bindings / 4 * 3) {
      application.outputs.push_back(binding(numbered("output.", i), i, tiles));
    } else {
      application.weights.push_back(binding(numbered("weight.", i), i, tiles));
    }
  }
  application.outputs.push_back(profile_cycles(application.profile_tiles));
  application.host_exchange = host_exchange(HOST_PAGES / divisor, HOST_CALLS / divisor);
  for (std::uint32_t i = 0; i < 4; ++i) {
    application.entry_points.push_back(
        EntryPoint{.name = numbered("entry.", i), .command = i, .external_syncs = i % 2});
    application.device_config_writes.push_back(
        DeviceConfigWrite{.offset = i * 4, .value = 0xC0000000 + i});
    application.debug_symbols.push_back(
        DebugSymbol{.name = numbered("symbol.", i), .address = TILE_MEMORY_BASE + i * 0x100});
    application.debug_regions.push_back(DebugRegion{.physical_tile = i % tiles,
                                                    .address = TILE_MEMORY_BASE,
                                                    .size = SEGMENT_BYTES,
                                                    .name = numbered("region.", i)});
  }
  return application;
}

}  // namespace qel_package::bench
