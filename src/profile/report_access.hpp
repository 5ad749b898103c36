#pragma once

#include <cstdint>
#include <vector>

#include <qel_package/profile.hpp>
#include <qel_package/profile_view.hpp>

// The same few questions asked of a report's records or of a view over its bytes, so that one
// rendering serves both.
namespace qel_package::profile::detail {

inline std::uint64_t clock_of(const ProfileReport& report) { return report.clock_hz; }
inline std::uint64_t clock_of(const ProfileReportView& report) { return report.clock_hz(); }

inline const std::vector<TileProfile>& tiles_of(const ProfileReport& report) {
  return report.tiles;
}
inline auto tiles_of(const ProfileReportView& report) { return report.tiles(); }

inline std::uint32_t physical_tile_of(const TileProfile& tile) { return tile.physical_tile; }
inline std::uint32_t physical_tile_of(const TileProfileView& tile) { return tile.physical_tile(); }

inline const std::vector<CycleSample>& samples_of(const TileProfile& tile) { return tile.samples; }
inline auto samples_of(const TileProfileView& tile) { return tile.samples(); }

// A sample as a record: the record itself, or one built from the view, one sample at a time.
inline const CycleSample& sample_record(const CycleSample& sample) { return sample; }
inline CycleSample sample_record(const CycleSampleView& sample) {
  return {.step = sample.step().to_step(),
          .start_cycle = sample.start_cycle(),
          .end_cycle = sample.end_cycle()};
}

}  // namespace qel_package::profile::detail
