// The fake toolkit's timers keep the contract the real ones are held to (tests/timer_contract.h),
// so what the unit tests see of Timer1 and Timer2 is what the programs do.
#include <gtest/gtest.h>

#include "tests/fake/fake_toolkit.h"
#include "tests/timer_contract.h"

TEST(Timers, FakeTimersKeepTheContractOfTheRealOnes) {
    fake::Desktop::Get().Reset();
    fake::FakeToolkit tk;
    const auto window = tk.MakeWindow({"timers", 4590, 285});
    const auto faults = timer_contract::Check(
        tk, *window, [&](int ms) { tk.Advance(ms); },
        [&] { return static_cast<double>(tk.MonotonicMs()); });
    for (const std::string& fault : faults) ADD_FAILURE() << fault;
}
