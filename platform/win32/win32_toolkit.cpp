// The Win32 toolkit: window, controls and timers, the run clock from the performance counter, the
// calendar from the local time, and the message loop.
#include <vector>

#include "platform/win32/win32_platform.h"

namespace platform::win32 {

namespace {

// The run clock: the performance counter, which midnight and setting the system time never move.
// A count is exact in a double up to 2^53, decades of uptime at any counter frequency.
class Win32Clock : public Clock {
  public:
    double Reading() const override {
        LARGE_INTEGER count{};
        QueryPerformanceCounter(&count);
        return static_cast<double>(count.QuadPart) / frequency_;
    }

  private:
    static double Frequency() {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);  // never fails on Windows XP and later
        return f.QuadPart > 0 ? static_cast<double>(f.QuadPart) : 1.0;
    }
    double frequency_ = Frequency();
};

// A locale setting of the user, as UTF-8 ("" when it cannot be read).
std::string UserLocaleInfo(LCTYPE item) {
    const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, item, nullptr, 0);
    if (n <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<std::size_t>(n), L'\0');
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, item, buffer.data(), n) <= 0) return {};
    return Narrow(buffer.data());
}

class Win32Calendar : public Calendar {
  public:
    DateTime Now() const override {
        SYSTEMTIME t{};
        GetLocalTime(&t);
        return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
    }
    Separators UserSeparators() const override {
        // Read afresh, like the user's settings they stand for.
        return {SeparatorOfPattern(UserLocaleInfo(LOCALE_SSHORTDATE), "/"),
                SeparatorOfPattern(UserLocaleInfo(LOCALE_STIMEFORMAT), ":")};
    }
};

class Win32Toolkit : public Toolkit {
  public:
    std::unique_ptr<Window> MakeWindow(const WindowDesign& design) override {
        return std::make_unique<Win32Window>(design);
    }
    std::unique_ptr<CommandButton> MakeButton(Window& parent, const ControlDesign& d) override {
        return MakeWin32Button(Of(parent), d);
    }
    std::unique_ptr<TextBox> MakeTextBox(Window& parent, const ControlDesign& d) override {
        return MakeWin32TextBox(Of(parent), d);
    }
    std::unique_ptr<Label> MakeLabel(Window& parent, const ControlDesign& d) override {
        return MakeWin32Label(Of(parent), d);
    }
    std::unique_ptr<Timer> MakeTimer(Window& parent, const TimerDesign& d) override {
        auto timer = MakeWin32Timer(Of(parent));
        timer->SetInterval(d.interval);
        timer->SetEnabled(d.enabled);
        return timer;
    }
    const Clock& GetClock() const override { return clock_; }
    const Calendar& GetCalendar() const override { return calendar_; }
    int Run(Window& window) override {
        if (window.onLoad) window.onLoad();
        const HWND bar = window.Handle();
        MSG msg{};
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            // Tab and Shift+Tab between the controls, as in a dialog box.
            if (IsDialogMessageW(bar, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return static_cast<int>(msg.wParam);
    }

  private:
    static Win32Window& Of(Window& window) { return static_cast<Win32Window&>(window); }
    Win32Clock clock_;
    Win32Calendar calendar_;
};

}  // namespace

}  // namespace platform::win32

namespace platform {

std::unique_ptr<Toolkit> CreateToolkit() {
    return std::make_unique<win32::Win32Toolkit>();
}

}  // namespace platform
