#include "failure.hpp"

#include <fmt/format.h>

namespace qelpkg {

using qel_package::PackageError;

std::string describe(const PackageError& error) {
  const auto* invalid = error.get_if<PackageError::Invalid>();
  if (invalid == nullptr || invalid->location.empty()) {
    return error.message();
  }
  return fmt::format("{} (at {})", error.message(), invalid->location);
}

}  // namespace qelpkg
