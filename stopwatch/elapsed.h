// Elapsed-time arithmetic of the stopwatch, in the precision the readout relies on.
#pragma once

#include <cstdint>

// Seconds between two run-clock readings: the real time that passed, whatever happened to the
// wall clock meanwhile. The run clock never goes back; were it ever to, a run counts as 0.
double RunSeconds(double now, double start);

struct ElapsedParts {
    std::int64_t hours;
    std::int64_t minutes;
    std::int64_t seconds;  // 0-60; 60 carries into the minutes when formatted
};

// Splits the current run (cut down to whole seconds) plus the banked total (with its fraction)
// into hours, minutes and seconds; the seconds are rounded half to even.
ElapsedParts SplitElapsed(double runSeconds, float accumulated);
