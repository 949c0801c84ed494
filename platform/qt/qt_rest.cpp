// What wakes a resting timer: the desktop telling of a change to the window in front, the X
// server telling of a change to this program's windows or screens, the wall clock being set or
// the system resuming, and the time zone changing.
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
//   ends when the clock is set and when the system resumes from suspend;
// - the time zone, which the clock label shows and which changes without the clock being set:
//   /etc/localtime replaced, relinked or rewritten (by the desktop's date and time settings, a
//   laptop that sets its zone where it travels, a package, by hand), seen through inotify on
//   /etc.
#include <sys/inotify.h>
#include <sys/timerfd.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QWindow>
#include <cstdint>
#include <cstring>
#include <ctime>

#include "platform/qt/qt_platform.h"

namespace platform::qt {

namespace {

constexpr time_t kFarAhead = 24 * 3600;  // the clock timer's expiry: never reached in a rest
// Where the local time zone is read from when TZ does not name one.
constexpr char kZoneFolder[] = "/etc";
constexpr char kZoneFile[] = "localtime";

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
    zone_.reset();
    if (zoneFd_ >= 0) ::close(zoneFd_);
}

bool RestWatch::Begin(int desktopFd) {
    if (desktopFd < 0 || !ArmClock() || !WatchZone()) return false;
    if (!desktop_ || desktop_->socket() != desktopFd) {
        desktop_ = std::make_unique<QSocketNotifier>(desktopFd, QSocketNotifier::Read);
        QObject::connect(desktop_.get(), &QSocketNotifier::activated, [this] { Wake(); });
    }
    desktop_->setEnabled(true);
    clock_->setEnabled(true);
    zone_->setEnabled(true);
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
    zone_->setEnabled(false);
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

bool RestWatch::WatchZone() {
    if (zoneFd_ >= 0) return true;
    zoneFd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (zoneFd_ < 0) return false;
    constexpr std::uint32_t kChanges = IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_CLOSE_WRITE;
    if (::inotify_add_watch(zoneFd_, kZoneFolder, kChanges) < 0) {
        ::close(zoneFd_);
        zoneFd_ = -1;
        return false;
    }
    zone_ = std::make_unique<QSocketNotifier>(zoneFd_, QSocketNotifier::Read);
    QObject::connect(zone_.get(), &QSocketNotifier::activated, [this] {
        if (ZoneChanged()) Wake();
    });
    return true;
}

bool RestWatch::ZoneChanged() {
    // Every event that has come, each of another file in the folder or of the zone's.
    alignas(inotify_event) char events[4096];
    bool changed = false;
    for (ssize_t n; (n = ::read(zoneFd_, events, sizeof events)) > 0;) {
        for (const char* at = events; at < events + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            changed = changed || (event->len > 0 && std::strcmp(event->name, kZoneFile) == 0);
            at += sizeof(inotify_event) + event->len;
        }
    }
    return changed;
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
