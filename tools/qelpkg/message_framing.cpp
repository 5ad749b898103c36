#include "message_framing.hpp"

namespace qelpkg {
namespace {

constexpr std::uint64_t WORD_BYTES = 8;

// The readers accept at most this many segments.
constexpr std::uint64_t MAX_SEGMENTS = 512;

std::uint32_t le32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return std::uint32_t{bytes[offset]} | std::uint32_t{bytes[offset + 1]} << 8 |
         std::uint32_t{bytes[offset + 2]} << 16 | std::uint32_t{bytes[offset + 3]} << 24;
}

}  // namespace

// Stream framing: a little-endian u32 holding the segment count minus one, a u32 length in
// words for each segment, zero padding to a word boundary, then the segments in order.
std::uint64_t framed_message_bytes(std::span<const std::uint8_t> prefix) {
  if (prefix.size() < 4) {
    return 4;
  }
  const std::uint64_t segments = std::uint64_t{le32(prefix, 0)} + 1;
  if (segments > MAX_SEGMENTS) {
    return 4;
  }
  const std::uint64_t table_bytes = (segments / 2 + 1) * WORD_BYTES;
  if (prefix.size() < table_bytes) {
    return table_bytes;
  }
  std::uint64_t words = 0;  // at most 512 segments of 2^32 - 1 words: no overflow
  for (std::uint64_t segment = 0; segment < segments; ++segment) {
    words += le32(prefix, 4 + 4 * segment);
  }
  return table_bytes + words * WORD_BYTES;
}

}  // namespace qelpkg
