#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>

#include <qel_package/application.hpp>
#include <qel_package/application_view.hpp>

namespace qelpkg {

// Where a tile's memory image loads and how long it is, as Application::tile_image builds
// it, computed without building the image.
struct TileExtent {
  std::uint32_t load_base;
  std::uint64_t image_size;
};

namespace tile_extent_detail {

// segments holds the tile's segments, fields(segment) gives {address, memory size}.
template <class Segments, class Fields>
std::optional<TileExtent> extent_of(const Segments& segments, Fields fields) {
  if (segments.size() == 0) {
    return std::nullopt;
  }
  TileExtent extent{.load_base = fields(segments[0]).first, .image_size = 0};
  for (std::size_t i = 0; i < segments.size(); ++i) {
    extent.load_base = std::min(extent.load_base, fields(segments[i]).first);
  }
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const auto [address, memory_size] = fields(segments[i]);
    // 64-bit, so that even a segment end beyond 32 bits cannot wrap.
    const std::uint64_t end = std::uint64_t{address} - extent.load_base + memory_size;
    extent.image_size = std::max(extent.image_size, end);
  }
  return extent;
}

}  // namespace tile_extent_detail

// Empty for a tile without segments. The segment rules of a valid package hold.
inline std::optional<TileExtent> tile_extent(const qel_package::TileImage& tile) {
  return tile_extent_detail::extent_of(tile.segments, [](const qel_package::Segment& segment) {
    return std::pair{segment.address, segment.memory_size};
  });
}

inline std::optional<TileExtent> tile_extent(const qel_package::TileView& tile) {
  return tile_extent_detail::extent_of(tile.segments(),
                                       [](const qel_package::SegmentView& segment) {
                                         return std::pair{segment.address(), segment.memory_size()};
                                       });
}

}  // namespace qelpkg
