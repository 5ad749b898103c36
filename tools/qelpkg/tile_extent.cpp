#include "tile_extent.hpp"

#include <algorithm>

namespace qelpkg {

std::optional<TileExtent> tile_extent(const qel_package::TileImage& tile) {
  if (tile.segments.empty()) {
    return std::nullopt;
  }
  TileExtent extent{.load_base = tile.segments.front().address, .image_size = 0};
  for (const auto& segment : tile.segments) {
    extent.load_base = std::min(extent.load_base, segment.address);
  }
  for (const auto& segment : tile.segments) {
    // 64-bit, so that even a segment end beyond 32 bits cannot wrap.
    const std::uint64_t end =
        std::uint64_t{segment.address} - extent.load_base + segment.memory_size;
    extent.image_size = std::max(extent.image_size, end);
  }
  return extent;
}

}  // namespace qelpkg
