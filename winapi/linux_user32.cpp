// USER32's calls on Linux: each goes to the desktop provider chosen for this session.
#include <cstdio>
#include <cstdlib>
#include <map>

#include "winapi/desktop.h"

namespace winapi {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

SessionFacts SessionFromEnvironment() {
    SessionFacts facts;
    facts.sessionType = Env("XDG_SESSION_TYPE");
    facts.currentDesktop = Env("XDG_CURRENT_DESKTOP");
    facts.waylandDisplay = Env("WAYLAND_DISPLAY");
    facts.swaySock = Env("SWAYSOCK");
    return facts;
}

std::unique_ptr<Desktop> MakeDesktop(DesktopKind kind) {
    switch (kind) {
        case DesktopKind::Ewmh:
            break;
        case DesktopKind::GnomeShell:
            return MakeGnomeShellDesktop();
        case DesktopKind::Sway:
            return MakeSwayDesktop();
        case DesktopKind::KWin:
            std::fprintf(stderr,
                         "keltos: docking on %s is not available; only X11 windows are followed\n",
                         DesktopName(kind));
            break;
    }
    return MakeEwmhDesktop();
}

DesktopKind Kind() {
    static const DesktopKind kind = ChooseDesktop(SessionFromEnvironment());
    return kind;
}

Desktop& Current() {
    static const std::unique_ptr<Desktop> desktop = MakeDesktop(Kind());
    return *desktop;
}

std::map<HWND, std::function<void()>>& Adopted() {
    static std::map<HWND, std::function<void()>> adopted;
    return adopted;
}

}  // namespace

void AdoptWindow(HWND hWnd, std::function<void()> showAndActivate) {
    Adopted()[hWnd] = std::move(showAndActivate);
}

bool OwnWindowUnmanaged() {
    return Kind() == DesktopKind::Sway;
}

const std::function<void()>* AdoptedWindow(HWND hWnd) {
    const auto found = Adopted().find(hWnd);
    return found == Adopted().end() ? nullptr : &found->second;
}

}  // namespace winapi

HWND GetForegroundWindow() {
    return winapi::Current().GetForegroundWindow();
}

int GetWindowTextA(HWND hWnd, LPSTR buffer, int capacity) {
    return winapi::Current().GetWindowTextA(hWnd, buffer, capacity);
}

BOOL GetWindowRect(HWND hWnd, RECT* rect) {
    return winapi::Current().GetWindowRect(hWnd, rect);
}

BOOL IsIconic(HWND hWnd) {
    return winapi::Current().IsIconic(hWnd);
}

BOOL SetWindowPos(HWND hWnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    return winapi::Current().SetWindowPos(hWnd, insertAfter, x, y, cx, cy, flags);
}
