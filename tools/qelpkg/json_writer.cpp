#include "json_writer.hpp"

namespace qelpkg {

void append_json_string(std::string& out, std::string_view text) {
  out += '"';
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') {
      continue;
    }
    out.append(text.substr(run, i - run));
    run = i + 1;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        fmt::format_to(std::back_inserter(out), "\\u{:04x}", c);
    }
  }
  out.append(text.substr(run));
  out += '"';
}

}  // namespace qelpkg
