#include "platform/calendar.h"

#include <cctype>
#include <cstdio>

namespace platform {

DateTime Calendar::TimeSerial(std::int64_t hours, std::int64_t minutes, std::int64_t seconds) {
    constexpr std::int64_t kDay = 24 * 60 * 60;
    // Wide arithmetic so that no total overflows; the remainder is taken towards the past so a
    // negative total is still a time of day.
    std::int64_t total = (hours * 60 + minutes) * 60 + seconds;
    std::int64_t ofDay = ((total % kDay) + kDay) % kDay;
    DateTime t;
    t.hour = static_cast<int>(ofDay / 3600);
    t.minute = static_cast<int>(ofDay / 60 % 60);
    t.second = static_cast<int>(ofDay % 60);
    return t;
}

namespace {

void AppendTwoDigits(std::string& out, int value) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02d", value);
    out += digits;
}

}  // namespace

std::string Calendar::Format(const DateTime& when, std::string_view pattern) const {
    const Separators seps = UserSeparators();
    std::string out;
    bool afterHour = false;  // "mm" after an hour field is the minute
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        const bool pair = i + 1 < pattern.size() && pattern[i + 1] == c;
        if (pair && (c == 'h' || c == 'm' || c == 'd' || c == 's')) {
            switch (c) {
                case 'h':
                    AppendTwoDigits(out, when.hour);
                    afterHour = true;
                    break;
                case 'm':
                    AppendTwoDigits(out, afterHour ? when.minute : when.month);
                    afterHour = false;
                    break;
                case 'd':
                    AppendTwoDigits(out, when.day);
                    afterHour = false;
                    break;
                default:
                    AppendTwoDigits(out, when.second);
                    afterHour = false;
                    break;
            }
            ++i;
        } else if (c == '/') {
            out += seps.date;
        } else if (c == ':') {
            out += seps.time;
        } else {
            out += c;
        }
    }
    return out;
}

std::string SeparatorOfPattern(std::string_view pattern, std::string_view fallback) {
    bool inField = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(pattern[i]);
        if (c == '\'') break;  // quoted literal text: not a separator we can trust
        if (std::isalpha(c)) {
            inField = true;
            continue;
        }
        if (inField && c != ' ') {
            // A separator may be more than one byte (UTF-8): take the run up to the next field.
            std::size_t end = i;
            while (end < pattern.size() &&
                   !std::isalpha(static_cast<unsigned char>(pattern[end])) && pattern[end] != ' ' &&
                   pattern[end] != '\'')
                ++end;
            return std::string(pattern.substr(i, end - i));
        }
    }
    return std::string(fallback);
}

}  // namespace platform
