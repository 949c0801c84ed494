// The window API on X11, over EWMH with xcb and xcb-ewmh.
//
// Supports: any EWMH window manager (the active window, frame extents, the ABOVE state), windows
// that draw their own title bar and announce their invisible shadow (_GTK_FRAME_EXTENTS), and
// no window manager at all (there is then no foreground window). Titles come from _NET_WM_NAME,
// else WM_NAME (STRING as Latin-1, UTF8_STRING as it stands, COMPOUND_TEXT by its ASCII part),
// always as well-formed UTF-8, the system code page here.
// Does not support: native Wayland windows (under XWayland only X11 windows are seen).
//
// It keeps a connection of its own, so an error about another program's window (one that closed
// between two calls, a bad handle) is just a failed call here: every request that can fail is
// checked, and the call returns 0 / FALSE as USER32 would.
//
// A docking tick asks for the foreground window, then for its title, state and rectangle. So that
// this costs one round trip rather than four, GetForegroundWindow sends the questions about the
// window that was in front last time together with its own; when the answer names that window
// again, the next calls take the replies that have already come back. Replies older than a few
// milliseconds are not used: they are thrown away and the question asked again.
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/utf8.h"
#include "winapi/desktop.h"

namespace {

// Questions about one window, sent ahead of the calls that need their answers.
struct Prefetch {
    xcb_window_t win = XCB_NONE;
    std::chrono::steady_clock::time_point sent;
    std::optional<xcb_get_property_cookie_t> netName, wmName, netState, wmState, extents, shadow;
    std::optional<xcb_get_geometry_cookie_t> geometry;
    std::optional<xcb_translate_coordinates_cookie_t> origin;
};

// Title bytes asked for ahead of GetWindowTextA (the docking tick passes a buffer of 250).
constexpr std::uint32_t kPrefetchTitleBytes = 256;
constexpr auto kPrefetchFresh = std::chrono::milliseconds(20);

struct Connection {
    xcb_connection_t* c = nullptr;
    xcb_ewmh_connection_t ewmh{};
    int screen = 0;
    xcb_window_t root = 0;
    xcb_atom_t wmState = XCB_NONE;
    xcb_atom_t compoundText = XCB_NONE;
    xcb_atom_t gtkFrameExtents = XCB_NONE;
    bool ok = false;
    xcb_window_t lastActive = XCB_NONE;
    Prefetch prefetch;
};

xcb_atom_t InternAtom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
    std::free(reply);
    return atom;
}

Connection& X() {
    static Connection x = [] {
        Connection made;
        made.c = xcb_connect(nullptr, &made.screen);
        if (xcb_connection_has_error(made.c)) return made;
        xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(made.c, &made.ewmh);
        if (!xcb_ewmh_init_atoms_replies(&made.ewmh, cookies, nullptr)) return made;
        made.root = made.ewmh.screens[made.screen]->root;
        made.wmState = InternAtom(made.c, "WM_STATE");
        made.compoundText = InternAtom(made.c, "COMPOUND_TEXT");
        made.gtkFrameExtents = InternAtom(made.c, "_GTK_FRAME_EXTENTS");
        made.ok = true;
        return made;
    }();
    // Errors of requests nobody waits for land in the event queue: drop them so they never pile up.
    // Only what has already been read with a reply is looked at: asking the socket for more on
    // every call would cost a system call each time, and whatever is left there comes in with
    // the next reply.
    if (x.ok) {
        while (xcb_generic_event_t* event = xcb_poll_for_queued_event(x.c)) std::free(event);
        if (xcb_connection_has_error(x.c)) x.ok = false;
    }
    return x;
}

// A handle as an X window id; 0 when it cannot be one.
xcb_window_t WindowOf(HWND hWnd) {
    const auto value = reinterpret_cast<std::uintptr_t>(hWnd);
    return value <= 0xFFFFFFFFu ? static_cast<xcb_window_t>(value) : 0;
}

