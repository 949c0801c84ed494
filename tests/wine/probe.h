// keltos_probe: another Windows program that finds the running KELTOS bar and checks it, as any
// program on the same desktop could (window functions, messages, the executable's resources).
//
//   keltos_probe startup | commands | docking | dpichange | timers | resources EXE
//
// Each sub-command prints one line per check, "ok: ..." or "FAIL: ...", and exits with status 0
// only when every check held (1 when one failed, 2 on a usage error).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <string_view>

namespace probe {

// Records one check and prints it; returns `held`.
bool Check(bool held, const std::string& what);
void Note(const std::string& text);
int Failures();

std::string Narrow(std::wstring_view text);
std::string Describe(const RECT& r);  // "(left,top)-(right,bottom) w x h"

// The running bar and its controls.
struct Bar {
    HWND window = nullptr;
    HWND label = nullptr;  // the STATIC
    HWND time = nullptr;   // the EDIT
    HWND start = nullptr;
    HWND stop = nullptr;
    HWND reset = nullptr;
    HWND end = nullptr;  // "X"
};

// Waits up to `seconds` for a top-level window titled `title`, then finds its controls by their
// class and text. Records a failed check and returns false when something is missing.
bool FindBar(Bar& bar, const wchar_t* title, double seconds);

// A window's text: the caption that Windows keeps (GetWindowTextW) for top-level windows, and
// for controls what they answer to WM_GETTEXT.
std::wstring Caption(HWND window);
std::wstring ControlText(HWND control);

// The elapsed seconds of a title "KELTOS - hh:mm:ss", or -1 when it does not read so.
int ElapsedSeconds(const std::wstring& title);
int TitleSeconds(HWND bar);  // of the bar's current title

// Clicks a button the way BM_CLICK does (press and release), waiting for its handler.
void Click(HWND button);

// Seconds on a monotonic clock.
double Now();
// Lets `seconds` pass while answering this program's own window messages.
void Pump(double seconds);
// Polls `condition` every 20 ms for up to `seconds`; true as soon as it holds.
template <typename Condition>
bool WaitFor(Condition condition, double seconds) {
    const double deadline = Now() + seconds;
    for (;;) {
        if (condition()) return true;
        if (Now() > deadline) return false;
        Pump(0.02);
    }
}

bool CheckCaptions(const Bar& bar, int dpi);  // every caption fits its control on one line
void CheckLayout(const Bar& bar, int dpi);    // the window and the controls at their twips

// Docking (probe_docking.cpp): an ordinary captioned window of this program, shown; and the bar
// expected on the title bar of a window brought to the front, at the DPI last given.
HWND OpenForeign(const wchar_t* title, int x, int y, int width, int height);
void DockingAtDpi(int dpi);
void ExpectFollows(const Bar& bar, HWND target, const std::string& name);

// Makes this program per-monitor DPI aware, so that it sees the bar's rectangles in pixels.
void BecomeDpiAware();
int DpiOf(HWND window);  // of the monitor the window is on

int RunStartup();
int RunCommands();
int RunDocking();
int RunDpiChange();
int RunTimers();  // needs no running bar: checks this program's own Win32 timers
// Needs no running bar: the version information, icon and manifest of the executable named by
// the command line's second argument.
int RunResources();

}  // namespace probe
