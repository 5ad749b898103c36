#pragma once

#include <iosfwd>

#include <qel_package/error.hpp>
#include <qel_package/export.hpp>
#include <qel_package/profile.hpp>
#include <qel_package/profile_timeline.hpp>
#include <qel_package/profile_view.hpp>

namespace qel_package::profile {

// Writes the report as one self-contained SVG image of its timeline, which any browser opens
// without a network: a lane per tile (a <g class="lane" data-tile="N">), each sample a
// rectangle coloured by its step kind with a <title> tooltip naming its operation, kernel,
// cycles and microseconds, a legend of the kinds and a time axis in microseconds. Tiles are
// placed as in write_chrome_trace; without TimelineOptions::align the axis starts at the
// earliest start of any tile. Consecutive samples narrower than a pixel are merged into one
// rectangle (class "merged"), coloured by the kind with the most cycles, whose tooltip says how
// many steps it merges, so that a whole device stays small. Fails as write_chrome_trace does.
[[nodiscard]] QEL_PACKAGE_API Result<void> write_timeline_svg(const ProfileReport& report,
                                                              std::ostream& output,
                                                              const TimelineOptions& options = {});

// The same image from a view over a report's bytes, holding one sample at a time.
[[nodiscard]] QEL_PACKAGE_API Result<void> write_timeline_svg(const ProfileReportView& report,
                                                              std::ostream& output,
                                                              const TimelineOptions& options = {});

}  // namespace qel_package::profile
