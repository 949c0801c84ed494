#include "tests/fake/fake_desktop.h"

#include <cstdint>
#include <cstring>

#include "desktop/utf8.h"

namespace fake {

Desktop& Desktop::Get() {
    static Desktop desktop;
    return desktop;
}

void Desktop::Reset() {
    *this = Desktop();
}

HWND Desktop::Add(const std::string& title, RECT rect) {
    HWND hWnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(next_++));
    windows_[hWnd] = DesktopWindow{title, rect, false, true, false};
    return hWnd;
}

void Desktop::Close(HWND hWnd) {
    windows_.erase(hWnd);
}

DesktopWindow* Desktop::Find(HWND hWnd) {
    auto it = windows_.find(hWnd);
    return it == windows_.end() ? nullptr : &it->second;
}

}  // namespace fake

HWND GetForegroundWindow() {
    return fake::Desktop::Get().Foreground();
}

int GetWindowTextA(HWND hWnd, LPSTR buffer, int capacity) {
    fake::DesktopWindow* w = fake::Desktop::Get().Find(hWnd);
    if (!w || capacity <= 0) return 0;
    const std::string text =
        desktop::SanitizeUtf8(w->title, static_cast<std::size_t>(capacity) - 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<int>(text.size());
}

BOOL GetWindowRect(HWND hWnd, RECT* rect) {
    fake::DesktopWindow* w = fake::Desktop::Get().Find(hWnd);
    if (!w) return 0;
    *rect = w->rect;
    return 1;
}

BOOL IsIconic(HWND hWnd) {
    fake::DesktopWindow* w = fake::Desktop::Get().Find(hWnd);
    return w && w->iconic;
}

BOOL SetWindowPos(HWND hWnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    fake::Desktop& desktop = fake::Desktop::Get();
    desktop.SetWindowPosCalls().push_back({hWnd, insertAfter, x, y, cx, cy, flags});
    desktop.Log().push_back("SetWindowPos");
    fake::DesktopWindow* w = desktop.Find(hWnd);
    if (!w) return 0;
    if (insertAfter == HWND_TOPMOST) w->topmost = true;
    if (insertAfter == HWND_NOTOPMOST) w->topmost = false;
    if (!(flags & SWP_NOMOVE)) {
        w->rect.right = x + (w->rect.right - w->rect.left);
        w->rect.bottom = y + (w->rect.bottom - w->rect.top);
        w->rect.left = x;
        w->rect.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        w->rect.right = w->rect.left + cx;
        w->rect.bottom = w->rect.top + cy;
    }
    if (flags & SWP_SHOWWINDOW) {
        w->visible = true;
        if (!(flags & SWP_NOACTIVATE)) desktop.SetForeground(hWnd);
    }
    return 1;
}
