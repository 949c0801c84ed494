#include <algorithm>
#include <string>
#include <vector>

#include "fixture.h"

using Readout = Started;

TEST_F(Readout, CountsWholeSecondsOfTheRunFromStart) {
    button("btnStart").Click();
    for (int i = 0; i < 4; ++i) {
        tk.Advance(200);
        EXPECT_EQ(box(), "00:00:00") << "tick " << i;
    }
    tk.Advance(200);  // exactly one second after START
    EXPECT_EQ(box(), "00:00:01");
    EXPECT_EQ(title(), "KELTOS - 00:00:01");
    tk.Advance(82 * 1000);
    EXPECT_EQ(title(), "KELTOS - 00:01:23");
}

TEST_F(Readout, BankedTotalKeepsItsFractionAndSecondsRoundHalfToEven) {
    const struct {
        float banked;
        const char* shown;
    } table[] = {
        {2.7f, "00:00:03"},   {2.5f, "00:00:02"},  {3.5f, "00:00:04"}, {59.5f, "00:01:00"},
        {119.5f, "00:02:00"}, {3599, "00:59:59"},  {3600, "01:00:00"}, {86399, "23:59:59"},
        {86400, "00:00:00"},  {90061, "01:01:01"}, {0, "00:00:00"},
    };
    for (const auto& row : table) {
        form.sngAccumulated = row.banked;
        button("btnStart").Click();
        tk.Advance(200);
        EXPECT_EQ(box(), row.shown) << "banked " << row.banked;
        EXPECT_EQ(title(), std::string("KELTOS - ") + row.shown);
        button("btnStop").Click();
    }
}

TEST_F(Readout, HugeTotalsStillShowAnElapsedText) {
    // Totals beyond 1e15 s are held there: 1e15f is 277777774164 h 11 min 44 s.
    const struct {
        float banked;
        const char* shown;
    } table[] = {{32768.0f * 3600, "08:00:00"}, {1e12f, "00:38:24"}, {3.0e38f, "12:11:44"}};
    for (const auto& row : table) {
        form.sngAccumulated = row.banked;
        button("btnStart").Click();
        tk.Advance(200);
        EXPECT_EQ(box(), row.shown) << row.banked;
        button("btnStop").Click();
    }
}

TEST_F(Readout, UsesTheUsersTimeSeparatorWhileStartUpAndResetTextStayFixed) {
    tk.separators.time = ".";
    button("btnStart").Click();
    tk.Advance(61 * 1000);
    EXPECT_EQ(box(), "00.01.01");
    EXPECT_EQ(title(), "KELTOS - 00.01.01");
    button("btnReset").Click();
    EXPECT_EQ(box(), "00:00:00");
}

TEST_F(Readout, WritesOnlyWhatChangedAndTheTitleEndsWithTheBoxText) {
    const auto& log = fake::Desktop::Get().Log();
    const auto written = [&](std::size_t from) {
        return std::vector<std::string>(log.begin() + static_cast<long>(from), log.end());
    };
    button("btnStart").Click();
    std::size_t before = log.size();
    tk.Advance(800);  // four ticks, all still showing 00:00:00
    EXPECT_EQ(written(before), std::vector<std::string>{});
    before = log.size();
    tk.Advance(200);
    EXPECT_EQ(written(before),
              (std::vector<std::string>{"txtTime=00:00:01", "caption=KELTOS - 00:00:01"}));
    // What the user typed over is put right at the next tick; the title was never touched.
    tk.textBox->Type("typed");
    before = log.size();
    tk.Advance(200);
    EXPECT_EQ(written(before), std::vector<std::string>{"txtTime=00:00:01"});
}
