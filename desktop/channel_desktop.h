// The shape of a desktop whose window in front comes from a channel of its own (a KWin script, a
// GNOME Shell extension, sway's IPC) while the bar itself is an X11 window through XWayland.
// Reported windows are answered from the latest report; any other window (the bar's own) by
// EWMH, which also places the bar. A reported window is never moved.
//
// Where the channel pushes a report at every change (KWin, GNOME Shell), the docking tick rests
// while it listens: every report taken, the channel lost and the scale changed raise the change
// signal that ends the rest. A channel that is not listening (not there yet, lost) lets the tick
// ask every second, as it recovers.
#pragma once

#include <memory>

#include "desktop/change_signal.h"
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
    int NextChangeDescriptor() override { return Listening() ? changed_.Rearm() : -1; }

  protected:
    static bool Reported(WindowId window) { return ReportedForeground::Reported(window); }

    // Whether the channel now pushes a report at every change of the window in front.
    virtual bool Listening() const { return false; }
    // What the channel tells, each raising the change signal.
    bool Take(const WindowReport& report) {
        changed_.Raise();
        return reported_.Accept(report);
    }
    void Lose() {
        changed_.Raise();
        reported_.Forget();
    }
    void Rescale(double scale) {
        changed_.Raise();
        reported_.SetScale(scale);
    }

    ReportedForeground reported_;
    std::unique_ptr<X11Desktop> x11_ = MakeEwmhDesktop();

  private:
    ChangeSignal changed_;
};

}  // namespace desktop
