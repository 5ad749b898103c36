#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include <capnp/message.h>

#include <qel_package/profile.hpp>

#include "lib/fail.hpp"
#include "lib/message.hpp"
#include "lib/read_into.hpp"

namespace qel_package::profile {
namespace {

namespace wire = profile_capnp;

using detail::element_count;
using detail::read_into;

// The version this writer stores. Readers take every version from the oldest up to it
// alike; 0 is what a missing root reads as.
constexpr std::uint32_t PROFILE_SCHEMA_VERSION = 5;
constexpr std::uint32_t OLDEST_PROFILE_SCHEMA_VERSION = 1;

[[nodiscard]] Result<CycleSample> read_sample(wire::CycleSample::Reader sample) {
  CycleSample result;
  QEL_ASSIGN(result.step, ProfileStep::read(sample.getStep()));
  result.start_cycle = sample.getStartCycle();
  result.end_cycle = sample.getEndCycle();
  return result;
}

[[nodiscard]] Result<TileProfile> read_tile(wire::TileProfile::Reader tile) {
  TileProfile result;
  QEL_TRY(read_into<read_sample>(result.samples, tile.getSamples()));
  result.physical_tile = tile.getPhysicalTile();
  return result;
}

// The version is checked before anything else of the report is read.
[[nodiscard]] Result<ProfileReport> read_report(wire::Profile::Reader root) {
  const std::uint32_t version = root.getSchemaVersion();
  if (version < OLDEST_PROFILE_SCHEMA_VERSION || version > PROFILE_SCHEMA_VERSION) {
    return detail::invalid("unsupported profile schema version {}", version);
  }
  ProfileReport report;
  QEL_TRY(read_into<read_tile>(report.tiles, root.getTiles()));
  report.clock_hz = root.getClockHz();
  return report;
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

Result<ProfileReport> ProfileReport::read(std::span<const std::uint8_t> input) {
  return detail::read_message<wire::Profile>(input, read_report);
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
