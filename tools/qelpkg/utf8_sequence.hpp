#pragma once

#include <cstddef>
#include <string_view>

namespace qelpkg {

// The length of the well-formed UTF-8 sequence at the front of text (1 to 4 bytes), or 0 when
// text is empty or starts with a byte that begins no well-formed sequence: a stray
// continuation byte, an overlong form, a surrogate, a value beyond U+10FFFF or a cut sequence.
std::size_t utf8_sequence_length(std::string_view text);

}  // namespace qelpkg
