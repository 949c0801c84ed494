#include "desktop/reported_foreground.h"

#include <cmath>
#include <limits>
#include <string_view>

#include "desktop/utf8.h"

namespace desktop {

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
    const std::string text = SanitizeUtf8(head, head.size() * 3);
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
        if (report.serial > std::numeric_limits<std::uint64_t>::max() - serialBase_) {
            Forget();
            return false;
        }
        const std::uint64_t serial = serialBase_ + report.serial;
        if (serial <= lastSerial_) return false;
        lastSerial_ = serial;
    }
    const bool wellFormed = Usable(report.x) && Usable(report.y) && Usable(report.width) &&
                            Usable(report.height) && report.width >= 1 && report.height >= 1;
    if (report.id.empty() || !wellFormed) {
        Forget();
        return report.id.empty();
    }
    if (report.id != desktopId_ || id_ == 0) {
        desktopId_ = report.id;
        id_ = nextId_++;
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
    desktopId_.clear();
    id_ = 0;
    title_.clear();
    x_ = y_ = width_ = height_ = 0;
    minimized_ = false;
}

void ReportedForeground::SetScale(double scale) {
    if (std::isfinite(scale) && scale >= 0.25 && scale <= 16) scale_ = scale;
}

std::optional<std::string> ReportedForeground::Title(WindowId window, std::size_t maxBytes) const {
    if (!Current(window)) return std::nullopt;
    return SanitizeUtf8(title_, maxBytes);
}

std::optional<Rect> ReportedForeground::Frame(WindowId window) const {
    if (!Current(window)) return std::nullopt;
    // The frame's edges in XWayland's pixels, each on its nearest pixel.
    const auto x11 = [this](double logical) {
        return static_cast<std::int32_t>(std::lround(logical * scale_));
    };
    return Rect{x11(x_), x11(y_), x11(x_ + width_), x11(y_ + height_)};
}

bool ReportedForeground::Minimized(WindowId window) const {
    return Current(window) && minimized_;
}

}  // namespace desktop
