#include "fixtures.hpp"

#include <qel_package/constants.hpp>

namespace qel_package::tests {

Application sample() {
  Application application;
  application.tiles.push_back(TileImage{
      .physical_tile = 0,
      .entry_point = TILE_MEMORY_BASE,
      .command_address = 0x4C100,
      .diagnostic_address = 0x4C200,
      .segments = {Segment{
          .address = TILE_MEMORY_BASE, .memory_size = 8, .data = {1, 2, 3, 4}, .flags = 5}},
  });
  return application;
}

}  // namespace qel_package::tests
