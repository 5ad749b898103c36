# Checks that the self-check program lists exactly its nine scenarios under "tests", in
# table order, and that a name filter selects among them.
if(NOT DEFINED SELFCHECK)
  message(FATAL_ERROR "SELFCHECK is not set")
endif()

function(expect_listed filter expected)
  execute_process(COMMAND ${SELFCHECK} --gtest_list_tests --gtest_filter=${filter}
                  OUTPUT_VARIABLE listed COMMAND_ERROR_IS_FATAL ANY)
  if(NOT listed STREQUAL expected)
    message(FATAL_ERROR "--gtest_filter=${filter} lists:\n${listed}\nexpected:\n${expected}")
  endif()
endfunction()

expect_listed("*" "tests.
  binding_extents_and_output_offsets_share_checked_file_geometry
  profile_round_trip
  randomized_profile_reports_use_adjacent_start_samples
  reads_legacy_package_profile_records
  rejects_ambiguous_device_configuration
  rejects_implicit_host_batches
  rejects_overflowing_host_ranges
  rejects_overlapping_segments
  round_trip_and_reconstruct
")
expect_listed("tests.profile*" "tests.
  profile_round_trip
")
