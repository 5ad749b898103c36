#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// What must hold for any input bytes, shared by the fuzz targets and the mutation suite.
// Each function returns a description of the first broken expectation, or nothing. A crash
// or an escaping exception is a broken expectation too.
namespace qel_package::fuzzing {

// Reads bytes as a package. When that succeeds, the package validates, writes and reads
// back equal, every tile with segments has an image, every output can be looked up, and a
// profile report can be attempted with bytes as the run's output.
std::optional<std::string> check_package_input(std::span<const std::uint8_t> bytes);

// Reads bytes as a cycle profile report. When that succeeds, it writes and reads back equal.
std::optional<std::string> check_report_input(std::span<const std::uint8_t> bytes);

}  // namespace qel_package::fuzzing
