// The window API on X11, over the EWMH desktop, against a real X server and an EWMH window
// manager (started by tests/e2e/xsession.py), with windows this test makes through a connection
// of its own.
#include <gtest/gtest.h>
#include <poll.h>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "desktop/ewmh/ewmh_desktop.h"
#include "winapi/linux_user32.h"
#include "winapi/mdlAPI.h"

namespace {

class X11 : public ::testing::Test {
  protected:
    // One connection for the whole run: window ids are never handed out twice, so no test meets
    // a window manager still busy with an earlier test's window of the same id.
    void SetUp() override {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under tests/e2e/xsession.py";
        static int number = 0;
        static xcb_connection_t* shared = xcb_connect(nullptr, &number);
        static xcb_ewmh_connection_t sharedEwmh{};
        static const bool atoms =
            xcb_connection_has_error(shared) == 0 &&
            xcb_ewmh_init_atoms_replies(&sharedEwmh, xcb_ewmh_init_atoms(shared, &sharedEwmh),
                                        nullptr);
        ASSERT_TRUE(atoms) << "cannot reach the X server";
        // The window API over the desktop KELTOS would choose on X11.
        static const std::unique_ptr<desktop::Desktop> ewmhDesktop = desktop::MakeEwmhDesktop();
        winapi::UseDesktop(ewmhDesktop.get());
        windows = ewmhDesktop.get();
        c = shared;
        screenNumber = number;
        ewmh = sharedEwmh;
        screen = ewmh.screens[screenNumber];
    }
    void TearDown() override {
        for (xcb_window_t win : made) xcb_destroy_window(c, win);
        Sync();
    }

    xcb_window_t Make(int x, int y, int w, int h) {
        const xcb_window_t win = xcb_generate_id(c);
        made.push_back(win);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, win, screen->root, static_cast<std::int16_t>(x),
                          static_cast<std::int16_t>(y), static_cast<std::uint16_t>(w),
                          static_cast<std::uint16_t>(h), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, 0, nullptr);
        // Ask the window manager to honour the position (as a program that places itself).
        std::uint32_t hints[18] = {};
        hints[0] = 1 | 4;  // USPosition | PPosition
        hints[1] = static_cast<std::uint32_t>(x);
        hints[2] = static_cast<std::uint32_t>(y);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, XCB_ATOM_WM_NORMAL_HINTS,
                            XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
        Sync();
        return win;
    }
    void SetProperty(xcb_window_t win, xcb_atom_t property, xcb_atom_t type, const std::string& v) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, property, type, 8,
                            static_cast<std::uint32_t>(v.size()), v.data());
        Sync();
    }
    // A round trip: the server has handled this connection's requests before the window API,
    // on a connection of its own, asks about them.
    void Sync() { std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); }
    void MapAndActivate(xcb_window_t win) {
        xcb_map_window(c, win);
        xcb_flush(c);
        ASSERT_TRUE(WaitFor([&] { return HasWmState(win); })) << "the window manager took it on";
        xcb_ewmh_request_change_active_window(&ewmh, screenNumber, win,
                                              XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, XCB_CURRENT_TIME,
                                              XCB_NONE);
        xcb_flush(c);
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == H(win); }));
        // Framed and placed: the window manager has set the frame's extents.
        ASSERT_TRUE(WaitFor([&] {
            xcb_ewmh_get_extents_reply_t extents{};
            return xcb_ewmh_get_frame_extents_reply(&ewmh, xcb_ewmh_get_frame_extents(&ewmh, win),
                                                    &extents, nullptr) != 0;
        }));
    }
    // Asks the window manager for no title bar or border, as the stopwatch's own bar does.
    void Undecorate(xcb_window_t win) {
        const std::uint32_t motif[5] = {2, 0, 0, 0, 0};  // flags: decorations; decorations: none
        const xcb_atom_t hints = Atom("_MOTIF_WM_HINTS");
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, hints, hints, 32, 5, motif);
        Sync();
    }
    bool HasWmState(xcb_window_t win) {
        xcb_get_property_reply_t* r = xcb_get_property_reply(
            c, xcb_get_property(c, 0, win, Atom("WM_STATE"), XCB_GET_PROPERTY_TYPE_ANY, 0, 2),
            nullptr);
        const bool has = r && r->type != XCB_NONE;
        std::free(r);
        return has;
    }
    bool HasState(xcb_window_t win, xcb_atom_t state) {
        xcb_ewmh_get_atoms_reply_t atoms;
        if (!xcb_ewmh_get_wm_state_reply(&ewmh, xcb_ewmh_get_wm_state(&ewmh, win), &atoms, nullptr))
            return false;
        bool found = false;
        for (std::uint32_t i = 0; i < atoms.atoms_len; ++i) found |= atoms.atoms[i] == state;
        xcb_ewmh_get_atoms_reply_wipe(&atoms);
        return found;
    }
    xcb_atom_t Atom(const char* name) {
        xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = r->atom;
        std::free(r);
        return atom;
    }
    static HWND H(xcb_window_t win) {
        return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(win));
    }
    static bool WaitFor(const std::function<bool()>& condition) {
        for (int i = 0; i < 100; ++i) {
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    static bool Readable(int fd, int ms) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, ms) == 1;
    }
    // Asks what the docking tick asks until the window manager has done with the window; then the
    // descriptor that tells of the next change.
    int Settle(xcb_window_t front) {
        int fd = -1;
        EXPECT_TRUE(WaitFor([&] {
            RECT r{};
            GetWindowRect(GetForegroundWindow(), &r);
            Title(front);
            fd = windows->NextChangeDescriptor();
            return fd >= 0 && !Readable(fd, 200);
        })) << "quiet after asking";
        return fd;
    }
    std::string Title(xcb_window_t win, int capacity = 250) {
        std::string buffer(static_cast<std::size_t>(capacity), '\x7F');
        const int n = GetWindowTextA(H(win), buffer.data(), capacity);
        EXPECT_EQ(n, static_cast<int>(std::strlen(buffer.c_str())));
        return buffer.c_str();
    }

    desktop::Desktop* windows = nullptr;  // the desktop the window API asks
    xcb_connection_t* c = nullptr;
    int screenNumber = 0;
    xcb_ewmh_connection_t ewmh{};
    xcb_screen_t* screen = nullptr;
    std::vector<xcb_window_t> made;
};

