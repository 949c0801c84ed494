// The EWMH provider's X side: one connection of its own, and what the docking tick asks about a
// window, asked in one go. Internal to the EWMH provider.
//
// Every request that can fail is checked: an error about another program's window (one that
// closed between two calls, a bad handle) is just a failed call, never the end of the program.
#pragma once

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/desktop.h"

namespace desktop::ewmh {

struct Connection {
    xcb_connection_t* c = nullptr;
    xcb_ewmh_connection_t ewmh{};
    int screen = 0;
    xcb_window_t root = 0;
    xcb_atom_t wmState = XCB_NONE;
    xcb_atom_t compoundText = XCB_NONE;
    xcb_atom_t gtkFrameExtents = XCB_NONE;
    bool ok = false;  // false without a display, and once the connection has broken
};

// A connection to the X display of the environment; not ok when there is none.
Connection Connect();
void Disconnect(Connection& x);
// Whether the connection still works; once broken, it stays so.
bool Usable(Connection& x);

// A window as an X window id; 0 when it cannot be one.
xcb_window_t WindowOf(WindowId window);

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeReply>;

// The reply of a property request; null when the window is gone or the property is missing.
struct Property {
    Property() = default;
    Property(xcb_connection_t* c, xcb_get_property_cookie_t cookie);
    std::string_view Bytes() const;
    std::vector<std::uint32_t> Words() const;
    ReplyPtr<xcb_get_property_reply_t> reply;
};

xcb_get_property_cookie_t AskProperty(const Connection& x, xcb_window_t win, xcb_atom_t property,
                                      std::uint32_t maxBytes);

// Title bytes asked for when the caller does not say (the docking tick passes a buffer of 250).
constexpr std::uint32_t kTitleBytes = 256;

// Everything the docking tick asks about one window: its title, its state and its rectangle.
struct WindowReplies {
    Property netName, wmName, netState, wmState, extents, shadow;
    ReplyPtr<xcb_get_geometry_reply_t> geometry;
    ReplyPtr<xcb_translate_coordinates_reply_t> origin;
};

// The questions, all sent before the first answer is awaited: one round trip.
struct WindowQuestions {
    xcb_get_property_cookie_t netName, wmName, netState, wmState, extents, shadow;
    xcb_get_geometry_cookie_t geometry;
    xcb_translate_coordinates_cookie_t origin;
};
WindowQuestions Ask(const Connection& x, xcb_window_t win, std::uint32_t titleBytes);
// The properties Ask reads, so that a change of any of them is watched for.
std::array<xcb_atom_t, 6> AskedProperties(const Connection& x);
WindowReplies Replies(const Connection& x, const WindowQuestions& questions);
void DiscardReplies(const Connection& x, const WindowQuestions& questions);

// The title as well-formed UTF-8 of at most `maxBytes` bytes: _NET_WM_NAME, else WM_NAME
// (STRING as Latin-1, UTF8_STRING as it stands, COMPOUND_TEXT by its ASCII part).
std::string TitleOf(const Connection& x, const WindowReplies& replies, std::size_t maxBytes);
// Minimized: _NET_WM_STATE_HIDDEN, or WM_STATE iconic.
bool IconicOf(const Connection& x, const WindowReplies& replies);
// The rectangle the user sees: the window manager's frame in, a drawn shadow out.
std::optional<Rect> RectOf(const WindowReplies& replies);

}  // namespace desktop::ewmh
