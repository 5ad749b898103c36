#include "lib/debug_render.hpp"

#include <fmt/format.h>

namespace qel_package::detail {

void render_text(std::ostream& os, std::string_view text) {
  os << '"';
  for (char c : text) {
    switch (c) {
      case '"':
        os << "\\\"";
        break;
      case '\\':
        os << "\\\\";
        break;
      case '\n':
        os << "\\n";
        break;
      case '\t':
        os << "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
          os << fmt::format("\\x{:02x}", static_cast<unsigned char>(c));
        } else {
          os << c;
        }
    }
  }
  os << '"';
}

}  // namespace qel_package::detail
