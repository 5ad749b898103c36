#pragma once

#include <string>
#include <string_view>

#include <tl/expected.hpp>

#include "record_json.hpp"

namespace qelpkg {

// Parses a JSON document. A syntax error is reported with its line and column, and an object
// that holds the same field twice is refused rather than keeping one of the values.
tl::expected<Json, std::string> parse_json(std::string_view text);

}  // namespace qelpkg
