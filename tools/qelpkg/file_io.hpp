#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "failure.hpp"

// Every file the tool touches, standard output included, goes through these functions.
namespace qelpkg {

// The whole content of the file.
Outcome<std::vector<std::uint8_t>> read_file(const std::string& path);

// Replaces path with bytes, or leaves it as it was: the bytes go to a temporary file beside
// it, which is renamed into place only once it is complete.
Outcome<void> write_file_atomically(const std::string& path, std::span<const std::uint8_t> bytes);

// Writes text to standard output and flushes it, so that a full disk or a closed pipe is
// reported rather than lost.
Outcome<void> write_stdout(std::string_view text);

}  // namespace qelpkg
