#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <qel_package/profile.hpp>
#include <qel_package/profile_view.hpp>

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

// A report written to bytes and opened as a view over them.
class WrittenReport {
 public:
  explicit WrittenReport(const profile::ProfileReport& report) {
    EXPECT_TRUE(report.write(bytes_));
    auto view = profile::ProfileReportView::open(bytes_);
    EXPECT_TRUE(view);
    view_.emplace(*std::move(view));
  }
  WrittenReport(const WrittenReport&) = delete;
  WrittenReport& operator=(const WrittenReport&) = delete;

  const profile::ProfileReportView& view() const { return *view_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::optional<profile::ProfileReportView> view_;
};

}  // namespace qel_package::testing
