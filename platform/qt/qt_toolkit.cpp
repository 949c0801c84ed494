#include <malloc.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QDateTime>
#include <QLocale>
#include <QTime>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "desktop/selection.h"
#include "platform/qt/qt_platform.h"
#include "winapi/linux_user32.h"

namespace platform::qt {

namespace {

// The run clock: CLOCK_BOOTTIME, which is CLOCK_MONOTONIC plus the time the machine spent
// suspended, so a run also counts a closed lid. Setting the system time never moves it.
class QtClock : public Clock {
  public:
    double Reading() const override {
        timespec now{};
        if (clock_gettime(CLOCK_BOOTTIME, &now) != 0) clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
    }
};

class QtCalendar : public Calendar {
  public:
    DateTime Now() const override {
        const QDateTime now = QDateTime::currentDateTime();
        const QDate d = now.date();
        const QTime t = now.time();
        return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
    }
    Separators UserSeparators() const override { return separators_; }

  private:
    // Qt fixes the system locale when the program starts, so the separators are worked out once
    // rather than on every tick of the readout.
    static Separators FromSystemLocale() {
        const QLocale locale = QLocale::system();
        return {SeparatorOfPattern(locale.dateFormat(QLocale::ShortFormat).toStdString(), "/"),
                SeparatorOfPattern(locale.timeFormat(QLocale::ShortFormat).toStdString(), ":")};
    }
    Separators separators_ = FromSystemLocale();
};

// Starting up (the font database, fitting each caption, the first paint) leaves the heap with
// about half a megabyte of freed memory that the allocator keeps. The bar runs all day: once it
// is shown and docked, that memory goes back to the system.
constexpr int kSettledMs = 1500;
void ReturnStartUpMemory() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

class QtToolkit : public Toolkit {
  public:
    // The desktop of this session is chosen and made here, once, and handed to the window API
    // and to the window and timers made below; it lives as long as the toolkit.
    QtToolkit() : app_(argc_, argv_), desktop_(desktop::SelectDesktop()) {
        winapi::UseDesktop(desktop_.get());
    }
    ~QtToolkit() override { winapi::UseDesktop(nullptr); }

    std::unique_ptr<Window> MakeWindow(const WindowDesign& design) override {
        return std::make_unique<QtWindow>(design, *desktop_);
    }
    std::unique_ptr<CommandButton> MakeButton(Window& parent, const ControlDesign& d) override {
        return MakeQtButton(Widget(parent), d);
    }
    std::unique_ptr<TextBox> MakeTextBox(Window& parent, const ControlDesign& d) override {
        return MakeQtTextBox(Widget(parent), d);
    }
    std::unique_ptr<Label> MakeLabel(Window& parent, const ControlDesign& d) override {
        return MakeQtLabel(Widget(parent), d);
    }
    std::unique_ptr<Timer> MakeTimer(Window& parent, const TimerDesign& d) override {
        auto timer = MakeQtTimer(Widget(parent), *desktop_, timers_);
        timer->SetInterval(d.interval);
        timer->SetEnabled(d.enabled);
        return timer;
    }
    const Clock& GetClock() const override { return clock_; }
    const Calendar& GetCalendar() const override { return calendar_; }
    int Run(Window& window) override {
        EndOnSignals(window, &app_);
        if (window.onLoad) window.onLoad();
        QTimer::singleShot(kSettledMs, &app_, &ReturnStartUpMemory);
        return app_.exec();
    }

  private:
    static QWidget* Widget(Window& window) { return static_cast<QtWindow&>(window).Widget(); }
    // Qt is given only the program's name, never the command line, so options of its own such
    // as -platform, -display, -style, -reverse or -qwindowtitle cannot change the bar. The name
    // is fixed, so the window's class and the application name read the same however the
    // program was started. QApplication keeps references to both for its lifetime.
    static inline char name_[] = "keltos";
    static inline char* argv_[] = {name_, nullptr};
    static inline int argc_ = 1;
    QApplication app_;
    std::unique_ptr<desktop::Desktop> desktop_;
    TimerGroup timers_;
    QtClock clock_;
    QtCalendar calendar_;
};

}  // namespace

}  // namespace platform::qt

namespace platform {

std::unique_ptr<Toolkit> CreateToolkit() {
    // The window API works on X11 only, so Qt runs on its X11 backend, through XWayland in a
    // Wayland session. Pixels are the display's own: twips per pixel follow its DPI.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // Without an X display Qt would abort with a core dump: say what is wrong and end instead.
    xcb_connection_t* probe = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(probe) == 0;
    xcb_disconnect(probe);
    if (!reachable) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr,
                     "keltos: cannot open the X display \"%s\". KELTOS needs X11; in a Wayland "
                     "session it runs through XWayland.\n",
                     display ? display : "");
        std::exit(1);
    }
    setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
    return std::make_unique<qt::QtToolkit>();
}

}  // namespace platform
