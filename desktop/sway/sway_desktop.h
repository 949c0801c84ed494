// The desktop under sway, and any other compositor that serves sway's IPC (sway_desktop.cpp says
// what it supports).
#pragma once

#include <memory>
#include <string>

#include "desktop/desktop.h"

namespace desktop {

// Talks to the IPC on the socket at `socketPath` (what SWAYSOCK names).
std::unique_ptr<Desktop> MakeSwayDesktop(const std::string& socketPath);
// Whether something takes a connection on that socket (never waits).
bool SwayAnswers(const std::string& socketPath);

}  // namespace desktop