// The reply of a property request, freed with the object; null when the window is gone or the
// property is missing.
struct Property {
    Property(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
        xcb_generic_error_t* error = nullptr;
        reply = xcb_get_property_reply(c, cookie, &error);
        std::free(error);
        if (reply && reply->type == XCB_NONE) {
            std::free(reply);
            reply = nullptr;
        }
    }
    ~Property() { std::free(reply); }
    Property(const Property&) = delete;
    Property& operator=(const Property&) = delete;
    std::string_view Bytes() const {
        if (!reply) return {};
        return {static_cast<const char*>(xcb_get_property_value(reply)),
                static_cast<std::size_t>(xcb_get_property_value_length(reply))};
    }
    std::vector<std::uint32_t> Words() const {
        std::vector<std::uint32_t> words;
        if (!reply || reply->format != 32) return words;
        const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        words.assign(data, data + xcb_get_property_value_length(reply) / 4);
        return words;
    }
    xcb_get_property_reply_t* reply = nullptr;
};

xcb_get_property_cookie_t AskProperty(const Connection& x, xcb_window_t win, xcb_atom_t property,
                                      std::uint32_t maxBytes) {
    return xcb_get_property(x.c, 0, win, property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                            (maxBytes + 3) / 4);
}

// _GTK_FRAME_EXTENTS: the invisible margins (left, right, top, bottom) a window that draws its own
// title bar leaves around it for its shadow.
xcb_get_property_cookie_t AskShadow(const Connection& x, xcb_window_t win) {
    return AskProperty(x, win, x.gtkFrameExtents, 16);
}

// Frame extents and shadow margins are clamped, so a program's odd values cannot throw a
// rectangle across the screen.
std::int32_t Extent(std::uint32_t v) {
    return static_cast<std::int32_t>(std::min(v, 4096u));
}

template <typename Cookie>
void Discard(xcb_connection_t* c, std::optional<Cookie>& cookie) {
    if (cookie) xcb_discard_reply(c, cookie->sequence);
    cookie.reset();
}

void DiscardPrefetch(Connection& x) {
    Prefetch& p = x.prefetch;
    Discard(x.c, p.netName);
    Discard(x.c, p.wmName);
    Discard(x.c, p.netState);
    Discard(x.c, p.wmState);
    Discard(x.c, p.extents);
    Discard(x.c, p.shadow);
    Discard(x.c, p.geometry);
    Discard(x.c, p.origin);
    p.win = XCB_NONE;
}

void SendPrefetch(Connection& x, xcb_window_t win) {
    DiscardPrefetch(x);
    Prefetch& p = x.prefetch;
    p.win = win;
    p.sent = std::chrono::steady_clock::now();
    p.netName = AskProperty(x, win, x.ewmh._NET_WM_NAME, kPrefetchTitleBytes);
    p.wmName = AskProperty(x, win, XCB_ATOM_WM_NAME, kPrefetchTitleBytes);
    p.netState = AskProperty(x, win, x.ewmh._NET_WM_STATE, 1024);
    p.wmState = AskProperty(x, win, x.wmState, 8);
    p.geometry = xcb_get_geometry(x.c, win);
    p.origin = xcb_translate_coordinates(x.c, win, x.root, 0, 0);
    p.extents = xcb_ewmh_get_frame_extents(&x.ewmh, win);
    p.shadow = AskShadow(x, win);
}

// The cookie sent ahead for `win`, if it is still fresh; otherwise the question asked now.
template <typename Cookie, typename Ask>
Cookie Take(Connection& x, std::optional<Cookie> Prefetch::*slot, xcb_window_t win, Ask ask) {
    std::optional<Cookie>& cookie = x.prefetch.*slot;
    if (cookie && x.prefetch.win == win &&
        std::chrono::steady_clock::now() - x.prefetch.sent < kPrefetchFresh) {
        const Cookie taken = *cookie;
        cookie.reset();
        return taken;
    }
    if (x.prefetch.win == win) Discard(x.c, cookie);
    return ask();
}

bool Checked(xcb_connection_t* c, xcb_void_cookie_t cookie) {
    xcb_generic_error_t* error = xcb_request_check(c, cookie);
    std::free(error);
    return error == nullptr;
}

