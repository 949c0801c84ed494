// The desktop on X11, over EWMH with xcb and xcb-ewmh.
//
// Supports: any EWMH window manager (the active window, frame extents, the ABOVE state), windows
// that draw their own title bar and announce their invisible shadow (_GTK_FRAME_EXTENTS), and
// no window manager at all (there is then no window in front). Titles come from _NET_WM_NAME,
// else WM_NAME (STRING as Latin-1, UTF8_STRING as it stands, COMPOUND_TEXT by its ASCII part),
// always as well-formed UTF-8.
// Does not support: native Wayland windows (under XWayland only X11 windows are seen).
//
// What the docking tick asks about the window in front is kept until the X server says it may
// have changed (active_window_watch.h), and the docking tick may rest until the X server says
// so; any other window is asked about when the question comes. A question about a window that
// has gone, or about no window, answers nothing.
#include "desktop/ewmh/ewmh_desktop.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desktop/ewmh/active_window_watch.h"
#include "desktop/ewmh/ewmh_x.h"

namespace desktop {

namespace {

using namespace ewmh;

bool Checked(xcb_connection_t* c, xcb_void_cookie_t cookie) {
    xcb_generic_error_t* error = xcb_request_check(c, cookie);
    std::free(error);
    return error == nullptr;
}

// Sets or clears one _NET_WM_STATE of `win`: a window the window manager has taken on (it
// carries WM_STATE) asks it; one not mapped yet has the state written as a plain property, which
// the window manager reads at map time. `netState` is the property as it stands.
bool SetState(Connection& x, xcb_window_t win, bool managed, const Property& netState,
              xcb_atom_t state, bool on) {
    if (managed) {
        xcb_ewmh_request_change_wm_state(&x.ewmh, x.screen, win,
                                         on ? XCB_EWMH_WM_STATE_ADD : XCB_EWMH_WM_STATE_REMOVE,
                                         state, XCB_NONE, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
        return true;
    }
    std::vector<std::uint32_t> states = netState.Words();
    states.erase(std::remove(states.begin(), states.end(), state), states.end());
    if (on) states.push_back(state);
    return Checked(x.c, xcb_change_property_checked(
                            x.c, XCB_PROP_MODE_REPLACE, win, x.ewmh._NET_WM_STATE, XCB_ATOM_ATOM,
                            32, static_cast<std::uint32_t>(states.size()), states.data()));
}

class EwmhDesktop : public X11Desktop {
  public:
    ~EwmhDesktop() override { Disconnect(x_); }

    WindowId Foreground() override {
        X();
        return watch_.Active();
    }
    std::optional<std::string> Title(WindowId window, std::size_t maxBytes) override;
    std::optional<Rect> Frame(WindowId window) override;
    bool Minimized(WindowId window) override;
    bool Place(WindowId window, const Placement& placement) override;
    void KeepOnEveryWorkspace(WindowId ownWindow) override;
    void ShowAnew(WindowId ownWindow) override;
    void Follow(WindowId window) override {
        if (X().ok) watch_.Follow(WindowOf(window));
    }
    int NextChangeDescriptor() override {
        return watch_.Unchanged() ? xcb_get_file_descriptor(x_.c) : -1;
    }

  private:
    // The X connection, made at the first question.
    Connection& X() {
        if (!x_.c) x_ = Connect();
        Usable(x_);
        return x_;
    }
    // What is known of `win`: kept if it is the active window, else asked now into `asked`.
    const WindowReplies& RepliesFor(xcb_window_t win, std::uint32_t titleBytes,
                                    WindowReplies& asked) {
        if (titleBytes <= kTitleBytes)
            if (const WindowReplies* kept = watch_.RepliesFor(win)) return *kept;
        asked = Replies(X(), Ask(X(), win, std::max(titleBytes, kTitleBytes)));
        return asked;
    }

    Connection x_;
    ActiveWindowWatch watch_{x_};
};

}  // namespace

std::unique_ptr<X11Desktop> MakeEwmhDesktop() {
    return std::make_unique<EwmhDesktop>();
}

std::optional<std::string> EwmhDesktop::Title(WindowId window, std::size_t maxBytes) {
    const xcb_window_t win = WindowOf(window);
    if (!X().ok || !win) return std::nullopt;
    // Never more than asked for: a huge title costs no more than a short one. Every byte read
    // yields at least one byte of text, so `maxBytes` bytes are enough.
    const auto limit = static_cast<std::uint32_t>(std::min<std::size_t>(maxBytes, 1u << 20));
    WindowReplies asked;
    return TitleOf(X(), RepliesFor(win, limit, asked), limit);
}

std::optional<Rect> EwmhDesktop::Frame(WindowId window) {
    const xcb_window_t win = WindowOf(window);
    if (!X().ok || !win) return std::nullopt;
    WindowReplies asked;
    return RectOf(RepliesFor(win, kTitleBytes, asked));
}

bool EwmhDesktop::Minimized(WindowId window) {
    const xcb_window_t win = WindowOf(window);
    if (!X().ok || !win) return false;
    WindowReplies asked;
    return IconicOf(X(), RepliesFor(win, kTitleBytes, asked));
}

bool EwmhDesktop::Place(WindowId window, const Placement& placement) {
    Connection& x = X();
    const xcb_window_t win = WindowOf(window);
    if (!x.ok || !win) return false;

    xcb_get_property_cookie_t wmStateCookie = AskProperty(x, win, x.wmState, 8);
    xcb_get_property_cookie_t netStateCookie = AskProperty(x, win, x.ewmh._NET_WM_STATE, 1024);
    xcb_get_property_cookie_t extentsCookie = xcb_ewmh_get_frame_extents(&x.ewmh, win);
    const Property wmState(x.c, wmStateCookie);
    const Property netState(x.c, netStateCookie);
    xcb_ewmh_get_extents_reply_t extents{};
    xcb_generic_error_t* error = nullptr;
    if (!xcb_ewmh_get_frame_extents_reply(&x.ewmh, extentsCookie, &extents, &error)) extents = {};
    std::free(error);
    // A window the window manager has taken on carries WM_STATE; only then do state changes go
    // to the window manager as requests.
    const bool managed = wmState.reply != nullptr;
    bool ok = true;

    if (placement.topmost)
        ok &= SetState(x, win, managed, netState, x.ewmh._NET_WM_STATE_ABOVE, *placement.topmost);

    std::uint16_t mask = 0;
    std::vector<std::uint32_t> values;
    if (placement.x && placement.y) {
        mask |= XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y;
        values.push_back(static_cast<std::uint32_t>(*placement.x));
        values.push_back(static_cast<std::uint32_t>(*placement.y));
    }
    if (placement.width && placement.height) {
        // The rectangle is the outer one; the frame's share of it is not the window's.
        const auto inner = [](std::int64_t outer, std::int64_t a, std::int64_t b) {
            return static_cast<std::uint32_t>(std::clamp<std::int64_t>(outer - a - b, 1, 32767));
        };
        mask |= XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT;
        values.push_back(
            inner(*placement.width, managed ? extents.left : 0, managed ? extents.right : 0));
        values.push_back(
            inner(*placement.height, managed ? extents.top : 0, managed ? extents.bottom : 0));
    }
    if (mask) ok &= Checked(x.c, xcb_configure_window_checked(x.c, win, mask, values.data()));

    if (ok && placement.show) {
        ok &= Checked(x.c, xcb_map_window_checked(x.c, win));
        if (ok && placement.activate)
            xcb_ewmh_request_change_active_window(&x.ewmh, x.screen, win,
                                                  XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                                  XCB_CURRENT_TIME, XCB_NONE);
    }
    xcb_flush(x.c);
    return ok;
}

void EwmhDesktop::ShowAnew(WindowId ownWindow) {
    Connection& x = X();
    const xcb_window_t win = WindowOf(ownWindow);
    if (!x.ok || !win) return;
    xcb_unmap_window(x.c, win);
    xcb_map_window(x.c, win);
    xcb_flush(x.c);
}

void EwmhDesktop::KeepOnEveryWorkspace(WindowId ownWindow) {
    Connection& x = X();
    const xcb_window_t win = WindowOf(ownWindow);
    if (!x.ok || !win) return;
    xcb_get_property_cookie_t wmStateCookie = AskProperty(x, win, x.wmState, 8);
    xcb_get_property_cookie_t netStateCookie = AskProperty(x, win, x.ewmh._NET_WM_STATE, 1024);
    const bool managed = Property(x.c, wmStateCookie).reply != nullptr;
    const Property netState(x.c, netStateCookie);
    // Every workspace: the desktop number 0xFFFFFFFF, and sticky for window managers that
    // go by the state.
    constexpr std::uint32_t kEveryDesktop = 0xFFFFFFFF;
    if (managed)
        xcb_ewmh_request_change_wm_desktop(&x.ewmh, x.screen, win, kEveryDesktop,
                                           XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
    else
        xcb_ewmh_set_wm_desktop(&x.ewmh, win, kEveryDesktop);
    SetState(x, win, managed, netState, x.ewmh._NET_WM_STATE_STICKY, true);
    xcb_flush(x.c);
}

}  // namespace desktop
