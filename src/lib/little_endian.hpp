#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qel_package::detail {

// The unsigned 32-bit value at offset, least significant byte first, as the message framing
// and the device's cycle counters store it. The caller checks that four bytes are there.
inline std::uint32_t read_le32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes[offset]) |
         static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

// Stores value at offset, least significant byte first. The caller checks that four bytes
// are there.
inline void write_le32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

}  // namespace qel_package::detail
