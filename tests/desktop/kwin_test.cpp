// What the KWin provider reads: its script's reports, kwinrc's scale, and the scripts' names.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "desktop/kwin/kwin_report.h"
#include "desktop/kwin/kwinrc.h"
#include "desktop/kwin/script_names.h"

namespace {

namespace kwin = desktop::kwin;

TEST(KWinReport, ReadsTheScriptsLineAndNothingElse) {
    using namespace std::string_literals;
    struct Case {
        std::string text;
        bool parsed;
        desktop::WindowReport report;
    };
    const Case cases[] = {
        {"7 0 10 20 800 600 {u-1}\nEdito", true, {7, "{u-1}", "Edito", 10, 20, 800, 600, false}},
        {"8 1 -5.5 0 1e3 40 {u-2}\nKELTO", true, {8, "{u-2}", "KELTO", -5.5, 0, 1000, 40, true}},
        {"9 0 0 0 10 10 w\nline\nbreak", true, {9, "w", "line\nbreak", 0, 0, 10, 10, false}},
        {"10", true, {10, "", "", 0, 0, 0, 0, false}},  // no window is active
        {"11 0 0 0 10 10 w\n\0\xff"s, true, {11, "w", "\0\xff"s, 0, 0, 10, 10, false}},
        {"", false, {}},
        {"0 0 0 0 10 10 w\nx", false, {}},  // serial 0 is never sent
        {"-3 0 0 0 10 10 w\nx", false, {}},
        {"12 2 0 0 10 10 w\nx", false, {}},  // minimized is 0 or 1
        {"13 0 0 0 10 w\nx", false, {}},     // a field short
        {"14 0 0 0 10 10\nx", false, {}},    // no id
        {"15 0 0 0 10 10 w extra\nx", false, {}},
        {"16 0 0  0 10 10 w\nx", false, {}},  // an empty field
        {"17 0 0x10 0 10 10 w\nx", false, {}},
        {"19 0 1e999 0 10 10 w\nx", false, {}},  // out of range
        {"20 trailing", false, {}},
        {"21 0 0 0 10 10 w\n" + std::string(2000, 'x'), false, {}},
        {"99999999999999999999 0 0 0 10 10 w\nx", false, {}},
    };
    for (const Case& c : cases) {
        const auto report = kwin::ParseReport(c.text);
        ASSERT_EQ(c.parsed, report.has_value()) << c.text;
        if (!report) continue;
        EXPECT_EQ(c.report.serial, report->serial) << c.text;
        EXPECT_EQ(c.report.id, report->id) << c.text;
        EXPECT_EQ(c.report.title, report->title) << c.text;
        EXPECT_EQ(c.report.minimized, report->minimized) << c.text;
        EXPECT_EQ(c.report.x, report->x) << c.text;
        EXPECT_EQ(c.report.y, report->y) << c.text;
        EXPECT_EQ(c.report.width, report->width) << c.text;
        EXPECT_EQ(c.report.height, report->height) << c.text;
    }
}

TEST(KWinXwaylandScale, ReadsTheGroupAndKeyKWinReads) {
    struct Case {
        const char* kwinrc;
        std::optional<double> scale;  // nothing: KWin takes 1
    };
    const Case cases[] = {
        {"[Xwayland]\nScale=2\n", 2},
        {"[Desktops]\nNumber=1\n\n[Xwayland]\nScale=1.5\n", 1.5},
        {"[Xwayland]\r\nScale = 1.25 \r\n", 1.25},
        {"", std::nullopt},
        {"[Desktops]\nNumber=1\n", std::nullopt},
        {"[Compositing]\nScale=2\n[Xwayland]\nOther=3\n", std::nullopt},
        {"[Xwayland]\n[Compositing]\nScale=2\n", std::nullopt},
        {"[Xwayland][Nested]\nScale=2\n", std::nullopt},
        {"[Xwayland]\n#Scale=2\n", std::nullopt},
        {"[Xwayland]\nScale[de]=2\n", std::nullopt},  // a language's, not the key itself
        {"[Xwayland]\nScale[$i]=2\n", 2},             // immutable: still the key
        {"[Xwayland][$i]\nScale=3\n", 3},
        {"[Xwayland]\nScale=2\nScale=1.5\n", 1.5},  // the later entry counts
        {"[Xwayland]\nScale=2\n[Xwayland]\nScale=3\n", 3},
        {"[Xwayland]\nScale=2\nScale=two\n", std::nullopt},
        {"[Xwayland]\nScale=\n", std::nullopt},
        {"[Xwayland]\nScale=2x\n", std::nullopt},
        {"[Xwayland]\nScale=0x2\n", std::nullopt},
        {"[Xwayland]\nScale=1e999\n", std::nullopt},
        {"[Xwayland]\nScale=2", 2},  // no newline at the end
        {"[Xwayland]\nScale", std::nullopt},
        {"\xff\xfe[Xwayland]\nScale=2\n", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(c.scale, kwin::XwaylandScale(c.kwinrc)) << c.kwinrc;
}

TEST(KWinXwaylandScale, OddNumbersLeaveTheScaleBefore) {
    // What the provider does with what it reads: a number that is no scale changes nothing.
    for (const char* kwinrc :
         {"[Xwayland]\nScale=0\n", "[Xwayland]\nScale=-2\n", "[Xwayland]\nScale=nan\n",
          "[Xwayland]\nScale=inf\n", "[Xwayland]\nScale=1e300\n", "[Xwayland]\nScale=0.0001\n"}) {
        desktop::ReportedForeground reported;
        reported.SetScale(2);
        reported.SetScale(kwin::XwaylandScale(kwinrc).value_or(1));
        EXPECT_EQ(2, reported.Scale()) << kwinrc;
    }
}

TEST(KWinScript, IsNamedAfterItsOwnersUniqueBusName) {
    EXPECT_EQ("keltos_focus_:1.42", kwin::ScriptName(":1.42"));
    struct Case {
        std::string file;
        std::optional<std::string> owner;
    };
    const Case cases[] = {
        {kwin::ScriptName(":1.42") + ".js", ":1.42"},
        {kwin::ScriptName(":1.7") + ".js", ":1.7"},
        {kwin::ScriptName(":x-y_z.0.a") + ".js", ":x-y_z.0.a"},
        {kwin::ScriptName(":1.42"), std::nullopt},                 // not the file
        {kwin::ScriptName(":1.42") + ".js.Ab12", std::nullopt},    // a file being written
        {kwin::ScriptName("org.kde.KWin") + ".js", std::nullopt},  // a well-known name
        {kwin::ScriptName("") + ".js", std::nullopt},
        {kwin::ScriptName(":") + ".js", std::nullopt},
        {kwin::ScriptName(":1") + ".js", std::nullopt},
        {kwin::ScriptName(":1.") + ".js", std::nullopt},
        {kwin::ScriptName(":1..2") + ".js", std::nullopt},
        {kwin::ScriptName(":1.2/../x") + ".js", std::nullopt},
        {kwin::ScriptName(":1.2 x") + ".js", std::nullopt},
        {kwin::ScriptName(":1." + std::string(300, '2')) + ".js", std::nullopt},
        {"keltos-kwin-focus.js", std::nullopt},
        {"other.js", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(c.owner, kwin::ScriptOwner(c.file)) << c.file;
}

}  // namespace
