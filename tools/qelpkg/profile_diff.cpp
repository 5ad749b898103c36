#include "profile_diff.hpp"

#include <algorithm>
#include <iterator>
#include <map>

#include <fmt/format.h>

#include <qel_package/profile_summary.hpp>

#include "enum_names.hpp"
#include "terminal_text.hpp"
#include "text_table.hpp"

namespace qelpkg {
namespace {

using qel_package::profile::ProfileReportView;
using qel_package::profile::ProfileSummary;
using Align = TextTable::Align;

std::int64_t change_of(std::uint64_t old_cycles, std::uint64_t new_cycles) {
  return static_cast<std::int64_t>(new_cycles) - static_cast<std::int64_t>(old_cycles);
}

std::uint64_t size_of_change(std::uint64_t old_cycles, std::uint64_t new_cycles) {
  return old_cycles > new_cycles ? old_cycles - new_cycles : new_cycles - old_cycles;
}

// The largest change first; ties in the given order (by name).
template <class Change>
void sort_by_change(std::vector<Change>& changes) {
  std::stable_sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) {
    return size_of_change(a.old_cycles, a.new_cycles) > size_of_change(b.old_cycles, b.new_cycles);
  });
}

// Both sides of each name; a name missing from one side has 0 cycles there.
std::vector<CycleChange> side_by_side(const std::map<std::string, std::uint64_t>& old_totals,
                                      const std::map<std::string, std::uint64_t>& new_totals) {
  std::map<std::string, CycleChange> merged;
  for (const auto& [name, cycles] : old_totals) {
    merged[name].old_cycles = cycles;
  }
  for (const auto& [name, cycles] : new_totals) {
    merged[name].new_cycles = cycles;
  }
  std::vector<CycleChange> changes;
  for (auto& [name, change] : merged) {
    change.name = name;
    changes.push_back(std::move(change));
  }
  sort_by_change(changes);
  return changes;
}

std::map<std::string, std::uint64_t> kind_totals(const ProfileSummary& summary) {
  std::map<std::string, std::uint64_t> totals;
  for (const auto& kind : summary.kinds) {
    totals[enum_name(kind.kind)] = kind.total.cycles;
  }
  return totals;
}

std::map<std::string, std::uint64_t> kernel_totals(const ProfileSummary& summary) {
  std::map<std::string, std::uint64_t> totals;
  for (const auto& kernel : summary.kernels) {
    totals[kernel.name] = kernel.total.cycles;
  }
  return totals;
}

// Same tiles in the same order, each with the same steps.
bool same_plan(const ProfileReportView& a, const ProfileReportView& b) {
  const auto a_tiles = a.tiles();
  const auto b_tiles = b.tiles();
  const auto same_step = [](const auto& s, const auto& t) {
    return s.step().to_step() == t.step().to_step();
  };
  return std::equal(a_tiles.begin(), a_tiles.end(), b_tiles.begin(), b_tiles.end(),
                    [&](const auto& x, const auto& y) {
                      const auto x_samples = x.samples();
                      const auto y_samples = y.samples();
                      return x.physical_tile() == y.physical_tile() &&
                             std::equal(x_samples.begin(), x_samples.end(), y_samples.begin(),
                                        y_samples.end(), same_step);
                    });
}

std::string signed_text(std::int64_t change) { return fmt::format("{:+}", change); }

// The change in percent of the old cycles; there is none from 0.
std::optional<double> percent_of(std::uint64_t old_cycles, std::uint64_t new_cycles) {
  if (old_cycles == 0) {
    return std::nullopt;
  }
  return 100.0 * static_cast<double>(change_of(old_cycles, new_cycles)) /
         static_cast<double>(old_cycles);
}

std::string percent_text(std::uint64_t old_cycles, std::uint64_t new_cycles) {
  const auto percent = percent_of(old_cycles, new_cycles);
  return percent ? fmt::format("{:+.1f}%", *percent) : "new";
}

void changes_table(fmt::memory_buffer& out, std::string_view heading,
                   const std::vector<CycleChange>& changes) {
  TextTable table({{std::string(heading), Align::Left},
                   {"old cycles", Align::Right},
                   {"new cycles", Align::Right},
                   {"change", Align::Right},
                   {"%", Align::Right}});
  for (const CycleChange& change : changes) {
    table.add_row({change.name.empty() ? "(none)" : printable(change.name),
                   fmt::format("{}", change.old_cycles), fmt::format("{}", change.new_cycles),
                   signed_text(change_of(change.old_cycles, change.new_cycles)),
                   percent_text(change.old_cycles, change.new_cycles)});
  }
  table.render(out, 2);
}

