#pragma once

#include <qel_package/profile.hpp>

#include "lib/message_measure.hpp"

namespace qel_package::profile {

// A step on its way into a message, as a plan's step or a sample's: counts its texts and
// lists, and refuses what reading it back would refuse (a text that is not UTF-8, a kind
// outside its enumeration) in reading order. The step's own struct is counted by the
// caller, with the list or field that holds it.
void measure_step(const ProfileStep& step, detail::MessageMeasure& measure);

}  // namespace qel_package::profile
