#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include <qel_package/profile.hpp>

namespace qel_package::testing {

inline profile::CycleSample cycle_sample(std::uint32_t index, profile::StepKind kind,
                                         std::string operation, std::string kernel,
                                         std::uint32_t start, std::uint32_t end) {
  return {.step = {.local_index = index,
                   .phase = 1,
                   .epoch = 2,
                   .operation = std::move(operation),
                   .kind = kind,
                   .kernel = std::move(kernel)},
          .start_cycle = start,
          .end_cycle = end};
}

// Tile 17 crosses a counter wrap in its second step; tile 3 has no samples; tile 5's one
// sample ties with tile 17's exchange on cycles.
inline profile::ProfileReport wrapping_report(std::uint64_t clock_hz) {
  using profile::StepKind;
  return {
      .clock_hz = clock_hz,
      .tiles = {{.physical_tile = 17,
                 .samples = {cycle_sample(0, StepKind::Compute, "accumulate", "gemm", 4294967000u,
                                          4294967285u),
                             cycle_sample(1, StepKind::Exchange, "send", "multicast", 4294967285u,
                                          7),
                             cycle_sample(2, StepKind::Compute, "accumulate", "gemm", 7, 1007)}},
                {.physical_tile = 3},
                {.physical_tile = 5,
                 .samples = {cycle_sample(0, StepKind::Idle, "rest", "", 100, 118)}}},
  };
}

}  // namespace qel_package::testing
