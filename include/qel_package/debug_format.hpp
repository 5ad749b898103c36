#pragma once

#include <fmt/ostream.h>

namespace qel_package {

// True for the library's types that have a debug rendering (operator<<); fmt and spdlog
// format them with "{}" through it.
template <class T>
inline constexpr bool has_debug_rendering = false;

}  // namespace qel_package

namespace fmt {

template <class T>
requires qel_package::has_debug_rendering<T>
struct formatter<T> : ostream_formatter {
};

}  // namespace fmt
