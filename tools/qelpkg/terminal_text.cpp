#include "terminal_text.hpp"

#include <cstdint>

#include <fmt/format.h>

#include "utf8_sequence.hpp"

namespace qelpkg {

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const auto byte = static_cast<std::uint8_t>(text.front());
    std::size_t length = 1;
    if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      fmt::format_to(std::back_inserter(out), "\\x{:02x}", byte);
    } else if (byte < 0x80) {
      out += text.front();
    } else if (length = utf8_sequence_length(text); length == 0) {
      fmt::format_to(std::back_inserter(out), "\\x{:02x}", byte);
      length = 1;
    } else if (byte == 0xC2 && static_cast<std::uint8_t>(text[1]) < 0xA0) {
      fmt::format_to(std::back_inserter(out), "\\u{:04x}", static_cast<std::uint8_t>(text[1]));
    } else {
      out.append(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
  return out;
}

}  // namespace qelpkg
