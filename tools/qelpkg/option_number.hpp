#pragma once

#include <concepts>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include <fmt/format.h>
#include <tl/expected.hpp>

namespace qelpkg {

// An option's number: unsigned decimal digits only, with no sign, no leading zero (which
// might be meant as octal), no base prefix and no wrap or saturation at the type's limit.
template <std::unsigned_integral T>
tl::expected<T, std::string> parse_option_number(std::string_view text, T minimum = 0) {
  const auto refused = [&](std::string_view why) {
    return tl::unexpected(fmt::format("\"{}\" {}", text, why));
  };
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
    return refused("is not an unsigned decimal number");
  }
  if (text.size() > 1 && text.front() == '0') {
    return refused("has a leading zero; write the number in decimal without it");
  }
  T value = 0;
  for (const char c : text) {
    const auto digit = static_cast<T>(c - '0');
    if (value > (std::numeric_limits<T>::max() - digit) / 10) {
      return refused(fmt::format("is out of range: at most {}", std::numeric_limits<T>::max()));
    }
    value = static_cast<T>(value * 10 + digit);
  }
  if (value < minimum) {
    return refused(fmt::format("is out of range: at least {}", minimum));
  }
  return value;
}

}  // namespace qelpkg
