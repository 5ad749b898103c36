#include <iostream>

#include <qel_package/qel_package.hpp>

int main() {
  qel_package::Application application;
  application.tiles.push_back(qel_package::TileImage{
      .physical_tile = 0,
      .segments = {{.address = qel_package::TILE_MEMORY_BASE, .memory_size = 4, .data = {1}}},
  });
  if (const auto valid = application.validate(); !valid) {
    std::cerr << valid.error() << '\n';
    return 1;
  }
  std::cout << application.tiles[0] << '\n';
  return 0;
}
