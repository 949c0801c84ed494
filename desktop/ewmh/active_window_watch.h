// The active window and what the docking tick asks about it, kept while nothing changes.
// Internal to the EWMH provider.
//
// The tick asks once a second for the window in front, its title, its state and its rectangle.
// Asked each time, that is a round trip whose replies the X server writes one by one, and each
// wakes the program. So the answers are kept, and the X server is asked to say when they may
// have changed: a PropertyNotify of _NET_ACTIVE_WINDOW on the root window; of the title, state or
// frame properties on the active window; a ConfigureNotify, ReparentNotify, UnmapNotify or
// DestroyNotify of that window or of any window it sits in (its frame; the windows it sits in are
// watched anew when one of them is reparented). Those events wait in the connection until the
// next tick reads them without blocking; only then, and only when one of them bears on the
// answers, is the X server asked again, in one round trip.
#pragma once

#include <vector>

#include "desktop/ewmh/ewmh_x.h"

namespace desktop::ewmh {

class ActiveWindowWatch {
  public:
    explicit ActiveWindowWatch(Connection& x) : x_(x) {}

    // The active window (XCB_NONE for none); what is known of it is then current.
    xcb_window_t Active();
    // Watches `win` from now on in place of the active window, as another (a desktop's channel)
    // says it is in front; what it says of it is current now. Nothing of it is kept here.
    void Follow(xcb_window_t win);
    // What is known of `win` if it is the active window and no event since said otherwise;
    // else null, and the caller asks.
    const WindowReplies* RepliesFor(xcb_window_t win);
    // Reads the events that have arrived; whether everything last answered still holds.
    bool Unchanged();

  private:
    void ReadEvents(bool fromSocket);
    bool BearsOnAnswers(const xcb_generic_event_t& event) const;
    bool InChain(xcb_window_t win) const;
    void Watch(xcb_window_t win);

    Connection& x_;
    bool stale_ = true;
    bool following_ = false;  // the window watched is the one Follow was given
    bool reframed_ = false;   // a window of the chain was reparented since it was watched
    bool rootWatched_ = false;
    xcb_window_t active_ = XCB_NONE;
    std::vector<xcb_window_t> chain_;  // the active window, then the windows it sits in
    WindowReplies replies_;
};

}  // namespace desktop::ewmh
