// The choice of desktop provider for a session.
#include "desktop/choice.h"

#include <gtest/gtest.h>

namespace {

using desktop::DesktopKind;

TEST(ChooseDesktop, FollowsTheSession) {
    struct Case {
        desktop::SessionFacts facts;
        DesktopKind expected;
    };
    const Case cases[] = {
        {{"x11", "XFCE", "", "", false, false}, DesktopKind::Ewmh},
        {{"", "", "", "", false, false}, DesktopKind::Ewmh},
        {{"x11", "KDE", "", "", true, false}, DesktopKind::Ewmh},  // Plasma on X11: EWMH
        {{"wayland", "KDE", "wayland-0", "", false, false}, DesktopKind::KWin},
        {{"wayland", "ubuntu:GNOME", "wayland-0", "", false, false}, DesktopKind::GnomeShell},
        {{"", "", "wayland-1", "", false, true}, DesktopKind::GnomeShell},
        {{"wayland", "", "wayland-1", "", true, false}, DesktopKind::KWin},
        {{"wayland", "sway", "wayland-1", "/run/user/1000/sway-ipc.sock", false, false, true},
         DesktopKind::Sway},
        {{"tty", "", "wayland-1", "/run/user/1000/sway-ipc.sock", false, false, true},
         DesktopKind::Sway},  // sway started from a console log-in
        // A SWAYSOCK left by a session that once ran sway: in an X11 session it is not followed
        // even if something answers there, nor in a Wayland session where nothing answers.
        {{"x11", "openbox", "", "/run/user/1000/sway-ipc.sock", false, false, true},
         DesktopKind::Ewmh},
        {{"wayland", "", "wayland-1", "/run/user/1000/sway-ipc.sock", false, false, false},
         DesktopKind::Ewmh},
        {{"wayland", "KDE", "wayland-0", "/run/user/1000/sway-ipc.sock", true, false, true},
         DesktopKind::KWin},
        {{"x11", "", "wayland-0", "", false, true, false}, DesktopKind::Ewmh},
        {{"wayland", "Hyprland", "wayland-1", "", false, false}, DesktopKind::Ewmh},
        // Hyprland: its session, its instance's signature and its socket answering; a signature
        // left in the environment of another session is not followed.
        {{"wayland", "Hyprland", "wayland-1", "", false, false, false, "a1_17_2", true},
         DesktopKind::Hyprland},
        {{"", "Hyprland", "wayland-1", "", false, false, false, "a1_17_2", true},
         DesktopKind::Hyprland},
        {{"x11", "Hyprland", "", "", false, false, false, "a1_17_2", true}, DesktopKind::Ewmh},
        {{"wayland", "sway", "wayland-1", "/run/user/1000/sway-ipc.sock", false, false, true,
          "a1_17_2", true},
         DesktopKind::Sway},
        {{"wayland", "Hyprland", "wayland-1", "", false, false, false, "a1_17_2", false},
         DesktopKind::Ewmh},
        {{"wayland", "Hyprland", "wayland-1", "", false, false, false, "", true},
         DesktopKind::Ewmh},
        {{"wayland", "KDEX", "wayland-1", "", false, false}, DesktopKind::Ewmh},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, desktop::ChooseDesktop(c.facts))
            << c.facts.sessionType << " / " << c.facts.currentDesktop;
}

}  // namespace
