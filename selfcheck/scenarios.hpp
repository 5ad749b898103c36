#pragma once

// The self-check scenarios. Each builds its own data and fails through GoogleTest
// assertions.
namespace qel_package::tests {

void binding_extents_and_output_offsets_share_checked_file_geometry();
void profile_round_trip();
void randomized_profile_reports_use_adjacent_start_samples();
void reads_legacy_package_profile_records();
void rejects_ambiguous_device_configuration();
void rejects_implicit_host_batches();
void rejects_overflowing_host_ranges();
void rejects_overlapping_segments();
void round_trip_and_reconstruct();

}  // namespace qel_package::tests
