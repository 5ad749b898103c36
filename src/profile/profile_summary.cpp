#include <qel_package/profile_summary.hpp>

#include <algorithm>
#include <cassert>
#include <ostream>
#include <utility>

#include "lib/debug_render.hpp"
#include "profile/report_access.hpp"

namespace qel_package::profile {
namespace {

using qel_package::detail::StructRenderer;

void add_to(CycleTotal& total, std::uint32_t cycles) {
  ++total.samples;
  total.cycles += cycles;
}

// Most cycles first, ties by name, so that the order does not depend on the hash map's.
template <class Totals>
std::vector<NamedTotal> ranked(Totals&& totals) {
  std::vector<NamedTotal> list;
  list.reserve(totals.size());
  while (!totals.empty()) {
    auto node = totals.extract(totals.begin());
    list.push_back({std::move(node.key()), node.mapped()});
  }
  std::sort(list.begin(), list.end(), [](const NamedTotal& a, const NamedTotal& b) {
    return a.total.cycles != b.total.cycles ? a.total.cycles > b.total.cycles : a.name < b.name;
  });
  return list;
}

void add_named(auto& totals, std::string_view name, std::uint32_t cycles) {
  auto found = totals.find(name);
  if (found == totals.end()) {
    found = totals.emplace(std::string(name), CycleTotal{}).first;
  }
  add_to(found->second, cycles);
}

}  // namespace

ProfileSummarizer::ProfileSummarizer(std::uint64_t clock_hz) { summary_.clock_hz = clock_hz; }

void ProfileSummarizer::close_tile() {
  if (!summary_.tiles.empty()) {
    for (const auto& [kind, total] : tile_kinds_) {
      summary_.tiles.back().kinds.push_back({kind, total});
    }
  }
  tile_kinds_.clear();
}

void ProfileSummarizer::add_tile(std::uint32_t physical_tile) {
  close_tile();
  summary_.tiles.push_back({.physical_tile = physical_tile});
  timeline_ = TileTimeline{};
}

void ProfileSummarizer::add_sample(StepKind kind, std::string_view operation,
                                   std::string_view kernel, std::uint32_t start_cycle,
                                   std::uint32_t end_cycle) {
  assert(!summary_.tiles.empty() && "add_tile comes before the tile's samples");
  const std::uint32_t cycles = cycles_between(start_cycle, end_cycle);
  TileSummary& tile = summary_.tiles.back();
  const std::uint64_t start = timeline_.start_of(start_cycle);
  if (tile.busy.samples == 0) {
    tile.first_start = start;
  }
  tile.last_end = std::max(tile.last_end, start + cycles);
  add_to(tile.busy, cycles);
  add_to(tile_kinds_[kind], cycles);
  add_to(summary_.total, cycles);
  add_named(kernels_, kernel, cycles);
  add_named(operations_, operation, cycles);
}

void ProfileSummarizer::add_sample(const CycleSample& sample) {
  add_sample(sample.step.kind, sample.step.operation, sample.step.kernel, sample.start_cycle,
             sample.end_cycle);
}

ProfileSummary ProfileSummarizer::finish() && {
  close_tile();
  std::map<StepKind, CycleTotal> kinds;
  for (const TileSummary& tile : summary_.tiles) {
    for (const KindTotal& kind : tile.kinds) {
      CycleTotal& total = kinds[kind.kind];
      total.samples += kind.total.samples;
      total.cycles += kind.total.cycles;
    }
  }
  for (const auto& [kind, total] : kinds) {
    summary_.kinds.push_back({kind, total});
  }
  summary_.kernels = ranked(std::move(kernels_));
  summary_.operations = ranked(std::move(operations_));
  return std::move(summary_);
}

void ProfileSummarizer::add_sample(const CycleSampleView& sample) {
  const ProfileStepView step = sample.step();
  add_sample(step.kind(), step.operation(), step.kernel(), sample.start_cycle(),
             sample.end_cycle());
}

namespace {

template <class Report>
ProfileSummary summarize_report(const Report& report) {
  ProfileSummarizer summarizer(detail::clock_of(report));
  for (const auto& tile : detail::tiles_of(report)) {
    summarizer.add_tile(detail::physical_tile_of(tile));
    for (const auto& sample : detail::samples_of(tile)) {
      summarizer.add_sample(sample);
    }
  }
  return std::move(summarizer).finish();
}

}  // namespace

ProfileSummary summarize(const ProfileReport& report) { return summarize_report(report); }
ProfileSummary summarize(const ProfileReportView& report) { return summarize_report(report); }

std::ostream& operator<<(std::ostream& os, const CycleTotal& total) {
  return StructRenderer(os, "CycleTotal")
      .field("samples", total.samples)
      .field("cycles", total.cycles)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const KindTotal& total) {
  return StructRenderer(os, "KindTotal")
      .field("kind", total.kind)
      .field("total", total.total)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const NamedTotal& total) {
  return StructRenderer(os, "NamedTotal")
      .field("name", total.name)
      .field("total", total.total)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const TileSummary& tile) {
  return StructRenderer(os, "TileSummary")
      .field("physical_tile", tile.physical_tile)
      .field("busy", tile.busy)
      .field("first_start", tile.first_start)
      .field("last_end", tile.last_end)
      .field("kinds", tile.kinds)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const ProfileSummary& summary) {
  return StructRenderer(os, "ProfileSummary")
      .field("clock_hz", summary.clock_hz)
      .field("total", summary.total)
      .field("kinds", summary.kinds)
      .field("kernels", summary.kernels)
      .field("operations", summary.operations)
      .field("tiles", summary.tiles)
      .finish();
}

}  // namespace qel_package::profile
