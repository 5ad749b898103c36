#pragma once

#include <cstddef>

// Replaces the global operator new of the program it is linked into, to record the largest
// single allocation and the bytes allocated in all.
namespace qel_package::testing {

std::size_t largest_allocation();
void reset_largest_allocation();
// Every byte allocated since the last reset, freed or not: a bound on the peak.
std::size_t allocated_bytes();
void reset_allocated_bytes();

}  // namespace qel_package::testing
