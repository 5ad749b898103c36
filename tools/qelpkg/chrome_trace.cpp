#include "chrome_trace.hpp"

#include <fmt/format.h>

#include "cycle_time.hpp"
#include "enum_names.hpp"

namespace qelpkg {

tl::expected<Json, std::string> chrome_trace(const qel_package::profile::ProfileReport& report) {
  if (report.clock_hz == 0) {
    return tl::unexpected(
        std::string("report clock is 0 Hz, so its cycles have no duration in microseconds"));
  }
  Json events = Json::array();
  for (const auto& tile : report.tiles) {
    events.push_back({{"name", "thread_name"},
                      {"ph", "M"},
                      {"pid", 0},
                      {"tid", tile.physical_tile},
                      {"args", {{"name", fmt::format("tile {}", tile.physical_tile)}}}});
    std::uint64_t position = 0;  // the unwrapped counter at the current sample's start
    for (std::size_t i = 0; i < tile.samples.size(); ++i) {
      const auto& sample = tile.samples[i];
      position = i == 0 ? sample.start_cycle
                        : position + static_cast<std::uint32_t>(sample.start_cycle -
                                                                tile.samples[i - 1].start_cycle);
      const auto& step = sample.step;
      events.push_back({{"name", step.operation},
                        {"cat", enum_name(step.kind)},
                        {"ph", "X"},
                        {"pid", 0},
                        {"tid", tile.physical_tile},
                        {"ts", microseconds(position, report.clock_hz)},
                        {"dur", microseconds(duration_cycles(sample), report.clock_hz)},
                        {"args",
                         {{"kernel", step.kernel},
                          {"phase", step.phase},
                          {"epoch", step.epoch},
                          {"metadata", to_json(step.metadata)},
                          {"exchange_activities", to_json(step.exchange_activities)}}}});
    }
  }
  return Json{{"traceEvents", std::move(events)}, {"displayTimeUnit", "ns"}};
}

}  // namespace qelpkg