// WM_NAME in whatever encoding its type says, as UTF-8.
std::string LegacyTitle(const Connection& x, const Property& name) {
    if (!name.reply) return {};
    const std::string_view bytes = name.Bytes();
    if (name.reply->type == x.ewmh.UTF8_STRING) return std::string(bytes);
    if (name.reply->type == XCB_ATOM_STRING) return platform::Latin1ToUtf8(bytes);
    // COMPOUND_TEXT or anything else: its ASCII part as it stands, the rest unknown.
    std::string text(bytes);
    std::replace_if(
        text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; },
        '?');
    return text;
}

class EwmhDesktop : public winapi::Desktop {
  public:
    HWND GetForegroundWindow() override;
    int GetWindowTextA(HWND hWnd, LPSTR buffer, int capacity) override;
    BOOL GetWindowRect(HWND hWnd, RECT* rect) override;
    BOOL IsIconic(HWND hWnd) override;
    BOOL SetWindowPos(HWND hWnd, HWND insertAfter, int x, int y, int cx, int cy,
                      UINT flags) override;
};

}  // namespace

std::unique_ptr<winapi::Desktop> winapi::MakeEwmhDesktop() {
    return std::make_unique<EwmhDesktop>();
}

HWND EwmhDesktop::GetForegroundWindow() {
    Connection& x = X();
    if (!x.ok) return nullptr;
    xcb_window_t active = XCB_NONE;
    xcb_generic_error_t* error = nullptr;
    const xcb_get_property_cookie_t cookie = xcb_ewmh_get_active_window(&x.ewmh, x.screen);
    if (x.lastActive) SendPrefetch(x, x.lastActive);  // travels with the question above
    if (!xcb_ewmh_get_active_window_reply(&x.ewmh, cookie, &active, &error)) active = XCB_NONE;
    std::free(error);
    if (active != x.lastActive) {
        DiscardPrefetch(x);
        if (active) SendPrefetch(x, active);
        x.lastActive = active;
    }
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(active));
}

