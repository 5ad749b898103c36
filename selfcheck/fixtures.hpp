#pragma once

#include <cstdint>
#include <vector>

#include <qel_package/application.hpp>

namespace qel_package::tests {

// A small valid package: one tile, 0, with one segment of 8 bytes at TILE_MEMORY_BASE
// holding the data bytes 1, 2, 3, 4. Every call builds a fresh value.
Application sample();

// A valid package in which every field and list of every record holds values, most of them
// distinct and away from their defaults: two tiles, bindings of each kind (the outputs
// include a "profile.cycles" binding for both plans), a host exchange with batched calls,
// entry points, device configuration writes, two profile plans and a debug map.
Application full_package();

// A 568-byte package from an older producer: texts, lists and the host exchange that the
// current writer always stores are null pointers, and one profile plan holds four steps of
// which only the first is fully populated.
std::vector<std::uint8_t> legacy_package();

}  // namespace qel_package::tests
