#pragma once

#include <cstddef>

// Replaces the global operator new of the program it is linked into, to record the largest
// single allocation.
namespace qel_package::testing {

std::size_t largest_allocation();
void reset_largest_allocation();

}  // namespace qel_package::testing
