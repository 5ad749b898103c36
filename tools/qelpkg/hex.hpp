#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Byte data as the JSON forms carry it: two hexadecimal digits per byte.
namespace qelpkg {

// Lower-case digits, no separators.
std::string to_hex(std::span<const std::uint8_t> bytes);

// Accepts digits of either case; empty when text has an odd length or a non-hex character.
std::optional<std::vector<std::uint8_t>> from_hex(std::string_view text);

}  // namespace qelpkg
