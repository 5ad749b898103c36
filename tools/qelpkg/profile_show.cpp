#include "profile_show.hpp"

#include <algorithm>
#include <iterator>
#include <span>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include <qel_package/profile_timeline.hpp>

#include "count_of.hpp"
#include "enum_names.hpp"
#include "terminal_text.hpp"
#include "text_table.hpp"

namespace qelpkg {
namespace {

using qel_package::profile::CycleTotal;
using qel_package::profile::KindTotal;
using qel_package::profile::NamedTotal;
using qel_package::profile::ProfileSummary;
using qel_package::profile::TileProfileView;
using qel_package::profile::TileSummary;
using Align = TextTable::Align;

std::string us_text(std::uint64_t cycles, std::uint64_t clock_hz) {
  return fmt::format("{:.3f}", *qel_package::profile::microseconds(cycles, clock_hz));
}

Json us_json(std::uint64_t cycles, std::uint64_t clock_hz) {
  const auto us = qel_package::profile::microseconds(cycles, clock_hz);
  return us ? Json(*us) : Json();
}

std::string percent_text(std::uint64_t cycles, std::uint64_t total) {
  return fmt::format(
      "{:.1f}",
      total == 0 ? 0.0 : 100.0 * static_cast<double>(cycles) / static_cast<double>(total));
}

// The first `top` entries, or all of them.
std::span<const NamedTotal> top_of(const std::vector<NamedTotal>& list,
                                   const ShowOptions& options) {
  return std::span(list).first(std::min(list.size(), options.top.value_or(list.size())));
}

// Columns of a table of totals: what is totalled, then samples, cycles, microseconds and share.
class TotalsTable {
 public:
  TotalsTable(std::string heading, std::uint64_t clock_hz, std::uint64_t total_cycles)
      : table_(columns(std::move(heading), clock_hz)),
        clock_hz_(clock_hz),
        total_cycles_(total_cycles) {}

  void add(std::string name, const CycleTotal& total) {
    std::vector<std::string> row{std::move(name), fmt::format("{}", total.samples),
                                 fmt::format("{}", total.cycles)};
    if (clock_hz_ != 0) {
      row.push_back(us_text(total.cycles, clock_hz_));
    }
    row.push_back(percent_text(total.cycles, total_cycles_));
    table_.add_row(std::move(row));
  }

  void render(fmt::memory_buffer& out) const { table_.render(out, 2); }

 private:
  static std::vector<TextTable::Column> columns(std::string heading, std::uint64_t clock_hz) {
    std::vector<TextTable::Column> columns{
        {std::move(heading), Align::Left}, {"samples", Align::Right}, {"cycles", Align::Right}};
    if (clock_hz != 0) {
      columns.push_back({"us", Align::Right});
    }
    columns.push_back({"%", Align::Right});
    return columns;
  }

