#include "lib/output_binding.hpp"

#include <qel_package/application.hpp>
#include <qel_package/application_view.hpp>

namespace qel_package {

Result<OutputBinding> Application::output_binding(std::string_view name) const& {
  detail::OutputPosition found{};
  QEL_ASSIGN(found, detail::find_output_binding(*this, name));
  return OutputBinding{&outputs[found.index], found.base};
}

Result<OutputBindingView> ApplicationView::output_binding(std::string_view name) const {
  detail::OutputPosition found{};
  QEL_ASSIGN(found, detail::find_output_binding(*this, name));
  return OutputBindingView{outputs()[found.index], found.base};
}

}  // namespace qel_package
