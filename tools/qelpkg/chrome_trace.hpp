#pragma once

#include <string>

#include <tl/expected.hpp>

#include <qel_package/profile.hpp>

namespace qelpkg {

// The report as a JSON document in the Chrome trace event format: one track per tile (thread
// id = physical tile, named "tile N"), one complete event per sample. An event's ts is the
// counter value at the step's start in microseconds, unwrapped across the tile's samples so
// that a counter wrap does not send time backwards; dur is the step's duration modulo 2^32.
// A report whose clock is 0 Hz has no time scale and is refused.
tl::expected<std::string, std::string> chrome_trace(
    const qel_package::profile::ProfileReport& report);

}  // namespace qelpkg
