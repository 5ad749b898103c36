#include <gtest/gtest.h>

#include "scenarios.hpp"

namespace {

struct Scenario {
  const char* name;
  void (*run)();
};

// Sorted by name; listed, filtered and reported as tests.<name>.
constexpr Scenario SCENARIOS[] = {
    {"binding_extents_and_output_offsets_share_checked_file_geometry",
     qel_package::tests::binding_extents_and_output_offsets_share_checked_file_geometry},
    {"profile_round_trip", qel_package::tests::profile_round_trip},
    {"randomized_profile_reports_use_adjacent_start_samples",
     qel_package::tests::randomized_profile_reports_use_adjacent_start_samples},
    {"reads_legacy_package_profile_records",
     qel_package::tests::reads_legacy_package_profile_records},
    {"rejects_ambiguous_device_configuration",
     qel_package::tests::rejects_ambiguous_device_configuration},
    {"rejects_implicit_host_batches", qel_package::tests::rejects_implicit_host_batches},
    {"rejects_overflowing_host_ranges", qel_package::tests::rejects_overflowing_host_ranges},
    {"rejects_overlapping_segments", qel_package::tests::rejects_overlapping_segments},
    {"round_trip_and_reconstruct", qel_package::tests::round_trip_and_reconstruct},
};

class ScenarioTest : public testing::Test {
 public:
  explicit ScenarioTest(void (*run)()) : run_(run) {}
  void TestBody() override { run_(); }

 private:
  void (*run_)();
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  for (const Scenario& scenario : SCENARIOS) {
    testing::RegisterTest(
        "tests", scenario.name, nullptr, nullptr, __FILE__, __LINE__,
        [run = scenario.run]() -> ScenarioTest* { return new ScenarioTest(run); });
  }
  return RUN_ALL_TESTS();
}
