// The window API on X11, over EWMH with xcb and xcb-ewmh.
//
// Supports: any EWMH window manager (the active window, frame extents, the ABOVE state), windows
// that draw their own title bar and announce their invisible shadow (_GTK_FRAME_EXTENTS), and
// no window manager at all (there is then no foreground window). Titles come from _NET_WM_NAME,
// else WM_NAME (STRING as Latin-1, UTF8_STRING as it stands, COMPOUND_TEXT by its ASCII part),
// always as well-formed UTF-8, the system code page here.
// Does not support: native Wayland windows (under XWayland only X11 windows are seen).
//
// What the docking tick asks about the window in front is kept until the X server says it may
// have changed (ewmh_front.h), and the docking tick may rest until the X server says so; any
// other window is asked about when the call comes. Every call
// that fails returns 0 / FALSE as USER32 would.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "winapi/desktop.h"
#include "winapi/ewmh_front.h"
#include "winapi/ewmh_x.h"

using namespace winapi::ewmh;

namespace {

bool Checked(xcb_connection_t* c, xcb_void_cookie_t cookie) {
    xcb_generic_error_t* error = xcb_request_check(c, cookie);
    std::free(error);
    return error == nullptr;
}

class EwmhDesktop : public winapi::Desktop {
  public:
    HWND GetForegroundWindow() override;
    int GetWindowTextA(HWND hWnd, LPSTR buffer, int capacity) override;
    BOOL GetWindowRect(HWND hWnd, RECT* rect) override;
    BOOL IsIconic(HWND hWnd) override;
    BOOL SetWindowPos(HWND hWnd, HWND insertAfter, int x, int y, int cx, int cy,
                      UINT flags) override;
    int QuietUntilReadable() override {
        return front_.Quiet() ? xcb_get_file_descriptor(X().c) : -1;
    }

  private:
    // What is known of `win`: kept if it is the window in front, else asked now into `asked`.
    const Facts& FactsOf(xcb_window_t win, std::uint32_t titleBytes, Facts& asked) {
        if (titleBytes <= kTitleBytes)
            if (const Facts* kept = front_.FactsOf(win)) return *kept;
        asked = TakeFacts(X(), AskFacts(X(), win, std::max(titleBytes, kTitleBytes)));
        return asked;
    }
    Front front_;
};

}  // namespace

std::unique_ptr<winapi::Desktop> winapi::MakeEwmhDesktop() {
    return std::make_unique<EwmhDesktop>();
}

HWND EwmhDesktop::GetForegroundWindow() {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(front_.Active()));
}

int EwmhDesktop::GetWindowTextA(HWND hWnd, LPSTR buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    buffer[0] = '\0';
    const xcb_window_t win = WindowOf(hWnd);
    if (!X().ok || !win) return 0;
    // Never more than the buffer can take: a huge title costs no more than a short one. Every
    // byte read yields at least one byte of text, so `capacity` bytes are enough.
    const auto limit = static_cast<std::uint32_t>(capacity);
    Facts asked;
    const std::string text = TitleOf(X(), FactsOf(win, limit, asked), limit - 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<int>(text.size());
}

BOOL EwmhDesktop::GetWindowRect(HWND hWnd, RECT* rect) {
    const xcb_window_t win = WindowOf(hWnd);
    if (!X().ok || !win || !rect) return 0;
    Facts asked;
    return RectOf(FactsOf(win, kTitleBytes, asked), rect);
}

BOOL EwmhDesktop::IsIconic(HWND hWnd) {
    const xcb_window_t win = WindowOf(hWnd);
    if (!X().ok || !win) return 0;
    Facts asked;
    return IconicOf(X(), FactsOf(win, kTitleBytes, asked));
}

BOOL EwmhDesktop::SetWindowPos(HWND hWnd, HWND insertAfter, int x_, int y, int cx, int cy,
                               UINT flags) {
    Connection& x = X();
    const xcb_window_t win = WindowOf(hWnd);
    if (!x.ok || !win) return 0;

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

    if (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
        const bool above = insertAfter == HWND_TOPMOST;
        if (managed) {
            xcb_ewmh_request_change_wm_state(
                &x.ewmh, x.screen, win, above ? XCB_EWMH_WM_STATE_ADD : XCB_EWMH_WM_STATE_REMOVE,
                x.ewmh._NET_WM_STATE_ABOVE, XCB_NONE, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
        } else {
            // Not mapped yet: the state is a plain property the window manager reads at map time.
            std::vector<std::uint32_t> states = netState.Words();
            states.erase(std::remove(states.begin(), states.end(), x.ewmh._NET_WM_STATE_ABOVE),
                         states.end());
            if (above) states.push_back(x.ewmh._NET_WM_STATE_ABOVE);
            ok &= Checked(
                x.c, xcb_change_property_checked(
                         x.c, XCB_PROP_MODE_REPLACE, win, x.ewmh._NET_WM_STATE, XCB_ATOM_ATOM, 32,
                         static_cast<std::uint32_t>(states.size()), states.data()));
        }
    }

    std::uint16_t mask = 0;
    std::vector<std::uint32_t> values;
    if (!(flags & SWP_NOMOVE)) {
        mask |= XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y;
        values.push_back(static_cast<std::uint32_t>(x_));
        values.push_back(static_cast<std::uint32_t>(y));
    }
    if (!(flags & SWP_NOSIZE)) {
        // The rectangle is the outer one; the frame's share of it is not the window's.
        const auto inner = [](std::int64_t outer, std::int64_t a, std::int64_t b) {
            return static_cast<std::uint32_t>(std::clamp<std::int64_t>(outer - a - b, 1, 32767));
        };
        mask |= XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT;
        values.push_back(inner(cx, managed ? extents.left : 0, managed ? extents.right : 0));
        values.push_back(inner(cy, managed ? extents.top : 0, managed ? extents.bottom : 0));
    }
    if (mask) ok &= Checked(x.c, xcb_configure_window_checked(x.c, win, mask, values.data()));

    if (ok && (flags & SWP_SHOWWINDOW)) {
        ok &= Checked(x.c, xcb_map_window_checked(x.c, win));
        if (ok && !(flags & SWP_NOACTIVATE))
            xcb_ewmh_request_change_active_window(&x.ewmh, x.screen, win,
                                                  XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                                  XCB_CURRENT_TIME, XCB_NONE);
    }
    xcb_flush(x.c);
    return ok;
}
