#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <tl/expected.hpp>

// Byte data as the JSON forms carry it: two hexadecimal digits per byte.
namespace qelpkg {

// Lower-case digits, no separators.
std::string to_hex(std::span<const std::uint8_t> bytes);

// Appends the lower-case digits of bytes to out.
void append_hex(std::string& out, std::span<const std::uint8_t> bytes);

// Accepts digits of either case; otherwise says which character is no hex digit, or that
// the count of digits is odd.
tl::expected<std::vector<std::uint8_t>, std::string> from_hex(std::string_view text);

}  // namespace qelpkg
