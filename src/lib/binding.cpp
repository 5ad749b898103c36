#include <limits>

#include <qel_package/application.hpp>
#include <qel_package/application_view.hpp>

#include "lib/binding_extent.hpp"

namespace qel_package {

Result<std::uint64_t> Binding::byte_len() const { return detail::binding_extent(*this, "", 0); }

// The view was validated when it opened, and validation computes every binding's extent.
std::uint64_t BindingView::byte_len() const {
  return detail::binding_extent(*this, "", 0).value_or(std::numeric_limits<std::uint64_t>::max());
}

}  // namespace qel_package