TEST_F(X11, ForegroundWindowIsTheActiveOne) {
    const xcb_window_t a = Make(50, 60, 300, 200);
    const xcb_window_t b = Make(400, 60, 300, 200);
    MapAndActivate(a);
    EXPECT_EQ(GetForegroundWindow(), H(a));
    MapAndActivate(b);
    EXPECT_EQ(GetForegroundWindow(), H(b));
}

// The docking tick may rest while what it last heard of the window in front holds: a change to
// that window or to which window is in front makes the descriptor readable and ends the quiet;
// a change elsewhere does neither.
TEST_F(X11, ChangeDescriptorReadableOnceTheWindowInFrontChanges) {
    const xcb_window_t front = Make(50, 60, 300, 200);
    const xcb_window_t behind = Make(400, 60, 300, 200);
    MapAndActivate(behind);
    MapAndActivate(front);
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"retitled", [&] { SetProperty(front, ewmh._NET_WM_NAME, ewmh.UTF8_STRING, "new"); }},
        {"moved",
         [&] {
             const std::uint32_t to[2] = {70, 90};
             xcb_configure_window(c, front, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, to);
             Sync();
         }},
        {"another in front",
         [&] {
             xcb_ewmh_request_change_active_window(&ewmh, screenNumber, behind,
                                                   XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                                   XCB_CURRENT_TIME, XCB_NONE);
             Sync();
         }},
    };
    for (const auto& [what, change] : changes) {
        const int fd = Settle(front);
        SetProperty(behind, ewmh._NET_WM_NAME, ewmh.UTF8_STRING, "elsewhere");
        EXPECT_FALSE(Readable(fd, 300)) << what << ": a window not in front";
        EXPECT_GE(windows->NextChangeDescriptor(), 0) << what;
        change();
        // The window manager may tell of something else first (another property): quiet again.
        EXPECT_TRUE(WaitFor([&] {
            return Readable(fd, 20) && windows->NextChangeDescriptor() == -1;
        })) << what;
    }
}

