#pragma once

#include <cstdint>
#include <optional>

#include <qel_package/export.hpp>

// Where a report's samples lie in time: the unwrapped timeline of a tile, and cycles at the
// report's clock as microseconds.
namespace qel_package::profile {

// Cycles at a clock as microseconds: cycles * 1e6 / clock_hz. Empty for a clock of 0 Hz,
// which gives no time scale.
QEL_PACKAGE_API std::optional<double> microseconds(std::uint64_t cycles,
                                                   std::uint64_t clock_hz) noexcept;

// Places the samples of one tile, fed in plan order, on one 64-bit timeline. The first sample
// starts at its counter value; each later one starts where the counter has advanced to since
// the previous start, modulo 2^32, so that a counter wrap never sends time backwards. A
// message holds fewer than 2^29 samples, so the timeline stays below 2^61.
class QEL_PACKAGE_API TileTimeline {
 public:
  // The unwrapped start of the tile's next sample.
  std::uint64_t start_of(std::uint32_t start_cycle) noexcept;

 private:
  std::optional<std::uint64_t> previous_start_;
  std::uint32_t previous_cycle_{};
};

// How the timeline renderings place the tiles.
struct TimelineOptions {
  // Starts every tile's track at time 0 rather than at its counter value, so that tiles whose
  // counters differ (one near the wrap, say) line up.
  bool align = false;
};

}  // namespace qel_package::profile
