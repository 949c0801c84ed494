// What every sub-command of the probe shares: reporting, finding the bar, reading and clicking.
#include <cstdio>
#include <vector>

#include "platform/win32/win32_newer.h"
#include "tests/wine/probe.h"

namespace probe {

namespace {
int failures = 0;
}

bool Check(bool held, const std::string& what) {
    std::printf("%s: %s\n", held ? "ok" : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!held) ++failures;
    return held;
}

void Note(const std::string& text) {
    std::printf("   %s\n", text.c_str());
    std::fflush(stdout);
}

int Failures() {
    return failures;
}

void BecomeDpiAware() {
    if (!platform::win32::BecomePerMonitorAwareV2()) SetProcessDPIAware();
}

int DpiOf(HWND window) {
    if (const UINT dpi = platform::win32::WindowDpiIfKnown(window)) return static_cast<int>(dpi);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

std::string Describe(const RECT& r) {
    char text[96];
    std::snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld) %ld x %ld", r.left, r.top, r.right,
                  r.bottom, r.right - r.left, r.bottom - r.top);
    return text;
}

std::wstring Caption(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

std::wstring ControlText(HWND control) {
    wchar_t text[512] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, &copied);
    return text;
}

int TitleSeconds(HWND bar) {
    return ElapsedSeconds(Caption(bar));
}

int ElapsedSeconds(const std::wstring& title) {
    const std::wstring prefix = L"KELTOS - ";
    if (title.size() != prefix.size() + 8 || title.compare(0, prefix.size(), prefix) != 0)
        return -1;
    const std::wstring t = title.substr(prefix.size());
    auto two = [&](std::size_t at) {
        if (t[at] < L'0' || t[at] > L'9' || t[at + 1] < L'0' || t[at + 1] > L'9') return -1;
        return (t[at] - L'0') * 10 + (t[at + 1] - L'0');
    };
    const int h = two(0), m = two(3), s = two(6);
    if (h < 0 || m < 0 || s < 0 || t[2] != L':' || t[5] != L':') return -1;
    return (h * 60 + m) * 60 + s;
}

void Click(HWND button) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
}

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Pump(double seconds) {
    const double deadline = Now() + seconds;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    } while (Now() < deadline);
}

namespace {

struct Children {
    std::vector<HWND> list;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM data) {
    reinterpret_cast<Children*>(data)->list.push_back(child);
    return TRUE;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

}  // namespace

bool FindBar(Bar& bar, const wchar_t* title, double seconds) {
    bar = Bar{};
    WaitFor([&] { return (bar.window = FindWindowW(nullptr, title)) != nullptr; }, seconds);
    if (!Check(bar.window != nullptr, "a top-level window titled " + Narrow(title))) return false;
    // The controls are asked their texts until all six answer: a bar still starting up, on a
    // busy machine, may let a question wait longer than ControlText does.
    Children children;
    const auto found = [&] {
        bar = Bar{bar.window};
        children.list.clear();
        EnumChildWindows(bar.window, CollectChild, reinterpret_cast<LPARAM>(&children));
        for (HWND child : children.list) {
            const std::wstring kind = ClassOf(child);
            const std::wstring text = ControlText(child);
            if (lstrcmpiW(kind.c_str(), L"Static") == 0) bar.label = child;
            if (lstrcmpiW(kind.c_str(), L"Edit") == 0) bar.time = child;
            if (lstrcmpiW(kind.c_str(), L"Button") == 0) {
                if (text == L"START") bar.start = child;
                if (text == L"STOP") bar.stop = child;
                if (text == L"RESET") bar.reset = child;
                if (text == L"X") bar.end = child;
            }
        }
        return children.list.size() == 6 && bar.label && bar.time && bar.start && bar.stop &&
               bar.reset && bar.end;
    };
    return Check(
        WaitFor(found, seconds),
        "six controls: a STATIC, an EDIT and the buttons START, STOP, RESET and X (found " +
            std::to_string(children.list.size()) + ")");
}

}  // namespace probe
