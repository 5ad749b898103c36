#pragma once

#include <qel_package/application.capnp.h>
#include <qel_package/profile.capnp.h>
#include <qel_package/error.hpp>

#include "lib/fail.hpp"
#include "lib/utf8.hpp"

// The checks that make a message safe to read through views: every pointer the readers
// follow, the UTF-8 of every text and every enumeration value, visited in the order the
// records' fields are listed, so that the first broken field is the one reported. A check
// touches each object once; the views then read the checked message without failing.
namespace qel_package::detail {

[[nodiscard]] inline Result<void> check_text(capnp::Text::Reader text) {
  const std::span bytes(reinterpret_cast<const std::uint8_t*>(text.begin()), text.size());
  if (auto error = find_utf8_error(bytes)) {
    return tl::unexpected<PackageError>(*error);
  }
  return {};
}

// The package header, then every field of the package.
[[nodiscard]] Result<void> check_application(application_capnp::Application::Reader root);

// One profile step, as ProfileStep::read reads it.
[[nodiscard]] Result<void> check_step(profile_capnp::ProfileStep::Reader step);

// The report's version, then every field of the report.
[[nodiscard]] Result<void> check_report(profile_capnp::Profile::Reader root);

}  // namespace qel_package::detail
