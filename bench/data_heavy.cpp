#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "workload.hpp"

namespace qel_package::bench {
namespace {

constexpr std::uint32_t TILES = 64;
constexpr std::uint32_t SEGMENT_BYTES = 600 * 1024;
constexpr std::uint64_t SLICE_BYTES = 4096;

// A fixed pattern that differs between tiles, so no two segments are equal.
std::vector<std::uint8_t> segment_data(std::uint32_t tile) {
  std::vector<std::uint8_t> data(SEGMENT_BYTES);
  for (std::uint32_t i = 0; i < SEGMENT_BYTES; ++i) {
    data[i] = static_cast<std::uint8_t>(i * 131 + tile * 17 + (i >> 9));
  }
  return data;
}

// One slice on every tile, laid out one after another in the binding's byte range.
Binding spread_binding(std::string name, std::uint32_t tile_address) {
  Binding binding{.name = std::move(name), .dtype = "u8", .shape = {TILES, SLICE_BYTES}};
  for (std::uint32_t tile = 0; tile < TILES; ++tile) {
    binding.slices.push_back(RegionSlice{.tile = tile,
                                         .tile_address = tile_address,
                                         .file_offset = tile * SLICE_BYTES,
                                         .size = SLICE_BYTES});
  }
  return binding;
}

}  // namespace

Application data_heavy() {
  Application application;
  application.tiles.reserve(TILES);
  for (std::uint32_t tile = 0; tile < TILES; ++tile) {
    application.tiles.push_back(TileImage{
        .physical_tile = tile,
        .entry_point = TILE_MEMORY_BASE,
        .command_address = TILE_MEMORY_BASE + SEGMENT_BYTES,
        .diagnostic_address = TILE_MEMORY_BASE + SEGMENT_BYTES + 0x100,
        .segments = {Segment{.address = TILE_MEMORY_BASE,
                             .memory_size = SEGMENT_BYTES,
                             .data = segment_data(tile),
                             .flags = 5}},
    });
  }
  application.inputs.push_back(spread_binding("input", TILE_MEMORY_BASE + SEGMENT_BYTES + 0x1000));
  application.outputs.push_back(
      spread_binding("output", TILE_MEMORY_BASE + SEGMENT_BYTES + 0x2000));
  application.entry_points.push_back(EntryPoint{.name = "main", .command = 1});
  return application;
}

}  // namespace qel_package::bench
