#pragma once

#include <memory>
#include <utility>

#include <qel_package/error.hpp>

namespace qel_package::python {

// A PackageError on its way up to Python, where it becomes a PackageError subclass. The error
// is move-only, and a thrown object must be copyable, so it is held by a shared pointer.
struct PackageFailure {
  std::shared_ptr<const PackageError> error;
};

// The value of a successful result; a failed one is thrown as a PackageFailure.
template <class T>
T value_or_throw(Result<T>&& result) {
  if (!result) {
    throw PackageFailure{std::make_shared<const PackageError>(std::move(result).error())};
  }
  if constexpr (!std::is_void_v<T>) {
    return std::move(*result);
  }
}

// Sets the Python exception that stands for the error.
void set_python_error(const PackageError& error);

}  // namespace qel_package::python
