// What keltos_probe_hook.dll measures inside the bar's process, where the controls' fonts live:
// a font handle means nothing in another process, so the probe hooks the bar's thread
// (WH_CALLWNDPROC) and sends each control kMeasureMessage; the hook writes what it measured into
// the shared memory kMeasureMapping, which the probe created.
#pragma once

#include <windows.h>

namespace probe {

constexpr wchar_t kMeasureMessage[] = L"KeltosProbeMeasureCaption";
// Sent to the bar: the hook sends it WM_DPICHANGED from `lParam` DPI to `wParam` DPI, with the
// rectangle Windows would suggest, as when the bar is moved onto a monitor of that DPI.
constexpr wchar_t kChangeDpiMessage[] = L"KeltosProbeChangeDpi";
constexpr wchar_t kMeasureMapping[] = L"KeltosProbeCaptionMeasure";
// A property the hook keeps on the bar's window: how often it saw the window move
// (WM_WINDOWPOSCHANGED without SWP_NOMOVE), as an INT_PTR.
constexpr wchar_t kMovesProperty[] = L"KeltosProbeMoves";
constexpr char kHookProcedure[] = "KeltosProbeHook";  // exported by this plain name

struct CaptionMeasure {
    LONG measured;              // 1 once the hook has written the rest
    LONG fontHeight;            // lfHeight of the control's font (WM_GETFONT); 0 when it has none
    wchar_t face[LF_FACESIZE];  // the face the text is drawn in
    wchar_t text[128];          // the control's text (WM_GETTEXT)
    SIZE extent;                // of the text in that font (GetTextExtentPoint32W)
    LONG lineHeight;            // tmHeight of that font
    RECT client;                // the control's client area
};

// The probe's side: the hook on the bar's thread while the object lives.
class BarHook {
  public:
    explicit BarHook(HWND bar);
    ~BarHook();
    BarHook(const BarHook&) = delete;
    BarHook& operator=(const BarHook&) = delete;
    bool Ready() const { return hook_ != nullptr; }
    CaptionMeasure Measure(HWND control);
    void ChangeDpi(int from, int to);

  private:
    HWND bar_;
    HMODULE module_ = nullptr;
    HANDLE mapping_ = nullptr;
    HHOOK hook_ = nullptr;
};

}  // namespace probe

// The WH_CALLWNDPROC hook procedure, defined in the DLL; the probe finds it by kHookProcedure.
extern "C" LRESULT CALLBACK KeltosProbeHook(int code, WPARAM wParam, LPARAM lParam);
