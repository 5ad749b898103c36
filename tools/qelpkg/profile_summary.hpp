#pragma once

#include <string>

#include <qel_package/profile.hpp>

#include "record_json.hpp"

// The tables that `qelpkg profile show` prints: per tile each sample with its duration, then
// the total duration of each step kind. A report whose clock is 0 Hz has its durations in
// cycles only.
namespace qelpkg {

std::string profile_summary_text(const qel_package::profile::ProfileReport& report);

// The same as JSON; microseconds are null when the clock is 0 Hz.
Json profile_summary_json(const qel_package::profile::ProfileReport& report);

}  // namespace qelpkg