// The window in front taken into a new frame (as by a window manager that restarts) while it
// stays in front: the new frame is watched, so its moves are seen though nobody tells the window
// itself. Here the test frames the window itself, in unmanaged frames the window manager leaves
// alone, and says which window is in front as a window manager would.
TEST_F(X11, ChangeDescriptorFollowsTheWindowInFrontIntoANewFrame) {
    const auto frame = [&](int x) {
        const xcb_window_t f = Make(x, 60, 300, 220);
        const std::uint32_t unmanaged = 1;
        xcb_change_window_attributes(c, f, XCB_CW_OVERRIDE_REDIRECT, &unmanaged);
        xcb_map_window(c, f);
        return f;
    };
    const xcb_window_t first = frame(50);
    const xcb_window_t window = Make(0, 0, 300, 200);
    xcb_reparent_window(c, window, first, 0, 20);
    xcb_map_window(c, window);
    xcb_ewmh_set_active_window(&ewmh, screenNumber, window);
    Sync();
    int fd = Settle(window);
    const xcb_window_t second = frame(400);
    xcb_reparent_window(c, window, second, 0, 20);
    xcb_destroy_window(c, first);
    Sync();
    EXPECT_TRUE(WaitFor([&] { return Readable(fd, 20); })) << "reframed";
    fd = Settle(window);
    const std::uint32_t to[2] = {420, 90};
    xcb_configure_window(c, second, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, to);
    Sync();
    EXPECT_TRUE(WaitFor([&] { return Readable(fd, 20) && windows->NextChangeDescriptor() == -1; }))
        << "its new frame moved";
}

TEST_F(X11, TitlesComeAsUtf8FromEitherPropertyAndFitTheBuffer) {
    const xcb_window_t win = Make(10, 10, 100, 100);
    SetProperty(win, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, "caf\xE9");  // Latin-1 only
    EXPECT_EQ(Title(win), "caf\xC3\xA9");
    SetProperty(win, ewmh._NET_WM_NAME, ewmh.UTF8_STRING, "\xE7\xA7\x92 timer");
    EXPECT_EQ(Title(win), "\xE7\xA7\x92 timer");  // _NET_WM_NAME wins
    EXPECT_EQ(Title(win, 3), "");                 // two bytes cannot hold the character
    EXPECT_EQ(Title(win, 4), "\xE7\xA7\x92");
    SetProperty(win, ewmh._NET_WM_NAME, ewmh.UTF8_STRING, "ok\xFF\xFE");
    EXPECT_EQ(Title(win), "ok\xEF\xBF\xBD\xEF\xBF\xBD");
    SetProperty(win, ewmh._NET_WM_NAME, ewmh.UTF8_STRING, std::string(300000, 'W'));
    EXPECT_EQ(Title(win), std::string(249, 'W'));
    SetProperty(win, ewmh._NET_WM_NAME, ewmh.UTF8_STRING, "");
    EXPECT_EQ(Title(win), "");
}

TEST_F(X11, RectangleIncludesTheFrameTheWindowManagerDraws) {
    const xcb_window_t win = Make(120, 140, 400, 300);
    MapAndActivate(win);
    xcb_ewmh_get_extents_reply_t extents{};
    ASSERT_TRUE(WaitFor([&] {
        return xcb_ewmh_get_frame_extents_reply(&ewmh, xcb_ewmh_get_frame_extents(&ewmh, win),
                                                &extents, nullptr) &&
               extents.top > 0;
    })) << "openbox decorates the window";
    xcb_translate_coordinates_reply_t* origin = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, win, screen->root, 0, 0), nullptr);
    ASSERT_NE(origin, nullptr);
    RECT r{};
    ASSERT_TRUE(GetWindowRect(H(win), &r));
    EXPECT_EQ(r.left, origin->dst_x - static_cast<int>(extents.left));
    EXPECT_EQ(r.top, origin->dst_y - static_cast<int>(extents.top));
    EXPECT_EQ(r.right - r.left, 400 + static_cast<int>(extents.left + extents.right));
    EXPECT_EQ(r.bottom - r.top, 300 + static_cast<int>(extents.top + extents.bottom));
    std::free(origin);
}

