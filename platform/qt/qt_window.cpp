#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/qt/qt_platform.h"
#include "resources/keltos_icon_16.xpm"
#include "resources/keltos_icon_32.xpm"

namespace platform::qt {

float TwipsPerPixel() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return static_cast<float>(1440.0 / (dpi > 0 ? dpi : 96.0));
}

int ToPixels(float twips) {
    // Far beyond any screen either way, but never past what a pixel coordinate can hold.
    const double pixels = std::clamp(static_cast<double>(twips) / TwipsPerPixel(), -1e6, 1e6);
    return static_cast<int>(std::lround(pixels));
}

QRect ToPixels(const ControlDesign& d) {
    return QRect(ToPixels(d.left), ToPixels(d.top), ToPixels(d.width), ToPixels(d.height));
}

namespace {

// Ends the program when the X server reports the bar's window destroyed, as when another client
// destroys it (`xdotool windowclose`, a task manager): without its window the program would run
// on for ever with nothing on the screen. The bar's window is never recreated by this program, so
// its destruction always comes from outside.
class DestroyWatch : public QAbstractNativeEventFilter {
  public:
    DestroyWatch(Window& owner, xcb_window_t window) : owner_(owner), window_(window) {}
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY &&
            static_cast<const xcb_destroy_notify_event_t*>(message)->window == window_)
            owner_.End();
        return false;
    }

  private:
    Window& owner_;
    xcb_window_t window_;
};

}  // namespace

QtWindow::QtWindow(const WindowDesign& design, desktop::Host& desktop)
    : desktop_(desktop), widget_(*this), caption_(design.caption) {
    Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint;
    // Where the desktop would resize a managed window or keep it from placing itself, it is
    // left unmanaged; it keeps its title for other programs all the same.
    if (desktop_.OwnWindowUnmanaged()) flags |= Qt::X11BypassWindowManagerHint;
    widget_.setWindowFlags(flags);
    widget_.setFixedSize(ToPixels(design.width), ToPixels(design.height));
    widget_.setWindowTitle(QString::fromStdString(caption_));
    QIcon icon;
    icon.addPixmap(QPixmap(keltos_icon_32));
    icon.addPixmap(QPixmap(keltos_icon_16));
    widget_.setWindowIcon(icon);
    // First shown at the top of the primary screen, centred; it stays there until another
    // window comes to the foreground.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        widget_.move(area.x() + (area.width() - widget_.width()) / 2, area.y());
    }
    // The native window exists from here on (not shown yet), so the window API can take it.
    handle_ = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(widget_.winId()));
    destroyWatch_ =
        std::make_unique<DestroyWatch>(*this, static_cast<xcb_window_t>(widget_.winId()));
    QCoreApplication::instance()->installNativeEventFilter(destroyWatch_.get());
}

void QtWindow::SetTopMost(bool topmost) {
    // The band and the rectangle as for any window, through the window API, and every workspace,
    // so that the bar stays in sight whatever the user switches to; then Qt shows and activates
    // its window, so that it knows the window is visible (a window mapped behind its back is
    // never painted).
    ChangeBand(handle_, topmost, 0);
    desktop_.KeepOnEveryWorkspace(reinterpret_cast<std::uintptr_t>(handle_));
    widget_.show();
    widget_.activateWindow();
}

void QtWindow::SetCaption(const std::string& text) {
    caption_ = text;
    widget_.setWindowTitle(QString::fromStdString(text));
}

void QtWindow::Move(float left, float top) {
    // Where a Wayland desktop gives X11 clients its logical pixels times a scale, the bar lands on
    // a whole logical pixel, as the windows it rides on do: at 200 % it sits where it sits at
    // 100 %, in the same logical pixels. At scale 1 this is plain twips to pixels.
    const double scale = desktop_.Scale();
    const auto place = [scale](float twips) {
        const double logical = std::round(twips / (qt::TwipsPerPixel() * scale));
        return static_cast<int>(std::lround(std::clamp(logical * scale, -1e6, 1e6)));
    };
    const QPoint to(place(left), place(top));
    if (to != widget_.pos()) widget_.move(to);
}

float QtWindow::Width() const {
    return static_cast<float>(widget_.width()) * TwipsPerPixel();
}

void QtWindow::End() {
    desktop_.End();
    std::fflush(nullptr);
    std::_Exit(0);
}

}  // namespace platform::qt
