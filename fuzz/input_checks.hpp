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

// Opens bytes as a package view, in place and from an unaligned copy, and reads them the
// owning way: both fail with the same error (rendering and location) or both succeed with
// equal packages, and tile images, output bindings and a profile report agree. The same for
// bytes as a cycle profile report.
std::optional<std::string> check_view_agrees(std::span<const std::uint8_t> bytes);

}  // namespace qel_package::fuzzing