TEST_F(X11, RectangleLeavesOutAnInvisibleShadowWithinReason) {
    struct Case {
        std::vector<std::uint32_t> margins;  // _GTK_FRAME_EXTENTS: left, right, top, bottom
        RECT expected;
    };
    const Case cases[] = {
        {{26, 26, 23, 29}, {126, 123, 474, 371}},      {{0, 0, 0, 0}, {100, 100, 500, 400}},
        {{200, 200, 0, 0}, {100, 100, 500, 400}},       // nothing would be left of it
        {{0xFFFFFFFF, 0, 0, 0}, {100, 100, 500, 400}},  // clamped, still nothing left
        {{26, 26, 23}, {100, 100, 500, 400}},           // not four margins
    };
    const xcb_window_t win = Make(100, 100, 400, 300);  // unmapped: no frame of its own
    for (const Case& k : cases) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, Atom("_GTK_FRAME_EXTENTS"),
                            XCB_ATOM_CARDINAL, 32, static_cast<std::uint32_t>(k.margins.size()),
                            k.margins.data());
        Sync();
        RECT r{};
        ASSERT_TRUE(GetWindowRect(H(win), &r));
        EXPECT_EQ(std::tie(k.expected.left, k.expected.top, k.expected.right, k.expected.bottom),
                  std::tie(r.left, r.top, r.right, r.bottom))
            << k.margins.size() << " margins, the first " << k.margins[0];
    }
}

TEST_F(X11, SetTopMostShowsActivatesAndRaisesAnUnmappedWindowInPlace) {
    const xcb_window_t win = Make(200, 220, 320, 40);
    Undecorate(win);
    RECT before{};
    ASSERT_TRUE(GetWindowRect(H(win), &before));
    SetTopMost(H(win), true);
    EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == H(win); }));
    EXPECT_TRUE(WaitFor([&] { return HasState(win, ewmh._NET_WM_STATE_ABOVE); }));
    // The window manager frames and places the window after it is shown: it settles in place.
    RECT after{};
    EXPECT_TRUE(WaitFor([&] {
        return GetWindowRect(H(win), &after) && after.left == before.left &&
               after.top == before.top && after.right == before.right &&
               after.bottom == before.bottom;
    })) << "rectangle is "
        << after.left << "," << after.top << "," << after.right << "," << after.bottom
        << " instead of " << before.left << "," << before.top << "," << before.right << ","
        << before.bottom;
}

TEST_F(X11, SetTopMostMovesAMappedWindowBetweenBandsKeepingItsRectangle) {
    const xcb_window_t win = Make(300, 320, 350, 250);
    MapAndActivate(win);
    RECT before{};
    ASSERT_TRUE(GetWindowRect(H(win), &before));
    SetTopMost(H(win), true);
    EXPECT_TRUE(WaitFor([&] { return HasState(win, ewmh._NET_WM_STATE_ABOVE); }));
    SetTopMost(H(win), false);
    EXPECT_TRUE(WaitFor([&] { return !HasState(win, ewmh._NET_WM_STATE_ABOVE); }));
    RECT after{};
    ASSERT_TRUE(WaitFor([&] {
        return GetWindowRect(H(win), &after) && after.left == before.left &&
               after.top == before.top && after.right == before.right &&
               after.bottom == before.bottom;
    })) << "rectangle moved to "
        << after.left << "," << after.top << " from " << before.left << "," << before.top;
}

TEST_F(X11, CallsOnAVanishedOrBogusWindowFailQuietly) {
    const xcb_window_t win = Make(10, 10, 50, 50);
    xcb_destroy_window(c, win);
    Sync();
    for (HWND bad : {H(win), H(0x7FFFFFF0u), reinterpret_cast<HWND>(~std::uintptr_t{0} - 5)}) {
        char buffer[250] = {'x'};
        EXPECT_EQ(GetWindowTextA(bad, buffer, 250), 0);
        EXPECT_EQ(buffer[0], '\0');
        RECT r{1, 2, 3, 4};
        EXPECT_FALSE(GetWindowRect(bad, &r));
        EXPECT_FALSE(IsIconic(bad));
        EXPECT_FALSE(SetWindowPos(bad, HWND_TOPMOST, 0, 0, 10, 10, SWP_SHOWWINDOW));
    }
    // The layer's connection is still usable afterwards.
    const xcb_window_t alive = Make(10, 10, 50, 50);
    RECT r{};
    EXPECT_TRUE(GetWindowRect(H(alive), &r));
}

}  // namespace
