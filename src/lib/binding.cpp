#include <algorithm>

#include <qel_package/application.hpp>

#include "lib/checked.hpp"
#include "lib/fail.hpp"

namespace qel_package {

Result<std::uint64_t> Binding::byte_len() const {
  std::uint64_t extent = 0;
  for (const RegionSlice& slice : slices) {
    const auto end = detail::checked_add(slice.file_offset, slice.size);
    if (!end) {
      return detail::invalid("binding {} file range overflows", name);
    }
    extent = std::max(extent, *end);
  }
  return extent;
}

}  // namespace qel_package
