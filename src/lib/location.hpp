#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <fmt/format.h>

namespace qel_package::detail {

// The path of one element of a list within parent, in the records' field names:
// element_path("tiles[3]", "segments", 1) is "tiles[3].segments[1]". An empty parent is the
// application (or whatever the rule was handed) itself.
inline std::string element_path(std::string_view parent, std::string_view list, std::size_t index) {
  if (parent.empty()) {
    return fmt::format("{}[{}]", list, index);
  }
  return fmt::format("{}.{}[{}]", parent, list, index);
}

// The path of a field of parent.
inline std::string field_path(std::string_view parent, std::string_view field) {
  if (parent.empty()) {
    return std::string(field);
  }
  return fmt::format("{}.{}", parent, field);
}

}  // namespace qel_package::detail
