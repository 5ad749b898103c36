#pragma once

#include <qel_package/application.hpp>

namespace qel_package::detail {

// The segment rule of validation: the end fits in 32 bits, the segment lies in the tile
// memory window, and its data fits in its memory size. Also guards tile images built from
// packages that were never validated.
[[nodiscard]] Result<void> validate_segment(const TileImage& tile, const Segment& segment);

}  // namespace qel_package::detail
