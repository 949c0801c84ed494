// Which desktop provider answers the window API in a session.
#include <sstream>

#include "winapi/desktop.h"

namespace winapi {

namespace {

bool Lists(const std::string& desktops, const std::string& name) {
    std::istringstream list(desktops);
    for (std::string item; std::getline(list, item, ':');)
        if (item == name) return true;
    return false;
}

}  // namespace

DesktopKind ChooseDesktop(const SessionFacts& facts) {
    // sway's IPC socket is named only in sessions whose compositor serves it.
    if (!facts.swaySock.empty()) return DesktopKind::Sway;
    const bool wayland = facts.sessionType == "wayland" || !facts.waylandDisplay.empty();
    if (!wayland) return DesktopKind::Ewmh;
    if (Lists(facts.currentDesktop, "KDE")) return DesktopKind::KWin;
    if (Lists(facts.currentDesktop, "GNOME")) return DesktopKind::GnomeShell;
    if (facts.kwinOnBus) return DesktopKind::KWin;
    if (facts.gnomeShellOnBus) return DesktopKind::GnomeShell;
    // Another Wayland desktop: only its X11 windows can be seen, through XWayland.
    return DesktopKind::Ewmh;
}

}  // namespace winapi
