#pragma once

#include <cstdint>
#include <span>

#include <qel_package/error.hpp>

// The floor for any reader of this encoding: one framed message read the way the library
// reads it (framing check, one copy, bounded reader), every field fetched through the
// generated accessors and nothing built from it. Texts and byte lists are taken as views.
// Each pass returns a checksum of what it read, so that no read can be left out.
namespace qel_package::bench {

[[nodiscard]] Result<std::uint64_t> raw_package_pass(std::span<const std::uint8_t> input);
[[nodiscard]] Result<std::uint64_t> raw_report_pass(std::span<const std::uint8_t> input);

}  // namespace qel_package::bench
