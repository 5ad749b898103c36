#include <cstdint>
#include <limits>

#include <qel_package/reader_options.hpp>

namespace qel_package {

capnp::ReaderOptions capnp_reader_options() {
  capnp::ReaderOptions options;
  options.traversalLimitInWords = std::numeric_limits<std::uint64_t>::max();
  options.nestingLimit = 64;
  return options;
}

}  // namespace qel_package
