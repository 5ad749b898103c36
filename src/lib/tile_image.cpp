#include "lib/tile_image.hpp"

#include <qel_package/application.hpp>
#include <qel_package/application_view.hpp>

namespace qel_package {

Result<std::vector<std::uint8_t>> Application::tile_image(std::uint32_t physical_tile) const {
  return detail::tile_image(*this, physical_tile);
}

Result<std::vector<std::uint8_t>> ApplicationView::tile_image(std::uint32_t physical_tile) const {
  return detail::tile_image(*this, physical_tile);
}

}  // namespace qel_package
