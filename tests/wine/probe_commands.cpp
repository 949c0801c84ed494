// commands: START, STOP, START, RESET and X through the buttons, with the title read from
// outside while the stopwatch runs.
#include <algorithm>
#include <cmath>

#include "tests/wine/probe.h"

namespace probe {

namespace {

constexpr double kSlack = 0.05;  // between this program's clock and the bar's local time

struct Times {
    double before, after;  // around the click, on this program's clock
};

Times ClickTimed(HWND button) {
    const double before = Now();
    Click(button);
    return {before, Now()};
}

bool Pattern(const Bar& bar, bool start, bool stop, bool reset) {
    return (IsWindowEnabled(bar.start) != FALSE) == start &&
           (IsWindowEnabled(bar.stop) != FALSE) == stop &&
           (IsWindowEnabled(bar.reset) != FALSE) == reset;
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

// Samples the title every 50 ms for `seconds` while the stopwatch runs. `bankedLow` and
// `bankedHigh` bound the total banked before the run that `start` began. The title never shows
// more whole seconds than have passed (plus the half second by which the banked fraction may
// round up), never lags by more than `lag` seconds and never goes back. Returns the last value.
int Watch(const Bar& bar, const Times& start, double bankedLow, double bankedHigh, double seconds,
          int lag, const std::string& what) {
    const double roundUp = bankedHigh > 0 ? 0.5 : 0.0;
    int last = -1, samples = 0;
    bool ok = true;
    std::string fault;
    const double end = Now() + seconds;
    while (Now() < end) {
        const double before = Now();
        const int shown = TitleSeconds(bar.window);
        const double after = Now();
        const double low = bankedLow + (before - start.after) - kSlack;
        const double high = bankedHigh + (after - start.before) + kSlack;
        ++samples;
        if (shown < 0 || shown > std::floor(high + roundUp) || shown < std::floor(low) - lag ||
            shown < last) {
            ok = false;
            fault = "title " + Narrow(Caption(bar.window)) + " when between " +
                    std::to_string(low) + " and " + std::to_string(high) + " s had passed";
            break;
        }
        last = shown;
        Pump(0.05);
    }
    Check(ok, what + " (" + std::to_string(samples) + " samples" + (ok ? "" : ": " + fault) + ")");
    return last;
}

}  // namespace

int RunCommands() {
    Bar bar;
    if (!FindBar(bar, L"KELTOS - 00:00:00", 30)) return 1;

    // Disabled buttons raise no click. A STOP that took it would enable RESET and bank the time
    // since midnight, which the run below would show; RESET goes first, as it would clear that.
    Click(bar.reset);
    Click(bar.stop);
    Check(Pattern(bar, true, false, false) && Caption(bar.window) == L"KELTOS - 00:00:00",
          "Idle: clicks on the disabled RESET and STOP leave only START enabled");

    // A click reported from a button of another program (this one) is not the bar's, even when
    // that button carries whatever the bar's START carries in its window data.
    const HWND forged = CreateWindowExW(0, L"BUTTON", L"START", WS_POPUP | BS_PUSHBUTTON, 0, 0, 60,
                                        20, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(forged, GWLP_USERDATA, GetWindowLongPtrW(bar.start, GWLP_USERDATA));
    SendMessageW(bar.window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(bar.start), BN_CLICKED),
                 reinterpret_cast<LPARAM>(forged));
    Pump(0.5);
    Check(Pattern(bar, true, false, false) && Caption(bar.window) == L"KELTOS - 00:00:00",
          "Idle: a click reported from another program's button changes nothing");
    DestroyWindow(forged);

    // START from Idle.
    const Times run1 = ClickTimed(bar.start);
    Check(Pattern(bar, false, true, true), "START: START disabled, STOP and RESET enabled");
    const int firstShown = Watch(bar, run1, 0, 0, 1.5, 1, "running: the title counts the seconds");
    Click(bar.start);  // disabled while running: must not restart the run
    const int shown1 =
        Watch(bar, run1, 0, 0, 2.0, 1, "running: a click on the disabled START changes nothing");
    Check(shown1 >= 3 && shown1 > firstShown,
          "after 3.5 s the title reads at least 00:00:03 (" + Narrow(Caption(bar.window)) + ")");
    Check(ControlText(bar.time) == Caption(bar.window).substr(9),
          "the time box shows what the title ends with");

    // STOP: the run is banked, the readout freezes, the focus is on START.
    const Times stop1 = ClickTimed(bar.stop);
    const double bankedLow = stop1.before - run1.after - kSlack;
    const double bankedHigh = stop1.after - run1.before + kSlack;
    Check(Pattern(bar, true, false, true), "STOP: START enabled, STOP disabled, RESET enabled");
    Check(FocusOf(bar.window) == bar.start, "STOP: the keyboard focus is on START");
    const std::wstring frozen = Caption(bar.window);
    Pump(1.5);
    Check(Caption(bar.window) == frozen, "paused: the title stays at " + Narrow(frozen) + " (is " +
                                             Narrow(Caption(bar.window)) + ")");

    // START from Paused resumes from the banked total.
    const Times run2 = ClickTimed(bar.start);
    Check(Pattern(bar, false, true, true), "START again: START disabled, STOP and RESET enabled");
    const int shown2 = Watch(bar, run2, bankedLow, bankedHigh, 2.5, 2,
                             "resumed: the title counts on from the banked total");
    Check(shown2 >= ElapsedSeconds(frozen) + 2,
          "resumed: 2.5 s later the title reads at least two seconds more than " + Narrow(frozen) +
              " (" + Narrow(Caption(bar.window)) + ")");

    // RESET from Running.
    ClickTimed(bar.reset);
    Check(Caption(bar.window) == L"KELTOS - 00:00:00" && ControlText(bar.time) == L"00:00:00",
          "RESET: the title and the time box read 00:00:00 at once");
    Check(Pattern(bar, true, false, false), "RESET: only START enabled");
    Check(FocusOf(bar.window) == bar.start, "RESET: the keyboard focus is on START");
    Pump(1.2);
    Check(Caption(bar.window) == L"KELTOS - 00:00:00", "RESET: no further tick changes the title");

    // X ends the program at once with status 0.
    DWORD pid = 0;
    GetWindowThreadProcessId(bar.window, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (Check(process != nullptr, "the bar's process can be watched")) {
        const double before = Now();
        PostMessageW(bar.end, BM_CLICK, 0, 0);
        const bool ended = WaitForSingleObject(process, 1000) == WAIT_OBJECT_0;
        DWORD status = 1234;
        GetExitCodeProcess(process, &status);
        Check(ended, "X: the process ends within a second (" +
                         std::to_string(static_cast<int>((Now() - before) * 1000)) + " ms)");
        Check(ended && status == 0, "X: exit status 0 (is " + std::to_string(status) + ")");
        CloseHandle(process);
    }
    return Failures() == 0 ? 0 : 1;
}

}  // namespace probe
