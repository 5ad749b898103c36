// What qelpkg profile show and trace promise for any report: the text holds no control
// character but line ends, and the JSON forms are exact documents.
#include <sstream>
#include <string>

#include <qel_package/chrome_trace.hpp>
#include <qel_package/profile.hpp>
#include <qel_package/profile_summary.hpp>
#include <qel_package/profile_view.hpp>

#include "profile_show.hpp"
#include "rendering_checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto report = qel_package::profile::ProfileReportView::open({data, size});
  if (!report) {
    return 0;
  }
  const auto summary = qel_package::profile::summarize(*report);
  const qelpkg::ShowOptions options{};
  qelpkg::fuzzing::require_terminal_safe(qelpkg::summary_text(summary, options));
  qelpkg::fuzzing::require_json(qelpkg::summary_json(summary, options).dump());
  const auto tiles = report->tiles();
  for (std::size_t i = 0; i < tiles.size() && i < summary.tiles.size(); ++i) {
    qelpkg::fuzzing::require_terminal_safe(
        qelpkg::tile_samples_text(tiles[i], summary.tiles[i], report->clock_hz()));
    qelpkg::fuzzing::require_json(
        qelpkg::tile_samples_json(tiles[i], summary.tiles[i], report->clock_hz()).dump());
  }
  std::ostringstream trace;
  if (qel_package::profile::write_chrome_trace(*report, trace)) {
    qelpkg::fuzzing::require_json(trace.str());
  }
  return 0;
}
