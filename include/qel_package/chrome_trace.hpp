#pragma once

#include <iosfwd>

#include <qel_package/error.hpp>
#include <qel_package/export.hpp>
#include <qel_package/profile.hpp>
#include <qel_package/profile_timeline.hpp>
#include <qel_package/profile_view.hpp>

namespace qel_package::profile {

// Writes the report as a JSON document in the Chrome trace event format, which Perfetto
// (ui.perfetto.dev) opens: one process, the device, with one thread per tile named "tile N"
// (thread id = physical tile). Each sample is a complete event named for its operation (its
// kind when the operation is empty) with the step's fields in args; it starts at the sample's
// place on the tile's unwrapped timeline (TileTimeline) in microseconds and lasts its
// cycles(). An exchange activity that lies inside its step's cycles is a complete event nested
// in it; any other is an instant event at its start when that lies inside the step, else at
// the step's start. Fails with Invalid for a clock of 0 Hz, which gives no time scale, and
// with Io when the stream fails; what was written by then stays in the stream.
[[nodiscard]] QEL_PACKAGE_API Result<void> write_chrome_trace(const ProfileReport& report,
                                                              std::ostream& output,
                                                              const TimelineOptions& options = {});
// The same text from a view over a report's bytes, holding one sample at a time.
[[nodiscard]] QEL_PACKAGE_API Result<void> write_chrome_trace(const ProfileReportView& report,
                                                              std::ostream& output,
                                                              const TimelineOptions& options = {});

}  // namespace qel_package::profile
