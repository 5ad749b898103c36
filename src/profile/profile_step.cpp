#include <qel_package/profile.hpp>

#include "lib/fail.hpp"
#include "lib/message.hpp"
#include "lib/read_into.hpp"

namespace qel_package::profile {
namespace {

namespace wire = profile_capnp;

using detail::decode_text;
using detail::element_count;
using detail::read_into;
using detail::text_of;

// Generated enum getters return the stored number unchecked.
template <class Kind, class WireKind>
[[nodiscard]] Result<Kind> read_kind(WireKind kind,
                                     std::optional<Kind> (*from_number)(std::uint16_t) noexcept) {
  const auto number = static_cast<std::uint16_t>(kind);
  if (const auto value = from_number(number)) {
    return *value;
  }
  return tl::unexpected<PackageError>(PackageError::SchemaEnum{number});
}

[[nodiscard]] Result<ProfileMetadata> read_metadata(wire::MetadataEntry::Reader entry) {
  ProfileMetadata metadata;
  QEL_ASSIGN(metadata.name, decode_text(entry.getName()));
  QEL_ASSIGN(metadata.value, decode_text(entry.getValue()));
  return metadata;
}

[[nodiscard]] Result<ProfileExchangeActivity> read_activity(
    wire::ExchangeActivity::Reader activity) {
  ProfileExchangeActivity result;
  result.fanout = activity.getFanout();
  result.paired = activity.getPaired();
  QEL_ASSIGN(result.kind, read_kind(activity.getKind(), exchange_activity_kind_from_number));
  result.start_cycle = activity.getStartCycle();
  result.end_cycle = activity.getEndCycle();
  return result;
}

[[nodiscard]] Result<ProfileStep> read_step(wire::ProfileStep::Reader step) {
  ProfileStep result;
  result.local_index = step.getLocalIndex();
  result.phase = step.getPhase();
  result.epoch = step.getEpoch();
  QEL_ASSIGN(result.operation, decode_text(step.getOperation()));
  QEL_ASSIGN(result.kind, read_kind(step.getKind(), step_kind_from_number));
  QEL_ASSIGN(result.kernel, decode_text(step.getKernel()));
  QEL_TRY(read_into<read_metadata>(result.metadata, step.getMetadata()));
  QEL_TRY(read_into<read_activity>(result.exchange_activities, step.getExchangeActivities()));
  result.exchange_event_cycles = step.getExchangeEventCycles();
  return result;
}

}  // namespace

Result<ProfileStep> ProfileStep::read(wire::ProfileStep::Reader step) {
  try {
    return read_step(step);
  } catch (kj::Exception& exception) {
    return detail::capnp_failure(std::move(exception));
  }
}

void ProfileStep::write(wire::ProfileStep::Builder output) const {
  output.setLocalIndex(local_index);
  output.setPhase(phase);
  output.setEpoch(epoch);
  output.setOperation(text_of(operation));
  output.setKind(static_cast<wire::StepKind>(to_number(kind)));
  output.setKernel(text_of(kernel));
  output.setExchangeEventCycles(exchange_event_cycles);
  auto entries = output.initMetadata(element_count(metadata.size()));
  for (unsigned i = 0; i < entries.size(); ++i) {
    entries[i].setName(text_of(metadata[i].name));
    entries[i].setValue(text_of(metadata[i].value));
  }
  auto activities = output.initExchangeActivities(element_count(exchange_activities.size()));
  for (unsigned i = 0; i < activities.size(); ++i) {
    const ProfileExchangeActivity& activity = exchange_activities[i];
    activities[i].setKind(static_cast<wire::ExchangeActivityKind>(to_number(activity.kind)));
    activities[i].setStartCycle(activity.start_cycle);
    activities[i].setEndCycle(activity.end_cycle);
    activities[i].setFanout(activity.fanout);
    activities[i].setPaired(activity.paired);
  }
}

}  // namespace qel_package::profile
