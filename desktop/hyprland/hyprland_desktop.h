// The desktop under Hyprland (hyprland_desktop.cpp says what it supports).
#pragma once

#include <memory>
#include <string>

#include "desktop/desktop.h"

namespace desktop {

// The folder of a Hyprland instance's sockets, from the runtime directory and the instance's
// signature (HYPRLAND_INSTANCE_SIGNATURE); empty when either is missing or the signature is no
// plain name (it would lead out of that folder).
std::string HyprlandSocketFolder(const std::string& runtimeDir, const std::string& signature);
// Talks to the sockets in that folder.
std::unique_ptr<Desktop> MakeHyprlandDesktop(const std::string& socketFolder);
// Whether something takes a connection on its request socket (never waits).
bool HyprlandAnswers(const std::string& socketFolder);

}  // namespace desktop
