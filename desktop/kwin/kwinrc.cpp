#include "desktop/kwin/kwinrc.h"

#include <charconv>
#include <system_error>

namespace desktop::kwin {

namespace {

std::string_view Trimmed(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    return text;
}

// KConfig marks a group or an entry with options in brackets that begin with '$' ("[$i]":
// immutable); they do not change its name. Any other bracket after a key names a language.
std::string_view WithoutOptions(std::string_view name) {
    while (name.size() >= 4 && name.back() == ']') {
        const std::size_t open = name.rfind('[');
        if (open == std::string_view::npos || open + 1 >= name.size() || name[open + 1] != '$')
            break;
        name = name.substr(0, open);
    }
    return name;
}

}  // namespace

std::optional<double> XwaylandScale(std::string_view kwinrc) {
    std::optional<double> scale;
    bool inGroup = false;
    while (!kwinrc.empty()) {
        const std::size_t end = kwinrc.find('\n');
        const std::string_view line = Trimmed(kwinrc.substr(0, end));
        kwinrc = end == std::string_view::npos ? std::string_view() : kwinrc.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            inGroup = WithoutOptions(line) == "[Xwayland]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inGroup || equals == std::string_view::npos) continue;
        if (WithoutOptions(Trimmed(line.substr(0, equals))) != "Scale") continue;
        // A later entry of the same key overrides an earlier one, as in KConfig.
        const std::string_view value = Trimmed(line.substr(equals + 1));
        double number = 0;
        const auto [stop, error] =
            std::from_chars(value.data(), value.data() + value.size(), number);
        if (!value.empty() && error == std::errc() && stop == value.data() + value.size())
            scale = number;
        else
            scale.reset();
    }
    return scale;
}

}  // namespace desktop::kwin
