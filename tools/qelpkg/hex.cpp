#include "hex.hpp"

#include <array>

namespace qelpkg {
namespace {

// Both digits of every byte value, so that each byte costs one table lookup.
constexpr std::array<char, 512> make_digit_pairs() {
  constexpr std::string_view digits = "0123456789abcdef";
  std::array<char, 512> pairs{};
  for (std::size_t value = 0; value < 256; ++value) {
    pairs[2 * value] = digits[value >> 4];
    pairs[2 * value + 1] = digits[value & 0xF];
  }
  return pairs;
}

constexpr std::uint8_t NOT_HEX = 0xFF;

constexpr std::array<std::uint8_t, 256> make_digit_values() {
  std::array<std::uint8_t, 256> values{};
  values.fill(NOT_HEX);
  for (std::uint8_t digit = 0; digit < 10; ++digit) {
    values['0' + digit] = digit;
  }
  for (std::uint8_t digit = 0; digit < 6; ++digit) {
    values['a' + digit] = values['A' + digit] = 10 + digit;
  }
  return values;
}

constexpr std::array<char, 512> DIGIT_PAIRS = make_digit_pairs();
constexpr std::array<std::uint8_t, 256> DIGIT_VALUES = make_digit_values();

}  // namespace

std::string to_hex(std::span<const std::uint8_t> bytes) {
  std::string text(2 * bytes.size(), '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    text[2 * i] = DIGIT_PAIRS[2 * bytes[i]];
    text[2 * i + 1] = DIGIT_PAIRS[2 * bytes[i] + 1];
  }
  return text;
}

std::optional<std::vector<std::uint8_t>> from_hex(std::string_view text) {
  if (text.size() % 2 != 0) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes(text.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint8_t high = DIGIT_VALUES[static_cast<unsigned char>(text[2 * i])];
    const std::uint8_t low = DIGIT_VALUES[static_cast<unsigned char>(text[2 * i + 1])];
    if (high == NOT_HEX || low == NOT_HEX) {
      return std::nullopt;
    }
    bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return bytes;
}

}  // namespace qelpkg
