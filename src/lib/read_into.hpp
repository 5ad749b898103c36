#pragma once

#include <vector>

#include "lib/fail.hpp"

namespace qel_package::detail {

// Converts each element of a wire list with convert straight into records, stopping at the
// first error. convert is a template argument so that it is called directly, and can be
// inlined, in the loop over the elements.
template <auto convert, class Record, class List>
[[nodiscard]] Result<void> read_into(std::vector<Record>& records, List list) {
  records.reserve(list.size());
  for (const auto element : list) {
    QEL_APPEND(records, convert(element));
  }
  return {};
}

}  // namespace qel_package::detail
