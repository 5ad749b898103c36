#include <qel_package/profile_timeline.hpp>

namespace qel_package::profile {

std::optional<double> microseconds(std::uint64_t cycles, std::uint64_t clock_hz) noexcept {
  if (clock_hz == 0) {
    return std::nullopt;
  }
  return static_cast<double>(cycles) * 1e6 / static_cast<double>(clock_hz);
}

std::uint64_t TileTimeline::start_of(std::uint32_t start_cycle) noexcept {
  const std::uint64_t start =
      previous_start_ ? *previous_start_ + static_cast<std::uint32_t>(start_cycle - previous_cycle_)
                      : start_cycle;
  previous_start_ = start;
  previous_cycle_ = start_cycle;
  return start;
}

}  // namespace qel_package::profile
