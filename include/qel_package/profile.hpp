#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <qel_package/profile.capnp.h>
#include <qel_package/debug_format.hpp>
#include <qel_package/error.hpp>
#include <qel_package/export.hpp>

namespace qel_package::profile {

// What a tile does during one step. The numbers are the wire values.
enum class StepKind : std::uint16_t { Exchange = 0, Compute = 1, Synchronization = 2, Idle = 3 };

// The role of a tile in one exchange activity. The numbers are the wire values.
enum class ExchangeActivityKind : std::uint16_t { Send = 0, Receive = 1, PartnerBusy = 2 };

constexpr std::uint16_t to_number(StepKind kind) noexcept {
  return static_cast<std::uint16_t>(kind);
}
constexpr std::uint16_t to_number(ExchangeActivityKind kind) noexcept {
  return static_cast<std::uint16_t>(kind);
}

// Empty for a number outside the enumeration.
QEL_PACKAGE_API std::optional<StepKind> step_kind_from_number(std::uint16_t number) noexcept;
QEL_PACKAGE_API std::optional<ExchangeActivityKind> exchange_activity_kind_from_number(
    std::uint16_t number) noexcept;

QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, StepKind kind);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, ExchangeActivityKind kind);

struct ProfileMetadata {
  std::string name{};
  std::string value{};

  bool operator==(const ProfileMetadata&) const = default;
};

struct ProfileExchangeActivity {
  std::uint16_t fanout{};
  bool paired{};
  ExchangeActivityKind kind{};
  std::uint32_t start_cycle{};
  std::uint32_t end_cycle{};

  bool operator==(const ProfileExchangeActivity&) const = default;
};

// One planned step of one tile.
struct QEL_PACKAGE_API ProfileStep {
  std::uint32_t local_index{};
  std::uint32_t phase{};
  std::uint32_t epoch{};
  std::string operation{};
  StepKind kind{};
  std::string kernel{};
  std::vector<ProfileMetadata> metadata{};
  std::vector<ProfileExchangeActivity> exchange_activities{};
  std::uint32_t exchange_event_cycles{};

  bool operator==(const ProfileStep&) const = default;

  // Decodes one wire step. Absent fields of older, shorter structs read as their defaults.
  [[nodiscard]] static Result<ProfileStep> read(profile_capnp::ProfileStep::Reader step);
  // Fills a freshly initialised wire step, every text and list included.
  void write(profile_capnp::ProfileStep::Builder output) const;
};

// The cycles between two readings of the free-running 32-bit counter: the difference modulo
// 2^32, so that a step across a counter wrap still has its true length.
constexpr std::uint32_t cycles_between(std::uint32_t start_cycle,
                                       std::uint32_t end_cycle) noexcept {
  return static_cast<std::uint32_t>(end_cycle - start_cycle);
}

// One planned step as it was measured. The counter is free-running: end_cycle is below
// start_cycle when it wrapped.
struct CycleSample {
  ProfileStep step{};
  std::uint32_t start_cycle{};
  std::uint32_t end_cycle{};

  bool operator==(const CycleSample&) const = default;

  // The cycles the step took, wrap-aware.
  std::uint32_t cycles() const noexcept { return cycles_between(start_cycle, end_cycle); }
};

struct TileProfile {
  std::uint32_t physical_tile{};
  std::vector<CycleSample> samples{};

  bool operator==(const TileProfile&) const = default;
};

// A cycle profile report, stored as a message of its own.
struct QEL_PACKAGE_API ProfileReport {
  std::uint64_t clock_hz{};
  std::vector<TileProfile> tiles{};

  bool operator==(const ProfileReport&) const = default;

  // Reads one framed report from the front of input; later bytes are ignored.
  [[nodiscard]] static Result<ProfileReport> read(std::span<const std::uint8_t> input);
  // Appends one framed report to output.
  [[nodiscard]] Result<void> write(std::vector<std::uint8_t>& output) const;
};

QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const ProfileMetadata& metadata);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const ProfileExchangeActivity& activity);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const ProfileStep& step);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const CycleSample& sample);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const TileProfile& tile);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const ProfileReport& report);

}  // namespace qel_package::profile

namespace qel_package {

template <>
inline constexpr bool has_debug_rendering<profile::StepKind> = true;
template <>
inline constexpr bool has_debug_rendering<profile::ExchangeActivityKind> = true;
template <>
inline constexpr bool has_debug_rendering<profile::ProfileMetadata> = true;
template <>
inline constexpr bool has_debug_rendering<profile::ProfileExchangeActivity> = true;
template <>
inline constexpr bool has_debug_rendering<profile::ProfileStep> = true;
template <>
inline constexpr bool has_debug_rendering<profile::CycleSample> = true;
template <>
inline constexpr bool has_debug_rendering<profile::TileProfile> = true;
template <>
inline constexpr bool has_debug_rendering<profile::ProfileReport> = true;

}  // namespace qel_package
