// The windowing and clock operations the stopwatch window is written against.
//
// One toolkit object per process creates the window, its controls and its timers from their
// design-time properties and runs the message loop. Every event (load, click, tick) is delivered
// on the one user-interface thread, one at a time. Backends: platform/qt (Linux/X11) and
// platform/win32 (Windows); the unit tests drive a fake of their own (tests/fake).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/calendar.h"
#include "platform/design_types.h"
#include "winapi/mdlAPI.h"

namespace platform {

// A top-level window. Geometry is in twips, screen coordinates.
class Window {
  public:
    virtual ~Window() = default;
    virtual std::string Caption() const = 0;  // returns the text last written
    virtual void SetCaption(const std::string& text) = 0;
    virtual HWND Handle() const = 0;  // accepted by the window API of winapi/mdlAPI.h
    // Writes Left and Top together: both are turned into pixels at the resolution the window has
    // now, and it moves once, without changing its z-order band. (Two moves could carry it onto
    // a monitor of another resolution between them and convert the second at that one.)
    virtual void Move(float left, float top) = 0;
    virtual float Width() const = 0;  // outer width in twips
    // How many twips one pixel of the operating system's window rectangles spans on this display
    // (15 at 96 pixels per inch).
    virtual float TwipsPerPixel() const = 0;
    // SetTopMost of the window API for this window: into the topmost band (or, with topmost
    // false, back into the ordinary band) at its current rectangle, shown and activated. The
    // toolkit shows its own window itself, so that it knows the window is visible.
    virtual void SetTopMost(bool topmost) = 0;
    [[noreturn]] virtual void End() = 0;  // ends the program at once, exit status 0

    std::function<void()> onLoad;  // raised once, before the window is shown
};

class CommandButton {
  public:
    virtual ~CommandButton() = default;
    virtual void SetEnabled(bool enabled) = 0;  // a disabled button raises no click
    virtual void SetFocus() = 0;
    std::function<void()> onClick;
};

class TextBox {
  public:
    virtual ~TextBox() = default;
    virtual std::string Text() const = 0;  // what the box shows now, the user's typing included
    virtual void SetText(const std::string& text) = 0;
};

class Label {
  public:
    virtual ~Label() = default;
    virtual std::string Caption() const = 0;
    virtual void SetCaption(const std::string& text) = 0;
};

// Ticks every Interval() milliseconds while enabled; an interval of 0 never ticks.
class Timer {
  public:
    virtual ~Timer() = default;
    virtual void SetInterval(int milliseconds) = 0;
    virtual void SetEnabled(bool enabled) = 0;
    // Lets the ticks rest, for at most `milliseconds`, while nothing a tick of the docking kind
    // reads can change: what the window API last said of the window in front, this program's
    // window (its place, its size, its screen) and the wall clock (set, or the system resumed).
    // The first tick after the rest comes in step with the ticks before it. A backend that cannot
    // tell when those change ticks on, as does every timer asked to rest for 0 or less.
    virtual void Rest(int milliseconds) { (void)milliseconds; }
    std::function<void()> onTick;
};

// The shape of the Qt and Win32 timers: the backend only starts and stops a periodic tick; this
// decides when (enabled with an interval above 0), and writing either setting restarts the count.
class PeriodicTimer : public Timer {
  public:
    void SetInterval(int milliseconds) final {
        interval_ = milliseconds;
        Apply();
    }
    void SetEnabled(bool enabled) final {
        enabled_ = enabled;
        Apply();
    }

  protected:
    virtual void StartTicking(int milliseconds) = 0;
    virtual void StopTicking() = 0;

  private:
    void Apply() {
        if (enabled_ && interval_ > 0)
            StartTicking(interval_);
        else
            StopTicking();
    }
    int interval_ = 0;
    bool enabled_ = false;
};

// Seconds on a clock that only goes forward at the pace of real time, from an arbitrary origin
// (such as the system's start), with a fraction. Midnight, daylight saving, the time zone and the
// system time set back or forward leave it alone, so the difference of two readings is the real
// time between them. Held in double precision: after months of uptime a reading still resolves
// well below a millisecond, where single precision would lose whole seconds.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual double Reading() const = 0;
};

class Toolkit {
  public:
    virtual ~Toolkit() = default;
    // Controls are created in the order they are asked for; that order is the Tab order.
    virtual std::unique_ptr<Window> MakeWindow(const WindowDesign& design) = 0;
    virtual std::unique_ptr<CommandButton> MakeButton(Window& parent, const ControlDesign& d) = 0;
    virtual std::unique_ptr<TextBox> MakeTextBox(Window& parent, const ControlDesign& d) = 0;
    virtual std::unique_ptr<Label> MakeLabel(Window& parent, const ControlDesign& d) = 0;
    virtual std::unique_ptr<Timer> MakeTimer(Window& parent, const TimerDesign& d) = 0;
    virtual const Clock& GetClock() const = 0;
    virtual const Calendar& GetCalendar() const = 0;
    // Raises the window's load event, then runs the message loop until the program ends.
    virtual int Run(Window& window) = 0;
};

// The toolkit of the platform this program was built for (one backend is linked in). The program
// takes no command line: nothing of it reaches the toolkit.
std::unique_ptr<Toolkit> CreateToolkit();

}  // namespace platform
