#pragma once

#include <capnp/message.h>

#include <qel_package/export.hpp>

namespace qel_package {

// The options every reader of the library starts from: no traversal limit of its own and a
// nesting limit of 64. The readers then bound the traversal by the size of each message.
QEL_PACKAGE_API capnp::ReaderOptions capnp_reader_options();

}  // namespace qel_package
