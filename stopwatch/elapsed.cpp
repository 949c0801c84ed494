#include "stopwatch/elapsed.h"

#include <cmath>

namespace {

// floor() as a whole number that never overflows: totals beyond any clock's reach saturate.
std::int64_t WholeFloor(double value) {
    if (!(value == value)) return 0;  // NaN
    constexpr double kLimit = 9.0e18;
    if (value >= kLimit) return static_cast<std::int64_t>(kLimit);
    if (value <= -kLimit) return -static_cast<std::int64_t>(kLimit);
    return static_cast<std::int64_t>(std::floor(value));
}

}  // namespace

double RunSeconds(double now, double start) {
    const double run = now - start;
    return run > 0 ? run : 0;
}

ElapsedParts SplitElapsed(double runSeconds, float accumulated) {
    float e = static_cast<float>(static_cast<double>(WholeFloor(runSeconds)) + accumulated);
    if (!(e >= 0)) e = 0;  // a banked total is never negative; NaN reads as nothing elapsed
    // Beyond any real run (about 31 million years): held there so that hours, minutes and
    // seconds stay within whole-number arithmetic; the readout then still shows an elapsed text.
    constexpr float kLargest = 1e15f;
    if (e > kLargest) e = kLargest;
    const std::int64_t h = WholeFloor(static_cast<double>(e) / 3600);
    e = static_cast<float>(static_cast<double>(e) - static_cast<double>(3600 * h));
    const std::int64_t m = WholeFloor(static_cast<double>(e) / 60);
    const double s = std::nearbyint(static_cast<double>(e) - static_cast<double>(60 * m));
    return {h, m, static_cast<std::int64_t>(s)};
}
