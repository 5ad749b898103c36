#include <cstdint>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include <qel_package/profile.hpp>
#include <qel_package/profile_summary.hpp>
#include <qel_package/profile_timeline.hpp>

#include "profile_fixture.hpp"

namespace qel_package::profile {
namespace {

using qel_package::testing::wrapping_report;
using qel_package::testing::WrittenReport;

TEST(ProfileTimeline, CyclesAcrossTheWrap) {
  struct Case {
    std::uint32_t start;
    std::uint32_t end;
    std::uint32_t cycles;
  };
  for (const Case& c : std::vector<Case>{{10, 30, 20},
                                         {4294967285u, 7, 18},
                                         {5, 5, 0},
                                         {1, 0, 4294967295u},
                                         {0, 4294967295u, 4294967295u}}) {
    SCOPED_TRACE(::testing::Message() << c.start << " to " << c.end);
    EXPECT_EQ((CycleSample{.start_cycle = c.start, .end_cycle = c.end}.cycles()), c.cycles);
  }
}

TEST(ProfileTimeline, Microseconds) {
  EXPECT_EQ(microseconds(3, 2000000), 1.5);
  EXPECT_EQ(microseconds(0, 1), 0.0);
  EXPECT_EQ(microseconds(4294967295u, 1000000), 4294967295.0);
  EXPECT_EQ(microseconds(1000, 0), std::nullopt);
}

TEST(ProfileTimeline, UnwrapsEachStartAgainstThePreviousOne) {
  TileTimeline timeline;
  EXPECT_EQ(timeline.start_of(4294967000u), 4294967000u);
  EXPECT_EQ(timeline.start_of(4294967285u), 4294967285u);
  EXPECT_EQ(timeline.start_of(7), 4294967303u);
  EXPECT_EQ(timeline.start_of(4294967000u), 8589934296u);  // wrapped a second time
  EXPECT_EQ(timeline.start_of(4294967000u), 8589934296u);  // the counter did not move
}

TEST(ProfileSummary, TotalsByKindKernelOperationAndTile) {
  for (const std::uint64_t clock_hz : {std::uint64_t{2000000}, std::uint64_t{0}}) {
    SCOPED_TRACE(clock_hz);
    const ProfileSummary expected{
        .clock_hz = clock_hz,
        .total = {.samples = 4, .cycles = 1321},
        .kinds = {{StepKind::Exchange, {1, 18}},
                  {StepKind::Compute, {2, 1285}},
                  {StepKind::Idle, {1, 18}}},
        .kernels = {{"gemm", {2, 1285}}, {"", {1, 18}}, {"multicast", {1, 18}}},
        .operations = {{"accumulate", {2, 1285}}, {"rest", {1, 18}}, {"send", {1, 18}}},
        .tiles = {{.physical_tile = 17,
                   .busy = {3, 1303},
                   .first_start = 4294967000u,
                   .last_end = 4294968303u,
                   .kinds = {{StepKind::Exchange, {1, 18}}, {StepKind::Compute, {2, 1285}}}},
                  {.physical_tile = 3},
                  {.physical_tile = 5,
                   .busy = {1, 18},
                   .first_start = 100,
                   .last_end = 118,
                   .kinds = {{StepKind::Idle, {1, 18}}}}},
    };
    EXPECT_EQ(summarize(wrapping_report(clock_hz)), expected);
    EXPECT_EQ(summarize(WrittenReport(wrapping_report(clock_hz)).view()), expected);
  }
}

TEST(ProfileSummary, LastEndIsTheLatestEnd) {
  // The second step lies inside the first; a kind outside the enumeration is still counted.
  ProfileSummarizer summarizer(1);
  summarizer.add_tile(0);
  summarizer.add_sample(StepKind::Compute, "outer", "k", 0, 100);
  summarizer.add_sample(static_cast<StepKind>(9), "inner", "k", 10, 20);
  const ProfileSummary summary = std::move(summarizer).finish();
  ASSERT_EQ(summary.tiles.size(), 1u);
  EXPECT_EQ(summary.tiles[0].first_start, 0u);
  EXPECT_EQ(summary.tiles[0].last_end, 100u);
  EXPECT_EQ(summary.kinds, (std::vector<KindTotal>{{StepKind::Compute, {1, 100}},
                                                   {static_cast<StepKind>(9), {1, 10}}}));
}

TEST(ProfileSummary, EmptyReport) {
  EXPECT_EQ(summarize(ProfileReport{.clock_hz = 5}), ProfileSummary{.clock_hz = 5});
}

}  // namespace
}  // namespace qel_package::profile
