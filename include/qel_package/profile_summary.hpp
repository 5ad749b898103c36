#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <qel_package/export.hpp>
#include <qel_package/profile.hpp>
#include <qel_package/profile_timeline.hpp>
#include <qel_package/profile_view.hpp>

// Totals of a cycle profile report: by step kind, by kernel, by operation and per tile. Cycles
// are each sample's cycles(), wrap-aware.
namespace qel_package::profile {

struct CycleTotal {
  std::uint64_t samples{};
  std::uint64_t cycles{};

  bool operator==(const CycleTotal&) const = default;
};

struct KindTotal {
  StepKind kind{};
  CycleTotal total{};

  bool operator==(const KindTotal&) const = default;
};

// The total of the samples that share a kernel or an operation name.
struct NamedTotal {
  std::string name{};
  CycleTotal total{};

  bool operator==(const NamedTotal&) const = default;
};

struct TileSummary {
  std::uint32_t physical_tile{};
  // The sum of the samples' cycles.
  CycleTotal busy{};
  // On the tile's unwrapped timeline (TileTimeline): the first sample's start and the latest
  // end of any sample. Both 0 for a tile without samples.
  std::uint64_t first_start{};
  std::uint64_t last_end{};
  // Every kind that occurs on the tile, in the order of the kinds.
  std::vector<KindTotal> kinds{};

  bool operator==(const TileSummary&) const = default;
};

struct ProfileSummary {
  std::uint64_t clock_hz{};
  CycleTotal total{};
  // Every kind that occurs, in the order of the kinds.
  std::vector<KindTotal> kinds{};
  // Every kernel and every operation name, the most cycles first, ties by name.
  std::vector<NamedTotal> kernels{};
  std::vector<NamedTotal> operations{};
  // One per tile, in report order.
  std::vector<TileSummary> tiles{};

  bool operator==(const ProfileSummary&) const = default;
};

// Builds a ProfileSummary from samples fed one at a time, so that a report can be summarised
// while it is streamed: add_tile, then that tile's samples in plan order, then the next tile.
// It keeps one entry per tile, kernel and operation name, never per sample.
class QEL_PACKAGE_API ProfileSummarizer {
 public:
  explicit ProfileSummarizer(std::uint64_t clock_hz);

  void add_tile(std::uint32_t physical_tile);
  // A sample of the tile added last; there must be one.
  void add_sample(StepKind kind, std::string_view operation, std::string_view kernel,
                  std::uint32_t start_cycle, std::uint32_t end_cycle);
  void add_sample(const CycleSample& sample);
  void add_sample(const CycleSampleView& sample);

  ProfileSummary finish() &&;

 private:
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const noexcept {
      return std::hash<std::string_view>{}(name);
    }
  };
  using NameTotals = std::unordered_map<std::string, CycleTotal, NameHash, std::equal_to<>>;

  // Moves the last tile's kind totals into its summary.
  void close_tile();

  ProfileSummary summary_;
  std::map<StepKind, CycleTotal> tile_kinds_;
  TileTimeline timeline_;
  NameTotals kernels_;
  NameTotals operations_;
};

// The same summary of a report's records or of a view over its bytes.
QEL_PACKAGE_API ProfileSummary summarize(const ProfileReport& report);
QEL_PACKAGE_API ProfileSummary summarize(const ProfileReportView& report);

QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const CycleTotal& total);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const KindTotal& total);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const NamedTotal& total);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const TileSummary& tile);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const ProfileSummary& summary);

}  // namespace qel_package::profile

namespace qel_package {

template <>
inline constexpr bool has_debug_rendering<profile::CycleTotal> = true;
template <>
inline constexpr bool has_debug_rendering<profile::KindTotal> = true;
template <>
inline constexpr bool has_debug_rendering<profile::NamedTotal> = true;
template <>
inline constexpr bool has_debug_rendering<profile::TileSummary> = true;
template <>
inline constexpr bool has_debug_rendering<profile::ProfileSummary> = true;

}  // namespace qel_package
