// Which desktop provider answers the window API in a session.
#include "desktop/choice.h"

#include <sstream>

namespace desktop {

namespace {

bool Lists(const std::string& desktops, const std::string& name) {
    std::istringstream list(desktops);
    for (std::string item; std::getline(list, item, ':');)
        if (item == name) return true;
    return false;
}

}  // namespace

DesktopKind ChooseDesktop(const SessionFacts& facts) {
    // The session's type says whether it is a Wayland one. Where it does not say (unset, or
    // "tty" for a compositor started from a console log-in) a Wayland display does.
    const bool unsaid = facts.sessionType.empty() || facts.sessionType == "tty";
    const bool wayland =
        facts.sessionType == "wayland" || (unsaid && !facts.waylandDisplay.empty());
    if (!wayland) return DesktopKind::Ewmh;
    if (Lists(facts.currentDesktop, "KDE")) return DesktopKind::KWin;
    if (Lists(facts.currentDesktop, "GNOME")) return DesktopKind::GnomeShell;
    // Hyprland: a session that says so, with its instance's socket answering.
    if (Lists(facts.currentDesktop, "Hyprland") && !facts.hyprlandSignature.empty() &&
        facts.hyprlandAnswers)
        return DesktopKind::Hyprland;
    // sway, or a compositor that serves its IPC: only when its socket answers.
    if (!facts.swaySock.empty() && facts.swayAnswers) return DesktopKind::Sway;
    if (facts.kwinOnBus) return DesktopKind::KWin;
    if (facts.gnomeShellOnBus) return DesktopKind::GnomeShell;
    // Another Wayland desktop: only its X11 windows can be seen, through XWayland.
    return DesktopKind::Ewmh;
}

}  // namespace desktop
