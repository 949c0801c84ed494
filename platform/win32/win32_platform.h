// The Win32 backend (Windows 7 and later, and Wine). Internal to platform/win32.
//
// Supports: a WS_POPUP top-level window without border or title bar at twip geometry that carries
// the executable's icon; twips per pixel follow the DPI of the monitor the window is on (15 at
// 96 DPI): the manifest (resources/keltos.manifest) makes the process per-monitor DPI aware
// (version 2; system aware where Windows lacks it), and WM_DPICHANGED lays the window and its
// controls out again. Standard BUTTON, EDIT and STATIC child controls of Common Controls 6
// (visual styles), created in Tab order, with Tab and Shift+Tab handled by IsDialogMessage in the
// message loop; each caption is shown on one line in a font chosen so that it fits its box
// (win32_fonts.cpp). SetTimer timers; the local wall clock from GetLocalTime; the user's date
// and time separators from the locale's short date and time patterns. Texts are UTF-8 at the
// platform interface and UTF-16 towards Windows (the W calls).
// Does not support: moving and resizing the window by the user.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace platform::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
// A window's current text, as the user sees it.
std::wstring TextOf(HWND window);

int SystemDpi();  // LOGPIXELSX of the screen: the DPI of the primary monitor at log-on

class Win32Control;

class Win32Window : public Window {
  public:
    explicit Win32Window(const WindowDesign& design);
    ~Win32Window() override;
    std::string Caption() const override { return caption_; }
    void SetCaption(const std::string& text) override;
    HWND Handle() const override { return hwnd_; }
    void Move(float left, float top) override;
    float Width() const override;
    float TwipsPerPixel() const override { return 1440.0f / static_cast<float>(dpi_); }
    void SetTopMost(bool topmost) override { ::SetTopMost(hwnd_, topmost); }
    [[noreturn]] void End() override;

    int Dpi() const { return dpi_; }  // of the monitor the window is on
    int ToPixels(double twips) const;
    // Controls are laid out again (position, size and font) when the window's DPI changes.
    void Adopt(Win32Control* control) { controls_.push_back(control); }
    void Abandon(Win32Control* control);

    // The identifier of the next child control (never IDOK or IDCANCEL, which the dialog
    // manager sends for Enter and Esc).
    int NextControlId() { return nextControlId_++; }

  private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void ApplyDpi(int dpi, int left, int top);

    HWND hwnd_ = nullptr;
    int dpi_ = 96;
    int width_ = 0;  // twips
    int height_ = 0;
    std::vector<Win32Control*> controls_;
    HWND lastFocus_ = nullptr;  // the child that had the focus when the window was deactivated
    std::string caption_;
    int nextControlId_ = 100;
};

// The fonts a control may take, best first, at their largest size for a DPI: the system's GUI
// font and its message font; or the font of the design (face, points, weight, character set),
// then any fixed-pitch face of that character set, then any fixed-pitch face.
std::vector<LOGFONTW> GuiFonts(int dpi);
std::vector<LOGFONTW> DesignFonts(const FontDesign& design, int dpi);

// The box, in pixels, that a control's caption must fit in: its client area less the frame and
// margins it draws around the text.
SIZE CaptionBox(HWND control, int dpi);

// A control's font: the largest size, not above the one asked for, at which one of the faces
// (the first at that size) shows the text on one line in the control's caption box. Digits are
// measured as the font's widest digit, so a clock or a readout keeps its font while its digits
// change.
class FittedFont {
  public:
    FittedFont() = default;
    FittedFont(const FittedFont&) = delete;
    FittedFont& operator=(const FittedFont&) = delete;
    ~FittedFont();
    // Chooses the font for `text` and gives it to the control, unless it has it already.
    void Fit(HWND control, const std::vector<LOGFONTW>& choices, const std::wstring& text, int dpi);

  private:
    HFONT font_ = nullptr;
    std::wstring shape_;  // the text it was fitted to, its digits as 0
    LONG preferredHeight_ = 0;
    std::wstring preferredFace_;
    SIZE box_{};
};

// A child control at its design box; the window lays it out again when its DPI changes.
class Win32Control {
  public:
    Win32Control(Win32Window& parent, const wchar_t* windowClass, DWORD style, DWORD exStyle,
                 const ControlDesign& d);
    virtual ~Win32Control();
    Win32Control(const Win32Control&) = delete;
    Win32Control& operator=(const Win32Control&) = delete;
    // Moves and sizes the control at the window's DPI, and fits its font again.
    void Layout();

  protected:
    void ShowText(const std::string& text);  // sets the text, then fits the font to it
    void FitFont();
    virtual std::vector<LOGFONTW> FontChoices() const { return GuiFonts(parent_.Dpi()); }

    Win32Window& parent_;
    HWND hwnd_;
    ControlDesign design_;

  private:
    FittedFont font_;
};

// Controls. A click counts only from one of the bar's own buttons, found by its window.
std::unique_ptr<CommandButton> MakeWin32Button(Win32Window& parent, const ControlDesign& d);
std::unique_ptr<TextBox> MakeWin32TextBox(Win32Window& parent, const ControlDesign& d);
std::unique_ptr<Label> MakeWin32Label(Win32Window& parent, const ControlDesign& d);
std::unique_ptr<Timer> MakeWin32Timer(Win32Window& parent);

// Raised by the window procedure: a BN_CLICKED from `button`, a WM_TIMER with `id`.
void DeliverClick(HWND button);
void DeliverTick(UINT_PTR id);

}  // namespace platform::win32
