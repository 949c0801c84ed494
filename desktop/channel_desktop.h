// The shape of a desktop whose window in front comes from a channel of its own (a KWin script, a
// GNOME Shell extension, sway's IPC) while the bar itself is an X11 window through XWayland.
// Reported windows are answered from the latest report; any other window (the bar's own) by
// EWMH, which also places the bar. A reported window is never moved.
#pragma once

#include <memory>

#include "desktop/desktop.h"
#include "desktop/ewmh/ewmh_desktop.h"
#include "desktop/reported_foreground.h"

namespace desktop {

class ChannelDesktop : public Desktop {
  public:
    WindowId Foreground() override { return reported_.Foreground(); }
    std::optional<std::string> Title(WindowId window, std::size_t maxBytes) override {
        return Reported(window) ? reported_.Title(window, maxBytes) : x11_->Title(window, maxBytes);
    }
    std::optional<Rect> Frame(WindowId window) override {
        return Reported(window) ? reported_.Frame(window) : x11_->Frame(window);
    }
    bool Minimized(WindowId window) override {
        return Reported(window) ? reported_.Minimized(window) : x11_->Minimized(window);
    }
    bool Place(WindowId window, const Placement& placement) override {
        return !Reported(window) && x11_->Place(window, placement);
    }
    void KeepOnEveryWorkspace(WindowId ownWindow) override {
        x11_->KeepOnEveryWorkspace(ownWindow);
    }
    double Scale() override { return reported_.Scale(); }

  protected:
    static bool Reported(WindowId window) { return ReportedForeground::Reported(window); }

    ReportedForeground reported_;
    std::unique_ptr<Desktop> x11_ = MakeEwmhDesktop();
};

}  // namespace desktop
