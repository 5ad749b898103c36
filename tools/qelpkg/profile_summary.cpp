#include "profile_summary.hpp"

#include <iterator>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "count_of.hpp"
#include "cycle_time.hpp"
#include "enum_names.hpp"
#include "terminal_text.hpp"
#include "text_table.hpp"

namespace qelpkg {
namespace {

using qel_package::profile::ProfileReport;
using qel_package::profile::StepKind;
using qel_package::profile::TileProfile;
using Align = TextTable::Align;

// The total cycles of each step kind that occurs on the tile, in the order of the kinds.
std::vector<std::pair<StepKind, std::uint64_t>> kind_totals(const TileProfile& tile) {
  std::vector<std::uint64_t> cycles(enum_names<StepKind>().size());
  std::vector<bool> seen(cycles.size());
  for (const auto& sample : tile.samples) {
    const std::size_t number = qel_package::profile::to_number(sample.step.kind);
    if (number < cycles.size()) {
      cycles[number] += duration_cycles(sample);
      seen[number] = true;
    }
  }
  std::vector<std::pair<StepKind, std::uint64_t>> totals;
  for (std::size_t number = 0; number < cycles.size(); ++number) {
    if (seen[number]) {
      totals.emplace_back(enum_names<StepKind>()[number].first, cycles[number]);
    }
  }
  return totals;
}

std::string format_us(std::uint64_t cycles, std::uint64_t clock_hz) {
  return fmt::format("{:.3f}", microseconds(cycles, clock_hz));
}

}  // namespace

std::string profile_summary_text(const ProfileReport& report) {
  fmt::memory_buffer out;
  const auto put = std::back_inserter(out);
  const bool timed = report.clock_hz != 0;
  if (timed) {
    fmt::format_to(put, "clock: {} Hz\n", report.clock_hz);
  } else {
    fmt::format_to(put, "clock: unknown (0 Hz), durations in cycles only\n");
  }
  for (const TileProfile& tile : report.tiles) {
    if (tile.samples.empty()) {
      fmt::format_to(put, "\ntile {}: no samples\n", tile.physical_tile);
      continue;
    }
    fmt::format_to(put, "\ntile {} ({}):\n", tile.physical_tile,
                   count_of(tile.samples.size(), "sample", "samples"));
    std::vector<TextTable::Column> columns{{"index", Align::Right},    {"kind", Align::Left},
                                           {"operation", Align::Left}, {"kernel", Align::Left},
                                           {"start", Align::Right},    {"end", Align::Right},
                                           {"cycles", Align::Right}};
    if (timed) {
      columns.push_back({"us", Align::Right});
    }
    TextTable samples(columns);
    for (const auto& sample : tile.samples) {
      std::vector<std::string> row{
          fmt::format("{}", sample.step.local_index), enum_name(sample.step.kind),
          printable(sample.step.operation),           printable(sample.step.kernel),
          fmt::format("{}", sample.start_cycle),      fmt::format("{}", sample.end_cycle),
          fmt::format("{}", duration_cycles(sample))};
      if (timed) {
        row.push_back(format_us(duration_cycles(sample), report.clock_hz));
      }
      samples.add_row(std::move(row));
    }
    samples.render(out, 2);
    fmt::format_to(put, "  totals:\n");
    std::vector<TextTable::Column> total_columns{{"kind", Align::Left}, {"cycles", Align::Right}};
    if (timed) {
      total_columns.push_back({"us", Align::Right});
    }
    TextTable totals(total_columns);
    for (const auto& [kind, cycles] : kind_totals(tile)) {
      std::vector<std::string> row{enum_name(kind), fmt::format("{}", cycles)};
      if (timed) {
        row.push_back(format_us(cycles, report.clock_hz));
      }
      totals.add_row(std::move(row));
    }
    totals.render(out, 4);
  }
  return fmt::to_string(out);
}

Json profile_summary_json(const ProfileReport& report) {
  const auto us = [&](std::uint64_t cycles) {
    return report.clock_hz != 0 ? Json(microseconds(cycles, report.clock_hz)) : Json();
  };
  Json tiles = Json::array();
  for (const TileProfile& tile : report.tiles) {
    Json samples = Json::array();
    for (const auto& sample : tile.samples) {
      samples.push_back({{"local_index", sample.step.local_index},
                         {"kind", enum_name(sample.step.kind)},
                         {"operation", sample.step.operation},
                         {"kernel", sample.step.kernel},
                         {"start_cycle", sample.start_cycle},
                         {"end_cycle", sample.end_cycle},
                         {"duration_cycles", duration_cycles(sample)},
                         {"duration_us", us(duration_cycles(sample))}});
    }
    Json totals = Json::array();
    for (const auto& [kind, cycles] : kind_totals(tile)) {
      totals.push_back({{"kind", enum_name(kind)}, {"cycles", cycles}, {"us", us(cycles)}});
    }
    tiles.push_back({{"physical_tile", tile.physical_tile},
                     {"samples", std::move(samples)},
                     {"totals", std::move(totals)}});
  }
  return {{"clock_hz", report.clock_hz}, {"tiles", std::move(tiles)}};
}

}  // namespace qelpkg
