#include "package_failure.hpp"

#include <sstream>
#include <string>
#include <variant>

#include <pybind11/pybind11.h>

namespace py = pybind11;

namespace qel_package::python {
namespace {

// The library's own rendering of the error, the text of every kind but Invalid.
std::string rendering(const PackageError& error) {
  std::ostringstream text;
  text << error;
  return text.str();
}

struct ToException {
  const PackageError& error;
  py::module_ errors = py::module_::import("qel_package._errors");

  py::object operator()(const PackageError::Capnp& capnp) const {
    return errors.attr("CapnpError")(
        rendering(error), py::arg("description") = capnp.exception.getDescription().cStr());
  }
  py::object operator()(const PackageError::Io& io) const {
    return errors.attr("IoError")(rendering(error), py::arg("errno") = io.code.value(),
                                  py::arg("strerror") = io.code.message());
  }
  py::object operator()(const PackageError::Utf8& utf8) const {
    py::object error_len = py::none();
    if (utf8.error_len) {
      error_len = py::int_(*utf8.error_len);
    }
    return errors.attr("Utf8Error")(rendering(error), py::arg("valid_up_to") = utf8.valid_up_to,
                                    py::arg("error_len") = error_len);
  }
  py::object operator()(const PackageError::SchemaEnum& schema_enum) const {
    return errors.attr("SchemaEnumError")(rendering(error), py::arg("value") = schema_enum.value);
  }
  py::object operator()(const PackageError::Invalid& invalid) const {
    return errors.attr("InvalidPackageError")(invalid.message,
                                              py::arg("location") = invalid.location);
  }
};

}  // namespace

void set_python_error(const PackageError& error) {
  py::object exception = std::visit(ToException{error}, error.variant());
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exception.ptr())), exception.ptr());
}

}  // namespace qel_package::python
