// startup: the bar right after the program started, as another program sees it.
#include <cstdio>

#include "tests/wine/probe.h"

namespace probe {

namespace {

// The window's twip geometry in pixels at a resolution.
int Pixels(int twips, int dpi) {
    return MulDiv(twips, dpi, 1440);
}

RECT ClientRect(HWND parent, HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void CheckControl(HWND parent, HWND child, const char* name, int left, int top, int width,
                  int height, int dpi) {
    const RECT r = ClientRect(parent, child);
    const RECT want{Pixels(left, dpi), Pixels(top, dpi), Pixels(left, dpi) + Pixels(width, dpi),
                    Pixels(top, dpi) + Pixels(height, dpi)};
    Check(EqualRect(&r, &want) != FALSE, std::string(name) + " at " + Describe(want) +
                                             " in the client area (is " + Describe(r) + ")");
}

// The label text for a local time, with the user's separators as the locale states them.
std::wstring LabelText(const SYSTEMTIME& t) {
    wchar_t date[8] = L"/", time[8] = L":";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, date, 8);
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, time, 8);
    wchar_t text[64];
    swprintf(text, 64, L" %02u%ls%02u %02u%ls%02u", t.wMonth, date, t.wDay, t.wHour, time,
             t.wMinute);
    return text;
}

}  // namespace

void CheckLayout(const Bar& bar, int dpi) {
    const HWND w = bar.window;
    RECT r{};
    GetWindowRect(w, &r);
    Check(r.right - r.left == Pixels(4590, dpi) && r.bottom - r.top == Pixels(285, dpi),
          "window rectangle " + std::to_string(Pixels(4590, dpi)) + " x " +
              std::to_string(Pixels(285, dpi)) + " at " + std::to_string(dpi) + " DPI (is " +
              Describe(r) + ")");
    CheckControl(w, bar.label, "Label1", 60, 60, 1005, 195, dpi);
    CheckControl(w, bar.time, "txtTime", 1110, 0, 1035, 285, dpi);
    CheckControl(w, bar.start, "START", 2220, 0, 705, 255, dpi);
    CheckControl(w, bar.stop, "STOP", 2940, 0, 585, 255, dpi);
    CheckControl(w, bar.reset, "RESET", 3540, 0, 705, 255, dpi);
    CheckControl(w, bar.end, "X", 4290, 0, 255, 255, dpi);
}

int RunStartup() {
    Bar bar;
    if (!FindBar(bar, L"KELTOS - 00:00:00", 30)) return 1;
    const HWND w = bar.window;

    Check(Caption(w) == L"KELTOS - 00:00:00", "title reads KELTOS - 00:00:00");
    Check(IsWindowVisible(w) != FALSE, "the window is visible");
    const LONG style = GetWindowLongW(w, GWL_STYLE);
    const LONG exStyle = GetWindowLongW(w, GWL_EXSTYLE);
    Check((exStyle & WS_EX_TOPMOST) != 0, "WS_EX_TOPMOST: in the topmost band");
    Check((style & WS_POPUP) != 0, "WS_POPUP");
    Check((style & WS_CAPTION) == 0, "no WS_CAPTION (no title bar)");
    Check((style & WS_BORDER) == 0 && (style & WS_DLGFRAME) == 0, "no WS_BORDER or WS_DLGFRAME");
    Check((style & WS_THICKFRAME) == 0, "no WS_THICKFRAME");

    RECT r{};
    GetWindowRect(w, &r);
    RECT client{};
    GetClientRect(w, &client);
    Check(client.right == r.right - r.left && client.bottom == r.bottom - r.top,
          "the client area is the whole window (" + Describe(client) + ")");

    Check(WaitFor([&] { return GetForegroundWindow() == w; }, 2), "it is the foreground window");

    Check(IsWindowEnabled(bar.start) != FALSE, "START enabled");
    Check(IsWindowEnabled(bar.stop) == FALSE, "STOP disabled");
    Check(IsWindowEnabled(bar.reset) == FALSE, "RESET disabled");
    Check(IsWindowEnabled(bar.end) != FALSE, "X enabled");
    Check(ControlText(bar.time) == L"00:00:00", "the time box reads 00:00:00");

    // The label shows the local date and time; the minute may roll over while we read.
    SYSTEMTIME before{}, after{};
    GetLocalTime(&before);
    const std::wstring label = ControlText(bar.label);
    GetLocalTime(&after);
    Check(label == LabelText(before) || label == LabelText(after),
          "the label reads the local date and time '" + Narrow(LabelText(after)) + "' (is '" +
              Narrow(label) + "')");
    // The test session sets a time zone where it is afternoon, so a 12-hour clock would show.
    Check(before.wHour >= 13, "the local time is in the afternoon (hour " +
                                  std::to_string(before.wHour) + "), so the label's hour is 13-23");

    // Layout at the DPI of the bar's monitor, in creation order (which is the Tab order), and
    // the tab stops.
    const int dpi = DpiOf(w);
    CheckLayout(bar, dpi);
    const HWND order[] = {bar.time, bar.start, bar.stop, bar.reset, bar.end, bar.label};
    HWND child = GetWindow(w, GW_CHILD);
    bool inOrder = true;
    for (HWND expected : order) {
        inOrder = inOrder && child == expected;
        child = child ? GetWindow(child, GW_HWNDNEXT) : nullptr;
    }
    Check(inOrder, "controls in Tab order: time box, START, STOP, RESET, X, label");
    bool tabStops = (GetWindowLongW(bar.time, GWL_STYLE) & WS_TABSTOP) != 0;
    bool noDefault = true;
    for (HWND button : {bar.start, bar.stop, bar.reset, bar.end}) {
        const LONG s = GetWindowLongW(button, GWL_STYLE);
        tabStops = tabStops && (s & WS_TABSTOP) != 0;
        noDefault = noDefault && (s & 0x0F) == BS_PUSHBUTTON;
    }
    Check(tabStops, "WS_TABSTOP on the time box and the buttons");
    Check(noDefault, "no default push button");
    CheckCaptions(bar, dpi);
    return Failures() == 0 ? 0 : 1;
}

}  // namespace probe
