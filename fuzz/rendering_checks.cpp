#include "rendering_checks.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <nlohmann/json.hpp>

namespace qelpkg::fuzzing {

void broken(const char* expectation) {
  std::fprintf(stderr, "%s\n", expectation);
  std::abort();
}

void require_terminal_safe(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<std::uint8_t>(text[i]);
    const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                    static_cast<std::uint8_t>(text[i + 1]) >= 0x80 &&
                    static_cast<std::uint8_t>(text[i + 1]) < 0xA0;
    if ((byte < 0x20 && byte != '\n') || byte == 0x7F || c1) {
      broken("a text rendering holds a control character");
    }
  }
}

void require_json(std::string_view text) {
  if (!nlohmann::json::accept(text)) {
    broken("a JSON rendering is no JSON document");
  }
}

}  // namespace qelpkg::fuzzing
