// Local dates and times, and their formatting by pattern with the user's separators.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

struct DateTime {
    int year = 1899;
    int month = 12;  // 1-12
    int day = 30;    // 1-31
    int hour = 0;    // 0-23
    int minute = 0;
    int second = 0;
};

// The separators of the user's regional settings.
struct Separators {
    std::string date = "/";
    std::string time = ":";
};

class Calendar {
  public:
    virtual ~Calendar() = default;
    virtual DateTime Now() const = 0;  // current local date and time
    virtual Separators UserSeparators() const = 0;

    // A time of day from hours, minutes and seconds: seconds of 60 or more carry into minutes,
    // minutes into hours, hours of 24 or more into whole days (which a time of day drops).
    static DateTime TimeSerial(std::int64_t hours, std::int64_t minutes, std::int64_t seconds);

    // "hh" two-digit hour 00-23; "mm" two-digit month, or minute when it follows an hour field;
    // "dd" two-digit day; "ss" two-digit second; "/" and ":" the user's date and time separators;
    // every other character as it stands.
    std::string Format(const DateTime& when, std::string_view pattern) const;
};

// The separator a locale's short date or time pattern puts between its fields, such as "/" in
// "M/d/yy" or "." in "HH.mm"; `fallback` when the pattern has none.
std::string SeparatorOfPattern(std::string_view pattern, std::string_view fallback);

}  // namespace platform
