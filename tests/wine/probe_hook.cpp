// keltos_probe_hook.dll: loaded into the bar's process by the probe's WH_CALLWNDPROC hook (see
// probe_hook.h); measures a control's caption in the control's own font, or moves the bar to
// another DPI, when asked.
#include "tests/wine/probe_hook.h"

namespace {

void Measure(HWND control) {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, probe::kMeasureMapping);
    if (!mapping) return;
    auto* out = static_cast<probe::CaptionMeasure*>(
        MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(probe::CaptionMeasure)));
    if (out) {
        *out = probe::CaptionMeasure{};
        const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        LOGFONTW logical{};
        if (font && GetObjectW(font, sizeof logical, &logical)) out->fontHeight = logical.lfHeight;
        const int length = GetWindowTextW(control, out->text, 128);
        HDC dc = GetDC(control);
        const HGDIOBJ old =
            SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
        GetTextFaceW(dc, LF_FACESIZE, out->face);
        GetTextExtentPoint32W(dc, out->text, length, &out->extent);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        out->lineHeight = metrics.tmHeight;
        SelectObject(dc, old);
        ReleaseDC(control, dc);
        GetClientRect(control, &out->client);
        out->measured = 1;
        UnmapViewOfFile(out);
    }
    CloseHandle(mapping);
}

void ChangeDpi(HWND bar, int from, int to) {
    RECT r{};
    GetWindowRect(bar, &r);
    RECT suggested{r.left, r.top, r.left + MulDiv(r.right - r.left, to, from),
                   r.top + MulDiv(r.bottom - r.top, to, from)};
    SendMessageW(bar, WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    KeltosProbeHook(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT measure = RegisterWindowMessageW(probe::kMeasureMessage);
    static const UINT changeDpi = RegisterWindowMessageW(probe::kChangeDpiMessage);
    if (code == HC_ACTION) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (sent->message == measure) Measure(sent->hwnd);
        if (sent->message == changeDpi && sent->lParam > 0)
            ChangeDpi(sent->hwnd, static_cast<int>(sent->lParam), static_cast<int>(sent->wParam));
        if (sent->message == WM_WINDOWPOSCHANGED && !GetParent(sent->hwnd) &&
            !(reinterpret_cast<const WINDOWPOS*>(sent->lParam)->flags & SWP_NOMOVE)) {
            const auto moves =
                reinterpret_cast<INT_PTR>(GetPropW(sent->hwnd, probe::kMovesProperty));
            SetPropW(sent->hwnd, probe::kMovesProperty, reinterpret_cast<HANDLE>(moves + 1));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