  TextTable table_;
  std::uint64_t clock_hz_;
  std::uint64_t total_cycles_;
};

void named_totals_text(fmt::memory_buffer& out, std::string_view title, std::string_view heading,
                       const std::vector<NamedTotal>& list, const ProfileSummary& summary,
                       const ShowOptions& options) {
  const auto shown = top_of(list, options);
  if (shown.size() < list.size()) {
    fmt::format_to(std::back_inserter(out), "\n{} (top {} of {}):\n", title, shown.size(),
                   list.size());
  } else {
    fmt::format_to(std::back_inserter(out), "\n{}:\n", title);
  }
  TotalsTable table(std::string(heading), summary.clock_hz, summary.total.cycles);
  for (const NamedTotal& entry : shown) {
    table.add(entry.name.empty() ? "(none)" : printable(entry.name), entry.total);
  }
  table.render(out);
}

Json total_json(Json object, const CycleTotal& total, std::uint64_t clock_hz) {
  object["samples"] = total.samples;
  object["cycles"] = total.cycles;
  object["us"] = us_json(total.cycles, clock_hz);
  return object;
}

Json named_totals_json(const std::vector<NamedTotal>& list, const ShowOptions& options,
                       std::uint64_t clock_hz) {
  Json entries = Json::array();
  for (const NamedTotal& entry : top_of(list, options)) {
    entries.push_back(total_json({{"name", entry.name}}, entry.total, clock_hz));
  }
  return entries;
}

}  // namespace

std::string summary_text(const ProfileSummary& summary, const ShowOptions& options) {
  fmt::memory_buffer out;
  const auto put = std::back_inserter(out);
  const bool timed = summary.clock_hz != 0;
  if (timed) {
    fmt::format_to(put, "clock: {} Hz\n", summary.clock_hz);
  } else {
    fmt::format_to(put, "clock: unknown (0 Hz), durations in cycles only\n");
  }
  fmt::format_to(put, "total: {} on {}, {} cycles",
                 count_of(summary.total.samples, "sample", "samples"),
                 count_of(summary.tiles.size(), "tile", "tiles"), summary.total.cycles);
  if (timed) {
    fmt::format_to(put, ", {} us", us_text(summary.total.cycles, summary.clock_hz));
  }
  out.push_back('\n');
  if (summary.total.samples == 0) {
    return fmt::to_string(out);
  }

  fmt::format_to(put, "\nkinds:\n");
  TotalsTable kinds("kind", summary.clock_hz, summary.total.cycles);
  for (const KindTotal& kind : summary.kinds) {
    kinds.add(enum_name(kind.kind), kind.total);
  }
  kinds.render(out);
  named_totals_text(out, "kernels", "kernel", summary.kernels, summary, options);
  named_totals_text(out, "operations", "operation", summary.operations, summary, options);

  fmt::format_to(put, "\ntiles:\n");
  std::vector<TextTable::Column> columns{
      {"tile", Align::Right}, {"samples", Align::Right}, {"busy cycles", Align::Right}};
  if (timed) {
    columns.push_back({"busy us", Align::Right});
  }
  columns.push_back({"first start", Align::Right});
  columns.push_back({"last end", Align::Right});
  TextTable tiles(std::move(columns));
  for (const TileSummary& tile : summary.tiles) {
    std::vector<std::string> row{fmt::format("{}", tile.physical_tile),
                                 fmt::format("{}", tile.busy.samples),
                                 fmt::format("{}", tile.busy.cycles)};
    if (timed) {
      row.push_back(us_text(tile.busy.cycles, summary.clock_hz));
    }
    row.push_back(fmt::format("{}", tile.first_start));
    row.push_back(fmt::format("{}", tile.last_end));
    tiles.add_row(std::move(row));
  }
  tiles.render(out, 2);
  return fmt::to_string(out);
}

std::string tile_samples_text(const TileProfileView& samples, const TileSummary& tile,
                              std::uint64_t clock_hz) {
  fmt::memory_buffer out;
  const auto put = std::back_inserter(out);
  const bool timed = clock_hz != 0;
  if (samples.samples().size() == 0) {
    fmt::format_to(put, "\ntile {}: no samples\n", samples.physical_tile());
    return fmt::to_string(out);
  }
  fmt::format_to(put, "\ntile {} ({}):\n", samples.physical_tile(),
                 count_of(samples.samples().size(), "sample", "samples"));
  std::vector<TextTable::Column> columns{{"index", Align::Right},    {"kind", Align::Left},
                                         {"operation", Align::Left}, {"kernel", Align::Left},
                                         {"start", Align::Right},    {"end", Align::Right},
                                         {"cycles", Align::Right}};
  if (timed) {
    columns.push_back({"us", Align::Right});
  }
  TextTable table(std::move(columns));
  for (const auto sample : samples.samples()) {
    const auto step = sample.step();
    std::vector<std::string> row{fmt::format("{}", step.local_index()),
                                 enum_name(step.kind()),
                                 printable(step.operation()),
                                 printable(step.kernel()),
                                 fmt::format("{}", sample.start_cycle()),
                                 fmt::format("{}", sample.end_cycle()),
                                 fmt::format("{}", sample.cycles())};
    if (timed) {
      row.push_back(us_text(sample.cycles(), clock_hz));
    }
    table.add_row(std::move(row));
  }
  table.render(out, 2);
  fmt::format_to(put, "  totals:\n");
  std::vector<TextTable::Column> total_columns{{"kind", Align::Left}, {"cycles", Align::Right}};
  if (timed) {
    total_columns.push_back({"us", Align::Right});
  }
  TextTable totals(std::move(total_columns));
  for (const KindTotal& kind : tile.kinds) {
    std::vector<std::string> row{enum_name(kind.kind), fmt::format("{}", kind.total.cycles)};
    if (timed) {
      row.push_back(us_text(kind.total.cycles, clock_hz));
    }
    totals.add_row(std::move(row));
  }
  totals.render(out, 4);
  return fmt::to_string(out);
}

Json summary_json(const ProfileSummary& summary, const ShowOptions& options) {
  const std::uint64_t clock_hz = summary.clock_hz;
  Json kinds = Json::array();
  for (const KindTotal& kind : summary.kinds) {
    kinds.push_back(total_json({{"kind", enum_name(kind.kind)}}, kind.total, clock_hz));
  }
  Json tiles = Json::array();
  for (const TileSummary& tile : summary.tiles) {
    tiles.push_back({{"physical_tile", tile.physical_tile},
                     {"samples", tile.busy.samples},
                     {"busy_cycles", tile.busy.cycles},
                     {"busy_us", us_json(tile.busy.cycles, clock_hz)},
                     {"first_start", tile.first_start},
                     {"last_end", tile.last_end}});
  }
  Json json = total_json(Json::object(), summary.total, clock_hz);
  json["kinds"] = std::move(kinds);
  json["kernels"] = named_totals_json(summary.kernels, options, clock_hz);
  json["operations"] = named_totals_json(summary.operations, options, clock_hz);
  json["tiles"] = std::move(tiles);
  return json;
}

Json tile_samples_json(const TileProfileView& samples, const TileSummary& tile,
                       std::uint64_t clock_hz) {
  Json list = Json::array();
  for (const auto sample : samples.samples()) {
    const auto step = sample.step();
    list.push_back({{"local_index", step.local_index()},
                    {"kind", enum_name(step.kind())},
                    {"operation", std::string(step.operation())},
                    {"kernel", std::string(step.kernel())},
                    {"start_cycle", sample.start_cycle()},
                    {"end_cycle", sample.end_cycle()},
                    {"duration_cycles", sample.cycles()},
                    {"duration_us", us_json(sample.cycles(), clock_hz)}});
  }
  Json totals = Json::array();
  for (const KindTotal& kind : tile.kinds) {
    totals.push_back({{"kind", enum_name(kind.kind)},
                      {"cycles", kind.total.cycles},
                      {"us", us_json(kind.total.cycles, clock_hz)}});
  }
  return {{"physical_tile", samples.physical_tile()},
          {"samples", std::move(list)},
          {"totals", std::move(totals)}};
}

}  // namespace qelpkg
