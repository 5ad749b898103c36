#include <qel_package/profile_view.hpp>

#include "lib/checked_message.hpp"
#include "lib/wire_check.hpp"

namespace qel_package::profile {

Result<ProfileReportView> ProfileReportView::open(std::span<const std::uint8_t> input) {
  auto opened = detail::open_checked<profile_capnp::Profile>(input, detail::check_report);
  if (!opened) {
    return tl::unexpected(std::move(opened).error());
  }
  return ProfileReportView(std::move(opened->message), opened->root, opened->message_bytes);
}

ProfileReport ProfileReportView::to_report() const {
  ProfileReport report{.clock_hz = clock_hz()};
  const auto tile_views = tiles();
  report.tiles.reserve(tile_views.size());
  for (const TileProfileView tile : tile_views) {
    TileProfile& converted = report.tiles.emplace_back();
    converted.physical_tile = tile.physical_tile();
    const auto samples = tile.samples();
    converted.samples.reserve(samples.size());
    for (const CycleSampleView sample : samples) {
      converted.samples.push_back(CycleSample{
          .step = sample.step().to_step(),
          .start_cycle = sample.start_cycle(),
          .end_cycle = sample.end_cycle(),
      });
    }
  }
  return report;
}

}  // namespace qel_package::profile
