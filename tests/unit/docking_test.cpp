#include <algorithm>
#include <string>
#include <vector>

#include "fixture.h"

namespace {

fake::Desktop& desktop() {
    return fake::Desktop::Get();
}

}  // namespace

class Docking : public Started {
  protected:
    // Lets one Timer2 tick pass.
    void Tick() { tk.Advance(1000); }
    // Where the bar goes for a window whose rectangle ends at `right` and begins at `top`.
    void ExpectDockedAt(int right, int top) {
        EXPECT_FLOAT_EQ(tk.window->left, 15.0f * right - 950 - 4590);
        EXPECT_FLOAT_EQ(tk.window->top, 15.0f * top + 60);
    }
};

TEST_F(Docking, StaysPutWhileItselfIsInFront) {
    ASSERT_EQ(GetForegroundWindow(), tk.window->hWnd);
    Tick();
    Tick();
    EXPECT_EQ(tk.window->moves, 0);
}

TEST_F(Docking, FollowsEachWindowBroughtToTheFront) {
    HWND editor = desktop().Add("Editor - notes.txt", RECT{100, 50, 900, 650});
    HWND terminal = desktop().Add("Terminal", RECT{-20, 300, 1300, 1000});
    desktop().SetForeground(editor);
    Tick();
    ExpectDockedAt(900, 50);
    desktop().SetForeground(terminal);
    Tick();
    ExpectDockedAt(1300, 300);
    desktop().SetForeground(editor);
    Tick();
    ExpectDockedAt(900, 50);
}

TEST_F(Docking, FullScreenWindowPutsTheBarFourPixelsDownNearTheRightEdge) {
    desktop().SetForeground(desktop().Add("Video", RECT{0, 0, 1920, 1080}));
    Tick();
    // Right edge 950 twips (about 63 px) left of the screen's, top 60 twips (4 px) down.
    EXPECT_FLOAT_EQ(tk.window->left + tk.window->width, 1920 * 15 - 950);
    EXPECT_FLOAT_EQ(tk.window->top, 60);
}

TEST_F(Docking, RecognisesItsOwnKindByTheFirstFiveCharactersExactly) {
    const struct {
        const char* title;
        bool followed;
    } cases[] = {
        {"KELTO", false},              // a second copy, or anything titled like one
        {"KELTOS - 01:02:03", false},  //
        {"KELT", true},                // shorter than five characters
        {"", true},                    // no title at all
        {"kelTOS - 00:00:00", true},   // case matters
        {"KELT\xC3\x96S", true},       // same bytes up to the fourth character only
        {"\xFF\xFEKELTOS", true},      // invalid UTF-8 never matches
    };
    int expectedMoves = 0;
    for (const auto& c : cases) {
        desktop().SetForeground(desktop().Add(c.title, RECT{0, 100, 800, 700}));
        tk.window->left = tk.window->top = 0;
        Tick();
        if (c.followed) ++expectedMoves;
        EXPECT_EQ(tk.window->moves, expectedMoves) << '"' << c.title << '"';
    }
}

TEST_F(Docking, ComparesCharactersNotBytes) {
    form.strBaseTitle =
        "\xE7\xA7\x92\xE8\xA8\x88\xE3\x82\xBF\xE3\x82\xA4\xE3\x83\x9E";  // 秒計タイマ
    form.SetTitle("00:00:00");
    desktop().SetForeground(
        desktop().Add("\xE7\xA7\x92\xE8\xA8\x88\xE3\x82\xBF\xE3\x82\xA4\xE3\x83\x9E\xE3\x83\xBC",
                      RECT{0, 0, 10, 10}));
    Tick();
    EXPECT_EQ(tk.window->moves, 0) << "five equal characters: its own kind";
    desktop().SetForeground(
        desktop().Add("\xE7\xA7\x92\xE8\xA8\x88\xE3\x82\xBF\xE3\x82\xA4X", RECT{0, 0, 10, 10}));
    Tick();
    EXPECT_EQ(tk.window->moves, 1);
}

TEST_F(Docking, NoForegroundWindowLeavesThePositionAndRefreshesTheLabel) {
    desktop().SetForeground(nullptr);
    tk.Advance(60 * 1000);
    EXPECT_EQ(tk.window->moves, 0);
    EXPECT_EQ(label(), " 08/30 06:27");
}

TEST_F(Docking, VanishedOrMinimizedWindowsAreNotFollowed) {
    HWND gone = desktop().Add("Closed a moment ago", RECT{0, 0, 800, 600});
    desktop().SetForeground(gone);
    desktop().Close(gone);
    Tick();
    HWND minimized = desktop().Add("Minimized", RECT{-32000, -32000, -31840, -31973});
    desktop().Find(minimized)->iconic = true;
    desktop().SetForeground(minimized);
    Tick();
    EXPECT_EQ(tk.window->moves, 0);
}

TEST_F(Docking, UsesTheDisplaysOwnTwipsPerPixel) {
    tk.window->twipsPerPixel = 10;  // 144 pixels per inch
    tk.window->width = 3060;        // the same 306 pixels wide there
    desktop().SetForeground(desktop().Add("Editor", RECT{0, 30, 2000, 900}));
    Tick();
    EXPECT_FLOAT_EQ(tk.window->left, 10.0f * 2000 - 950 - 3060);
    EXPECT_FLOAT_EQ(tk.window->top, 10.0f * 30 + 60);
}

TEST_F(Docking, OntoAMonitorOfAnotherResolutionAtOnePlace) {
    // The window is on a monitor of 144 pixels per inch, right of the bar's of 96: the bar is
    // placed as a whole at the resolution it has when the tick begins, never half at each.
    tk.window->otherMonitorLeft = 1920;
    desktop().SetForeground(desktop().Add("Editor", RECT{2000, 100, 3000, 700}));
    Tick();
    const RECT& bar = desktop().Find(tk.window->hWnd)->rect;
    EXPECT_EQ(bar.top, 100 + 4);
    EXPECT_EQ(bar.right, 3000 - 63);
}

TEST_F(Docking, ClockLabelFollowsTheMinuteWhileIdleRunningAndPaused) {
    // Start-up is at 06:26:00; each phase crosses a minute boundary. The label is written once
    // a minute, not at every tick.
    const auto& log = fake::Desktop::Get().Log();
    const std::size_t before = log.size();
    tk.Advance(60 * 1000);
    EXPECT_EQ(label(), " 08/30 06:27");
    EXPECT_EQ(std::count_if(log.begin() + static_cast<long>(before), log.end(),
                            [](const std::string& s) { return s.rfind("Label1=", 0) == 0; }),
              1);
    // The tick that wrote it may rest until the minute's last second, and that one's not at all.
    EXPECT_EQ(timer(2).rest, 59 * 1000);
    tk.Advance(59 * 1000);
    EXPECT_EQ(timer(2).rest, 0);
    button("btnStart").Click();
    tk.Advance(1000);
    EXPECT_EQ(label(), " 08/30 06:28");
    tk.Advance(59 * 1000);
    button("btnStop").Click();
    tk.Advance(60 * 1000);
    EXPECT_EQ(label(), " 08/30 06:29");
}
