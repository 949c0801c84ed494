// The choice of desktop provider, and what a desktop's reports of its foreground window turn into.
#include "winapi/desktop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "winapi/kwin_report.h"
#include "winapi/kwin_session.h"
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

TEST(KWinXwaylandScale, ReadsTheGroupAndKeyKWinReads) {
    struct Case {
        const char* kwinrc;
        std::optional<double> scale;  // nothing: KWin takes 1
    };
    const Case cases[] = {
        {"[Xwayland]\nScale=2\n", 2},
        {"[Desktops]\nNumber=1\n\n[Xwayland]\nScale=1.5\n", 1.5},
        {"[Xwayland]\r\nScale = 1.25 \r\n", 1.25},
        {"", std::nullopt},
        {"[Desktops]\nNumber=1\n", std::nullopt},
        {"[Compositing]\nScale=2\n[Xwayland]\nOther=3\n", std::nullopt},
        {"[Xwayland]\n[Compositing]\nScale=2\n", std::nullopt},
        {"[Xwayland][Nested]\nScale=2\n", std::nullopt},
        {"[Xwayland]\n#Scale=2\n", std::nullopt},
        {"[Xwayland]\nScale[de]=2\n", std::nullopt},  // a language's, not the key itself
        {"[Xwayland]\nScale[$i]=2\n", 2},             // immutable: still the key
        {"[Xwayland][$i]\nScale=3\n", 3},
        {"[Xwayland]\nScale=2\nScale=1.5\n", 1.5},  // the later entry counts
        {"[Xwayland]\nScale=2\n[Xwayland]\nScale=3\n", 3},
        {"[Xwayland]\nScale=2\nScale=two\n", std::nullopt},
        {"[Xwayland]\nScale=\n", std::nullopt},
        {"[Xwayland]\nScale=2x\n", std::nullopt},
        {"[Xwayland]\nScale=0x2\n", std::nullopt},
        {"[Xwayland]\nScale=1e999\n", std::nullopt},
        {"[Xwayland]\nScale=2", 2},  // no newline at the end
        {"[Xwayland]\nScale", std::nullopt},
        {"\xff\xfe[Xwayland]\nScale=2\n", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(c.scale, winapi::KWinXwaylandScale(c.kwinrc)) << c.kwinrc;
}

TEST(KWinXwaylandScale, OddNumbersLeaveTheScaleBefore) {
    // What the provider does with what it reads: a number that is no scale changes nothing.
    for (const char* kwinrc :
         {"[Xwayland]\nScale=0\n", "[Xwayland]\nScale=-2\n", "[Xwayland]\nScale=nan\n",
          "[Xwayland]\nScale=inf\n", "[Xwayland]\nScale=1e300\n", "[Xwayland]\nScale=0.0001\n"}) {
        winapi::ReportedForeground reported;
        reported.SetScale(2);
        reported.SetScale(winapi::KWinXwaylandScale(kwinrc).value_or(1));
        EXPECT_EQ(2, reported.Scale()) << kwinrc;
    }
}

TEST(KWinScript, IsNamedAfterItsOwnersUniqueBusName) {
    EXPECT_EQ("keltos_focus_:1.42", winapi::KWinScriptName(":1.42"));
    struct Case {
        std::string file;
        std::optional<std::string> owner;
    };
    const Case cases[] = {
        {winapi::KWinScriptName(":1.42") + ".js", ":1.42"},
        {winapi::KWinScriptName(":1.7") + ".js", ":1.7"},
        {winapi::KWinScriptName(":x-y_z.0.a") + ".js", ":x-y_z.0.a"},
        {winapi::KWinScriptName(":1.42"), std::nullopt},                 // not the file
        {winapi::KWinScriptName(":1.42") + ".js.Ab12", std::nullopt},    // a file being written
        {winapi::KWinScriptName("org.kde.KWin") + ".js", std::nullopt},  // a well-known name
        {winapi::KWinScriptName("") + ".js", std::nullopt},
        {winapi::KWinScriptName(":") + ".js", std::nullopt},
        {winapi::KWinScriptName(":1") + ".js", std::nullopt},
        {winapi::KWinScriptName(":1.") + ".js", std::nullopt},
        {winapi::KWinScriptName(":1..2") + ".js", std::nullopt},
        {winapi::KWinScriptName(":1.2/../x") + ".js", std::nullopt},
        {winapi::KWinScriptName(":1.2 x") + ".js", std::nullopt},
        {winapi::KWinScriptName(":1." + std::string(300, '2')) + ".js", std::nullopt},
        {"keltos-kwin-focus.js", std::nullopt},
        {"other.js", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(c.owner, winapi::KWinScriptOwner(c.file)) << c.file;
}

}  // namespace
