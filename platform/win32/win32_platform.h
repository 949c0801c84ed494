// The Win32 backend (Windows 7 and later, and Wine). Internal to platform/win32.
//
// Supports: a WS_POPUP top-level window without border or title bar at twip geometry (twips per
// pixel from the screen's LOGPIXELSX, 15 at 96 DPI) that carries the executable's icon; standard
// BUTTON, EDIT and STATIC child controls, created in Tab order, with Tab and Shift+Tab handled by
// IsDialogMessage in the message loop; SetTimer timers; the local wall clock from GetLocalTime;
// the user's date and time separators from the locale's short date and time patterns. Texts are
// UTF-8 at the platform interface and UTF-16 towards Windows (the W calls).
// Does not support: visual styles (there is no manifest, so the controls have the classic look),
// DPI changes while running, or moving and resizing the window by the user.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace platform::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
// A window's current text, as the user sees it.
std::wstring TextOf(HWND window);

float TwipsPerPixel();  // 1440 / LOGPIXELSX of the screen
int ToPixels(double twips);

class Win32Window : public Window {
  public:
    explicit Win32Window(const WindowDesign& design);
    ~Win32Window() override;
    std::string Caption() const override { return caption_; }
    void SetCaption(const std::string& text) override;
    HWND Handle() const override { return hwnd_; }
    void SetLeft(float twips) override;
    void SetTop(float twips) override;
    float Width() const override;
    float TwipsPerPixel() const override { return win32::TwipsPerPixel(); }
    [[noreturn]] void End() override;

    // The identifier of the next child control (never IDOK or IDCANCEL, which the dialog
    // manager sends for Enter and Esc).
    int NextControlId() { return nextControlId_++; }

  private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    HWND lastFocus_ = nullptr;  // the child that had the focus when the window was deactivated
    std::string caption_;
    int nextControlId_ = 100;
};

// Controls. A button's object is found from its window (GWLP_USERDATA) when it reports a click.
std::unique_ptr<CommandButton> MakeWin32Button(Win32Window& parent, const ControlDesign& d);
std::unique_ptr<TextBox> MakeWin32TextBox(Win32Window& parent, const ControlDesign& d);
std::unique_ptr<Label> MakeWin32Label(Win32Window& parent, const ControlDesign& d);
std::unique_ptr<Timer> MakeWin32Timer(Win32Window& parent);

// Raised by the window procedure: a BN_CLICKED from `button`, a WM_TIMER with `id`.
void DeliverClick(HWND button);
void DeliverTick(UINT_PTR id);

}  // namespace platform::win32