Json change_json(Json object, std::uint64_t old_cycles, std::uint64_t new_cycles) {
  object["old_cycles"] = old_cycles;
  object["new_cycles"] = new_cycles;
  object["change_cycles"] = change_of(old_cycles, new_cycles);
  const auto percent = percent_of(old_cycles, new_cycles);
  object["change_percent"] = percent ? Json(*percent) : Json();
  return object;
}

Json changes_json(const std::vector<CycleChange>& changes, const char* key) {
  Json list = Json::array();
  for (const CycleChange& change : changes) {
    list.push_back(change_json({{key, change.name}}, change.old_cycles, change.new_cycles));
  }
  return list;
}

}  // namespace

ProfileDiff diff_profiles(const ProfileReportView& old_report, const ProfileReportView& new_report,
                          std::size_t top_steps) {
  const ProfileSummary old_summary = summarize(old_report);
  const ProfileSummary new_summary = summarize(new_report);
  ProfileDiff diff{.total = {"total", old_summary.total.cycles, new_summary.total.cycles},
                   .kinds = side_by_side(kind_totals(old_summary), kind_totals(new_summary)),
                   .kernels = side_by_side(kernel_totals(old_summary), kernel_totals(new_summary)),
                   .steps = std::nullopt};
  if (!same_plan(old_report, new_report)) {
    return diff;
  }
  std::vector<StepChange> steps;
  const auto old_tiles = old_report.tiles();
  const auto new_tiles = new_report.tiles();
  for (std::size_t t = 0; t < old_tiles.size(); ++t) {
    const auto old_samples = old_tiles[t].samples();
    const auto new_samples = new_tiles[t].samples();
    for (std::size_t i = 0; i < old_samples.size(); ++i) {
      if (old_samples[i].cycles() != new_samples[i].cycles()) {
        steps.push_back({old_tiles[t].physical_tile(), old_samples[i].step().to_step(),
                         old_samples[i].cycles(), new_samples[i].cycles()});
      }
    }
  }
  sort_by_change(steps);
  steps.resize(std::min(steps.size(), top_steps));
  diff.steps = std::move(steps);
  return diff;
}

std::string diff_text(const ProfileDiff& diff, const std::string& old_name,
                      const std::string& new_name) {
  fmt::memory_buffer out;
  const auto put = std::back_inserter(out);
  fmt::format_to(put, "old: {}\nnew: {}\ntotal: {} -> {} cycles, {} ({})\n", printable(old_name),
                 printable(new_name), diff.total.old_cycles, diff.total.new_cycles,
                 signed_text(change_of(diff.total.old_cycles, diff.total.new_cycles)),
                 percent_text(diff.total.old_cycles, diff.total.new_cycles));
  fmt::format_to(put, "\nkinds:\n");
  changes_table(out, "kind", diff.kinds);
  fmt::format_to(put, "\nkernels:\n");
  changes_table(out, "kernel", diff.kernels);
  if (!diff.steps) {
    fmt::format_to(put, "\nsteps: not compared, the reports come from different plans\n");
  } else if (diff.steps->empty()) {
    fmt::format_to(put, "\nsteps: none changed\n");
  } else {
    fmt::format_to(put, "\nsteps that changed most:\n");
    TextTable table({{"tile", Align::Right},
                     {"index", Align::Right},
                     {"kind", Align::Left},
                     {"operation", Align::Left},
                     {"kernel", Align::Left},
                     {"old cycles", Align::Right},
                     {"new cycles", Align::Right},
                     {"change", Align::Right},
                     {"%", Align::Right}});
    for (const StepChange& change : *diff.steps) {
      table.add_row({fmt::format("{}", change.physical_tile),
                     fmt::format("{}", change.step.local_index), enum_name(change.step.kind),
                     printable(change.step.operation), printable(change.step.kernel),
                     fmt::format("{}", change.old_cycles), fmt::format("{}", change.new_cycles),
                     signed_text(change_of(change.old_cycles, change.new_cycles)),
                     percent_text(change.old_cycles, change.new_cycles)});
    }
    table.render(out, 2);
  }
  return fmt::to_string(out);
}

Json diff_json(const ProfileDiff& diff) {
  Json json = change_json(Json::object(), diff.total.old_cycles, diff.total.new_cycles);
  json["kinds"] = changes_json(diff.kinds, "kind");
  json["kernels"] = changes_json(diff.kernels, "kernel");
  if (diff.steps) {
    Json steps = Json::array();
    for (const StepChange& change : *diff.steps) {
      steps.push_back(change_json({{"physical_tile", change.physical_tile},
                                   {"local_index", change.step.local_index},
                                   {"kind", enum_name(change.step.kind)},
                                   {"operation", change.step.operation},
                                   {"kernel", change.step.kernel}},
                                  change.old_cycles, change.new_cycles));
    }
    json["steps"] = std::move(steps);
  } else {
    json["steps"] = Json();
  }
  return json;
}

}  // namespace qelpkg
