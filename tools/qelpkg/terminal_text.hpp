#pragma once

#include <string>
#include <string_view>

namespace qelpkg {

// The text with every control character escaped, so that a name taken from a file cannot
// move the cursor, change colours or end a line on a terminal: \n, \r and \t as such, other
// C0 controls and DEL as \xNN, C1 controls as \u00NN, and bytes that are not UTF-8 as \xNN.
std::string printable(std::string_view text);

}  // namespace qelpkg
