// The desktop in a GNOME Wayland session, from KELTOS's GNOME Shell extension (beside this file;
// gnome_shell_desktop.cpp says what it supports).
#pragma once

#include <memory>

#include "desktop/desktop.h"

namespace desktop {

// Needs the toolkit's application object: it hears the extension over Qt's D-Bus.
std::unique_ptr<Desktop> MakeGnomeShellDesktop();

}  // namespace desktop
