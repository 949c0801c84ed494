// The shape of a desktop whose foreground window comes from a channel of its own (a KWin script,
// a GNOME Shell extension, sway's IPC) while the bar itself is an X11 window through XWayland.
// Handles of reported windows are answered from the latest report; any other handle (the bar's
// own) by EWMH, which also places the bar. A reported window is never moved.
#pragma once

#include <cstdint>
#include <memory>

#include "winapi/desktop.h"
#include "winapi/reported_window.h"

namespace winapi {

class ReportingDesktop : public Desktop {
  public:
    HWND GetForegroundWindow() override { return reported_.GetForegroundWindow(); }
    int GetWindowTextA(HWND hWnd, LPSTR buffer, int capacity) override {
        return Reported(hWnd) ? reported_.GetWindowTextA(hWnd, buffer, capacity)
                              : x11_->GetWindowTextA(hWnd, buffer, capacity);
    }
    BOOL GetWindowRect(HWND hWnd, RECT* rect) override {
        return Reported(hWnd) ? reported_.GetWindowRect(hWnd, rect)
                              : x11_->GetWindowRect(hWnd, rect);
    }
    BOOL IsIconic(HWND hWnd) override {
        return Reported(hWnd) ? reported_.IsIconic(hWnd) : x11_->IsIconic(hWnd);
    }
    BOOL SetWindowPos(HWND hWnd, HWND insertAfter, int x, int y, int cx, int cy,
                      UINT flags) override {
        return Reported(hWnd) ? 0 : x11_->SetWindowPos(hWnd, insertAfter, x, y, cx, cy, flags);
    }
    double Scale() override { return reported_.Scale(); }

  protected:
    static bool Reported(HWND hWnd) {
        return reinterpret_cast<std::uintptr_t>(hWnd) >= ReportedForeground::kFirstHandle;
    }

    ReportedForeground reported_;
    std::unique_ptr<Desktop> x11_ = MakeEwmhDesktop();
};

}  // namespace winapi
