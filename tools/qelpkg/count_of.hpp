#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <fmt/format.h>

namespace qelpkg {

// "1 batch", "2 batches".
inline std::string count_of(std::size_t count, std::string_view one, std::string_view many) {
  return fmt::format("{} {}", count, count == 1 ? one : many);
}

}  // namespace qelpkg
