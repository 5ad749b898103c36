#include <qel_package/profile.hpp>
#include <qel_package/profile_view.hpp>

#include "lib/fail.hpp"
#include "lib/message.hpp"
#include "lib/message_measure.hpp"
#include "lib/wire_check.hpp"
#include "profile/measure_step.hpp"

namespace qel_package::detail {
namespace {

// Generated enum getters return the stored number unchecked. The writers check the records'
// kinds with this too.
template <class WireKind, class Kind>
[[nodiscard]] Result<void> check_kind(WireKind kind,
                                      std::optional<Kind> (*from_number)(std::uint16_t) noexcept) {
  const auto number = static_cast<std::uint16_t>(kind);
  if (!from_number(number)) {
    return tl::unexpected<PackageError>(PackageError::SchemaEnum{number});
  }
  return {};
}

}  // namespace

Result<void> check_step(profile_capnp::ProfileStep::Reader step) {
  QEL_TRY(check_text(step.getOperation()));
  QEL_TRY(check_kind(step.getKind(), profile::step_kind_from_number));
  QEL_TRY(check_text(step.getKernel()));
  for (const auto entry : step.getMetadata()) {
    QEL_TRY(check_text(entry.getName()));
    QEL_TRY(check_text(entry.getValue()));
  }
  for (const auto activity : step.getExchangeActivities()) {
    QEL_TRY(check_kind(activity.getKind(), profile::exchange_activity_kind_from_number));
  }
  return {};
}

}  // namespace qel_package::detail

namespace qel_package::profile {

namespace wire = profile_capnp;

using detail::element_count;
using detail::text_of;

ProfileStep ProfileStepView::to_step() const {
  ProfileStep result{
      .local_index = local_index(),
      .phase = phase(),
      .epoch = epoch(),
      .operation = std::string(operation()),
      .kind = kind(),
      .kernel = std::string(kernel()),
      .exchange_event_cycles = exchange_event_cycles(),
  };
  const auto entries = metadata();
  result.metadata.reserve(entries.size());
  for (const ProfileMetadataView entry : entries) {
    result.metadata.push_back(
        ProfileMetadata{.name = std::string(entry.name()), .value = std::string(entry.value())});
  }
  const auto activities = exchange_activities();
  result.exchange_activities.reserve(activities.size());
  for (const ProfileExchangeActivityView activity : activities) {
    result.exchange_activities.push_back(ProfileExchangeActivity{
        .fanout = activity.fanout(),
        .paired = activity.paired(),
        .kind = activity.kind(),
        .start_cycle = activity.start_cycle(),
        .end_cycle = activity.end_cycle(),
    });
  }
  return result;
}

void measure_step(const ProfileStep& step, detail::MessageMeasure& measure) {
  measure.add_text(step.operation);
  if (auto kind = detail::check_kind(step.kind, step_kind_from_number); !kind) {
    measure.refuse(std::move(kind).error());
  }
  measure.add_text(step.kernel);
  measure.add_struct_list<wire::MetadataEntry>(step.metadata.size());
  for (const ProfileMetadata& entry : step.metadata) {
    measure.add_text(entry.name);
    measure.add_text(entry.value);
  }
  measure.add_struct_list<wire::ExchangeActivity>(step.exchange_activities.size());
  for (const ProfileExchangeActivity& activity : step.exchange_activities) {
    if (auto kind = detail::check_kind(activity.kind, exchange_activity_kind_from_number); !kind) {
      measure.refuse(std::move(kind).error());
    }
  }
}

// Checks the step where it lies, then converts it through a view of it.
Result<ProfileStep> ProfileStep::read(wire::ProfileStep::Reader step) {
  try {
    QEL_TRY(detail::check_step(step));
    return ProfileStepView(step).to_step();
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
