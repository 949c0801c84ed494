// The window in front as a desktop's own channel reports it (a KWin script, a GNOME Shell
// extension, sway's IPC), answering the window questions about it.
//
// Reports come from another program and are checked here: a title is cut to its first five
// characters and made well-formed UTF-8, a rectangle must be finite, non-empty and within reach
// of any screen, and a report older than the one already taken is ignored. A report that fails
// the checks counts as no window in front, so the bar stays where it is. Only the latest
// window's id answers; an id of a window reported earlier answers nothing, as for a window that
// has closed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "desktop/desktop.h"

namespace desktop {

struct WindowReport {
    std::uint64_t serial = 0;  // increases with every report of one channel; 0: not counted
    std::string id;            // the desktop's own name for the window; empty: no window
    std::string title;         // UTF-8; only the first five characters are kept
    double x = 0, y = 0, width = 0, height = 0;  // the frame, in the desktop's pixels
    bool minimized = false;
};

class ReportedForeground {
  public:
    // Takes a report. Returns false when it was malformed (there is then no window in front) or
    // older than the last one taken (it is then ignored).
    bool Accept(const WindowReport& report);
    // The channel is gone: no window in front until the next report.
    void Forget();
    // The channel numbers its reports anew from 1 (a script loaded again): each of them counts
    // on from every report seen before, taken or not, so that none is taken for an old one.
    void Renumber() { serialBase_ = lastSerial_; }
    // How many of XWayland's pixels (the X11 coordinates the bar is placed in) one of the
    // desktop's logical pixels spans: frames are reported in logical pixels and answered times
    // this. 1 where the desktop gives X11 clients its logical coordinates. A factor that is not
    // a finite number from 1/4 to 16 is not believed: the one before stays.
    void SetScale(double scale);
    double Scale() const { return scale_; }

    WindowId Foreground() const { return id_; }
    std::optional<std::string> Title(WindowId window, std::size_t maxBytes) const;
    std::optional<Rect> Frame(WindowId window) const;
    bool Minimized(WindowId window) const;

    // Whether `window` is one a channel reported (never an X11 window id).
    static bool Reported(WindowId window) { return window >= kFirstId; }

  private:
    // Ids of reported windows lie above every X11 window id, so they are never mistaken for one.
    static constexpr WindowId kFirstId = 0x100000000ull;

    bool Current(WindowId window) const { return id_ != 0 && window == id_; }

    std::uint64_t lastSerial_ = 0;
    std::uint64_t serialBase_ = 0;  // added to the channel's own numbers
    std::string desktopId_;         // the desktop's own name for the window in front
    WindowId id_ = 0;               // 0: no window in front
    WindowId nextId_ = kFirstId;
    std::string title_;
    double x_ = 0, y_ = 0, width_ = 0, height_ = 0;  // the frame, in logical pixels
    double scale_ = 1;
    bool minimized_ = false;
};

}  // namespace desktop
