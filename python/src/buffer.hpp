#pragma once

#include <Python.h>

#include <cstdint>
#include <span>

#include <pybind11/pybind11.h>

namespace qel_package::python {

// The bytes of any object with the buffer protocol (bytes, bytearray, memoryview, mmap, numpy
// arrays), held for as long as this lives. While a buffer is exported its owner cannot resize
// or close it, so the span stays valid with the GIL released.
class BorrowedBuffer {
 public:
  explicit BorrowedBuffer(pybind11::handle object) {
    if (PyObject_GetBuffer(object.ptr(), &buffer_, PyBUF_SIMPLE) != 0) {
      throw pybind11::error_already_set();
    }
  }
  BorrowedBuffer(const BorrowedBuffer&) = delete;
  BorrowedBuffer& operator=(const BorrowedBuffer&) = delete;
  ~BorrowedBuffer() { PyBuffer_Release(&buffer_); }

  bool writable() const { return buffer_.readonly == 0; }

  std::span<const std::uint8_t> bytes() const {
    return {static_cast<const std::uint8_t*>(buffer_.buf), static_cast<std::size_t>(buffer_.len)};
  }

 private:
  Py_buffer buffer_{};
};

}  // namespace qel_package::python
