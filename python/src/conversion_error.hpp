#pragma once

#include <Python.h>

#include <string>
#include <string_view>

namespace qel_package::python {

// A Python value that does not convert to its record field. The path to the value grows as
// the error passes up through the records and lists that hold it ("tiles[0].address").
class ConversionError {
 public:
  ConversionError(PyObject* type, std::string message)
      : type_(type), message_(std::move(message)) {}

  void within_field(std::string_view name) { prepend(std::string(name)); }
  void within_element(std::size_t index) { prepend('[' + std::to_string(index) + ']'); }

  PyObject* type() const { return type_; }
  std::string text() const { return path_.empty() ? message_ : path_ + ": " + message_; }

 private:
  void prepend(std::string outer) {
    if (!path_.empty() && path_.front() != '[') {
      outer += '.';
    }
    path_.insert(0, outer);
  }

  PyObject* type_;
  std::string message_;
  std::string path_;
};

}  // namespace qel_package::python
