// What every toolkit's timers must do, as one table that each backend is checked against: the fake
// toolkit (tests/unit), the Qt timer (tests/qt) and the Win32 timer under Wine (the probe's
// "timers" command). A timer made enabled with an interval ticks first one interval later, then
// every interval; an interval of 0 never ticks; writing either setting restarts the count.
//
// All cases run at once, each on a timer of its own, so a backend is checked in one pass of
// about two seconds of its real event loop.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "stopwatch/frmKELTOS_design.h"

namespace timer_contract {

// A setting written `at` milliseconds after the timer was made.
struct Write {
    int at;
    enum Setting { Interval, Enabled } setting;
    int value;  // milliseconds, or 1 / 0 for enabled / disabled
};

struct Case {
    const char* what;
    int interval;  // as designed, when it is made
    bool enabled;
    std::vector<Write> writes;
    std::vector<int> due;  // when it ticks, in milliseconds after it was made
};

inline const std::vector<Case>& Cases() {
    using W = Write;
    static const std::vector<Case> cases = {
        {"Timer2 as designed: first tick a second after it is made",
         frmKELTOS_design::Timer2().interval,
         frmKELTOS_design::Timer2().enabled,
         {},
         {1000}},
        {"Timer1 as designed (interval 0): never ticks",
         frmKELTOS_design::Timer1().interval,
         frmKELTOS_design::Timer1().enabled,
         {{600, W::Enabled, 1}},
         {}},
        {"made disabled: silent until enabled, then every interval",
         400,
         false,
         {{300, W::Enabled, 1}},
         {700, 1100}},
        {"writing the same interval restarts the count",
         400,
         true,
         {{300, W::Interval, 400}},
         {700, 1100}},
        {"enabling again restarts the count", 400, true, {{300, W::Enabled, 1}}, {700, 1100}},
        {"START, STOP, START as the stopwatch writes them",
         0,
         true,
         {{100, W::Interval, 400},
          {100, W::Enabled, 1},
          {700, W::Enabled, 0},
          {700, W::Interval, 0},
          {800, W::Interval, 400},
          {800, W::Enabled, 1}},
         {500, 1200}},
    };
    return cases;
}

// A tick may come up to 5 % of the time since the count began early, plus kEarly (Qt's coarse
// timers run up to 5 % fast), and kLate after it is due (a loaded machine). The watch ends after
// the last due tick may have come and before the next one can.
constexpr double kDrift = 0.05;
constexpr int kEarly = 30;
constexpr int kLate = 190;
constexpr int kWatch = 1400;  // milliseconds

// Runs every case on a timer made by `toolkit` for `window`. `pump(ms)` runs the event loop for
// about that long, `now()` reads a monotonic clock in milliseconds. Returns one line per case
// that broke the contract, naming when it ticked and when it was due.
template <typename Pump, typename Now>
std::vector<std::string> Check(platform::Toolkit& toolkit, platform::Window& window, Pump pump,
                               Now now) {
    struct Run {
        const Case* c;
        std::unique_ptr<platform::Timer> timer;
        double made = 0;
        std::size_t written = 0;
        std::vector<double> late;  // how late each write came, so the ticks after it may too
        std::vector<double> ticks;
    };
    std::vector<Run> runs(Cases().size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        Run& run = runs[i];
        run.c = &Cases()[i];
        run.made = now();
        run.timer = toolkit.MakeTimer(window, {"contract", run.c->interval, run.c->enabled});
        run.timer->onTick = [&run, &now] { run.ticks.push_back(now() - run.made); };
    }
    for (;;) {
        bool watching = false;
        for (Run& run : runs) {
            const double elapsed = now() - run.made;
            watching = watching || elapsed < kWatch;
            while (run.written < run.c->writes.size() && run.c->writes[run.written].at <= elapsed) {
                const Write& w = run.c->writes[run.written++];
                run.late.push_back(elapsed - w.at);
                if (w.setting == Write::Interval) run.timer->SetInterval(w.value);
                if (w.setting == Write::Enabled) run.timer->SetEnabled(w.value != 0);
            }
        }
        if (!watching) break;
        pump(5);
    }
    std::vector<std::string> faults;
    for (Run& run : runs) {
        run.timer->SetEnabled(false);
        std::vector<double> due, earliest;
        for (int d : run.c->due) {
            // Counted from the last write before it, which may have come late.
            double from = 0, shift = 0;
            for (std::size_t w = 0; w < run.late.size(); ++w)
                if (run.c->writes[w].at <= d) from = run.c->writes[w].at, shift = run.late[w];
            due.push_back(d + shift);
            earliest.push_back(d + shift - kDrift * (d - from) - kEarly);
        }
        bool held = run.ticks.size() == due.size();
        for (std::size_t k = 0; held && k < due.size(); ++k)
            held = run.ticks[k] >= earliest[k] && run.ticks[k] <= due[k] + kLate;
        if (held) continue;
        const auto list = [](const std::vector<double>& times) {
            std::string text;
            for (double t : times) text.append(" ").append(std::to_string(static_cast<int>(t)));
            return text.empty() ? std::string(" none") : text;
        };
        faults.push_back(std::string(run.c->what) + ": ticked at" + list(run.ticks) +
                         " ms, due at" + list(due) + " ms");
    }
    return faults;
}

}  // namespace timer_contract
