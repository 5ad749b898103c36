#pragma once

#include <pybind11/numpy.h>

namespace qel_package::python {

// Registers the numpy dtype of a row; called once when the module loads.
void register_sample_dtype();

// Every sample of a ProfileReport object as one row of a numpy structured array, built in one
// pass over the report's records without a Python object per sample.
pybind11::array report_samples(pybind11::handle report);

}  // namespace qel_package::python
