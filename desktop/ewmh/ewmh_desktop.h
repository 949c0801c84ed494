// The desktop on X11, over EWMH with xcb and xcb-ewmh (ewmh_desktop.cpp says what it supports).
#pragma once

#include <memory>

#include "desktop/desktop.h"

namespace desktop {

// Connects to the X display at the first question; without one, there is no window in front.
std::unique_ptr<Desktop> MakeEwmhDesktop();

}  // namespace desktop
