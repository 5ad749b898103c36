#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <qel_package/error.hpp>

#include "lib/checked.hpp"
#include "lib/fail.hpp"
#include "lib/field.hpp"
#include "lib/location.hpp"

namespace qel_package::detail {

// The path of the binding at index of list ("outputs[2]"); empty when the caller has no list
// to name.
inline std::string binding_path(std::string_view list, std::size_t index) {
  return list.empty() ? std::string() : element_path("", list, index);
}

// A binding's extent: the furthest file_offset + size over its slices, 0 without slices.
// list and index say where the binding sits, for the error's location.
template <class Binding>
[[nodiscard]] Result<std::uint64_t> binding_extent(const Binding& binding, std::string_view list,
                                                   std::size_t index) {
  const auto& slices = QEL_FIELD(binding, slices);
  std::uint64_t extent = 0;
  for (std::size_t k = 0; k < slices.size(); ++k) {
    decltype(auto) slice = slices[k];
    const auto end =
        checked_add<std::uint64_t>(QEL_FIELD(slice, file_offset), QEL_FIELD(slice, size));
    if (!end) {
      return invalid_at(element_path(binding_path(list, index), "slices", k),
                        "binding {} file range overflows", QEL_FIELD(binding, name));
    }
    extent = std::max(extent, *end);
  }
  return extent;
}

}  // namespace qel_package::detail
