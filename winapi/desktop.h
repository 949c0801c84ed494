// The window API of mdlAPI.h on Linux, answered by one desktop provider per run.
//
// An X11 client sees other programs' windows only where the desktop lets it: any EWMH window
// manager on X11 tells it everything, while a Wayland compositor hides its native windows from
// XWayland and tells about them only through a channel of its own (a KWin script, a GNOME Shell
// extension, sway's IPC). Which provider is chosen once, from the session, when the bar's window
// is made (whether that window is to be unmanaged depends on it); the provider itself is made at
// the first call of the window API, and every call goes to it. One file per provider.
#pragma once

#include <memory>
#include <string>

#include "winapi/mdlAPI.h"

namespace winapi {

// USER32's calls as one desktop answers them; each behaves as its namesake in mdlAPI.h.
class Desktop {
  public:
    virtual ~Desktop() = default;
    virtual HWND GetForegroundWindow() = 0;
    virtual int GetWindowTextA(HWND hWnd, LPSTR buffer, int capacity) = 0;
    virtual BOOL GetWindowRect(HWND hWnd, RECT* rect) = 0;
    virtual BOOL IsIconic(HWND hWnd) = 0;
    virtual BOOL SetWindowPos(HWND hWnd, HWND insertAfter, int x, int y, int cx, int cy,
                              UINT flags) = 0;
    // Where the desktop tells of every change to the window in front (EWMH on X11): reads what
    // it has told so far and, if nothing changed what was last said of that window, returns a
    // descriptor that becomes readable when it tells of the next change. Else -1: ask again.
    virtual int QuietUntilReadable() { return -1; }
    // The program is ending (without unwinding): let go of what is held outside this process.
    virtual void End() {}
    // How many X11 pixels one of the desktop's logical pixels spans (see ReportedForeground);
    // 1 on X11.
    virtual double Scale() { return 1; }
};

enum class DesktopKind {
    Ewmh,        // X11, any EWMH window manager (or none)
    KWin,        // KDE Plasma on Wayland
    GnomeShell,  // GNOME on Wayland
    Sway,        // sway, or any compositor that serves its IPC
};

// What the session says about itself, read from the environment and the session bus.
struct SessionFacts {
    std::string sessionType;       // XDG_SESSION_TYPE
    std::string currentDesktop;    // XDG_CURRENT_DESKTOP, a colon-separated list
    std::string waylandDisplay;    // WAYLAND_DISPLAY
    std::string swaySock;          // SWAYSOCK
    bool kwinOnBus = false;        // org.kde.KWin answers on the session bus
    bool gnomeShellOnBus = false;  // org.gnome.Shell answers on the session bus
    bool swayAnswers = false;      // something listens on the socket SWAYSOCK names
};

// The provider for a session. Pure: the same facts always give the same provider. The session
// decides: a desktop's channel is chosen only in a session of that desktop, never from a
// variable left in the environment by another (a SWAYSOCK exported by a session that once ran
// sway, say).
DesktopKind ChooseDesktop(const SessionFacts& facts);

// The program is ending: the provider, if one was made, lets go of what it holds elsewhere.
void EndDesktop();

// The provider's QuietUntilReadable: a descriptor to wait on before asking again, or -1.
int ForegroundQuietUntilReadable();

// The desktop's scale for X11 clients now: X11 pixels per logical pixel (1 on X11).
double DesktopScale();

// Whether the toolkit is to make its own top-level window unmanaged (override-redirect on X11),
// so that it places itself and keeps its size: true where the desktop would do neither for a
// managed window (sway). Asked before the window is made.
bool OwnWindowUnmanaged();

// The providers. Each is made once, after the toolkit exists.
std::unique_ptr<Desktop> MakeEwmhDesktop();
std::unique_ptr<Desktop> MakeGnomeShellDesktop();  // needs QApplication and KELTOS's extension
std::unique_ptr<Desktop> MakeSwayDesktop();
// Whether something takes a connection on the socket SWAYSOCK names (never waits).
bool SwayAnswers(const std::string& socketPath);
std::unique_ptr<Desktop> MakeKWinDesktop();

}  // namespace winapi
