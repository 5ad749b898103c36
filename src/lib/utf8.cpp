#include "lib/utf8.hpp"

#include <cstddef>
#include <cstring>

#include "lib/fail.hpp"

namespace qel_package::detail {
namespace {

bool is_continuation(std::uint8_t byte) { return (byte & 0xC0) == 0x80; }

// The range that the second byte of a sequence must lie in; narrower than a continuation
// byte after E0 and F0 (overlong forms), ED (surrogates) and F4 (above U+10FFFF).
struct SecondByte {
  std::uint8_t low;
  std::uint8_t high;
};

SecondByte second_byte_range(std::uint8_t first) {
  switch (first) {
    case 0xE0:
      return {0xA0, 0xBF};
    case 0xED:
      return {0x80, 0x9F};
    case 0xF0:
      return {0x90, 0xBF};
    case 0xF4:
      return {0x80, 0x8F};
    default:
      return {0x80, 0xBF};
  }
}

// Number of bytes of the sequence that starts with first, or 0 for a byte that never
// starts one.
std::size_t sequence_width(std::uint8_t first) {
  if (first < 0x80) {
    return 1;
  }
  if (first >= 0xC2 && first <= 0xDF) {
    return 2;
  }
  if (first >= 0xE0 && first <= 0xEF) {
    return 3;
  }
  if (first >= 0xF0 && first <= 0xF4) {
    return 4;
  }
  return 0;
}

// Skips whole 8-byte words of ASCII from position on; most texts are all ASCII, and every
// ASCII byte is a complete sequence, so this cannot step over an error.
std::size_t skip_ascii_words(std::span<const std::uint8_t> bytes, std::size_t position) {
  constexpr std::uint64_t HIGH_BITS = 0x8080808080808080;
  std::uint64_t word = 0;
  while (bytes.size() - position >= sizeof(word)) {
    std::memcpy(&word, bytes.data() + position, sizeof(word));
    if ((word & HIGH_BITS) != 0) {
      break;
    }
    position += sizeof(word);
  }
  return position;
}

}  // namespace

std::optional<PackageError::Utf8> find_utf8_error(std::span<const std::uint8_t> bytes) noexcept {
  std::size_t position = 0;
  while (position < bytes.size()) {
    position = skip_ascii_words(bytes, position);
    if (position == bytes.size()) {
      break;
    }
    const std::uint8_t first = bytes[position];
    const std::size_t width = sequence_width(first);
    if (width == 0) {
      return PackageError::Utf8{position, 1};
    }
    const SecondByte second = second_byte_range(first);
    // The invalid sequence is the longest prefix of the sequence that was still valid.
    for (std::size_t k = 1; k < width; ++k) {
      if (position + k >= bytes.size()) {
        return PackageError::Utf8{position, std::nullopt};
      }
      const std::uint8_t byte = bytes[position + k];
      const bool valid = k == 1 ? byte >= second.low && byte <= second.high : is_continuation(byte);
      if (!valid) {
        return PackageError::Utf8{position, k};
      }
    }
    position += width;
  }
  return std::nullopt;
}

Result<std::string> decode_utf8(std::string_view text) {
  const std::span bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  if (auto error = find_utf8_error(bytes)) {
    return tl::unexpected<PackageError>(*error);
  }
  return std::string(text);
}

}  // namespace qel_package::detail
