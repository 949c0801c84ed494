// The choice of desktop provider, and what a desktop's reports of its foreground window turn into.
#include "winapi/desktop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "winapi/kwin_report.h"
#include "winapi/reported_window.h"

namespace {

using winapi::DesktopKind;

TEST(ChooseDesktop, FollowsTheSession) {
    struct Case {
        winapi::SessionFacts facts;
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
        {{"wayland", "KDEX", "wayland-1", "", false, false}, DesktopKind::Ewmh},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, winapi::ChooseDesktop(c.facts))
            << c.facts.sessionType << " / " << c.facts.currentDesktop;
}

std::string Title(const winapi::ReportedForeground& reported) {
    char buffer[250];
    reported.GetWindowTextA(reported.GetForegroundWindow(), buffer, sizeof buffer);
    return buffer;
}

TEST(ReportedForeground, KeepsOnlyWellFormedReports) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        winapi::WindowReport report;
        bool followed;
        std::string title;
        double scale = 1;  // XWayland's pixels per logical pixel, as the desktop says
    };
    const Case cases[] = {
        {"ordinary", {0, "a", "Editor - notes.txt", 10, 20, 800, 600, false}, true, "Edito"},
        {"empty title", {0, "a", "", 10, 20, 800, 600, false}, true, ""},
        {"multibyte", {0, "a", "日本語のタイトル", 10, 20, 800, 600, false}, true, "日本語のタ"},
        {"invalid UTF-8",
         {0, "a",
          "\xff\xfe"
          "abcdef",
          0, 0, 10, 10, false},
         true,
         "\uFFFD\uFFFDabc"},
        {"huge title", {0, "a", std::string(1 << 20, 'x'), 0, 0, 10, 10, false}, true, "xxxxx"},
        {"no window", {0, "", "x", 0, 0, 10, 10, false}, false, ""},
        {"NaN", {0, "a", "x", nan, 0, 10, 10, false}, false, ""},
        {"infinite", {0, "a", "x", 0, INFINITY, 10, 10, false}, false, ""},
        {"far off", {0, "a", "x", 1e12, 0, 10, 10, false}, false, ""},
        {"empty frame", {0, "a", "x", 0, 0, 0, 10, false}, false, ""},
        {"negative size", {0, "a", "x", 0, 0, 10, -5, false}, false, ""},
        {"at 200 %", {0, "a", "x", 10.5, 20, 800, 600, false}, true, "x", 2},
        {"at 150 %", {0, "a", "x", 33.5, 20, 701, 437, false}, true, "x", 1.5},
        {"a scale not to believe", {0, "a", "x", 10, 20, 800, 600, false}, true, "x", nan},
        {"a scale of 0", {0, "a", "x", 10, 20, 800, 600, false}, true, "x", 0},
    };
    for (const Case& c : cases) {
        winapi::ReportedForeground reported;
        reported.Accept({0, "earlier", "Mail", 1, 2, 3, 4, false});
        reported.SetScale(c.scale);
        reported.Accept(c.report);
        const HWND fg = reported.GetForegroundWindow();
        RECT r{};
        EXPECT_EQ(c.followed, fg != nullptr) << c.what;
        EXPECT_EQ(c.followed, reported.GetWindowRect(fg, &r) != 0) << c.what;
        EXPECT_EQ(c.title, Title(reported)) << c.what;
        if (c.followed) {
            // In XWayland's pixels: the frame times the scale, where the scale is believable.
            const double s = c.scale >= 0.25 && c.scale <= 16 ? c.scale : 1;
            EXPECT_EQ(std::lround(c.report.x * s), r.left) << c.what;
            EXPECT_EQ(std::lround((c.report.y + c.report.height) * s), r.bottom) << c.what;
        }
    }
}

