#include "desktop/kwin/kwin_report.h"

#include <charconv>
#include <string>
#include <system_error>

namespace desktop::kwin {

namespace {

// Six numbers, an id and five characters of title come nowhere near this.
constexpr std::size_t kLongestReport = 1024;

// The next space-separated field of `text`, taken off its front.
std::string_view Field(std::string_view& text) {
    const std::size_t end = text.find(' ');
    const std::string_view field = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    return field;
}

template <typename Number>
bool Read(std::string_view field, Number& value) {
    const char* end = field.data() + field.size();
    const auto [stop, error] = std::from_chars(field.data(), end, value);
    return !field.empty() && error == std::errc() && stop == end;
}

}  // namespace

std::optional<WindowReport> ParseReport(std::string_view text) {
    if (text.size() > kLongestReport) return std::nullopt;
    const std::size_t newline = text.find('\n');
    std::string_view fields = text.substr(0, newline);
    WindowReport report;
    if (!Read(Field(fields), report.serial) || report.serial == 0) return std::nullopt;
    if (newline == std::string_view::npos) {
        // No window is active.
        if (!fields.empty()) return std::nullopt;
        return report;
    }
    const std::string_view minimized = Field(fields);
    if (minimized != "0" && minimized != "1") return std::nullopt;
    report.minimized = minimized == "1";
    for (double* value : {&report.x, &report.y, &report.width, &report.height})
        if (!Read(Field(fields), *value)) return std::nullopt;
    report.id = std::string(Field(fields));
    if (report.id.empty() || !fields.empty()) return std::nullopt;
    report.title = std::string(text.substr(newline + 1));
    return report;
}

}  // namespace desktop::kwin
