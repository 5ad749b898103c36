#pragma once

#include <string_view>

// What must hold for every rendering qelpkg prints, shared by its fuzz targets. A broken
// expectation aborts with its description.
namespace qelpkg::fuzzing {

[[noreturn]] void broken(const char* expectation);

// No byte that a terminal takes as a control: C0 controls other than the line end, DEL and
// C1 controls.
void require_terminal_safe(std::string_view text);

// An exact JSON document.
void require_json(std::string_view text);

}  // namespace qelpkg::fuzzing
