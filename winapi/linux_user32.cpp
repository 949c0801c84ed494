// USER32's calls on Linux: each turns into the question of the desktop handed in (linux_user32.h),
// with USER32's arguments and results around it: handles are the desktop's window ids, titles
// are copied into the caller's buffer, and a call that fails returns 0 / FALSE.
#include "winapi/linux_user32.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "winapi/mdlAPI.h"

namespace winapi {

namespace {

desktop::Desktop* used = nullptr;

desktop::WindowId IdOf(HWND hWnd) {
    return reinterpret_cast<std::uintptr_t>(hWnd);
}

}  // namespace

void UseDesktop(desktop::Desktop* desktop) {
    used = desktop;
}

}  // namespace winapi

using winapi::IdOf;
using winapi::used;

HWND GetForegroundWindow() {
    return used ? reinterpret_cast<HWND>(static_cast<std::uintptr_t>(used->Foreground())) : nullptr;
}

int GetWindowTextA(HWND hWnd, LPSTR buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    buffer[0] = '\0';
    const std::optional<std::string> title =
        used ? used->Title(IdOf(hWnd), static_cast<std::size_t>(capacity) - 1) : std::nullopt;
    if (!title) return 0;
    std::memcpy(buffer, title->c_str(), title->size() + 1);
    return static_cast<int>(title->size());
}

BOOL GetWindowRect(HWND hWnd, RECT* rect) {
    const std::optional<desktop::Rect> frame =
        used && rect ? used->Frame(IdOf(hWnd)) : std::nullopt;
    if (!frame) return 0;
    *rect = RECT{frame->left, frame->top, frame->right, frame->bottom};
    return 1;
}

BOOL IsIconic(HWND hWnd) {
    return used && used->Minimized(IdOf(hWnd));
}

BOOL SetWindowPos(HWND hWnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    if (!used) return 0;
    desktop::Placement placement;
    if (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST)
        placement.topmost = insertAfter == HWND_TOPMOST;
    if (!(flags & SWP_NOMOVE)) placement.x = x, placement.y = y;
    if (!(flags & SWP_NOSIZE)) placement.width = cx, placement.height = cy;
    placement.show = (flags & SWP_SHOWWINDOW) != 0;
    placement.activate = placement.show && !(flags & SWP_NOACTIVATE);
    return used->Place(IdOf(hWnd), placement);
}
