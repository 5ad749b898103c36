#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include <qel_package/application.hpp>

#include "lib/fail.hpp"
#include "lib/field.hpp"

namespace qel_package::detail {

// Where a binding was found: the list that holds it and its position there.
struct BindingPosition {
  BindingKind kind;
  std::size_t index;
};

// Searches inputs, outputs and weights in the order validation walks them; validation keeps
// names unique across the three lists.
template <class Application>
[[nodiscard]] Result<BindingPosition> find_binding(const Application& application,
                                                   std::string_view name) {
  const auto find_in = [&](const auto& list, BindingKind kind) -> std::optional<BindingPosition> {
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (QEL_FIELD(list[i], name) == name) {
        return BindingPosition{kind, i};
      }
    }
    return std::nullopt;
  };
  if (auto found = find_in(QEL_FIELD(application, inputs), BindingKind::Input)) {
    return *found;
  }
  if (auto found = find_in(QEL_FIELD(application, outputs), BindingKind::Output)) {
    return *found;
  }
  if (auto found = find_in(QEL_FIELD(application, weights), BindingKind::Weight)) {
    return *found;
  }
  return invalid("application has no {} binding", name);
}

}  // namespace qel_package::detail
