// The EWMH provider's X connection and its questions about a window.
#include "desktop/ewmh/ewmh_x.h"

#include <algorithm>
#include <cstring>

#include "desktop/utf8.h"

namespace desktop::ewmh {

namespace {

xcb_atom_t InternAtom(xcb_connection_t* c, const char* name) {
    ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : XCB_NONE;
}

// Frame extents and shadow margins are clamped, so a program's odd values cannot throw a
// rectangle across the screen.
std::int32_t Extent(std::uint32_t v) {
    return static_cast<std::int32_t>(std::min(v, 4096u));
}

template <typename Reply>
ReplyPtr<Reply> Checked(Reply* reply, xcb_generic_error_t* error) {
    std::free(error);
    return ReplyPtr<Reply>(reply);
}

}  // namespace

Connection Connect() {
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
}

void Disconnect(Connection& x) {
    if (!x.c) return;
    if (x.ok) xcb_ewmh_connection_wipe(&x.ewmh);
    xcb_disconnect(x.c);
    x = Connection{};
}

bool Usable(Connection& x) {
    if (x.ok && xcb_connection_has_error(x.c)) x.ok = false;
    return x.ok;
}

xcb_window_t WindowOf(WindowId window) {
    return window <= 0xFFFFFFFFu ? static_cast<xcb_window_t>(window) : 0;
}

Property::Property(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
    xcb_generic_error_t* error = nullptr;
    reply = Checked(xcb_get_property_reply(c, cookie, &error), error);
    if (reply && reply->type == XCB_NONE) reply.reset();
}

std::string_view Property::Bytes() const {
    if (!reply) return {};
    return {static_cast<const char*>(xcb_get_property_value(reply.get())),
            static_cast<std::size_t>(xcb_get_property_value_length(reply.get()))};
}

std::vector<std::uint32_t> Property::Words() const {
    std::vector<std::uint32_t> words;
    if (!reply || reply->format != 32) return words;
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    words.assign(data, data + xcb_get_property_value_length(reply.get()) / 4);
    return words;
}

xcb_get_property_cookie_t AskProperty(const Connection& x, xcb_window_t win, xcb_atom_t property,
                                      std::uint32_t maxBytes) {
    return xcb_get_property(x.c, 0, win, property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                            (maxBytes + 3) / 4);
}

std::array<xcb_atom_t, 6> AskedProperties(const Connection& x) {
    return {x.ewmh._NET_WM_NAME, XCB_ATOM_WM_NAME,          x.ewmh._NET_WM_STATE,
            x.wmState,           x.ewmh._NET_FRAME_EXTENTS, x.gtkFrameExtents};
}

WindowQuestions Ask(const Connection& x, xcb_window_t win, std::uint32_t titleBytes) {
    const auto [netName, wmName, netState, wmState, extents, shadow] = AskedProperties(x);
    return {AskProperty(x, win, netName, titleBytes), AskProperty(x, win, wmName, titleBytes),
            AskProperty(x, win, netState, 1024), AskProperty(x, win, wmState, 8),
            xcb_get_property(x.c, 0, win, extents, XCB_ATOM_CARDINAL, 0, 4),
            // _GTK_FRAME_EXTENTS: the invisible margins (left, right, top, bottom) a window that
            // draws its own title bar leaves around it for its shadow.
            AskProperty(x, win, shadow, 16), xcb_get_geometry(x.c, win),
            xcb_translate_coordinates(x.c, win, x.root, 0, 0)};
}

WindowReplies Replies(const Connection& x, const WindowQuestions& k) {
    WindowReplies replies;
    replies.netName = Property(x.c, k.netName);
    replies.wmName = Property(x.c, k.wmName);
    replies.netState = Property(x.c, k.netState);
    replies.wmState = Property(x.c, k.wmState);
    replies.extents = Property(x.c, k.extents);
    replies.shadow = Property(x.c, k.shadow);
    xcb_generic_error_t* error = nullptr;
    replies.geometry = Checked(xcb_get_geometry_reply(x.c, k.geometry, &error), error);
    error = nullptr;
    replies.origin = Checked(xcb_translate_coordinates_reply(x.c, k.origin, &error), error);
    return replies;
}

void DiscardReplies(const Connection& x, const WindowQuestions& k) {
    for (const unsigned int sequence :
         {k.netName.sequence, k.wmName.sequence, k.netState.sequence, k.wmState.sequence,
          k.extents.sequence, k.shadow.sequence, k.geometry.sequence, k.origin.sequence})
        xcb_discard_reply(x.c, sequence);
}

namespace {

// The title's bytes as UTF-8, not yet checked.
std::string RawTitle(const Connection& x, const WindowReplies& replies) {
    if (replies.netName.reply && replies.netName.reply->type == x.ewmh.UTF8_STRING)
        return std::string(replies.netName.Bytes());
    const Property& name = replies.wmName;
    if (!name.reply) return {};
    const std::string_view bytes = name.Bytes();
    if (name.reply->type == x.ewmh.UTF8_STRING) return std::string(bytes);
    if (name.reply->type == XCB_ATOM_STRING) return Latin1ToUtf8(bytes);
    // COMPOUND_TEXT or anything else: its ASCII part as it stands, the rest unknown.
    std::string text(bytes);
    std::replace_if(
        text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; },
        '?');
    return text;
}

}  // namespace

std::string TitleOf(const Connection& x, const WindowReplies& replies, std::size_t maxBytes) {
    return SanitizeUtf8(RawTitle(x, replies), maxBytes);
}

bool IconicOf(const Connection& x, const WindowReplies& replies) {
    const std::vector<std::uint32_t> states = replies.netState.Words();
    const std::vector<std::uint32_t> wm = replies.wmState.Words();
    constexpr std::uint32_t kIconicState = 3;
    return std::find(states.begin(), states.end(), x.ewmh._NET_WM_STATE_HIDDEN) != states.end() ||
           (!wm.empty() && wm[0] == kIconicState);
}

std::optional<Rect> RectOf(const WindowReplies& replies) {
    if (!replies.geometry || !replies.origin) return std::nullopt;
    std::vector<std::uint32_t> extents = replies.extents.Words();  // left, right, top, bottom
    if (extents.size() != 4) extents.assign(4, 0);                 // none, or not believed
    // The frame the window manager draws (title bar and borders) belongs to the rectangle, as
    // on Windows.
    const std::int32_t border = replies.geometry->border_width;
    const xcb_translate_coordinates_reply_t& origin = *replies.origin;
    Rect rect{origin.dst_x - border - Extent(extents[0]),
              origin.dst_y - border - Extent(extents[2]),
              origin.dst_x + replies.geometry->width + border + Extent(extents[1]),
              origin.dst_y + replies.geometry->height + border + Extent(extents[3])};
    // A window's invisible shadow does not: the rectangle is what the user sees. Margins that
    // would leave nothing of the window are not believed.
    const std::vector<std::uint32_t> shadow = replies.shadow.Words();
    if (shadow.size() == 4) {
        const Rect visible{rect.left + Extent(shadow[0]), rect.top + Extent(shadow[2]),
                           rect.right - Extent(shadow[1]), rect.bottom - Extent(shadow[3])};
        if (visible.left < visible.right && visible.top < visible.bottom) rect = visible;
    }
    return rect;
}

}  // namespace desktop::ewmh
