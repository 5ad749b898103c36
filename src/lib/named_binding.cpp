#include "lib/named_binding.hpp"

#include <qel_package/application.hpp>
#include <qel_package/application_view.hpp>

namespace qel_package {

Result<NamedBinding> Application::binding(std::string_view name) const& {
  detail::BindingPosition found{};
  QEL_ASSIGN(found, detail::find_binding(*this, name));
  const std::vector<Binding>& list = found.kind == BindingKind::Input    ? inputs
                                     : found.kind == BindingKind::Output ? outputs
                                                                         : weights;
  return NamedBinding{found.kind, &list[found.index]};
}

Result<NamedBindingView> ApplicationView::binding(std::string_view name) const {
  detail::BindingPosition found{};
  QEL_ASSIGN(found, detail::find_binding(*this, name));
  const BindingListView list = found.kind == BindingKind::Input    ? inputs()
                               : found.kind == BindingKind::Output ? outputs()
                                                                   : weights();
  return NamedBindingView{found.kind, list[found.index]};
}

}  // namespace qel_package
