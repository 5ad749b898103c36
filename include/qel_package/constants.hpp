#pragma once

#include <cstdint>
#include <string_view>

namespace qel_package {

// Package header values: written by Application::write, required by Application::read.
inline constexpr std::uint32_t SCHEMA_VERSION = 5;
inline constexpr std::string_view TARGET = "qel21";
inline constexpr std::uint32_t TILE_MEMORY_BASE = 0x4C000;
inline constexpr std::uint32_t TILE_MEMORY_SIZE = 0x9C000;

// Exclusive end of the tile memory a package may load into; not stored in packages.
inline constexpr std::uint32_t TILE_MEMORY_END = TILE_MEMORY_BASE + TILE_MEMORY_SIZE;

}  // namespace qel_package
