// Elapsed-time arithmetic of the stopwatch, in the precision the readout relies on.
#pragma once

#include <cstdint>

// Seconds between two clock readings (seconds since local midnight). The clock restarts at
// midnight, so a reading below the start means midnight has passed: a day is added, which gives
// the true length of any run shorter than a day and keeps a run's length from going negative
// when the system time is set back.
double RunSeconds(float now, float start);

struct ElapsedParts {
    std::int64_t hours;
    std::int64_t minutes;
    std::int64_t seconds;  // 0-60; 60 carries into the minutes when formatted
};

// Splits the current run (cut down to whole seconds) plus the banked total (with its fraction)
// into hours, minutes and seconds; the seconds are rounded half to even.
ElapsedParts SplitElapsed(double runSeconds, float accumulated);
