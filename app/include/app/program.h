#pragma once
// The program's life, and its main window bound to the routines' handlers.
#include "widgets/window_definition.h"

namespace qv {

// The main window's definition with every event bound to its routine.
[[nodiscard]] const WindowDefinition& MainWindowDefinition();

// The global state and its exit clean-up, the main window, the message loop; the process then
// ends with code 0.
[[noreturn]] void ProgramEntry();

}  // namespace qv
