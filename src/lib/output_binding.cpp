#include <qel_package/application.hpp>

#include "lib/checked.hpp"
#include "lib/fail.hpp"

namespace qel_package {

// The runtime output holds the output bindings back to back in list order, each taking
// exactly its extent, so a binding's base is the sum of the extents before it.
Result<OutputBinding> Application::output_binding(std::string_view name) const& {
  std::uint64_t base = 0;
  for (const Binding& binding : outputs) {
    if (binding.name == name) {
      return OutputBinding{&binding, base};
    }
    std::uint64_t extent = 0;
    QEL_ASSIGN(extent, binding.byte_len());
    const auto next = detail::checked_add(base, extent);
    if (!next) {
      return detail::invalid("output binding size overflow");
    }
    base = *next;
  }
  return detail::invalid("application has no {} output binding", name);
}

}  // namespace qel_package
