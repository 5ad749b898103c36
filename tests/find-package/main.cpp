#include <iostream>
#include <vector>

#include <qel_package/qel_package.hpp>

int main() {
  qel_package::Application application;
  application.tiles.push_back(qel_package::TileImage{
      .physical_tile = 0,
      .segments = {{.address = qel_package::TILE_MEMORY_BASE, .memory_size = 4, .data = {1}}},
  });
  std::vector<std::uint8_t> bytes;
  if (const auto written = application.write(bytes); !written) {
    std::cerr << written.error() << '\n';
    return 1;
  }
  const auto read = qel_package::Application::read(bytes);
  if (!read) {
    std::cerr << read.error() << '\n';
    return 1;
  }
  std::cout << read->tiles[0] << '\n';
  return *read == application ? 0 : 1;
}
