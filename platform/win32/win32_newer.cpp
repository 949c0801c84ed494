// The user32 functions of Windows 10 that KELTOS calls where the system has them (win32_newer.h).
// Windows' headers declare them only for a Windows 10 target: this file alone is built as one,
// so that their pointers take the declarations' own types; KELTOS.exe still imports none of them.
#undef WINVER
#define WINVER 0x0A00
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00
#include "platform/win32/win32_newer.h"

#include "platform/win32/proc_address.h"

namespace platform::win32 {

namespace {

HMODULE User32() {
    return GetModuleHandleW(L"user32.dll");
}

}  // namespace

UINT WindowDpiIfKnown(HWND window) {
    static const auto getDpiForWindow =
        ProcAddress<decltype(::GetDpiForWindow)>(User32(), "GetDpiForWindow");
    return getDpiForWindow ? getDpiForWindow(window) : 0;
}

bool BecomePerMonitorAwareV2() {
    const auto setContext = ProcAddress<decltype(::SetProcessDpiAwarenessContext)>(
        User32(), "SetProcessDpiAwarenessContext");
    return setContext && setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
}

}  // namespace platform::win32
