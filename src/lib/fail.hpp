#pragma once

#include <string>
#include <utility>

#include <fmt/format.h>
#include <kj/exception.h>
#include <tl/expected.hpp>

#include <qel_package/error.hpp>

// The one road by which the library's errors are made and handed up.
namespace qel_package::detail {

inline tl::unexpected<PackageError> invalid(std::string message) {
  return tl::unexpected<PackageError>(PackageError::Invalid{std::move(message)});
}

template <class... Args>
tl::unexpected<PackageError> invalid(fmt::format_string<Args...> format, Args&&... args) {
  return invalid(fmt::format(format, std::forward<Args>(args)...));
}

// An Invalid error that names where the broken rule sits.
template <class... Args>
tl::unexpected<PackageError> invalid_at(std::string location, fmt::format_string<Args...> format,
                                        Args&&... args) {
  return tl::unexpected<PackageError>(PackageError::Invalid{
      fmt::format(format, std::forward<Args>(args)...), std::move(location)});
}

inline tl::unexpected<PackageError> capnp_failure(kj::Exception exception) {
  return tl::unexpected<PackageError>(PackageError::Capnp{std::move(exception)});
}

}  // namespace qel_package::detail

// Returns early with the error of a failed Result; keeps call sites flat.
#define QEL_TRY(expression)                                       \
  do {                                                            \
    if (auto qel_try_result = (expression); !qel_try_result) {    \
      return ::tl::unexpected(std::move(qel_try_result).error()); \
    }                                                             \
  } while (false)

// Assigns the value of a successful Result to target, or returns early with its error.
#define QEL_ASSIGN(target, expression)                               \
  do {                                                               \
    auto qel_assign_result = (expression);                           \
    if (!qel_assign_result) {                                        \
      return ::tl::unexpected(std::move(qel_assign_result).error()); \
    }                                                                \
    target = *std::move(qel_assign_result);                          \
  } while (false)

// Appends the value of a successful Result to list, moving it in rather than assigning it to
// a default element, or returns early with its error.
#define QEL_APPEND(list, expression)                                 \
  do {                                                               \
    auto qel_append_result = (expression);                           \
    if (!qel_append_result) {                                        \
      return ::tl::unexpected(std::move(qel_append_result).error()); \
    }                                                                \
    (list).push_back(*std::move(qel_append_result));                 \
  } while (false)
