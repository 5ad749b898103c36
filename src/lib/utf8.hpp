#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <qel_package/error.hpp>

namespace qel_package::detail {

// The first UTF-8 error in bytes, or empty when they are all valid. Overlong forms,
// surrogates and code points above U+10FFFF are errors.
std::optional<PackageError::Utf8> find_utf8_error(std::span<const std::uint8_t> bytes) noexcept;

// An owned copy of text, or a Utf8 error when text is not valid UTF-8.
[[nodiscard]] Result<std::string> decode_utf8(std::string_view text);

}  // namespace qel_package::detail
