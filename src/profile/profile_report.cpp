#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include <capnp/message.h>

#include <qel_package/profile.hpp>
#include <qel_package/profile_view.hpp>

#include "lib/fail.hpp"
#include "lib/message.hpp"
#include "lib/message_measure.hpp"
#include "lib/sink_message_builder.hpp"
#include "lib/wire_check.hpp"
#include "profile/measure_step.hpp"

namespace qel_package::profile {
namespace {

namespace wire = profile_capnp;

using detail::element_count;

// The version this writer stores. Readers take every version from the oldest up to it
// alike; 0 is what a missing root reads as.
constexpr std::uint32_t PROFILE_SCHEMA_VERSION = 5;
constexpr std::uint32_t OLDEST_PROFILE_SCHEMA_VERSION = 1;

// Counts the words of everything write_report allocates, and refuses what reading the report
// back would refuse, in reading order.
void measure_report(const ProfileReport& report, detail::MessageMeasure& measure) {
  measure.add_struct<wire::Profile>();
  measure.add_struct_list<wire::TileProfile>(report.tiles.size());
  for (const TileProfile& tile : report.tiles) {
    measure.add_struct_list<wire::CycleSample>(tile.samples.size());
    for (const CycleSample& sample : tile.samples) {
      measure.add_struct<wire::ProfileStep>();
      measure_step(sample.step, measure);
    }
  }
}

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
  detail::MessageMeasure measure;
  measure_report(*this, measure);
  const std::uint64_t message_words = measure.words();
  QEL_TRY(std::move(measure).outcome());
  return detail::write_message<wire::Profile>(
      output, message_words, [this](wire::Profile::Builder root) { write_report(*this, root); });
}

}  // namespace qel_package::profile
