#include <algorithm>
#include <utility>

#include <qel_package/application.hpp>

#include "lib/fail.hpp"
#include "lib/log.hpp"
#include "lib/validate.hpp"

namespace qel_package {

Result<TileLoadImage> Application::tile_load_image(std::uint32_t physical_tile) const {
  const auto tile = std::find_if(tiles.begin(), tiles.end(), [&](const TileImage& candidate) {
    return candidate.physical_tile == physical_tile;
  });
  if (tile == tiles.end()) {
    return detail::invalid("unknown tile {}", physical_tile);
  }
  if (tile->segments.empty()) {
    return detail::invalid("tile has no loadable segments");
  }
  // SECURITY: the application may never have been validated. The segment rule bounds every
  // segment inside the tile memory window, so the image stays small and every copy below
  // lies inside it.
  for (const Segment& segment : tile->segments) {
    QEL_TRY(detail::validate_segment(*tile, segment));
  }
  const std::uint32_t load_base =
      std::min_element(tile->segments.begin(), tile->segments.end(),
                       [](const Segment& a, const Segment& b) { return a.address < b.address; })
          ->address;
  std::size_t image_size = 0;
  for (const Segment& segment : tile->segments) {
    image_size =
        std::max<std::size_t>(image_size, segment.address - load_base + segment.memory_size);
  }
  TileLoadImage loaded{load_base, std::vector<std::uint8_t>(image_size)};
  detail::EventLog().trace(
      "reconstructing tile image physical_tile={} load_base=0x{:x} image_bytes={}", physical_tile,
      load_base, image_size);
  // Segments do not overlap in a valid package; where they do, later ones win.
  for (const Segment& segment : tile->segments) {
    std::copy(segment.data.begin(), segment.data.end(),
              loaded.image.begin() + (segment.address - load_base));
  }
  return loaded;
}

Result<std::vector<std::uint8_t>> Application::tile_image(std::uint32_t physical_tile) const {
  return tile_load_image(physical_tile).map([](TileLoadImage&& loaded) {
    return std::move(loaded.image);
  });
}

}  // namespace qel_package
