// The Qt 6 Widgets backend (Linux/X11). Internal to platform/qt.
//
// Supports: a frameless top-level QWidget at twip geometry (twips per pixel from the screen's
// logical DPI, 15 at 96 DPI), QPushButton / QLineEdit / QLabel controls, each caption on one
// line in the largest font size that fits its control, QTimer timers, a run clock on
// CLOCK_BOOTTIME, the local wall clock for the calendar, and the user's date and time separators
// from the system locale. The program ends when its window is closed by any means: the window
// manager's close request, another X client destroying the window, or SIGTERM, SIGINT or SIGHUP.
// On a scaled Wayland desktop the window is placed on whole logical pixels of the desktop.
// Does not support: Wayland-native windows (the program always runs on Qt's xcb backend, through
// XWayland in a Wayland session), or the Shift-JIS character set of a font (Qt has no charsets;
// the face name, size and weight are used, with a monospace fallback).
#pragma once

#include <QAbstractNativeEventFilter>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "desktop/desktop.h"
#include "platform/platform.h"

namespace platform::qt {

float TwipsPerPixel();
int ToPixels(float twips);
QRect ToPixels(const ControlDesign& d);

// The window's widget: the window ends the program when closed by any means.
class KeltosWidget : public QWidget {
  public:
    explicit KeltosWidget(Window& owner) : owner_(owner) {}

  protected:
    void closeEvent(QCloseEvent*) override { owner_.End(); }

  private:
    Window& owner_;
};

// The window asks the desktop whether it is to be unmanaged, its scale, and lets it go at the end.
class QtWindow : public Window {
  public:
    QtWindow(const WindowDesign& design, desktop::Host& desktop);
    std::string Caption() const override { return caption_; }
    void SetCaption(const std::string& text) override;
    HWND Handle() const override { return handle_; }
    void Move(float left, float top) override;
    float Width() const override;
    float TwipsPerPixel() const override { return qt::TwipsPerPixel(); }
    void SetTopMost(bool topmost) override;
    [[noreturn]] void End() override;
    QWidget* Widget() { return &widget_; }

  private:
    desktop::Host& desktop_;
    KeltosWidget widget_;
    std::string caption_;
    HWND handle_ = nullptr;
    std::unique_ptr<QAbstractNativeEventFilter> destroyWatch_;  // ends the program with the window
};

// SIGTERM, SIGINT and SIGHUP end the program through window.End() on the user-interface thread,
// unless the signal was ignored when the program started.
void EndOnSignals(Window& window, QObject* parent);

std::unique_ptr<CommandButton> MakeQtButton(QWidget* parent, const ControlDesign& d);
std::unique_ptr<TextBox> MakeQtTextBox(QWidget* parent, const ControlDesign& d);
std::unique_ptr<Label> MakeQtLabel(QWidget* parent, const ControlDesign& d);
class QtTimer;
// The timers of one toolkit, so that one tick can bring along another that is due.
using TimerGroup = std::vector<QtTimer*>;
// A timer that rests while the desktop tells of no change (see Timer::Rest).
std::unique_ptr<Timer> MakeQtTimer(QObject* parent, desktop::Host& desktop, TimerGroup& group);

// What ends a timer's rest (qt_rest.cpp): calls `wake` once, at the first sign that a docking
// tick could find something new, after Begin; End stops watching without calling it.
class RestWatch : public QAbstractNativeEventFilter {
  public:
    explicit RestWatch(std::function<void()> wake);
    ~RestWatch() override;
    // Watches the desktop's descriptor (desktop::Host::NextChangeDescriptor), this program's
    // windows, the wall clock and the time zone; false, watching nothing, where one of them
    // cannot be watched.
    bool Begin(int desktopFd);
    void End();
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

  private:
    bool ArmClock();
    bool WatchZone();
    // Reads the events of the zone's folder; whether one was of the zone's file.
    bool ZoneChanged();
    void Wake();

    std::function<void()> wake_;
    std::unique_ptr<QSocketNotifier> desktop_;
    std::unique_ptr<QSocketNotifier> clock_;
    int clockFd_ = -1;
    std::unique_ptr<QSocketNotifier> zone_;
    int zoneFd_ = -1;
    bool watching_ = false;
    bool filtering_ = false;
};

// The line edit's caret stops blinking after 10 s without input and blinks again at the next.
void StopBlinkingWhenIdle(QLineEdit* edit);

}  // namespace platform::qt
