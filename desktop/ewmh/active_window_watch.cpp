// The active window, watched through the X server's events (see active_window_watch.h).
#include "desktop/ewmh/active_window_watch.h"

#include <algorithm>
#include <optional>

namespace desktop::ewmh {

namespace {

// Windows nest only a few deep (client, frame, sometimes a wrapper); a deeper chain is cut here.
constexpr std::size_t kMostNesting = 16;

}  // namespace

xcb_window_t ActiveWindowWatch::Active() {
    Connection& x = x_;
    if (!Usable(x)) return XCB_NONE;
    if (!rootWatched_) {
        const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(x.c, x.root, XCB_CW_EVENT_MASK, &mask);
        rootWatched_ = true;
    }
    ReadEvents(true);
    if (!stale_) return active_;
    stale_ = false;
    // The active window was taken into another frame (a window manager that restarted, say):
    // the windows it sits in now are watched, before the questions.
    if (reframed_ && active_) Watch(active_);
    reframed_ = false;
    // The question about the window in front travels with the questions about the one that was
    // in front last time: when it still is, one round trip answers everything.
    const xcb_get_property_cookie_t activeCookie = xcb_ewmh_get_active_window(&x.ewmh, x.screen);
    std::optional<WindowQuestions> guess;
    if (active_) guess = Ask(x, active_, kTitleBytes);
    xcb_window_t active = XCB_NONE;
    xcb_generic_error_t* error = nullptr;
    if (!xcb_ewmh_get_active_window_reply(&x.ewmh, activeCookie, &active, &error))
        active = XCB_NONE;
    std::free(error);
    if (guess && active == active_) {
        replies_ = Replies(x, *guess);
        return active_;
    }
    if (guess) DiscardReplies(x, *guess);
    Watch(active);  // before the questions, so that no change after their answers goes unseen
    active_ = active;
    replies_ = active ? Replies(x, Ask(x, active, kTitleBytes)) : WindowReplies{};
    return active_;
}

void ActiveWindowWatch::Follow(xcb_window_t win) {
    // What came before is of the window as it was before the caller was told of it.
    ReadEvents(true);
    if (!following_ || win != active_ || reframed_) Watch(win);
    following_ = true;
    reframed_ = false;
    stale_ = false;
    active_ = win;
}

const WindowReplies* ActiveWindowWatch::RepliesFor(xcb_window_t win) {
    if (!win || win != active_ || following_) return nullptr;
    ReadEvents(false);
    return stale_ ? nullptr : &replies_;
}

bool ActiveWindowWatch::Unchanged() {
    if (!rootWatched_ && !following_) return false;
    ReadEvents(true);
    return Usable(x_) && !stale_;
}

void ActiveWindowWatch::ReadEvents(bool fromSocket) {
    Connection& x = x_;
    if (!Usable(x)) return;
    // Only what has already arrived, never a wait. The socket is read once a tick, at the
    // question for the window in front; the calls about that window that follow see what came
    // in with it and with their replies.
    while (xcb_generic_event_t* raw =
               fromSocket ? xcb_poll_for_event(x.c) : xcb_poll_for_queued_event(x.c)) {
        const ReplyPtr<xcb_generic_event_t> event(raw);
        if (!BearsOnAnswers(*event)) continue;
        stale_ = true;
        reframed_ = reframed_ || (event->response_type & 0x7f) == XCB_REPARENT_NOTIFY;
    }
    if (xcb_connection_has_error(x.c)) x.ok = false;
}

bool ActiveWindowWatch::InChain(xcb_window_t win) const {
    return std::find(chain_.begin(), chain_.end(), win) != chain_.end();
}

bool ActiveWindowWatch::BearsOnAnswers(const xcb_generic_event_t& event) const {
    const Connection& x = x_;
    switch (event.response_type & 0x7f) {
        case 0:  // an error, about a window that went away: whatever it was, ask again
            return true;
        case XCB_PROPERTY_NOTIFY: {
            const auto& e = reinterpret_cast<const xcb_property_notify_event_t&>(event);
            if (e.window == x.root) return e.atom == x.ewmh._NET_ACTIVE_WINDOW;
            if (chain_.empty() || e.window != chain_.front()) return false;
            const auto read = AskedProperties(x);
            return std::find(read.begin(), read.end(), e.atom) != read.end();
        }
        // Every structure event names the window whose events were asked for in the same place,
        // right after the sequence number (as DestroyNotify lays it out).
        case XCB_CONFIGURE_NOTIFY:
        case XCB_REPARENT_NOTIFY:
        case XCB_GRAVITY_NOTIFY:
        case XCB_MAP_NOTIFY:
        case XCB_UNMAP_NOTIFY:
        case XCB_DESTROY_NOTIFY:
            return InChain(reinterpret_cast<const xcb_destroy_notify_event_t&>(event).event);
        default:
            return false;
    }
}

void ActiveWindowWatch::Watch(xcb_window_t win) {
    const Connection& x = x_;
    const std::uint32_t none = 0;
    for (const xcb_window_t old : chain_)
        xcb_change_window_attributes(x.c, old, XCB_CW_EVENT_MASK, &none);
    chain_.clear();
    // The window itself: its properties and its structure; each window it sits in: its
    // structure, for a frame that moves carries the window with it.
    const std::uint32_t front = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    const std::uint32_t frame = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    for (xcb_window_t w = win; w && w != x.root && chain_.size() < kMostNesting;) {
        xcb_change_window_attributes(x.c, w, XCB_CW_EVENT_MASK, chain_.empty() ? &front : &frame);
        chain_.push_back(w);
        const ReplyPtr<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(x.c, xcb_query_tree(x.c, w), nullptr));
        if (!tree) break;
        w = tree->parent;
    }
}

}  // namespace desktop::ewmh
