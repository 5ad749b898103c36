#pragma once

#include <pybind11/pybind11.h>

namespace qel_package::python {

// ApplicationView and its element views. A view borrows the buffer it was opened on, and every
// element taken from it keeps it alive; byte lists are read-only numpy arrays over the buffer.
void bind_views(pybind11::module_& module);

}  // namespace qel_package::python
