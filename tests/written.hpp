#pragma once

#include <cstdint>
#include <vector>

#include <gmock/gmock.h>

#include "matchers.hpp"

namespace qel_package::testing {

// What record's write puts into an empty sink: a package or a report. A failed write fails
// the test.
template <class Record>
std::vector<std::uint8_t> written(const Record& record) {
  std::vector<std::uint8_t> bytes;
  EXPECT_THAT(record.write(bytes), Succeeded());
  return bytes;
}

}  // namespace qel_package::testing
