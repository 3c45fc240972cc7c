#pragma once
#include "widgets/window_definition.h"

namespace qv {
// The main window: its 23 controls in order and its 17 event bindings.
[[nodiscard]] const WindowDefinition& MainWindowDefinition();
}  // namespace qv
