// A month of use on the fake clocks: every simulated day has runs across midnight, runs with a
// pause and a RESET, and runs during which the system time is set forward or back; two days have
// daylight-saving shifts (02:00 to 03:00 in spring, 03:00 back to 02:00 in autumn) inside a run.
// Between runs the wall clock is set to the next run's start while the stopwatch is paused, which
// it does not notice, so a month takes a few seconds. Every readout and every banked total is
// checked against the real time that passed, within what the arithmetic allows.
#include <cmath>
#include <random>
#include <string>

#include "fixture.h"

namespace {

// "hh:mm:ss" with hh 00-23, mm and ss 00-59; its seconds, or -1 when it is not such a text.
long ElapsedTextSeconds(const std::string& text) {
    if (text.size() != 8 || text[2] != ':' || text[5] != ':') return -1;
    long fields[3] = {};
    for (int f = 0; f < 3; ++f) {
        const char hi = text[f * 3], lo = text[f * 3 + 1];
        if (hi < '0' || hi > '9' || lo < '0' || lo > '9') return -1;
        fields[f] = (hi - '0') * 10 + (lo - '0');
    }
    if (fields[0] > 23 || fields[1] > 59 || fields[2] > 59) return -1;
    return fields[0] * 3600 + fields[1] * 60 + fields[2];
}

}  // namespace

class Soak : public Started {
  protected:
    Soak() : Started({2026, 3, 1, 0, 0, 0}) {}

    // Sets the system time to a whole second and remembers it, so that later jumps are exact.
    void SetWall(platform::DateTime when) {
        tk.SetWallClock(when);
        wall_ = when;
        wallSetAt_ = tk.MonotonicMs();
    }

    // Sets the system time `seconds` forward (or back) from the current whole second.
    void JumpWall(std::int64_t seconds) {
        const std::int64_t since = tk.MonotonicMs() - wallSetAt_;
        platform::DateTime when = wall_;
        when.second += static_cast<int>(since / 1000 + seconds);
        SetWall(when);
    }

    // One 200 ms step while running, with the readout checked: the run cut down to whole
    // seconds plus the banked total, whose fraction the readout rounds half to even, so the
    // shown seconds lie within half a second, plus the total's single-precision rounding, of
    // that sum (around the 24-hour dial).
    void Step(std::int64_t runStartMs) {
        tk.Advance(200);
        ++steps_;
        const long shown = ElapsedTextSeconds(box());
        ASSERT_GE(shown, 0) << "not an elapsed text: " << box();
        ASSERT_EQ(title(), "KELTOS - " + box());
        const double truth = std::floor((tk.MonotonicMs() - runStartMs) / 1000.0) + expected_;
        const double off = std::remainder(shown - truth, 86400.0);
        ASSERT_LE(std::fabs(off), 0.5 + tolerance_ + Ulp(static_cast<float>(truth)))
            << box() << " for " << truth << " s";
    }

    // START, `ms` of running (the system time moved by `jumpSeconds` after `jumpAtMs` unless it
    // is 0), then STOP or RESET. Checks what was banked: the run's real length, whatever the
    // wall clock did.
    void Run(std::int64_t ms, std::int64_t jumpAtMs = 0, std::int64_t jumpSeconds = 0,
             bool reset = false) {
        const double before = form.sngAccumulated;
        button("btnStart").Click();
        const std::int64_t start = tk.MonotonicMs();
        bool jumped = false;
        for (std::int64_t t = 0; t < ms; t += 200) {
            if (jumpSeconds && !jumped && t >= jumpAtMs) {
                JumpWall(jumpSeconds);
                jumped = true;
            }
            Step(start);
            if (HasFatalFailure()) return;
        }
        if (reset) {
            button("btnReset").Click();
            ASSERT_EQ(form.sngAccumulated, 0.0f);
            ASSERT_EQ(box(), "00:00:00");
            expected_ = 0;
            tolerance_ = 0;
            return;
        }
        button("btnStop").Click();
        ++runs_;
        const std::int64_t trueMs = tk.MonotonicMs() - start;
        const double expected = static_cast<double>(trueMs) / 1000.0;
        const double banked = static_cast<double>(form.sngAccumulated) - before;
        // The run's length from two double readings (exact to far below a microsecond), and the
        // sum rounded once to single precision when stored.
        const double tolerance = 1e-6 + Ulp(form.sngAccumulated) / 2;
        ASSERT_NEAR(banked, expected, tolerance)
            << "run of " << trueMs << " ms, wall clock moved: " << jumped;
        expected_ += expected;
        tolerance_ += tolerance;
        ASSERT_NEAR(form.sngAccumulated, expected_, tolerance_) << "total after " << runs_;
    }

    static double Ulp(float x) { return std::nextafter(x, 1e30f) - x; }

    // The banked total is cleared once a week.
    void Reset() {
        button("btnReset").Click();
        ASSERT_EQ(form.sngAccumulated, 0.0f);
        ASSERT_EQ(title(), "KELTOS - 00:00:00");
        expected_ = 0;
        tolerance_ = 0;
    }

    long steps_ = 0, runs_ = 0;
    double expected_ = 0, tolerance_ = 0;

  private:
    platform::DateTime wall_;
    std::int64_t wallSetAt_ = 0;
};

TEST_F(Soak, AMonthOfRunsAcrossMidnightsDaylightSavingAndClockChanges) {
    std::mt19937 random(20260301);
    const auto between = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    for (int day = 1; day <= 31; ++day) {
        SCOPED_TRACE("day " + std::to_string(day));
        // Started before midnight with a fraction of a second, stopped after it.
        SetWall({2026, 3, day, 23, 59, between(0, 59)});
        tk.Advance(between(0, 999));
        Run(between(305, 900) * 200);
        if (HasFatalFailure()) return;

        // A morning run with a pause; every third day RESET while running.
        SetWall({2026, 3, day, 9, between(0, 59), between(0, 59)});
        tk.Advance(between(0, 999));
        Run(between(5, 750) * 200);
        tk.Advance(between(1, 30) * 1000);
        Run(between(5, 750) * 200, 0, 0, day % 3 == 0);
        if (HasFatalFailure()) return;

        // The system time set forward or back during a run, by a second up to three hours.
        SetWall({2026, 3, day, 14, between(0, 59), between(0, 59)});
        const std::int64_t length = between(50, 600) * 200;
        const std::int64_t jump = between(1, 3 * 3600) + length / 1000 + 5;
        Run(length, between(0, static_cast<int>(length / 200)) * 200, day % 2 ? jump : -jump);
        if (HasFatalFailure()) return;

        if (day == 10) {  // spring: at 02:00 the clock shows 03:00
            SetWall({2026, 3, day, 1, 59, 30});
            Run(60 * 1000, 30 * 1000, 3600);
        } else if (day == 20) {  // autumn: at 03:00 the clock shows 02:00 again
            SetWall({2026, 3, day, 2, 59, 30});
            Run(60 * 1000, 30 * 1000, -3600);
        }
        if (HasFatalFailure()) return;
        if (day % 7 == 0) Reset();
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(steps_, 31 * 1000);
    EXPECT_GE(runs_, 31 * 3);
}
