#include "failure.hpp"

#include <string_view>
#include <variant>

#include <fmt/format.h>

namespace qelpkg {
namespace {

using qel_package::PackageError;

// The layer's description without the source condition that a failed requirement puts in
// front of it ("expected segment != nullptr; ...").
std::string_view layer_text(std::string_view description) {
  constexpr std::string_view REQUIREMENT = "expected ";
  if (const std::size_t end = description.find("; ");
      description.starts_with(REQUIREMENT) && end != std::string_view::npos) {
    return description.substr(end + 2);
  }
  return description;
}

struct Describe {
  std::string operator()(const PackageError::Capnp& error) const {
    return fmt::format("not a well-formed message: {}",
                       layer_text(error.exception.getDescription().cStr()));
  }
  std::string operator()(const PackageError::Io& error) const { return error.code.message(); }
  std::string operator()(const PackageError::Utf8& error) const {
    if (error.error_len) {
      return fmt::format("invalid UTF-8 sequence of {} bytes after {} valid bytes of a text",
                         *error.error_len, error.valid_up_to);
    }
    return fmt::format("text ends inside a UTF-8 sequence after {} valid bytes", error.valid_up_to);
  }
  std::string operator()(const PackageError::SchemaEnum& error) const {
    return fmt::format("enumeration value {} is not defined by the schema", error.value);
  }
  std::string operator()(const PackageError::Invalid& error) const {
    if (error.location.empty()) {
      return error.message;
    }
    return fmt::format("{} (at {})", error.message, error.location);
  }
};

}  // namespace

std::string describe(const PackageError& error) { return std::visit(Describe{}, error.variant()); }

}  // namespace qelpkg
