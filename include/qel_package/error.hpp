#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>
#include <variant>

#include <kj/exception.h>
#include <tl/expected.hpp>

#include <qel_package/debug_format.hpp>
#include <qel_package/export.hpp>

namespace qel_package {

// The one error type of every fallible operation of the library. It is moved up to the
// caller, never copied or compared.
class QEL_PACKAGE_API PackageError {
 public:
  // A failure of the Cap'n Proto layer, carried unchanged.
  struct Capnp {
    kj::Exception exception;

    Capnp(kj::Exception exception) : exception(std::move(exception)) {}
    Capnp(Capnp&&) noexcept = default;
    // kj::Exception can be moved but not assigned, so assignment replaces it.
    Capnp& operator=(Capnp&& other) noexcept {
      if (this != &other) {
        std::destroy_at(&exception);
        std::construct_at(&exception, std::move(other.exception));
      }
      return *this;
    }
    ~Capnp() = default;
  };
  // An input/output error: a stream that refused what the library wrote to it.
  struct Io {
    std::error_code code;
  };
  // A text that is not valid UTF-8.
  struct Utf8 {
    std::size_t valid_up_to{};
    // Length of the invalid sequence; absent when the text ends inside a sequence.
    std::optional<std::size_t> error_len;
  };
  // An enumeration number that the schema does not define.
  struct SchemaEnum {
    std::uint16_t value{};
  };
  // A broken package rule.
  struct Invalid {
    std::string message;
    // Where the rule broke, as a path in the records' field names
    // ("tiles[3].segments[1]"); empty where no single element is at fault.
    std::string location{};
  };

  using Variant = std::variant<Capnp, Io, Utf8, SchemaEnum, Invalid>;

  template <class Kind>
  requires std::is_constructible_v<Variant, Kind&&> PackageError(Kind&& kind)
      : variant_(std::forward<Kind>(kind)) {}

  PackageError(PackageError&&) noexcept = default;
  PackageError& operator=(PackageError&&) noexcept = default;
  PackageError(const PackageError&) = delete;
  PackageError& operator=(const PackageError&) = delete;
  ~PackageError() = default;

  const Variant& variant() const noexcept { return variant_; }

  // The carried value when the error is of variant Kind, otherwise null.
  template <class Kind>
  const Kind* get_if() const noexcept {
    return std::get_if<Kind>(&variant_);
  }

  // One line of text for a person: the message of an Invalid error (without its location),
  // the description of a Cap'n Proto failure, the system's message of an Io error, and
  // "invalid UTF-8 after N bytes" or "enumeration value N is not in the schema".
  std::string message() const;

 private:
  Variant variant_;
};

template <class T>
using Result = tl::expected<T, PackageError>;

// Renders the variant name and, in parentheses, the carried value:
// Invalid("application has no tiles"), SchemaEnum(4).
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const PackageError& error);

template <>
inline constexpr bool has_debug_rendering<PackageError> = true;

}  // namespace qel_package
