// What a desktop's reports of its window in front turn into.
#include "desktop/reported_foreground.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace {

std::string Title(const desktop::ReportedForeground& reported) {
    return reported.Title(reported.Foreground(), 249).value_or("");
}

TEST(ReportedForeground, KeepsOnlyWellFormedReports) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        desktop::WindowReport report;
        bool followed;
        std::string title;
        double scale = 1;  // XWayland's pixels per logical pixel, as the desktop says
    };
    const Case cases[] = {
        {"ordinary", {0, "a", "Editor - notes.txt", 10, 20, 800, 600, false}, true, "Edito"},
        {"empty title", {0, "a", "", 10, 20, 800, 600, false}, true, ""},
        {"multibyte", {0, "a", "日本語のタイトル", 10, 20, 800, 600, false}, true, "日本語のタ"},
        {"invalid UTF-8",
         {0, "a",
          "\xff\xfe"
          "abcdef",
          0, 0, 10, 10, false},
         true,
         "\uFFFD\uFFFDabc"},
        {"huge title", {0, "a", std::string(1 << 20, 'x'), 0, 0, 10, 10, false}, true, "xxxxx"},
        {"no window", {0, "", "x", 0, 0, 10, 10, false}, false, ""},
        {"NaN", {0, "a", "x", nan, 0, 10, 10, false}, false, ""},
        {"infinite", {0, "a", "x", 0, INFINITY, 10, 10, false}, false, ""},
        {"far off", {0, "a", "x", 1e12, 0, 10, 10, false}, false, ""},
        {"empty frame", {0, "a", "x", 0, 0, 0, 10, false}, false, ""},
        {"negative size", {0, "a", "x", 0, 0, 10, -5, false}, false, ""},
        {"at 200 %", {0, "a", "x", 10.5, 20, 800, 600, false}, true, "x", 2},
        {"at 150 %", {0, "a", "x", 33.5, 20, 701, 437, false}, true, "x", 1.5},
        {"a scale not to believe", {0, "a", "x", 10, 20, 800, 600, false}, true, "x", nan},
        {"a scale of 0", {0, "a", "x", 10, 20, 800, 600, false}, true, "x", 0},
    };
    for (const Case& c : cases) {
        desktop::ReportedForeground reported;
        reported.Accept({0, "earlier", "Mail", 1, 2, 3, 4, false});
        reported.SetScale(c.scale);
        reported.Accept(c.report);
        const desktop::WindowId fg = reported.Foreground();
        const std::optional<desktop::Rect> frame = reported.Frame(fg);
        const desktop::Rect r = frame.value_or(desktop::Rect{});
        EXPECT_EQ(c.followed, fg != 0) << c.what;
        EXPECT_EQ(c.followed, frame.has_value()) << c.what;
        EXPECT_EQ(c.title, Title(reported)) << c.what;
        if (c.followed) {
            // In XWayland's pixels: the frame times the scale, where the scale is believable.
            const double s = c.scale >= 0.25 && c.scale <= 16 ? c.scale : 1;
            EXPECT_EQ(std::lround(c.report.x * s), r.left) << c.what;
            EXPECT_EQ(std::lround((c.report.y + c.report.height) * s), r.bottom) << c.what;
        }
    }
}

TEST(ReportedForeground, AnswersOnlyForTheLatestWindowAndInOrder) {
    desktop::ReportedForeground reported;
    ASSERT_TRUE(reported.Accept({2, "a", "Editor", 0, 0, 100, 50, false}));
    const desktop::WindowId a = reported.Foreground();
    EXPECT_FALSE(reported.Accept({1, "b", "Mail", 0, 0, 100, 50, false}));  // out of order
    EXPECT_EQ(a, reported.Foreground());
    ASSERT_TRUE(reported.Accept({3, "a", "Editor", 5, 5, 100, 50, true}));  // same window, moved
    EXPECT_EQ(a, reported.Foreground());
    EXPECT_TRUE(reported.Minimized(a));
    ASSERT_TRUE(reported.Accept({4, "b", "Mail", 0, 0, 100, 50, false}));
    const desktop::WindowId b = reported.Foreground();
    EXPECT_NE(a, b);
    EXPECT_FALSE(reported.Frame(a));  // a window reported earlier has gone
    EXPECT_FALSE(reported.Title(a, 7));
    EXPECT_FALSE(reported.Minimized(a));
    reported.Forget();
    EXPECT_EQ(0u, reported.Foreground());
    EXPECT_FALSE(reported.Frame(b));
    // A channel that numbers anew from 1 (a script loaded again) after a refused report: its
    // first report is taken, and its numbers keep their order.
    EXPECT_FALSE(reported.Accept({5, "c", "Bad", 0, 0, 0, 0, false}));
    reported.Renumber();
    EXPECT_TRUE(reported.Accept({1, "c", "Shell", 0, 0, 100, 50, false}));
    EXPECT_FALSE(reported.Accept({1, "c", "Again", 0, 0, 100, 50, false}));
}

}  // namespace
