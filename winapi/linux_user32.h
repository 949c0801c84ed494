// USER32's calls on Linux answer from the desktop the toolkit chose for this session
// (desktop/selection.h), handed in here at start-up.
#pragma once

#include "desktop/desktop.h"

namespace winapi {

// From now on the window API asks `desktop` (null: there is no window in front, and nothing can
// be placed). The desktop outlives every call.
void UseDesktop(desktop::Desktop* desktop);

}  // namespace winapi
