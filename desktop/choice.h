// Which desktop provider a session gets. Adding a desktop adds its kind here and its rule in
// ChooseDesktop, and its making in selection.cpp.
#pragma once

#include <string>

namespace desktop {

enum class DesktopKind {
    Ewmh,        // X11, any EWMH window manager (or none)
    KWin,        // KDE Plasma on Wayland
    GnomeShell,  // GNOME on Wayland
    Sway,        // sway, or any compositor that serves its IPC
    Hyprland,    // Hyprland
};

// What the session says about itself, read from the environment and the session bus.
struct SessionFacts {
    std::string sessionType;       // XDG_SESSION_TYPE
    std::string currentDesktop;    // XDG_CURRENT_DESKTOP, a colon-separated list
    std::string waylandDisplay;    // WAYLAND_DISPLAY
    std::string swaySock;          // SWAYSOCK
    bool kwinOnBus = false;        // org.kde.KWin answers on the session bus
    bool gnomeShellOnBus = false;  // org.gnome.Shell answers on the session bus
    bool swayAnswers = false;      // something listens on the socket SWAYSOCK names

    std::string hyprlandSignature = "";  // HYPRLAND_INSTANCE_SIGNATURE
    bool hyprlandAnswers = false;        // something listens on that instance's request socket
};

// The provider for a session. Pure: the same facts always give the same provider. The session
// decides: a desktop's channel is chosen only in a session of that desktop, never from a
// variable left in the environment by another (a SWAYSOCK exported by a session that once ran
// sway, say).
DesktopKind ChooseDesktop(const SessionFacts& facts);

}  // namespace desktop
