// The foreground window as a desktop's own channel reports it (a KWin script, a GNOME Shell
// extension, sway's IPC), answering the window API's questions about it.
//
// Reports come from another program and are checked here: a title is cut to its first five
// characters and made well-formed UTF-8, a rectangle must be finite, non-empty and within reach
// of any screen, and a report older than the one already taken is ignored. A report that fails
// the checks counts as no foreground window, so the bar stays where it is. Only the latest
// window has a handle that answers; a handle of a window reported earlier answers nothing, as
// for a window that has closed.
#pragma once

#include <cstdint>
#include <string>

#include "winapi/mdlAPI.h"

namespace winapi {

struct WindowReport {
    std::uint64_t serial = 0;  // increases with every report of one channel; 0: not counted
    std::string id;            // the desktop's own name for the window; empty: no window
    std::string title;         // UTF-8; only the first five characters are kept
    double x = 0, y = 0, width = 0, height = 0;  // the frame, in the desktop's pixels
    bool minimized = false;
};

class ReportedForeground {
  public:
    // Takes a report. Returns false when it was malformed (the foreground window is then none)
    // or older than the last one taken (it is then ignored).
    bool Accept(const WindowReport& report);
    // The channel is gone: no foreground window until the next report.
    void Forget();
    // How many of XWayland's pixels (the X11 coordinates the bar is placed in) one of the
    // desktop's logical pixels spans: frames are reported in logical pixels and answered times
    // this. 1 where the desktop gives X11 clients its logical coordinates. A factor that is not
    // a finite number from 1/4 to 16 is not believed: the one before stays.
    void SetScale(double scale);
    double Scale() const { return scale_; }

    HWND GetForegroundWindow() const;
    int GetWindowTextA(HWND hWnd, LPSTR buffer, int capacity) const;
    BOOL GetWindowRect(HWND hWnd, RECT* rect) const;
    BOOL IsIconic(HWND hWnd) const;

    // Handles of reported windows lie above every X11 window id, so they are never mistaken for
    // one.
    static constexpr std::uint64_t kFirstHandle = 0x100000000ull;

  private:
    bool Current(HWND hWnd) const;

    std::uint64_t lastSerial_ = 0;
    std::string id_;
    std::uint64_t handle_ = 0;  // 0: no foreground window
    std::uint64_t nextHandle_ = kFirstHandle;
    std::string title_;
    double x_ = 0, y_ = 0, width_ = 0, height_ = 0;  // the frame, in logical pixels
    double scale_ = 1;
    bool minimized_ = false;
};

}  // namespace winapi
