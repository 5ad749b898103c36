#include "arrays.hpp"

#include <algorithm>
#include <memory>
#include <utility>

namespace py = pybind11;

namespace qel_package::python {

py::bytes to_bytes(const std::vector<std::uint8_t>& data) {
  PyObject* bytes = PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(data.size()));
  if (bytes == nullptr) {
    throw py::error_already_set();
  }
  {
    py::gil_scoped_release release;
    std::copy(data.begin(), data.end(), reinterpret_cast<std::uint8_t*>(PyBytes_AS_STRING(bytes)));
  }
  return py::reinterpret_steal<py::bytes>(bytes);
}

py::array_t<std::uint8_t> to_array(std::vector<std::uint8_t>&& data) {
  auto owned = std::make_unique<std::vector<std::uint8_t>>(std::move(data));
  py::capsule owner(owned.get(),
                    [](void* vector) { delete static_cast<std::vector<std::uint8_t>*>(vector); });
  std::vector<std::uint8_t>& bytes = *owned.release();
  return py::array_t<std::uint8_t>(static_cast<py::ssize_t>(bytes.size()), bytes.data(), owner);
}

py::array borrowed_array(py::handle owner, std::span<const std::uint8_t> bytes) {
  py::array array(py::dtype::of<std::uint8_t>(), {static_cast<py::ssize_t>(bytes.size())}, {},
                  bytes.data(), owner);
  array.attr("setflags")(py::arg("write") = false);
  return array;
}

}  // namespace qel_package::python
