#include "lib/tile_image.hpp"

#include <utility>

#include <qel_package/application.hpp>
#include <qel_package/application_view.hpp>

namespace qel_package {
namespace {

std::vector<std::uint8_t> image_of(TileLoadImage&& loaded) { return std::move(loaded.image); }

}  // namespace

Result<TileLoadImage> Application::tile_load_image(std::uint32_t physical_tile) const {
  return detail::tile_load_image(*this, physical_tile);
}

Result<TileLoadImage> ApplicationView::tile_load_image(std::uint32_t physical_tile) const {
  return detail::tile_load_image(*this, physical_tile);
}

Result<std::vector<std::uint8_t>> Application::tile_image(std::uint32_t physical_tile) const {
  return detail::tile_load_image(*this, physical_tile).map(image_of);
}

Result<std::vector<std::uint8_t>> ApplicationView::tile_image(std::uint32_t physical_tile) const {
  return detail::tile_load_image(*this, physical_tile).map(image_of);
}

}  // namespace qel_package
