#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

// Every sum and product of sizes, offsets and addresses goes through these, so that each
// overflow is caught before it happens.
namespace qel_package::detail {

// The profile report builder and the host batch check convert 64-bit offsets and 32-bit
// indices to sizes; on the supported hosts that conversion is lossless.
static_assert(sizeof(std::size_t) >= sizeof(std::uint64_t));

template <std::unsigned_integral T>
constexpr std::optional<T> checked_add(T a, T b) noexcept {
  if (std::numeric_limits<T>::max() - a < b) {
    return std::nullopt;
  }
  return static_cast<T>(a + b);
}

template <std::unsigned_integral T>
constexpr std::optional<T> checked_mul(T a, T b) noexcept {
  if (a != 0 && std::numeric_limits<T>::max() / a < b) {
    return std::nullopt;
  }
  return static_cast<T>(a * b);
}

}  // namespace qel_package::detail
