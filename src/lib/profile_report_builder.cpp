#include "lib/profile_report_builder.hpp"

#include <qel_package/application.hpp>
#include <qel_package/application_view.hpp>

namespace qel_package {

Result<profile::ProfileReport> Application::profile_report(std::span<const std::uint8_t> output,
                                                           std::uint64_t clock_hz) const {
  return detail::profile_report(*this, output, clock_hz);
}

Result<profile::ProfileReport> ApplicationView::profile_report(std::span<const std::uint8_t> output,
                                                               std::uint64_t clock_hz) const {
  return detail::profile_report(*this, output, clock_hz);
}

}  // namespace qel_package
