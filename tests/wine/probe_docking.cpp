// docking: windows of this program come to the foreground one after another, and the bar moves
// onto each one's title bar within a second, except onto its own kind.
#include <cmath>
#include <vector>

#include "tests/wine/probe.h"
#include "tests/wine/probe_hook.h"

namespace probe {

namespace {

constexpr double kFollowSeconds = 2.0;  // two ticks of the bar's one-second timer

LRESULT CALLBACK ForeignProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

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

namespace {

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

// Twips per pixel on the bar's monitor: 15 at 96 DPI, 10 at 144.
double twipsPerPixel = 15;

}  // namespace

void DockingAtDpi(int dpi) {
    twipsPerPixel = 1440.0 / dpi;
}

namespace {

// Where the bar belongs on `target`: its right edge 950 twips (63 px at 96 DPI, 95 at 144) left
// of the target's right edge, its top 60 twips (4 px, 6 px) below the target's top.
RECT DockedOn(HWND bar, const RECT& target) {
    const RECT b = RectOf(bar);
    const double t = twipsPerPixel;
    const double widthTwips = t * (b.right - b.left);
    const int left = static_cast<int>(std::lround((t * target.right - 950 - widthTwips) / t));
    const int top = static_cast<int>(std::lround((t * target.top + 60) / t));
    return RECT{left, top, left + (b.right - b.left), top + (b.bottom - b.top)};
}

}  // namespace

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
    const int right = static_cast<int>(950 / twipsPerPixel);
    const int down = static_cast<int>(60 / twipsPerPixel);
    Check(moved && got.right == r.right - right && got.top == r.top + down,
          "the bar moves onto " + name + " " + Describe(r) + " within " +
              std::to_string(kFollowSeconds) + " s: right edge " + std::to_string(right) +
              " px left of its right, top " + std::to_string(down) + " px below its top (is " +
              Describe(got) + " after " + std::to_string(static_cast<int>((Now() - since) * 1000)) +
              " ms)");
    Check((GetWindowLongW(bar.window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0,
          "the bar stays in the topmost band");
}

namespace {

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
    const int dpi = DpiOf(bar.window);
    DockingAtDpi(dpi);
    Note("the bar's monitor has " + std::to_string(dpi) + " pixels per inch");

    // At start-up the bar is itself in front and stays where it was first shown.
    Check(WaitFor([&] { return GetForegroundWindow() == bar.window; }, 2),
          "at start-up the bar is the foreground window");
    ExpectStays(bar, "the bar itself in front");

    const HWND alpha = OpenForeign(L"Probe window Alpha", 120, 200, 640, 360);
    const HWND beta = OpenForeign(L"Probe window Beta", 420, 520, 500, 300);
    ExpectFollows(bar, alpha, "window Alpha");
    // Left and top change together in one move of the bar's window, as the hook inside the
    // bar's process counts them, and the tick after finds it in place.
    BarHook hook(bar.window);
    const auto moves = [&] {
        return reinterpret_cast<INT_PTR>(GetPropW(bar.window, kMovesProperty));
    };
    const INT_PTR before = moves();
    ExpectFollows(bar, beta, "window Beta");
    Pump(1.1);
    Check(hook.Ready() && moves() - before == 1,
          "one move of the bar from Alpha onto Beta (is " + std::to_string(moves() - before) + ")");
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

    // Titles in other scripts, read through the system code page (932 on a Japanese system): a
    // Japanese title is followed; one that begins "KELTO" is not; nor is one whose 249-byte cut
    // falls inside a double-byte character, and one like it that begins otherwise is followed.
    const std::wstring kana(200, L'\x3042');  // あ, two bytes in code page 932
    const struct {
        std::wstring title;
        bool followed;
        const char* name;
    } titles[] = {
        {L"\x30E1\x30E2\x5E33 - \x65E5\x672C\x8A9E", true, "a Japanese title"},
        {L"KELTO \x306E\x6642\x8A08", false, "a title beginning KELTO"},
        {L"ab" + kana, true, "a title of 402 bytes cut inside a character"},
        {L"KELTOS" + kana, false, "a KELTO title of 406 bytes cut inside a character"},
    };
    std::vector<HWND> titled;
    for (const auto& t : titles) {
        const HWND w =
            OpenForeign(t.title.c_str(), 200 + 40 * static_cast<int>(titled.size()), 150, 520, 260);
        titled.push_back(w);
        if (t.followed)
            ExpectFollows(bar, w, t.name);
        else if (BringToFront(w, t.name))
            ExpectStays(bar, t.name);
    }
    Check(IsWindow(bar.window) && TitleSeconds(bar.window) == 0,
          "after those titles the bar is still there");
    for (HWND w : titled) DestroyWindow(w);

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
