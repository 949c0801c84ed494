#include "platform/calendar.h"

#include <gtest/gtest.h>

namespace {

class FixedCalendar : public platform::Calendar {
  public:
    platform::DateTime Now() const override { return {2026, 8, 30, 14, 26, 9}; }
    platform::Separators UserSeparators() const override { return separators; }
    platform::Separators separators;
};

}  // namespace

TEST(Calendar, FormatsMonthBeforeAnHourAndMinuteAfterIt) {
    FixedCalendar calendar;
    EXPECT_EQ(calendar.Format(calendar.Now(), " mm/dd hh:mm"), " 08/30 14:26");  // 24-hour
    EXPECT_EQ(calendar.Format(calendar.Now(), "hh:mm:ss"), "14:26:09");
    calendar.separators = {"-", "\xE6\x99\x82"};  // multi-byte separators stay whole
    EXPECT_EQ(calendar.Format(calendar.Now(), " mm/dd hh:mm"),
              " 08-30 14\xE6\x99\x82"
              "26");
}

TEST(Calendar, TimeSerialCarriesIntoMinutesHoursAndDays) {
    FixedCalendar calendar;
    const auto text = [&](long long h, long long m, long long s) {
        return calendar.Format(platform::Calendar::TimeSerial(h, m, s), "hh:mm:ss");
    };
    EXPECT_EQ(text(0, 0, 60), "00:01:00");
    EXPECT_EQ(text(0, 59, 60), "01:00:00");
    EXPECT_EQ(text(23, 59, 60), "00:00:00");
    EXPECT_EQ(text(25, 1, 1), "01:01:01");
    EXPECT_EQ(text(40000, 0, 0), "16:00:00");
    EXPECT_EQ(text(0, 0, -1), "23:59:59");
}

TEST(Calendar, SeparatorsComeFromTheLocalesShortPatterns) {
    using platform::SeparatorOfPattern;
    EXPECT_EQ(SeparatorOfPattern("M/d/yy", "/"), "/");
    EXPECT_EQ(SeparatorOfPattern("dd.MM.yy", "/"), ".");
    EXPECT_EQ(SeparatorOfPattern("yyyy-MM-dd", "/"), "-");
    EXPECT_EQ(SeparatorOfPattern("HH.mm", ":"), ".");
    EXPECT_EQ(SeparatorOfPattern("h:mm AP", ":"), ":");
    EXPECT_EQ(SeparatorOfPattern("d MMM yyyy", "/"), "/");  // no separator: the fallback
    EXPECT_EQ(SeparatorOfPattern("", ":"), ":");
}
