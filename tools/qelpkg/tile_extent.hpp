#pragma once

#include <cstdint>
#include <optional>

#include <qel_package/application.hpp>

namespace qelpkg {

// Where a tile's memory image loads and how long it is, as Application::tile_image builds
// it, computed without building the image.
struct TileExtent {
  std::uint32_t load_base;
  std::uint64_t image_size;
};

// Empty for a tile without segments. The segment rules of a valid package hold.
std::optional<TileExtent> tile_extent(const qel_package::TileImage& tile);

}  // namespace qelpkg
