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
#include "winapi/desktop.h"

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

QtWindow::QtWindow(const WindowDesign& design) : widget_(*this), caption_(design.caption) {
    widget_.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
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
    winapi::AdoptWindow(handle_, [this] {
        widget_.show();
        widget_.activateWindow();
    });
}

void QtWindow::SetCaption(const std::string& text) {
    if (text == caption_) return;
    caption_ = text;
    widget_.setWindowTitle(QString::fromStdString(text));
}

void QtWindow::SetLeft(float twips) {
    const int x = ToPixels(twips);
    if (x != widget_.x()) widget_.move(x, widget_.y());
}

void QtWindow::SetTop(float twips) {
    const int y = ToPixels(twips);
    if (y != widget_.y()) widget_.move(widget_.x(), y);
}

float QtWindow::Width() const {
    return static_cast<float>(widget_.width()) * TwipsPerPixel();
}

void QtWindow::End() {
    winapi::EndDesktop();
    std::fflush(nullptr);
    std::_Exit(0);
}

}  // namespace platform::qt
