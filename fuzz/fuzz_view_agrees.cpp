#include <cstdio>
#include <cstdlib>

#include "input_checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (const auto broken = qel_package::fuzzing::check_view_agrees({data, size})) {
    std::fprintf(stderr, "%s\n", broken->c_str());
    std::abort();
  }
  return 0;
}
