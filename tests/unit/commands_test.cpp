#include "fixture.h"

using Commands = Started;

TEST_F(Commands, StartStopStartStopBanksBothRunsWithTheirFractions) {
    button("btnStart").Click();
    EXPECT_EQ(commands(), "-TR");
    EXPECT_TRUE(timer(1).Ticking());
    EXPECT_EQ(timer(1).interval, 200);
    tk.Advance(1300);
    button("btnStop").Click();
    EXPECT_EQ(commands(), "S-R");
    EXPECT_FALSE(timer(1).Ticking());
    EXPECT_EQ(timer(1).interval, 0);
    EXPECT_NEAR(form.sngAccumulated, 1.3, 1e-3);
    tk.Advance(5000);  // paused time does not count
    button("btnStart").Click();
    tk.Advance(2450);
    button("btnStop").Click();
    EXPECT_NEAR(form.sngAccumulated, 3.75, 1e-3);
}

TEST_F(Commands, StopLeavesTheLastShownTextUntilTheNextStartsFirstTick) {
    button("btnStart").Click();
    tk.Advance(2100);
    EXPECT_EQ(box(), "00:00:02");
    tk.Advance(150);
    button("btnStop").Click();  // 2.25 s banked, 00:00:02 still shown
    EXPECT_EQ(box(), "00:00:02");
    EXPECT_EQ(title(), "KELTOS - 00:00:02");
    button("btnStart").Click();
    button("btnStop").Click();  // before any tick: the text from before that START stays
    EXPECT_EQ(box(), "00:00:02");
    button("btnStart").Click();
    tk.Advance(200);
    EXPECT_EQ(box(), "00:00:02");  // 2.25 banked + 0 whole seconds of this run
}

TEST_F(Commands, ResetFromRunningOrPausedClearsAtOnceAndSilencesTimer1) {
    for (bool paused : {false, true}) {
        button("btnStart").Click();
        tk.Advance(3100);
        if (paused) button("btnStop").Click();
        button("btnReset").Click();
        EXPECT_EQ(commands(), "S--");
        EXPECT_EQ(box(), "00:00:00");
        EXPECT_EQ(title(), "KELTOS - 00:00:00");
        EXPECT_EQ(form.sngAccumulated, 0.0f);
        const int ticks = timer(1).ticks;
        tk.Advance(2000);
        EXPECT_EQ(timer(1).ticks, ticks) << "no tick after RESET";
        EXPECT_EQ(box(), "00:00:00");
    }
}

TEST_F(Commands, FocusReturnsToStartAfterStopAndReset) {
    button("btnStart").Click();
    tk.focus = "txtTime";
    button("btnStop").Click();
    EXPECT_EQ(tk.focus, "btnStart");
    tk.focus = "txtTime";
    button("btnReset").Click();
    EXPECT_EQ(tk.focus, "btnStart");
}

TEST_F(Commands, DisabledButtonsRaiseNoClick) {
    button("btnStop").Click();  // Idle: STOP and RESET are off
    button("btnReset").Click();
    EXPECT_EQ(commands(), "S--");
    EXPECT_FALSE(timer(1).Ticking());
    button("btnStart").Click();
    const float start = form.sngStartTime;
    tk.Advance(1000);
    button("btnStart").Click();  // Running: START is off, the run is not restarted
    EXPECT_EQ(form.sngStartTime, start);
    button("btnStop").Click();
    button("btnStop").Click();  // Paused: STOP is off, nothing is banked twice
    EXPECT_NEAR(form.sngAccumulated, 1.0, 1e-3);
}

TEST_F(Commands, EndButtonEndsTheProgramInAnyState) {
    EXPECT_THROW(button("btnEnd").Click(), fake::ProgramEnded);
    button("btnStart").Click();
    EXPECT_THROW(button("btnEnd").Click(), fake::ProgramEnded);
}

class AcrossMidnight : public Started {
  protected:
    AcrossMidnight() : Started({2026, 12, 31, 23, 59, 58}) {}
};

TEST_F(AcrossMidnight, RunCountsItsTrueLengthInTheReadoutAndWhenBanked) {
    button("btnStart").Click();
    tk.Advance(3000);  // 23:59:58 -> 00:00:01
    EXPECT_EQ(box(), "00:00:03");
    button("btnStop").Click();
    EXPECT_NEAR(form.sngAccumulated, 3.0, 1e-3);
    EXPECT_EQ(label(), " 01/01 00:00");
}

TEST_F(Commands, SystemTimeSetBackWhileRunningKeepsAWellFormedReadout) {
    button("btnStart").Click();
    tk.Advance(5000);
    tk.SetWallClock({2026, 8, 30, 5, 0, 0});  // 1 h 26 min back
    tk.Advance(1000);
    EXPECT_EQ(box().size(), 8u);
    EXPECT_EQ(box()[2], ':');
    EXPECT_EQ(box().find('-'), std::string::npos);
    button("btnStop").Click();
    EXPECT_GE(form.sngAccumulated, 0.0f);
    button("btnStart").Click();
    tk.Advance(200);
    EXPECT_EQ(title(), "KELTOS - " + box());
}
