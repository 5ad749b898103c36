#pragma once

#include <cstdint>

#include <qel_package/profile.hpp>

namespace qelpkg {

// The cycles a sample took. The counter is a free-running 32-bit value, so the difference is
// taken modulo 2^32: a step across a wrap still has its true length.
inline std::uint32_t duration_cycles(const qel_package::profile::CycleSample& sample) {
  return static_cast<std::uint32_t>(sample.end_cycle - sample.start_cycle);
}

// Cycles at the clock as microseconds. The clock must not be 0.
inline double microseconds(std::uint64_t cycles, std::uint64_t clock_hz) {
  return static_cast<double>(cycles) * 1e6 / static_cast<double>(clock_hz);
}

}  // namespace qelpkg
