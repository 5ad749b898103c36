#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <utility>

#include <qel_package/profile.capnp.h>
#include <qel_package/error.hpp>
#include <qel_package/export.hpp>
#include <qel_package/list_view.hpp>
#include <qel_package/profile.hpp>

namespace qel_package {
namespace detail {
class CheckedMessage;
}  // namespace detail

namespace profile {

// Element views over checked profile data. Every accessor returns a plain value: the message
// was checked when its view was opened.

class ProfileMetadataView {
 public:
  explicit ProfileMetadataView(profile_capnp::MetadataEntry::Reader entry) : entry_(entry) {}
  std::string_view name() const { return detail::text_view(entry_.getName()); }
  std::string_view value() const { return detail::text_view(entry_.getValue()); }

 private:
  profile_capnp::MetadataEntry::Reader entry_;
};

class ProfileExchangeActivityView {
 public:
  explicit ProfileExchangeActivityView(profile_capnp::ExchangeActivity::Reader activity)
      : activity_(activity) {}
  std::uint16_t fanout() const { return activity_.getFanout(); }
  bool paired() const { return activity_.getPaired(); }
  // Checked to be one of the enumeration's values.
  ExchangeActivityKind kind() const {
    return static_cast<ExchangeActivityKind>(activity_.getKind());
  }
  std::uint32_t start_cycle() const { return activity_.getStartCycle(); }
  std::uint32_t end_cycle() const { return activity_.getEndCycle(); }

 private:
  profile_capnp::ExchangeActivity::Reader activity_;
};

class QEL_PACKAGE_API ProfileStepView {
 public:
  explicit ProfileStepView(profile_capnp::ProfileStep::Reader step) : step_(step) {}
  std::uint32_t local_index() const { return step_.getLocalIndex(); }
  std::uint32_t phase() const { return step_.getPhase(); }
  std::uint32_t epoch() const { return step_.getEpoch(); }
  std::string_view operation() const { return detail::text_view(step_.getOperation()); }
  // Checked to be one of the enumeration's values.
  StepKind kind() const { return static_cast<StepKind>(step_.getKind()); }
  std::string_view kernel() const { return detail::text_view(step_.getKernel()); }
  auto metadata() const {
    return ListView<ProfileMetadataView, capnp::List<profile_capnp::MetadataEntry>::Reader>(
        step_.getMetadata());
  }
  auto exchange_activities() const {
    return ListView<ProfileExchangeActivityView,
                    capnp::List<profile_capnp::ExchangeActivity>::Reader>(
        step_.getExchangeActivities());
  }
  std::uint32_t exchange_event_cycles() const { return step_.getExchangeEventCycles(); }

  // The step as an owned record.
  ProfileStep to_step() const;

 private:
  profile_capnp::ProfileStep::Reader step_;
};

class CycleSampleView {
 public:
  explicit CycleSampleView(profile_capnp::CycleSample::Reader sample) : sample_(sample) {}
  ProfileStepView step() const { return ProfileStepView(sample_.getStep()); }
  std::uint32_t start_cycle() const { return sample_.getStartCycle(); }
  std::uint32_t end_cycle() const { return sample_.getEndCycle(); }
  // The cycles the step took, wrap-aware.
  std::uint32_t cycles() const { return cycles_between(start_cycle(), end_cycle()); }

 private:
  profile_capnp::CycleSample::Reader sample_;
};

class TileProfileView {
 public:
  explicit TileProfileView(profile_capnp::TileProfile::Reader tile) : tile_(tile) {}
  std::uint32_t physical_tile() const { return tile_.getPhysicalTile(); }
  auto samples() const {
    return ListView<CycleSampleView, capnp::List<profile_capnp::CycleSample>::Reader>(
        tile_.getSamples());
  }

 private:
  profile_capnp::TileProfile::Reader tile_;
};

// A cycle profile report read in place. Copies share the checked message; the caller keeps
// the input bytes alive and unchanged while the view or anything taken from it is used.
class QEL_PACKAGE_API ProfileReportView {
 public:
  // Checks everything ProfileReport::read checks, in the same order, failing with the same
  // PackageError on every input, but builds no records. Bytes that are not 8-byte aligned
  // are copied once into the view.
  [[nodiscard]] static Result<ProfileReportView> open(std::span<const std::uint8_t> input);

  // Length of the framed message at the front of the input.
  std::size_t message_bytes() const { return message_bytes_; }
  // Equal to ProfileReport::read of the same bytes.
  ProfileReport to_report() const;

  std::uint64_t clock_hz() const { return root_.getClockHz(); }
  auto tiles() const {
    return ListView<TileProfileView, capnp::List<profile_capnp::TileProfile>::Reader>(
        root_.getTiles());
  }

 private:
  ProfileReportView(std::shared_ptr<const detail::CheckedMessage> message,
                    profile_capnp::Profile::Reader root, std::size_t message_bytes)
      : message_(std::move(message)), root_(root), message_bytes_(message_bytes) {}

  std::shared_ptr<const detail::CheckedMessage> message_;
  profile_capnp::Profile::Reader root_;
  std::size_t message_bytes_;
};

}  // namespace profile
}  // namespace qel_package
