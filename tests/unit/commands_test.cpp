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
    const double start = form.dblStartTime;
    tk.Advance(1000);
    button("btnStart").Click();  // Running: START is off, the run is not restarted
    EXPECT_EQ(form.dblStartTime, start);
    button("btnStop").Click();
    button("btnStop").Click();  // Paused: STOP is off, nothing is banked twice
    EXPECT_NEAR(form.sngAccumulated, 1.0, 1e-3);
}

TEST_F(Commands, EndButtonEndsTheProgramInAnyState) {
    EXPECT_THROW(button("btnEnd").Click(), fake::ProgramEnded);
    button("btnStart").Click();
    EXPECT_THROW(button("btnEnd").Click(), fake::ProgramEnded);
}

// Runs are timed on the run clock: whatever the wall clock does during a run or during the pause
// between STOP and START, the readout and the banked total are the real time that passed, while
// the clock label follows the wall clock. Each case: START, 2.3 s, the wall clock moves by `inRun`
// hours, 5 s (00:00:07 shown), STOP (7.3 s banked), 1 s, the wall clock moves by `inPause` hours,
// 1.5 s, START, 3.2 s (00:00:10 shown), STOP (10.5 s banked).
struct WallClockCase {
    const char* name;
    platform::DateTime start;
    int inRun, inPause;
    const char *labelInRun, *labelAfterPause;  // the clock label at each readout
};

void PrintTo(const WallClockCase& c, std::ostream* out) {
    *out << c.name;
}

const WallClockCase kWallClockCases[] = {
    {"SetBackAnHour", {2026, 8, 30, 6, 26, 0}, -1, -1, " 08/30 05:26", " 08/30 04:26"},
    {"SetForwardTwoHours", {2026, 8, 30, 6, 26, 0}, 2, 2, " 08/30 08:26", " 08/30 10:26"},
    {"MidnightInARun", {2026, 12, 31, 23, 59, 57}, 0, 0, " 01/01 00:00", " 01/01 00:00"},
    {"MidnightInAPause", {2026, 12, 31, 23, 59, 51}, 0, 0, " 12/31 23:59", " 01/01 00:00"},
    // At 03:00 summer time the clock shows 02:00 again; at 02:00 winter time it shows 03:00.
    {"SummerTimeEndsInARun", {2026, 10, 25, 2, 59, 58}, -1, 0, " 10/25 02:00", " 10/25 02:00"},
    {"SummerTimeBeginsInAPause", {2026, 3, 29, 1, 59, 50}, 0, 1, " 03/29 01:59", " 03/29 03:00"},
    // Tokyo (+09:00) to New York (-05:00) during the run, and back during the pause.
    {"TimeZoneChanged", {2026, 8, 30, 6, 26, 0}, -14, 14, " 08/29 16:26", " 08/30 06:26"},
};

class WallClockMoves : public Started, public ::testing::WithParamInterface<WallClockCase> {
  protected:
    WallClockMoves() : Started(GetParam().start) {}
};

TEST_P(WallClockMoves, RunsAndTheBankedTotalAreTheRealTimeThatPassed) {
    const WallClockCase& c = GetParam();
    button("btnStart").Click();
    tk.Advance(2300);
    tk.ShiftWallClock(c.inRun * 3600 * 1000LL);
    tk.Advance(5000);
    EXPECT_EQ(title(), "KELTOS - 00:00:07");
    EXPECT_EQ(box(), "00:00:07");
    EXPECT_EQ(label(), c.labelInRun);
    button("btnStop").Click();
    EXPECT_NEAR(form.sngAccumulated, 7.3, 1e-5);

    tk.Advance(1000);
    tk.ShiftWallClock(c.inPause * 3600 * 1000LL);
    tk.Advance(1500);
    button("btnStart").Click();
    tk.Advance(3200);
    EXPECT_EQ(title(), "KELTOS - 00:00:10");
    EXPECT_EQ(label(), c.labelAfterPause);
    button("btnStop").Click();
    EXPECT_NEAR(form.sngAccumulated, 10.5, 1e-5);
}

INSTANTIATE_TEST_SUITE_P(RunClock, WallClockMoves, ::testing::ValuesIn(kWallClockCases),
                         [](const auto& info) { return std::string(info.param.name); });
