#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <qel_package/profile.hpp>
#include <qel_package/profile_view.hpp>

#include "record_json.hpp"

// What `qelpkg profile diff` prints: the totals of two runs by kind and by kernel side by side,
// the largest change first, and, when both reports come from the same plan, the steps whose
// cycles changed most. Cycles only: the runs may have different clocks.
namespace qelpkg {

struct CycleChange {
  std::string name;
  std::uint64_t old_cycles{};
  std::uint64_t new_cycles{};
};

struct StepChange {
  std::uint32_t physical_tile{};
  qel_package::profile::ProfileStep step;
  std::uint64_t old_cycles{};
  std::uint64_t new_cycles{};
};

struct ProfileDiff {
  CycleChange total;
  std::vector<CycleChange> kinds;
  std::vector<CycleChange> kernels;
  // Empty when the reports come from different plans (other tiles, other steps).
  std::optional<std::vector<StepChange>> steps;
};

// At most `top_steps` changed steps.
ProfileDiff diff_profiles(const qel_package::profile::ProfileReportView& old_report,
                          const qel_package::profile::ProfileReportView& new_report,
                          std::size_t top_steps);

std::string diff_text(const ProfileDiff& diff, const std::string& old_name,
                      const std::string& new_name);
Json diff_json(const ProfileDiff& diff);

}  // namespace qelpkg
