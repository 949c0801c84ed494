// docking: windows of this program come to the foreground one after another, and the bar moves
// onto each one's title bar within a second, except onto its own kind.
#include <cmath>

#include "tests/wine/probe.h"

namespace probe {

namespace {

constexpr double kFollowSeconds = 2.0;  // two ticks of the bar's one-second timer

LRESULT CALLBACK ForeignProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// An ordinary captioned window of this program, shown and brought to the foreground.
HWND OpenForeign(const wchar_t* title, int x, int y, int width, int height) {
    static const ATOM atom = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = ForeignProcedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
        wc.lpszClassName = L"KeltosProbeForeign";
        return RegisterClassExW(&wc);
    }();
    (void)atom;
    HWND w = CreateWindowExW(0, L"KeltosProbeForeign", title, WS_OVERLAPPEDWINDOW, x, y, width,
                             height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(w, SW_SHOWNORMAL);
    return w;
}

bool BringToFront(HWND w, const std::string& name) {
    SetForegroundWindow(w);
    return Check(WaitFor([&] { return GetForegroundWindow() == w; }, 2),
                 name + " is the foreground window");
}

RECT RectOf(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return r;
}

// Where the bar belongs on `target`: its right edge 950 twips (63 px) left of the target's
// right edge, its top 60 twips (4 px) below the target's top, at 15 twips per pixel.
RECT DockedOn(HWND bar, const RECT& target) {
    const RECT b = RectOf(bar);
    const double widthTwips = 15.0 * (b.right - b.left);
    const int left = static_cast<int>(std::lround((15.0 * target.right - 950 - widthTwips) / 15));
    const int top = static_cast<int>(std::lround((15.0 * target.top + 60) / 15));
    return RECT{left, top, left + (b.right - b.left), top + (b.bottom - b.top)};
}

void ExpectFollows(const Bar& bar, HWND target, const std::string& name) {
    if (!BringToFront(target, name)) return;
    const RECT r = RectOf(target);
    const RECT want = DockedOn(bar.window, r);
    const double since = Now();
    const bool moved = WaitFor(
        [&] {
            const RECT now = RectOf(bar.window);
            return EqualRect(&now, &want) != FALSE;
        },
        kFollowSeconds);
    const RECT got = RectOf(bar.window);
    Check(moved && got.right == r.right - 63 && got.top == r.top + 4,
          "the bar moves onto " + name + " " + Describe(r) + " within " +
              std::to_string(kFollowSeconds) +
              " s: right edge 63 px left of its right, top 4 px "
              "below its top (is " +
              Describe(got) + " after " + std::to_string(static_cast<int>((Now() - since) * 1000)) +
              " ms)");
    Check((GetWindowLongW(bar.window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0,
          "the bar stays in the topmost band");
}

void ExpectStays(const Bar& bar, const std::string& why) {
    const RECT before = RectOf(bar.window);
    Pump(2.2);  // two ticks
    const RECT after = RectOf(bar.window);
    Check(EqualRect(&before, &after) != FALSE,
          why + ": the bar stays at " + Describe(before) + " (is " + Describe(after) + ")");
}

}  // namespace

int RunDocking() {
    Bar bar;
    if (!FindBar(bar, L"KELTOS - 00:00:00", 30)) return 1;
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    if (!Check(dpi == 96, "the display has 96 pixels per inch (" + std::to_string(dpi) + ")"))
        return 1;

    // At start-up the bar is itself in front and stays where it was first shown.
    Check(WaitFor([&] { return GetForegroundWindow() == bar.window; }, 2),
          "at start-up the bar is the foreground window");
    ExpectStays(bar, "the bar itself in front");

    const HWND alpha = OpenForeign(L"Probe window Alpha", 120, 200, 640, 360);
    const HWND beta = OpenForeign(L"Probe window Beta", 420, 520, 500, 300);
    ExpectFollows(bar, alpha, "window Alpha");
    ExpectFollows(bar, beta, "window Beta");
    ExpectFollows(bar, alpha, "window Alpha again");

    // A window whose title begins like the bar's own (a second copy) is not followed.
    const HWND twin = OpenForeign(L"KELTOS - 00:12:34", 60, 700, 400, 200);
    if (BringToFront(twin, "a window titled like a second KELTOS"))
        ExpectStays(bar, "twin in front");

    // A title shorter than five characters is followed, and an empty one too.
    const HWND shortTitle = OpenForeign(L"ab", 300, 100, 300, 200);
    ExpectFollows(bar, shortTitle, "a window titled \"ab\"");
    const HWND untitled = OpenForeign(L"", 500, 300, 420, 240);
    ExpectFollows(bar, untitled, "a window without a title");

    // The bar itself in front: it stays put.
    if (BringToFront(bar.window, "the bar")) ExpectStays(bar, "the bar itself in front");

    // The window the bar sits on vanishes: the bar keeps running and follows the next one.
    ExpectFollows(bar, beta, "window Beta once more");
    DestroyWindow(beta);
    Pump(1.5);
    Check(IsWindow(bar.window) && TitleSeconds(bar.window) == 0,
          "after that window is closed the bar is still there");
    ExpectFollows(bar, alpha, "window Alpha after Beta closed");

    for (HWND w : {alpha, twin, shortTitle, untitled}) DestroyWindow(w);
    return Failures() == 0 ? 0 : 1;
}

}  // namespace probe
