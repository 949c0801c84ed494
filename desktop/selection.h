// The desktop provider of this session, chosen and made once at start-up by the toolkit, which
// then hands it to the window API and to its own window and timers.
#pragma once

#include <memory>

#include "desktop/desktop.h"

namespace desktop {

// Reads the session (its environment, the session bus, sway's socket) and makes the provider
// that ChooseDesktop picks for it. Needs the toolkit's application object: the Wayland providers
// talk over Qt's D-Bus.
std::unique_ptr<Desktop> SelectDesktop();

}  // namespace desktop