TEST(ReportedForeground, AnswersOnlyForTheLatestWindowAndInOrder) {
    winapi::ReportedForeground reported;
    ASSERT_TRUE(reported.Accept({2, "a", "Editor", 0, 0, 100, 50, false}));
    const HWND a = reported.GetForegroundWindow();
    EXPECT_FALSE(reported.Accept({1, "b", "Mail", 0, 0, 100, 50, false}));  // out of order
    EXPECT_EQ(a, reported.GetForegroundWindow());
    ASSERT_TRUE(reported.Accept({3, "a", "Editor", 5, 5, 100, 50, true}));  // same window, moved
    EXPECT_EQ(a, reported.GetForegroundWindow());
    EXPECT_TRUE(reported.IsIconic(a));
    ASSERT_TRUE(reported.Accept({4, "b", "Mail", 0, 0, 100, 50, false}));
    const HWND b = reported.GetForegroundWindow();
    EXPECT_NE(a, b);
    RECT r{};
    char buffer[8] = "stale";
    EXPECT_FALSE(reported.GetWindowRect(a, &r));  // a window reported earlier has gone
    EXPECT_EQ(0, reported.GetWindowTextA(a, buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);
    EXPECT_FALSE(reported.IsIconic(a));
    reported.Forget();
    EXPECT_EQ(nullptr, reported.GetForegroundWindow());
    EXPECT_FALSE(reported.GetWindowRect(b, &r));
}

TEST(KWinReport, ReadsTheScriptsLineAndNothingElse) {
    using namespace std::string_literals;
    struct Case {
        std::string text;
        bool parsed;
        winapi::WindowReport report;
    };
    const Case cases[] = {
        {"7 0 10 20 800 600 {u-1}\nEdito", true, {7, "{u-1}", "Edito", 10, 20, 800, 600, false}},
        {"8 1 -5.5 0 1e3 40 {u-2}\nKELTO", true, {8, "{u-2}", "KELTO", -5.5, 0, 1000, 40, true}},
        {"9 0 0 0 10 10 w\nline\nbreak", true, {9, "w", "line\nbreak", 0, 0, 10, 10, false}},
        {"10", true, {10, "", "", 0, 0, 0, 0, false}},  // no window is active
        {"11 0 0 0 10 10 w\n\0\xff"s, true, {11, "w", "\0\xff"s, 0, 0, 10, 10, false}},
        {"", false, {}},
        {"0 0 0 0 10 10 w\nx", false, {}},  // serial 0 is never sent
        {"-3 0 0 0 10 10 w\nx", false, {}},
        {"12 2 0 0 10 10 w\nx", false, {}},  // minimized is 0 or 1
        {"13 0 0 0 10 w\nx", false, {}},     // a field short
        {"14 0 0 0 10 10\nx", false, {}},    // no id
        {"15 0 0 0 10 10 w extra\nx", false, {}},
        {"16 0 0  0 10 10 w\nx", false, {}},  // an empty field
        {"17 0 0x10 0 10 10 w\nx", false, {}},
        {"19 0 1e999 0 10 10 w\nx", false, {}},  // out of range
        {"20 trailing", false, {}},
        {"21 0 0 0 10 10 w\n" + std::string(2000, 'x'), false, {}},
        {"99999999999999999999 0 0 0 10 10 w\nx", false, {}},
    };
    for (const Case& c : cases) {
        const auto report = winapi::ParseKWinReport(c.text);
        ASSERT_EQ(c.parsed, report.has_value()) << c.text;
        if (!report) continue;
        EXPECT_EQ(c.report.serial, report->serial) << c.text;
        EXPECT_EQ(c.report.id, report->id) << c.text;
        EXPECT_EQ(c.report.title, report->title) << c.text;
        EXPECT_EQ(c.report.minimized, report->minimized) << c.text;
        EXPECT_EQ(c.report.x, report->x) << c.text;
        EXPECT_EQ(c.report.y, report->y) << c.text;
        EXPECT_EQ(c.report.width, report->width) << c.text;
        EXPECT_EQ(c.report.height, report->height) << c.text;
    }
}

}  // namespace
