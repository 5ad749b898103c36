// What qelpkg profile show and trace promise for any report: the text holds no control
// character but line ends, and the JSON forms are exact documents.
#include <string>

#include <qel_package/profile.hpp>

#include "chrome_trace.hpp"
#include "profile_summary.hpp"
#include "rendering_checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto report = qel_package::profile::ProfileReport::read({data, size});
  if (!report) {
    return 0;
  }
  qelpkg::fuzzing::require_terminal_safe(qelpkg::profile_summary_text(*report));
  qelpkg::fuzzing::require_json(qelpkg::profile_summary_json(*report).dump(2));
  if (const auto trace = qelpkg::chrome_trace(*report)) {
    qelpkg::fuzzing::require_json(*trace);
  }
  return 0;
}
