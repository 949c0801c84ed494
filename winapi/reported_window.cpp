#include "winapi/reported_window.h"

#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "winapi/utf8.h"

namespace winapi {

namespace {

constexpr std::size_t kTitleCharacters = 5;
// Far beyond any screen, yet small enough that the docking arithmetic cannot overflow.
constexpr double kReach = 1 << 20;

bool Usable(double v) {
    return std::isfinite(v) && std::fabs(v) <= kReach;
}

// The first characters of the title, as well-formed UTF-8 (invalid bytes become U+FFFD).
std::string FirstCharacters(const std::string& title) {
    // Five characters never take more than 20 bytes, however malformed; a huge title costs no
    // more than a short one.
    const std::string_view head = std::string_view(title).substr(0, 4 * kTitleCharacters);
    const std::string text = winapi::SanitizeUtf8(head, head.size() * 3);
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool starts = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (starts && characters++ == kTitleCharacters) return text.substr(0, i);
    }
    return text;
}

}  // namespace

bool ReportedForeground::Accept(const WindowReport& report) {
    if (report.serial != 0) {
        if (report.serial <= lastSerial_) return false;
        lastSerial_ = report.serial;
    }
    const bool wellFormed = Usable(report.x) && Usable(report.y) && Usable(report.width) &&
                            Usable(report.height) && report.width >= 1 && report.height >= 1;
    if (report.id.empty() || !wellFormed) {
        Forget();
        return report.id.empty();
    }
    if (report.id != id_ || handle_ == 0) {
        id_ = report.id;
        handle_ = nextHandle_++;
    }
    title_ = FirstCharacters(report.title);
    x_ = report.x;
    y_ = report.y;
    width_ = report.width;
    height_ = report.height;
    minimized_ = report.minimized;
    return true;
}

void ReportedForeground::Forget() {
    id_.clear();
    handle_ = 0;
    title_.clear();
    x_ = y_ = width_ = height_ = 0;
    minimized_ = false;
}

void ReportedForeground::SetScale(double scale) {
    if (std::isfinite(scale) && scale >= 0.25 && scale <= 16) scale_ = scale;
}

bool ReportedForeground::Current(HWND hWnd) const {
    return handle_ != 0 && reinterpret_cast<std::uintptr_t>(hWnd) == handle_;
}

HWND ReportedForeground::GetForegroundWindow() const {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle_));
}

int ReportedForeground::GetWindowTextA(HWND hWnd, LPSTR buffer, int capacity) const {
    if (!buffer || capacity <= 0) return 0;
    buffer[0] = '\0';
    if (!Current(hWnd)) return 0;
    const std::string text = winapi::SanitizeUtf8(title_, static_cast<std::size_t>(capacity - 1));
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<int>(text.size());
}

BOOL ReportedForeground::GetWindowRect(HWND hWnd, RECT* rect) const {
    if (!rect || !Current(hWnd)) return 0;
    // The frame's edges in XWayland's pixels, each on its nearest pixel.
    const auto x11 = [this](double logical) {
        return static_cast<std::int32_t>(std::lround(logical * scale_));
    };
    *rect = RECT{x11(x_), x11(y_), x11(x_ + width_), x11(y_ + height_)};
    return 1;
}

BOOL ReportedForeground::IsIconic(HWND hWnd) const {
    return Current(hWnd) && minimized_;
}

}  // namespace winapi
