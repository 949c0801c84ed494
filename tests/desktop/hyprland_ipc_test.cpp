// Hyprland's answers and events as KELTOS reads them: batches, monitors, the option, the focused
// window in both pixel spaces and hidden ways, malformed answers, event lines in pieces or huge.
#include "desktop/hyprland/hyprland_ipc.h"

#include <gtest/gtest.h>

#include <string>

namespace {

namespace h = desktop::hyprland;

// One monitor at (x, 0), showing workspace 1 and, if given, a special workspace (without one,
// Hyprland 0.57 gives the special workspace no id).
std::string Monitor(int id, int x, double scale, int special = 0) {
    const std::string shown = special ? "\"id\": " + std::to_string(special) + ", " : "";
    return "{\"id\": " + std::to_string(id) + ", \"x\": " + std::to_string(x) +
           ", \"y\": 0, \"scale\": " + std::to_string(scale) +
           ", \"activeWorkspace\": {\"id\": 1, \"name\": \"1\"}, \"specialWorkspace\": {" + shown +
           "\"address\": \"\", \"name\": \"\"}}";
}

// A window at [100, 80] of 400 x 300 on monitor 0, with its workspace and anything more.
std::string Window(const std::string& title, int workspace = 1, const std::string& more = "") {
    return "{\"address\": \"0x55d0\", \"at\": [100, 80], \"size\": [400, 300], \"workspace\": "
           "{\"id\": " +
           std::to_string(workspace) +
           ", \"name\": \"w\"}, \"monitor\": 0, "
           "\"title\": \"" +
           title + "\", \"xwayland\": false" + more + "}";
}

TEST(HyprlandIpc, ReadsTheFocusedWindowInXWaylandsPixels) {
    enum Outcome { Malformed, NoWindow, Docks, Hidden };
    struct Case {
        const char* name;
        std::string monitors, option, window;
        Outcome outcome;
        const char* title = "";
        double x = 0, y = 0, scale = 1;  // where ReportedForeground's frame starts: x * scale
    };
    const std::string one = "[" + Monitor(0, 0, 1) + "]";
    const std::string two = "[" + Monitor(0, 0, 2) + "]";
    const std::string right = "[" + Monitor(0, 1600, 2) + "]";
    const std::string off = "{\"option\": \"xwayland:force_zero_scaling\", \"bool\": false}";
    const std::string on = "{\"option\": \"xwayland:force_zero_scaling\", \"int\": 1}";
    const Case cases[] = {
        {"logical pixels at 200 %", two, off, Window("Editor A"), Docks, "Editor A", 100, 80, 1},
        {"physical ones", two, on, Window("Editor A"), Docks, "Editor A", 100, 80, 2},
        // X = 1600 + (100 - 1600) * 2 = -1400 (an odd window left of its monitor).
        {"physical ones right of the origin", right, on, Window("Edi"), Docks, "Edi", -700, 80, 2},
        {"unknown monitor, physical", "[]", on, Window("A"), Malformed},
        {"unknown monitor, logical", "[]", off, Window("A"), Docks, "A", 100, 80, 1},
        {"nothing focused", one, off, "{}", NoWindow},
        {"special workspace not shown", one, off, Window("A", -98), Hidden, "A", 100, 80, 1},
        {"special workspace shown", "[" + Monitor(0, 0, 1, -98) + "]", off, Window("A", -98), Docks,
         "A", 100, 80, 1},
        {"another workspace", one, off, Window("A", 2), Hidden, "A", 100, 80, 1},
        {"a group's background", one, off, Window("A", 1, ", \"hidden\": true"), Hidden, "A", 100,
         80, 1},
        {"title not UTF-8", one, off, Window("Ed\xc3"), Docks, "Ed\xef\xbf\xbd", 100, 80, 1},
        {"title escaped", one, off, Window("\\\"A\\u0001"), Docks, "\"A\x01", 100, 80, 1},
        {"title a number", one, off, "{\"address\": \"0x1\", \"title\": 7}", Malformed},
        {"size a string", one, off,
         "{\"address\": \"0x1\", \"at\": [1, 2], \"size\": \"4x3\", \"title\": \"A\"}", Malformed},
        {"cut short", one, off, Window("A").substr(0, 40), Malformed},
        {"not JSON", one, off, "unknown request", Malformed},
        {"an array", one, off, "[1, 2]", Malformed},
        {"nested beyond any window", one, off, std::string(20000, '[') + std::string(20000, ']'),
         Malformed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string batch = c.window + "\n\n\n" + c.monitors + "\n\n\n" + c.option;
        const auto answers = h::SplitBatch(batch);
        ASSERT_EQ(3u, answers.size());
        h::Layout layout;
        ASSERT_TRUE(h::ReadMonitors(answers[1], layout.monitors));
        layout.forceZeroScaling = h::ReadForceZeroScaling(answers[2]).value();
        desktop::WindowReport report;
        double scale = 0;
        const bool read = h::ActiveWindow(answers[0], layout, report, scale);
        const Outcome outcome = !read               ? Malformed
                                : report.id.empty() ? NoWindow
                                : report.minimized  ? Hidden
                                                    : Docks;
        ASSERT_EQ(c.outcome, outcome);
        if (outcome < Docks) continue;
        EXPECT_EQ(c.title, report.title);
        EXPECT_EQ("0x55d0", report.id);
        EXPECT_DOUBLE_EQ(c.x, report.x);
        EXPECT_DOUBLE_EQ(c.y, report.y);
        EXPECT_DOUBLE_EQ(c.scale, scale);
        EXPECT_EQ(400, report.width);
        EXPECT_EQ(300, report.height);
    }
}

TEST(HyprlandIpc, RefusesALayoutThatIsNotOne) {
    std::vector<h::Monitor> monitors;
    for (const char* answer : {"", "{}", "[{\"id\": 0}]", "[1]", "unknown request"})
        EXPECT_FALSE(h::ReadMonitors(answer, monitors)) << answer;
    for (const char* answer : {"", "no such option", "{\"str\": \"1\"}", "{\"bool\": 1}"})
        EXPECT_FALSE(h::ReadForceZeroScaling(answer)) << answer;
}

TEST(HyprlandIpc, FindsItsOwnWindowInTheWindowList) {
    using W = h::OwnWindow;
    const std::string native = R"({"pid": 42, "xwayland": false, "pinned": true})";
    const std::pair<std::string, std::optional<W>> cases[] = {
        {"[]", W::Absent},
        {"[" + native + R"(, {"pid": 7, "xwayland": true, "pinned": true}])", W::Absent},
        {"[" + native + R"(, {"pid": 42, "xwayland": true, "pinned": false}])", W::Unpinned},
        {R"([{"pid": 42, "xwayland": true, "pinned": true}])", W::Pinned},
        {"ok", std::nullopt},
        {"[1]", std::nullopt},
    };
    for (const auto& [answer, want] : cases)
        EXPECT_EQ(want, h::FindOwnWindow(answer, 42)) << answer;
}

TEST(HyprlandIpc, EventLinesTellOfLayoutChanges) {
    struct Case {
        std::vector<std::string> chunks;  // as the reads return them
        std::vector<std::string> lines;
        int layoutChanges;
    };
    const std::string huge(h::LineReader::kMaxLine + 1, 'x');
    const Case cases[] = {
        {{"workspacev2>>2,2\nactivewindowv2>>55d0\n"},
         {"workspacev2>>2,2", "activewindowv2>>55d0"},
         2},
        {{"monitorad", "ded>>HEADLESS-2\nwindowti", "tlev2>>55d0,Mail\n"},
         {"monitoradded>>HEADLESS-2", "windowtitlev2>>55d0,Mail"},
         1},
        {{"openwindow>>55d0,1,foot,configreloaded>>\n", "changefloatingmode>>55d0,1\n"},
         {"openwindow>>55d0,1,foot,configreloaded>>", "changefloatingmode>>55d0,1"},
         0},
        {{"windowtitlev2>>55d0," + huge + "\nactivespecial>>special:h,HEADLESS-2\n"},
         {"activespecial>>special:h,HEADLESS-2"},
         1},
        {{"windowtitlev2>>", huge, huge, "\nconfigreloaded>>\n"}, {"configreloaded>>"}, 1},
        {{"\xff\xfe>>\n", "workspace"}, {"\xff\xfe>>"}, 0},
    };
    for (const Case& c : cases) {
        h::LineReader reader;
        for (const std::string& chunk : c.chunks) reader.Feed(chunk);
        std::vector<std::string> lines;
        int changes = 0;
        for (std::string line; reader.Next(line);) {
            lines.push_back(line.size() > 80 ? "(huge)" : line);
            changes += h::ChangesLayout(line);
        }
        EXPECT_EQ(c.lines, lines);
        EXPECT_EQ(c.layoutChanges, changes) << c.chunks[0].substr(0, 40);
    }
}

}  // namespace
