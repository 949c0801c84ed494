// The operating-system calls the stopwatch window makes, with Windows' own names and arguments,
// and SetTopMost, which moves a window into or out of the topmost band.
//
// On Windows these are USER32's own. On Linux the same declarations are answered by the desktop
// of the session (linux_user32.h over desktop/), and in the unit tests by their fake desktop.
// Handles there are carried in the same opaque handle type: the desktop's window ids (X window
// ids, or the numbers above them of windows a Wayland desktop reports); the fake's own numbers in
// the unit tests.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <cstdint>

struct HWND__;
typedef HWND__* HWND;  // 0 stands for no window
typedef int BOOL;
typedef unsigned int UINT;
typedef char* LPSTR;

struct RECT {  // screen pixels; right and bottom exclusive
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

#define HWND_TOPMOST (reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1)))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(static_cast<std::intptr_t>(-2)))
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_SHOWWINDOW = 0x0040;

HWND GetForegroundWindow();
// Copies at most capacity - 1 bytes of the window's title (never half a character) and a NUL;
// returns the number of bytes copied, 0 on failure.
int GetWindowTextA(HWND hWnd, LPSTR buffer, int capacity);
BOOL GetWindowRect(HWND hWnd, RECT* rect);
BOOL SetWindowPos(HWND hWnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL IsIconic(HWND hWnd);
#endif

// Puts hWnd into the topmost band (or, with topmost false, back into the ordinary band) at its
// current rectangle, shows it and activates it.
void SetTopMost(HWND hWnd, bool topmost);
// Moves hWnd into the topmost band (or out of it) at its current rectangle, with `flags` for
// SetWindowPos: SetTopMost is ChangeBand with SWP_SHOWWINDOW; with 0, the band and the rectangle
// alone, for a toolkit that shows and activates its own window itself.
BOOL ChangeBand(HWND hWnd, bool topmost, UINT flags);
