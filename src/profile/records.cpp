#include <ostream>

#include <qel_package/profile.hpp>

#include "lib/debug_render.hpp"

namespace qel_package::profile {

using detail::StructRenderer;

std::optional<StepKind> step_kind_from_number(std::uint16_t number) noexcept {
  if (number > to_number(StepKind::Idle)) {
    return std::nullopt;
  }
  return static_cast<StepKind>(number);
}

std::optional<ExchangeActivityKind> exchange_activity_kind_from_number(
    std::uint16_t number) noexcept {
  if (number > to_number(ExchangeActivityKind::PartnerBusy)) {
    return std::nullopt;
  }
  return static_cast<ExchangeActivityKind>(number);
}

std::ostream& operator<<(std::ostream& os, StepKind kind) {
  switch (kind) {
    case StepKind::Exchange:
      return os << "Exchange";
    case StepKind::Compute:
      return os << "Compute";
    case StepKind::Synchronization:
      return os << "Synchronization";
    case StepKind::Idle:
      return os << "Idle";
  }
  return os << "StepKind(" << to_number(kind) << ')';
}

std::ostream& operator<<(std::ostream& os, ExchangeActivityKind kind) {
  switch (kind) {
    case ExchangeActivityKind::Send:
      return os << "Send";
    case ExchangeActivityKind::Receive:
      return os << "Receive";
    case ExchangeActivityKind::PartnerBusy:
      return os << "PartnerBusy";
  }
  return os << "ExchangeActivityKind(" << to_number(kind) << ')';
}

std::ostream& operator<<(std::ostream& os, const ProfileMetadata& metadata) {
  return StructRenderer(os, "ProfileMetadata")
      .field("name", metadata.name)
      .field("value", metadata.value)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const ProfileExchangeActivity& activity) {
  return StructRenderer(os, "ProfileExchangeActivity")
      .field("fanout", activity.fanout)
      .field("paired", activity.paired)
      .field("kind", activity.kind)
      .field("start_cycle", activity.start_cycle)
      .field("end_cycle", activity.end_cycle)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const ProfileStep& step) {
  return StructRenderer(os, "ProfileStep")
      .field("local_index", step.local_index)
      .field("phase", step.phase)
      .field("epoch", step.epoch)
      .field("operation", step.operation)
      .field("kind", step.kind)
      .field("kernel", step.kernel)
      .field("metadata", step.metadata)
      .field("exchange_activities", step.exchange_activities)
      .field("exchange_event_cycles", step.exchange_event_cycles)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const CycleSample& sample) {
  return StructRenderer(os, "CycleSample")
      .field("step", sample.step)
      .field("start_cycle", sample.start_cycle)
      .field("end_cycle", sample.end_cycle)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const TileProfile& tile) {
  return StructRenderer(os, "TileProfile")
      .field("physical_tile", tile.physical_tile)
      .field("samples", tile.samples)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const ProfileReport& report) {
  return StructRenderer(os, "ProfileReport")
      .field("clock_hz", report.clock_hz)
      .field("tiles", report.tiles)
      .finish();
}

}  // namespace qel_package::profile
