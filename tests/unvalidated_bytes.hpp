#pragma once

#include <cstdint>
#include <vector>

#include <capnp/message.h>
#include <capnp/serialize.h>

#include <qel_package/application.capnp.h>
#include <qel_package/application.hpp>

#include "lib/write_application.hpp"

namespace qel_package::testing {

// The package as a framed message, whether or not it is valid, for tests that hand broken
// packages to the views. Application::write refuses those, so this fills the message through
// the writer's own field conversion without its checks.
inline std::vector<std::uint8_t> unvalidated_bytes(const Application& application) {
  capnp::MallocMessageBuilder message;
  detail::write_application(message.initRoot<application_capnp::Application>(), application);
  const auto words = capnp::messageToFlatArray(message);
  const auto bytes = words.asBytes();
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace qel_package::testing
