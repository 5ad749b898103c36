#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <pybind11/numpy.h>

namespace qel_package::python {

// Bytes that C++ produced, as a bytes object; the copy runs without the GIL.
pybind11::bytes to_bytes(const std::vector<std::uint8_t>& data);

// A byte list moved into a numpy uint8 array that owns it: no copy.
pybind11::array_t<std::uint8_t> to_array(std::vector<std::uint8_t>&& data);

// Bytes that owner keeps alive, as a read-only numpy uint8 array over them whose base is owner:
// no copy.
pybind11::array borrowed_array(pybind11::handle owner, std::span<const std::uint8_t> bytes);

}  // namespace qel_package::python
