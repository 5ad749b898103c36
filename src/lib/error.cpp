#include <ostream>

#include <fmt/format.h>

#include <qel_package/error.hpp>

#include "lib/debug_render.hpp"

namespace qel_package {
namespace {

std::string_view exception_type_name(kj::Exception::Type type) {
  switch (type) {
    case kj::Exception::Type::FAILED:
      return "Failed";
    case kj::Exception::Type::OVERLOADED:
      return "Overloaded";
    case kj::Exception::Type::DISCONNECTED:
      return "Disconnected";
    case kj::Exception::Type::UNIMPLEMENTED:
      return "Unimplemented";
  }
  return "Unknown";
}

struct Render {
  std::ostream& os;

  void operator()(const PackageError::Capnp& error) const {
    const kj::Exception& exception = error.exception;
    os << "Capnp(";
    detail::StructRenderer(os, "Exception")
        .field("type", exception_type_name(exception.getType()))
        .field("description", std::string(exception.getDescription().cStr()))
        .finish();
    os << ')';
  }

  void operator()(const PackageError::Io& error) const {
    os << "Io(";
    detail::StructRenderer(os, "IoError")
        .field("code", error.code.value())
        .field("message", error.code.message())
        .finish();
    os << ')';
  }

  void operator()(const PackageError::Utf8& error) const {
    os << "Utf8(Utf8Error { valid_up_to: " << error.valid_up_to << ", error_len: ";
    if (error.error_len) {
      os << *error.error_len;
    } else {
      os << "none";
    }
    os << " })";
  }

  void operator()(const PackageError::SchemaEnum& error) const {
    os << "SchemaEnum(" << error.value << ')';
  }

  void operator()(const PackageError::Invalid& error) const {
    os << "Invalid(";
    detail::render_text(os, error.message);
    os << ')';
  }
};

struct Describe {
  std::string operator()(const PackageError::Capnp& error) const {
    return error.exception.getDescription().cStr();
  }
  std::string operator()(const PackageError::Io& error) const { return error.code.message(); }
  std::string operator()(const PackageError::Utf8& error) const {
    return fmt::format("invalid UTF-8 after {} bytes", error.valid_up_to);
  }
  std::string operator()(const PackageError::SchemaEnum& error) const {
    return fmt::format("enumeration value {} is not in the schema", error.value);
  }
  std::string operator()(const PackageError::Invalid& error) const { return error.message; }
};

}  // namespace

std::string PackageError::message() const { return std::visit(Describe{}, variant_); }

std::ostream& operator<<(std::ostream& os, const PackageError& error) {
  std::visit(Render{os}, error.variant());
  return os;
}

}  // namespace qel_package
