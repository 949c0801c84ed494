#include <algorithm>

#include "fixture.h"

using StartUp = Started;

TEST_F(StartUp, LeavesTheStopwatchIdleWithTitleAndClockLabel) {
    EXPECT_EQ(commands(), "S--");
    EXPECT_EQ(box(), "00:00:00");
    EXPECT_EQ(title(), "KELTOS - 00:00:00");
    EXPECT_EQ(form.strBaseTitle, "KELTOS");
    EXPECT_EQ(label(), " 08/30 06:26");
    EXPECT_TRUE(form.blnTopMost);
    EXPECT_EQ(form.sngAccumulated, 0.0f);
    // Timer1 stays silent with interval 0; Timer2 ticks every second.
    EXPECT_FALSE(timer(1).Ticking());
    EXPECT_TRUE(timer(2).Ticking());
    EXPECT_EQ(timer(2).interval, 1000);
}

TEST_F(StartUp, RunsTheLoadStepsInOrder) {
    const std::vector<std::string>& log = fake::Desktop::Get().Log();
    const std::vector<std::string> expected{
        "btnStop.disabled",          "btnReset.disabled",   "btnStart.enabled", "txtTime=00:00:00",
        "caption=KELTOS - 00:00:00", "Label1= 08/30 06:26", "SetWindowPos"};
    EXPECT_EQ(log, expected);
}

TEST_F(StartUp, ShowsItselfTopmostAtItsOwnRectangleAndActive) {
    const auto& calls = fake::Desktop::Get().SetWindowPosCalls();
    ASSERT_EQ(calls.size(), 1u);
    const fake::SetWindowPosCall& call = calls[0];
    EXPECT_EQ(call.hWnd, tk.window->hWnd);
    EXPECT_EQ(call.insertAfter, HWND_TOPMOST);
    EXPECT_EQ(call.flags, SWP_SHOWWINDOW);
    EXPECT_EQ(call.cx, 306);
    EXPECT_EQ(call.cy, 19);
    const fake::DesktopWindow* own = fake::Desktop::Get().Find(tk.window->hWnd);
    EXPECT_TRUE(own->topmost && own->visible);
    EXPECT_EQ(GetForegroundWindow(), tk.window->hWnd);
}

TEST_F(StartUp, SetTopMostFalseReturnsToTheOrdinaryBandAtTheSameRectangle) {
    HWND other = fake::Desktop::Get().Add("editor", RECT{10, 20, 410, 320});
    SetTopMost(other, true);
    EXPECT_TRUE(fake::Desktop::Get().Find(other)->topmost);
    SetTopMost(other, false);
    const fake::DesktopWindow* w = fake::Desktop::Get().Find(other);
    EXPECT_FALSE(w->topmost);
    EXPECT_EQ(w->rect.left, 10);
    EXPECT_EQ(w->rect.top, 20);
    EXPECT_EQ(w->rect.right, 410);
    EXPECT_EQ(w->rect.bottom, 320);
}

TEST_F(StartUp, TypingIntoTheTimeBoxChangesNothingElse) {
    const std::size_t logged = fake::Desktop::Get().Log().size();
    tk.textBox->Type("12:34:56 typed");
    tk.Advance(2500);  // Timer2 ticks twice; Timer1 is silent while Idle
    EXPECT_EQ(box(), "12:34:56 typed");
    EXPECT_EQ(title(), "KELTOS - 00:00:00");
    EXPECT_EQ(form.sngAccumulated, 0.0f);
    const auto& log = fake::Desktop::Get().Log();
    EXPECT_TRUE(std::none_of(log.begin() + static_cast<long>(logged), log.end(),
                             [](const std::string& s) { return s.rfind("txtTime", 0) == 0; }));
}

class StartUpWithOtherSeparators : public Started {
  protected:
    StartUpWithOtherSeparators() : Started({2026, 1, 5, 23, 7, 0}, {".", "."}) {}
};

TEST_F(StartUpWithOtherSeparators, ClockLabelUsesTheUsersSeparators) {
    EXPECT_EQ(label(), " 01.05 23.07");
    // The start-up text of the time box and title is fixed, whatever the separators.
    EXPECT_EQ(title(), "KELTOS - 00:00:00");
}
