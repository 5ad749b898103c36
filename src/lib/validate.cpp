#include "lib/validate.hpp"

#include <qel_package/application.hpp>

namespace qel_package {

Result<void> Application::validate() const { return detail::validate_application(*this); }

Result<void> validate_host_batch_ends(const HostCall& call, std::string_view direction,
                                      std::span<const std::uint32_t> ends,
                                      std::size_t slice_count) {
  return detail::validate_batch_ends(call, "", direction, ends, slice_count);
}

}  // namespace qel_package
