#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include <qel_package/error.hpp>

#include "lib/binding_extent.hpp"
#include "lib/checked.hpp"
#include "lib/fail.hpp"
#include "lib/field.hpp"
#include "lib/location.hpp"

namespace qel_package::detail {

// Where an output binding was found: its position in the outputs and its base.
struct OutputPosition {
  std::size_t index;
  std::uint64_t base;
};

// The runtime output holds the output bindings back to back in list order, each taking
// exactly its extent, so a binding's base is the sum of the extents before it.
template <class Application>
[[nodiscard]] Result<OutputPosition> find_output_binding(const Application& application,
                                                         std::string_view name) {
  const auto& outputs = QEL_FIELD(application, outputs);
  std::uint64_t base = 0;
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    decltype(auto) binding = outputs[i];
    if (QEL_FIELD(binding, name) == name) {
      return OutputPosition{i, base};
    }
    std::uint64_t extent = 0;
    QEL_ASSIGN(extent, binding_extent(binding, "outputs", i));
    const auto next = checked_add(base, extent);
    if (!next) {
      return invalid_at(element_path("", "outputs", i), "output binding size overflow");
    }
    base = *next;
  }
  return invalid("application has no {} output binding", name);
}

}  // namespace qel_package::detail
