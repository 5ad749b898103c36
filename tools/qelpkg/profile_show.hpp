#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include <qel_package/profile.hpp>
#include <qel_package/profile_summary.hpp>
#include <qel_package/profile_view.hpp>

#include "record_json.hpp"

// What `qelpkg profile show` prints: the summary of the report first (totals by kind, the
// kernels and operations with the most cycles, each tile's busy cycles and extent), then each
// tile's samples with their cycles and the tile's totals by kind. A report whose clock is 0 Hz
// has its durations in cycles only.
namespace qelpkg {

struct ShowOptions {
  // At most this many kernels and operations; all when empty.
  std::optional<std::size_t> top{};
  // Only this tile, its summary and its samples; every tile when empty.
  std::optional<std::uint32_t> tile{};
};

std::string summary_text(const qel_package::profile::ProfileSummary& summary,
                         const ShowOptions& options);
// One tile's samples and totals; tile is the tile's entry of the summary.
std::string tile_samples_text(const qel_package::profile::TileProfileView& samples,
                              const qel_package::profile::TileSummary& tile,
                              std::uint64_t clock_hz);

// The same as JSON; microseconds are null when the clock is 0 Hz.
Json summary_json(const qel_package::profile::ProfileSummary& summary, const ShowOptions& options);
Json tile_samples_json(const qel_package::profile::TileProfileView& samples,
                       const qel_package::profile::TileSummary& tile, std::uint64_t clock_hz);

}  // namespace qelpkg
