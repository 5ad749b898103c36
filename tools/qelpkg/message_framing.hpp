#pragma once

#include <cstdint>
#include <span>

namespace qelpkg {

// How many bytes the framed message at the front of prefix occupies, as far as prefix tells:
// 4 until the segment count is there, then the size of the segment table until that is
// there, then the whole message. A segment count that the readers refuse ends the message
// where it stands, so that a stream is not read for a table that will be refused.
std::uint64_t framed_message_bytes(std::span<const std::uint8_t> prefix);

}  // namespace qelpkg
