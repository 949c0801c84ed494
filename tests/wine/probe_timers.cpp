// timers: the Win32 toolkit's timers, made in this program on a hidden window of their own, in a
// real message loop, against the contract every toolkit keeps (tests/timer_contract.h).
#include "tests/timer_contract.h"
#include "tests/wine/probe.h"

namespace probe {

int RunTimers() {
    const auto toolkit = platform::CreateToolkit();
    const auto window = toolkit->MakeWindow({"keltos_probe timers", 4590, 285});
    const auto faults = timer_contract::Check(
        *toolkit, *window, [](int ms) { Pump(ms / 1000.0); }, [] { return Now() * 1000; });
    for (const std::string& fault : faults) Check(false, fault);
    Check(faults.empty(), "the timers keep the contract in all " +
                              std::to_string(timer_contract::Cases().size()) + " cases");
    return Failures() == 0 ? 0 : 1;
}

}  // namespace probe
