#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include <qel_package/application.hpp>
#include <qel_package/error.hpp>

#include "lib/fail.hpp"
#include "lib/field.hpp"
#include "lib/location.hpp"
#include "lib/log.hpp"
#include "lib/validate.hpp"

namespace qel_package::detail {

// The memory image of one tile and its load base, the tile's lowest segment address.
template <class Application>
[[nodiscard]] Result<TileLoadImage> tile_load_image(const Application& application,
                                                    std::uint32_t physical_tile) {
  const auto& tiles = QEL_FIELD(application, tiles);
  std::size_t tile_index = 0;
  while (tile_index < tiles.size() &&
         QEL_FIELD(tiles[tile_index], physical_tile) != physical_tile) {
    ++tile_index;
  }
  if (tile_index == tiles.size()) {
    return invalid("unknown tile {}", physical_tile);
  }
  decltype(auto) tile = tiles[tile_index];
  const auto& segments = QEL_FIELD(tile, segments);
  if (segments.empty()) {
    return invalid_at(element_path("", "tiles", tile_index), "tile has no loadable segments");
  }
  // SECURITY: the application may never have been validated. The segment rule bounds every
  // segment inside the tile memory window, so the image stays small and every copy below
  // lies inside it.
  std::uint32_t load_base = QEL_FIELD(segments[0], address);
  for (std::size_t j = 0; j < segments.size(); ++j) {
    decltype(auto) segment = segments[j];
    QEL_TRY(validate_segment(tile, tile_index, segment, j));
    load_base = std::min<std::uint32_t>(load_base, QEL_FIELD(segment, address));
  }
  std::size_t image_size = 0;
  for (std::size_t j = 0; j < segments.size(); ++j) {
    decltype(auto) segment = segments[j];
    image_size = std::max<std::size_t>(
        image_size, QEL_FIELD(segment, address) - load_base + QEL_FIELD(segment, memory_size));
  }
  TileLoadImage loaded{load_base, std::vector<std::uint8_t>(image_size)};
  EventLog().trace("reconstructing tile image physical_tile={} load_base=0x{:x} image_bytes={}",
                   physical_tile, load_base, image_size);
  // Segments do not overlap in a valid package; where they do, later ones win.
  for (std::size_t j = 0; j < segments.size(); ++j) {
    decltype(auto) segment = segments[j];
    const auto& data = QEL_FIELD(segment, data);
    std::copy(data.begin(), data.end(),
              loaded.image.begin() + (QEL_FIELD(segment, address) - load_base));
  }
  return loaded;
}

}  // namespace qel_package::detail
