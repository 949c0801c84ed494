// The desktop on X11, over EWMH with xcb and xcb-ewmh (ewmh_desktop.cpp says what it supports).
#pragma once

#include <memory>

#include "desktop/desktop.h"

namespace desktop {

// The EWMH desktop as a desktop with a channel of its own also uses it: for the bar's own window,
// and to watch an X11 window that its channel says is in front.
class X11Desktop : public Desktop {
  public:
    // Watches `window` (an X11 window; 0: none) from now on as the active window is watched on
    // X11, in place of the X server's active window: NextChangeDescriptor then tells of changes
    // to its place, size, title or state.
    virtual void Follow(WindowId window) = 0;
    // Unmaps one of this program's shown windows and maps it again at once: the X server (and
    // XWayland) then shows it as a new window, on a new surface.
    virtual void ShowAnew(WindowId ownWindow) = 0;
};

// Connects to the X display at the first question; without one, there is no window in front.
std::unique_ptr<X11Desktop> MakeEwmhDesktop();

}  // namespace desktop
