#include "hex.hpp"

#include <array>
#include <optional>

#include <fmt/format.h>

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

void append_hex(std::string& out, std::span<const std::uint8_t> bytes) {
  const std::size_t start = out.size();
  out.resize(start + 2 * bytes.size());
  char* text = out.data() + start;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    text[2 * i] = DIGIT_PAIRS[2 * bytes[i]];
    text[2 * i + 1] = DIGIT_PAIRS[2 * bytes[i] + 1];
  }
}

std::string to_hex(std::span<const std::uint8_t> bytes) {
  std::string text;
  append_hex(text, bytes);
  return text;
}

tl::expected<std::vector<std::uint8_t>, std::string> from_hex(std::string_view text) {
  const auto value = [&](std::size_t i) {
    return DIGIT_VALUES[static_cast<unsigned char>(text[i])];
  };
  // The first character that is no digit, which a message names before an odd count.
  const auto not_hex = [&]() -> std::optional<std::size_t> {
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (value(i) == NOT_HEX) {
        return i;
      }
    }
    return std::nullopt;
  };
  const auto failure = [&](std::size_t i) {
    return tl::unexpected(
        fmt::format("character {} of the hex data, '{}', is not a hex digit", i + 1, text[i]));
  };
  if (text.size() % 2 != 0) {
    if (const auto bad = not_hex()) {
      return failure(*bad);
    }
    return tl::unexpected(
        fmt::format("expected an even number of hex digits, got {}", text.size()));
  }
  std::vector<std::uint8_t> bytes(text.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint8_t high = value(2 * i);
    const std::uint8_t low = value(2 * i + 1);
    if ((high | low) == NOT_HEX) {
      return failure(*not_hex());
    }
    bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return bytes;
}

}  // namespace qelpkg
