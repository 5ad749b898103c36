#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include <capnp/message.h>

#include <qel_package/profile.hpp>
#include <qel_package/profile_view.hpp>

#include "lib/fail.hpp"
#include "lib/message.hpp"
#include "lib/wire_check.hpp"

namespace qel_package::profile {
namespace {

namespace wire = profile_capnp;

using detail::element_count;

// The version this writer stores. Readers take every version from the oldest up to it
// alike; 0 is what a missing root reads as.
constexpr std::uint32_t PROFILE_SCHEMA_VERSION = 5;
constexpr std::uint32_t OLDEST_PROFILE_SCHEMA_VERSION = 1;

void write_report(const ProfileReport& report, wire::Profile::Builder root) {
  root.setSchemaVersion(PROFILE_SCHEMA_VERSION);
  root.setClockHz(report.clock_hz);
  auto tiles = root.initTiles(element_count(report.tiles.size()));
  for (unsigned i = 0; i < tiles.size(); ++i) {
    const TileProfile& tile = report.tiles[i];
    tiles[i].setPhysicalTile(tile.physical_tile);
    auto samples = tiles[i].initSamples(element_count(tile.samples.size()));
    for (unsigned j = 0; j < samples.size(); ++j) {
      const CycleSample& sample = tile.samples[j];
      samples[j].setStartCycle(sample.start_cycle);
      samples[j].setEndCycle(sample.end_cycle);
      sample.step.write(samples[j].initStep());
    }
  }
}

}  // namespace
}  // namespace qel_package::profile

namespace qel_package::detail {

// The version is checked before anything else of the report.
Result<void> check_report(profile_capnp::Profile::Reader root) {
  const std::uint32_t version = root.getSchemaVersion();
  if (version < profile::OLDEST_PROFILE_SCHEMA_VERSION ||
      version > profile::PROFILE_SCHEMA_VERSION) {
    return invalid("unsupported profile schema version {}", version);
  }
  for (const auto tile : root.getTiles()) {
    for (const auto sample : tile.getSamples()) {
      QEL_TRY(check_step(sample.getStep()));
    }
  }
  return {};
}

}  // namespace qel_package::detail

namespace qel_package::profile {

Result<ProfileReport> ProfileReport::read(std::span<const std::uint8_t> input) {
  auto view = ProfileReportView::open(input);
  if (!view) {
    return tl::unexpected(std::move(view).error());
  }
  return view->to_report();
}

Result<void> ProfileReport::write(std::vector<std::uint8_t>& output) const {
  capnp::MallocMessageBuilder message(detail::FIRST_SEGMENT_WORDS);
  try {
    write_report(*this, message.initRoot<wire::Profile>());
  } catch (kj::Exception& exception) {
    return detail::capnp_failure(std::move(exception));
  }
  return detail::append_message(message, output);
}

}  // namespace qel_package::profile
