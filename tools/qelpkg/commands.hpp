#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <qel_package/profile_timeline.hpp>

#include "failure.hpp"
#include "profile_show.hpp"

// The subcommands of qelpkg, each reading its files, calling the library and writing its
// output. A failure names the file it concerns.
namespace qelpkg {

// Prints "PACKAGE: ok" or "PACKAGE: <error>" for each package; false when any fails.
Outcome<bool> validate(const std::vector<std::string>& packages);
Outcome<void> info(const std::string& package, bool json);
Outcome<void> dump(const std::string& package);
Outcome<void> pack(const std::string& json_file, const std::string& package);
Outcome<void> image(const std::string& package, std::uint32_t tile, const std::string& output);
Outcome<void> profile_build(const std::string& package, const std::string& run_output,
                            std::uint64_t clock_hz, const std::string& report);
Outcome<void> profile_show(const std::string& report, bool json, const ShowOptions& options);
Outcome<void> profile_trace(const std::string& report, const std::string& trace,
                            const qel_package::profile::TimelineOptions& options);
// Compares two reports; top_steps bounds the changed steps listed.
Outcome<void> profile_diff(const std::string& old_report, const std::string& new_report, bool json,
                           std::size_t top_steps);
Outcome<void> profile_plot(const std::string& report, const std::string& image,
                           const qel_package::profile::TimelineOptions& options);

}  // namespace qelpkg
