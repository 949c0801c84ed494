// What wakes a resting timer: the desktop telling of a change to the window in front, the X
// server telling of a change to this program's windows or screens, and the wall clock being set
// or the system resuming.
//
// A docking tick reads the window in front through the window API, this program's window (its
// place and size) and the screen's resolution. While none of those changes, a tick finds what the
// last one found and writes nothing, so the timer may stop until one of them does:
// - the window in front: the descriptor the desktop hands out (desktop/desktop.h), readable when
//   its next event arrives;
// - this program's windows and screens: the events Qt's own X connection delivers that can move,
//   size or reparent a window, change a screen (RandR and other extensions) or the settings the
//   resolution comes from (a property of a window not of this program, such as the root's
//   RESOURCE_MANAGER). A property of this program's own window (its title, written every second
//   while it runs) wakes nothing;
// - the wall clock: a timerfd on CLOCK_REALTIME with TFD_TIMER_CANCEL_ON_SET, which the kernel
//   ends when the clock is set and when the system resumes from suspend.
#include <sys/timerfd.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QWindow>
#include <cstdint>
#include <ctime>

#include "platform/qt/qt_platform.h"

namespace platform::qt {

namespace {

constexpr time_t kFarAhead = 24 * 3600;  // the clock timer's expiry: never reached in a rest

bool OwnWindow(xcb_window_t window) {
    for (const QWindow* w : QGuiApplication::topLevelWindows())
        if (w->handle() && static_cast<xcb_window_t>(w->winId()) == window) return true;
    return false;
}

}  // namespace

RestWatch::RestWatch(std::function<void()> wake) : wake_(std::move(wake)) {}

RestWatch::~RestWatch() {
    if (filtering_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    clock_.reset();
    if (clockFd_ >= 0) ::close(clockFd_);
}

bool RestWatch::Begin(int desktopFd) {
    if (desktopFd < 0 || !ArmClock()) return false;
    if (!desktop_ || desktop_->socket() != desktopFd) {
        desktop_ = std::make_unique<QSocketNotifier>(desktopFd, QSocketNotifier::Read);
        QObject::connect(desktop_.get(), &QSocketNotifier::activated, [this] { Wake(); });
    }
    desktop_->setEnabled(true);
    clock_->setEnabled(true);
    // Installed once and left in place: a filter is not taken out while the events it filters
    // are being delivered, and outside a rest it lets every event pass untouched.
    if (!filtering_) QCoreApplication::instance()->installNativeEventFilter(this);
    filtering_ = true;
    watching_ = true;
    return true;
}

void RestWatch::End() {
    if (!watching_) return;
    watching_ = false;
    // Disabled while the timer ticks: the descriptors stay readable until the tick reads them.
    desktop_->setEnabled(false);
    clock_->setEnabled(false);
}

bool RestWatch::ArmClock() {
    if (clockFd_ < 0) {
        clockFd_ = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
        if (clockFd_ < 0) return false;
        clock_ = std::make_unique<QSocketNotifier>(clockFd_, QSocketNotifier::Read);
        QObject::connect(clock_.get(), &QSocketNotifier::activated, [this] {
            std::uint64_t expiries = 0;  // ECANCELED after the clock was set; read to clear
            (void)!::read(clockFd_, &expiries, sizeof expiries);
            Wake();
        });
    }
    // Armed anew for each rest: a cancelled timer stays cancelled until it is set again.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    itimerspec expiry{};
    expiry.it_value.tv_sec = now.tv_sec + kFarAhead;
    return ::timerfd_settime(clockFd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &expiry,
                             nullptr) == 0;
}

bool RestWatch::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
    if (!watching_ || type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t kind = event->response_type & 0x7f;
    bool wakes = kind >= 64;  // an extension's event: RandR's screen changes among them
    switch (kind) {
        case XCB_CONFIGURE_NOTIFY:
        case XCB_REPARENT_NOTIFY:
        case XCB_MAP_NOTIFY:
            wakes = true;
            break;
        case XCB_PROPERTY_NOTIFY:
            wakes = !OwnWindow(static_cast<const xcb_property_notify_event_t*>(message)->window);
            break;
        default:
            break;
    }
    if (wakes) Wake();
    return false;
}

void RestWatch::Wake() {
    if (!watching_) return;
    End();
    wake_();
}

}  // namespace platform::qt
