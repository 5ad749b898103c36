#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <qel_package/application.hpp>

#include "record_json.hpp"

// The summary of a package that `qelpkg info` prints.
namespace qelpkg {

// How large the package message is, and the file that holds it.
struct MessageSize {
  std::uint64_t message;
  // The size of the whole file; unknown for a stream, which is read only up to the message.
  std::optional<std::uint64_t> file;
};

// The message size and what follows it, then sections for the tiles, bindings, host exchange, entry
// points, device configuration writes, profile plans and debug map; addresses in hexadecimal.
[[nodiscard]] qel_package::Result<std::string> package_info_text(
    const qel_package::Application& application, const MessageSize& size);

// The same summary as JSON: the package's JSON form with each segment's data replaced by its
// data_size, each tile's load_base and image_size, each binding's byte_len, and each profile
// plan's steps replaced by their count and the count of each kind; message_bytes and
// bytes_after_message (null for a stream) at the end.
[[nodiscard]] qel_package::Result<Json> package_info_json(
    const qel_package::Application& application, const MessageSize& size);

}  // namespace qelpkg
