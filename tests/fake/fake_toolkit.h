// A toolkit for unit tests: no screen, a run clock, a wall clock and timers that only move when
// the test advances them (the wall clock can also be set apart from the others), and controls
// whose state the test reads back. Its window lives on the fake desktop (fake_desktop.h) like any
// other window.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/fake/fake_desktop.h"

namespace fake {

// Thrown by Window::End, so a test can see that the program ended.
struct ProgramEnded : std::exception {};

class FakeToolkit;

class FakeWindow : public platform::Window {
  public:
    FakeWindow(FakeToolkit& toolkit, const platform::WindowDesign& design);
    std::string Caption() const override { return caption; }
    void SetCaption(const std::string& text) override;
    HWND Handle() const override { return hWnd; }
    void Move(float leftTwips, float topTwips) override;
    float Width() const override { return width; }
    float TwipsPerPixel() const override { return twipsPerPixel; }
    void SetTopMost(bool topmost) override { ::SetTopMost(hWnd, topmost); }
    [[noreturn]] void End() override;

    std::string caption;
    HWND hWnd;
    float left = 0, top = 0, width = 0, height = 0;
    float twipsPerPixel = 15;
    int moves = 0;
    // A second monitor from this pixel column rightwards, of another resolution: once the window
    // is on it, twips per pixel are that monitor's, as Windows changes a window's DPI when it
    // crosses onto a monitor of another.
    int otherMonitorLeft = 1 << 30;
    float otherMonitorTwipsPerPixel = 10;

  private:
    FakeToolkit& toolkit_;
};

class FakeButton : public platform::CommandButton {
  public:
    FakeButton(FakeToolkit& toolkit, std::string name) : name(std::move(name)), toolkit_(toolkit) {}
    void SetEnabled(bool on) override;
    void SetFocus() override;
    void Click();  // as a user would: nothing happens while the button is disabled

    std::string name;
    bool enabled = true;

  private:
    FakeToolkit& toolkit_;
};

class FakeTextBox : public platform::TextBox {
  public:
    FakeTextBox(FakeToolkit& toolkit, std::string name)
        : name(std::move(name)), toolkit_(toolkit) {}
    std::string Text() const override { return text; }
    void SetText(const std::string& text) override;
    void Type(const std::string& text) { this->text = text; }  // the user edits the box

    std::string name;
    std::string text;

  private:
    FakeToolkit& toolkit_;
};

class FakeLabel : public platform::Label {
  public:
    FakeLabel(FakeToolkit& toolkit, std::string name) : name(std::move(name)), toolkit_(toolkit) {}
    std::string Caption() const override { return caption; }
    void SetCaption(const std::string& text) override;

    std::string name;
    std::string caption;

  private:
    FakeToolkit& toolkit_;
};

class FakeTimer : public platform::Timer {
  public:
    FakeTimer(FakeToolkit& toolkit, std::string name) : name(std::move(name)), toolkit_(toolkit) {}
    void SetInterval(int milliseconds) override;
    void SetEnabled(bool on) override;
    // The fake cannot tell when anything changes: it records the rest asked for and ticks on.
    void Rest(int milliseconds) override { rest = milliseconds; }
    bool Ticking() const { return enabled && interval > 0; }

    std::string name;
    int interval = 0;
    bool enabled = false;
    std::int64_t due = 0;  // monotonic milliseconds of the next tick
    int ticks = 0;
    int rest = 0;  // milliseconds, as last asked for

  private:
    void Restart();
    FakeToolkit& toolkit_;
};

class FakeToolkit : public platform::Toolkit, public platform::Clock, public platform::Calendar {
  public:
    // The wall clock starts at `start` (local time).
    explicit FakeToolkit(platform::DateTime start = {2026, 8, 30, 6, 26, 0});

    std::unique_ptr<platform::Window> MakeWindow(const platform::WindowDesign& design) override;
    std::unique_ptr<platform::CommandButton> MakeButton(platform::Window&,
                                                        const platform::ControlDesign& d) override;
    std::unique_ptr<platform::TextBox> MakeTextBox(platform::Window&,
                                                   const platform::ControlDesign& d) override;
    std::unique_ptr<platform::Label> MakeLabel(platform::Window&,
                                               const platform::ControlDesign& d) override;
    std::unique_ptr<platform::Timer> MakeTimer(platform::Window&,
                                               const platform::TimerDesign& d) override;
    const platform::Clock& GetClock() const override { return *this; }
    const platform::Calendar& GetCalendar() const override { return *this; }
    int Run(platform::Window& window) override;  // raises the load event and returns

    double Reading() const override;
    platform::DateTime Now() const override;
    platform::Separators UserSeparators() const override { return separators; }

    // Lets `milliseconds` pass, firing every timer that falls due, in time order.
    void Advance(std::int64_t milliseconds);
    // Sets the system time: the wall clock jumps, the run clock and the timers keep their pace.
    void SetWallClock(const platform::DateTime& when);
    // Moves the local wall clock by `milliseconds` (either way), as setting the system time, a
    // daylight-saving change or another time zone does; the run clock and timers keep their pace.
    void ShiftWallClock(std::int64_t milliseconds) { wallOffsetMs_ += milliseconds; }
    std::int64_t MonotonicMs() const { return monotonicMs_; }

    // The run clock reads the milliseconds advanced plus this, in seconds: as after 49.7 days of
    // uptime, where a reading held in single precision would be off by up to a quarter second.
    // For the next 47 days of advancing, readings keep one exponent (2^22 to 2^23 s), so two
    // readings a whole number of seconds apart differ by exactly that number.
    static constexpr std::int64_t kUptimeMs = 1LL << 32;

    platform::Separators separators;
    std::string focus;  // name of the focused control
    std::vector<FakeTimer*> timers;
    std::map<std::string, FakeButton*> buttons;
    FakeWindow* window = nullptr;
    FakeTextBox* textBox = nullptr;
    FakeLabel* label = nullptr;

    void Record(const std::string& what) { Desktop::Get().Log().push_back(what); }

  private:
    std::int64_t monotonicMs_ = 0;
    std::int64_t wallOffsetMs_ = 0;  // wall clock = monotonic + offset, in ms since 1970 local
};

}  // namespace fake