int EwmhDesktop::GetWindowTextA(HWND hWnd, LPSTR buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    buffer[0] = '\0';
    Connection& x = X();
    const xcb_window_t win = WindowOf(hWnd);
    if (!x.ok || !win) return 0;
    // Never more than the buffer can take: a huge title costs no more than a short one. Every
    // byte read yields at least one byte of text, so `capacity` bytes are enough.
    const auto limit = static_cast<std::uint32_t>(capacity);
    // What was asked for ahead has room for at least as many bytes; the text is cut below.
    const bool ahead = limit <= kPrefetchTitleBytes;
    const auto askNet = [&] { return AskProperty(x, win, x.ewmh._NET_WM_NAME, limit); };
    const auto askWm = [&] { return AskProperty(x, win, XCB_ATOM_WM_NAME, limit); };
    xcb_get_property_cookie_t netName = ahead ? Take(x, &Prefetch::netName, win, askNet) : askNet();
    xcb_get_property_cookie_t wmName = ahead ? Take(x, &Prefetch::wmName, win, askWm) : askWm();
    const Property utf8(x.c, netName);
    const Property legacy(x.c, wmName);
    const std::string raw = utf8.reply && utf8.reply->type == x.ewmh.UTF8_STRING
                                ? std::string(utf8.Bytes())
                                : LegacyTitle(x, legacy);
    const std::string text = platform::SanitizeUtf8(raw, limit - 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<int>(text.size());
}

BOOL EwmhDesktop::GetWindowRect(HWND hWnd, RECT* rect) {
    Connection& x = X();
    const xcb_window_t win = WindowOf(hWnd);
    if (!x.ok || !win || !rect) return 0;
    // All three requests go out before the first reply is awaited: one round trip.
    xcb_get_geometry_cookie_t geometryCookie =
        Take(x, &Prefetch::geometry, win, [&] { return xcb_get_geometry(x.c, win); });
    xcb_translate_coordinates_cookie_t originCookie = Take(x, &Prefetch::origin, win, [&] {
        return xcb_translate_coordinates(x.c, win, x.root, 0, 0);
    });
    xcb_get_property_cookie_t extentsCookie =
        Take(x, &Prefetch::extents, win, [&] { return xcb_ewmh_get_frame_extents(&x.ewmh, win); });
    xcb_get_property_cookie_t shadowCookie =
        Take(x, &Prefetch::shadow, win, [&] { return AskShadow(x, win); });

    xcb_generic_error_t* error = nullptr;
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(x.c, geometryCookie, &error);
    std::free(error);
    error = nullptr;
    xcb_translate_coordinates_reply_t* origin =
        xcb_translate_coordinates_reply(x.c, originCookie, &error);
    std::free(error);
    error = nullptr;
    xcb_ewmh_get_extents_reply_t extents{};
    if (!xcb_ewmh_get_frame_extents_reply(&x.ewmh, extentsCookie, &extents, &error)) extents = {};
    std::free(error);
    const std::vector<std::uint32_t> shadow = Property(x.c, shadowCookie).Words();

    const bool ok = geometry && origin;
    if (ok) {
        // The frame the window manager draws (title bar and borders) belongs to the rectangle,
        // as on Windows.
        const std::int32_t border = geometry->border_width;
        rect->left = origin->dst_x - border - Extent(extents.left);
        rect->top = origin->dst_y - border - Extent(extents.top);
        rect->right = origin->dst_x + geometry->width + border + Extent(extents.right);
        rect->bottom = origin->dst_y + geometry->height + border + Extent(extents.bottom);
        // A window's invisible shadow does not: the rectangle is what the user sees. Margins
        // that would leave nothing of the window are not believed.
        if (shadow.size() == 4) {
            const RECT visible{rect->left + Extent(shadow[0]), rect->top + Extent(shadow[2]),
                               rect->right - Extent(shadow[1]), rect->bottom - Extent(shadow[3])};
            if (visible.left < visible.right && visible.top < visible.bottom) *rect = visible;
        }
    }
    std::free(geometry);
    std::free(origin);
    return ok;
}

BOOL EwmhDesktop::IsIconic(HWND hWnd) {
    Connection& x = X();
    const xcb_window_t win = WindowOf(hWnd);
    if (!x.ok || !win) return 0;
    xcb_get_property_cookie_t netStateCookie = Take(x, &Prefetch::netState, win, [&] {
        return AskProperty(x, win, x.ewmh._NET_WM_STATE, 1024);
    });
    xcb_get_property_cookie_t wmStateCookie =
        Take(x, &Prefetch::wmState, win, [&] { return AskProperty(x, win, x.wmState, 8); });
    const Property netState(x.c, netStateCookie);
    const Property wmState(x.c, wmStateCookie);
    const std::vector<std::uint32_t> states = netState.Words();
    const std::vector<std::uint32_t> wm = wmState.Words();
    constexpr std::uint32_t kIconicState = 3;
    return std::find(states.begin(), states.end(), x.ewmh._NET_WM_STATE_HIDDEN) != states.end() ||
           (!wm.empty() && wm[0] == kIconicState);
}

BOOL EwmhDesktop::SetWindowPos(HWND hWnd, HWND insertAfter, int x_, int y, int cx, int cy,
                               UINT flags) {
    Connection& x = X();
    const xcb_window_t win = WindowOf(hWnd);
    if (!x.ok || !win) return 0;
    if (x.prefetch.win == win) DiscardPrefetch(x);  // the answers would be out of date

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
        if (const auto* showAndActivate = winapi::AdoptedWindow(hWnd)) {
            (*showAndActivate)();  // every request above has reached the server by now
        } else {
            ok &= Checked(x.c, xcb_map_window_checked(x.c, win));
            if (ok && !(flags & SWP_NOACTIVATE))
                xcb_ewmh_request_change_active_window(&x.ewmh, x.screen, win,
                                                      XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                                      XCB_CURRENT_TIME, XCB_NONE);
        }
    }
    xcb_flush(x.c);
    return ok;
}
