// The user32 functions newer than Windows 7 that KELTOS and its probe use where the system has
// them. KELTOS.exe imports none of them, so that it still starts on Windows 7: each is found by
// name (proc_address.h) in win32_newer.cpp, the one file that sees their declarations.
#pragma once

#include <windows.h>

namespace platform::win32 {

// GetDpiForWindow (Windows 10 1607): the DPI of the monitor the window is on; 0 where the
// system lacks it.
UINT WindowDpiIfKnown(HWND window);

// SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) (Windows 10 1703);
// false where the system lacks it or refuses.
bool BecomePerMonitorAwareV2();

}  // namespace platform::win32
