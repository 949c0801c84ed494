// dpichange: the bar is moved onto a monitor of another DPI and back, as Windows tells it with
// WM_DPICHANGED (sent inside its process by keltos_probe_hook.dll, as no second monitor is at
// hand): its window, its controls and their fonts follow, and it docks in the new pixels.
#include "tests/wine/probe.h"
#include "tests/wine/probe_hook.h"

namespace probe {

int RunDpiChange() {
    Bar bar;
    if (!FindBar(bar, L"KELTOS - 00:00:00", 30)) return 1;
    const int system = DpiOf(bar.window);
    const int other = system == 144 ? 96 : 144;
    HWND target = OpenForeign(L"Probe window Gamma", 150, 250, 600, 300);
    int now = system;
    for (int dpi : {other, system}) {
        {
            BarHook hook(bar.window);
            if (!Check(hook.Ready(), "keltos_probe_hook.dll hooks the bar's thread")) return 1;
            hook.ChangeDpi(now, dpi);
        }
        Note("the bar's monitor changed from " + std::to_string(now) + " to " +
             std::to_string(dpi) + " DPI");
        now = dpi;
        CheckLayout(bar, dpi);
        CheckCaptions(bar, dpi);
        DockingAtDpi(dpi);
        ExpectFollows(bar, target, "window Gamma");
        SetForegroundWindow(bar.window);
    }
    DestroyWindow(target);
    return Failures() == 0 ? 0 : 1;
}

}  // namespace probe
