// The desktop in a KDE Plasma Wayland session, from KWin (kwin_desktop.cpp says what it
// supports).
#pragma once

#include <memory>

#include "desktop/desktop.h"

namespace desktop {

// Needs the toolkit's application object: it talks to KWin over Qt's D-Bus.
std::unique_ptr<Desktop> MakeKWinDesktop();

}  // namespace desktop
