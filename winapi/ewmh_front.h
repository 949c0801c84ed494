// The window in front and what the docking tick asks about it, kept while nothing changes.
// Internal to the EWMH provider.
//
// The tick asks once a second for the window in front, its title, its state and its rectangle.
// Asked each time, that is a round trip whose replies the X server writes one by one, and each
// wakes the program: about ten wake-ups a second for answers that are nearly always the same.
// So the answers are kept, and the X server is asked to say when they may have changed: a
// PropertyNotify of _NET_ACTIVE_WINDOW on the root window; of the title, state or frame
// properties on the window in front; a ConfigureNotify, ReparentNotify, UnmapNotify or
// DestroyNotify of that window or of any window it sits in (its frame). Those events wait in
// the connection until the next tick reads them without blocking; only then, and only when one
// of them concerns the answers, is the X server asked again, in one round trip.
//
// Measured with `make bench` (idle, openbox, the same window in front throughout): asked every
// tick, KELTOS woke 5 to 9 times a second, one wake-up for each reply; kept, once a second, the
// tick's own, with no round trip; and with the tick resting while the answers hold
// (QuietUntilReadable in desktop.h), two or three times a minute.
#pragma once

#include <optional>
#include <vector>

#include "winapi/ewmh_x.h"

namespace winapi::ewmh {

class Front {
  public:
    // The window in front (XCB_NONE for none) and what is known of it.
    xcb_window_t Active();
    // What is known of `win` if it is the window in front and no event since said otherwise;
    // else null, and the caller asks.
    const Facts* FactsOf(xcb_window_t win);
    // Reads the events that have arrived; whether everything last answered still holds.
    bool Quiet();

  private:
    void ReadEvents(bool fromSocket);
    bool Concerns(const xcb_generic_event_t& event) const;
    bool InChain(xcb_window_t win) const;
    void Watch(xcb_window_t win);

    bool stale_ = true;
    bool rootWatched_ = false;
    xcb_window_t active_ = XCB_NONE;
    std::vector<xcb_window_t> chain_;  // the window in front, then the windows it sits in
    Facts facts_;
};

}  // namespace winapi::ewmh
