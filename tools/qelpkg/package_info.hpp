#pragma once

#include <string>

#include <qel_package/application.hpp>

#include "record_json.hpp"

// The summary of a package that `qelpkg info` prints.
namespace qelpkg {

// Sections for the tiles, bindings, host exchange, entry points, device configuration writes,
// profile plans and debug map; addresses in hexadecimal.
[[nodiscard]] qel_package::Result<std::string> package_info_text(
    const qel_package::Application& application);

// The same summary as JSON: the package's JSON form with each segment's data replaced by its
// data_size, each tile's load_base and image_size, each binding's byte_len, and each profile
// plan's steps replaced by their count and the count of each kind.
[[nodiscard]] qel_package::Result<Json> package_info_json(
    const qel_package::Application& application);

}  // namespace qelpkg
