#include <qel_package/application.hpp>

#include <utility>

#include "lib/fail.hpp"

namespace qel_package {

// Searched in the order validation walks the bindings, which keeps names unique across the
// three lists.
Result<NamedBinding> Application::binding(std::string_view name) const& {
  for (const auto& [kind, list] :
       {std::pair{BindingKind::Input, &inputs}, std::pair{BindingKind::Output, &outputs},
        std::pair{BindingKind::Weight, &weights}}) {
    for (const Binding& candidate : *list) {
      if (candidate.name == name) {
        return NamedBinding{kind, &candidate};
      }
    }
  }
  return detail::invalid("application has no {} binding", name);
}

}  // namespace qel_package
