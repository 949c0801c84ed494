// The standard BUTTON, EDIT and STATIC child controls, and SetTimer timers.
#include <map>

#include "platform/win32/win32_platform.h"

namespace platform::win32 {

Win32Control::Win32Control(Win32Window& parent, const wchar_t* windowClass, DWORD style,
                           DWORD exStyle, const ControlDesign& d)
    : parent_(parent),
      hwnd_(CreateWindowExW(exStyle, windowClass, Widen(d.caption).c_str(),
                            WS_CHILD | WS_VISIBLE | style, parent.ToPixels(d.left),
                            parent.ToPixels(d.top), parent.ToPixels(d.width),
                            parent.ToPixels(d.height), parent.Handle(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(parent.NextControlId())),
                            GetModuleHandleW(nullptr), nullptr)),
      design_(d) {
    parent_.Adopt(this);
}

Win32Control::~Win32Control() {
    parent_.Abandon(this);
}

void Win32Control::Layout() {
    const Win32Window& w = parent_;
    SetWindowPos(hwnd_, nullptr, w.ToPixels(design_.left), w.ToPixels(design_.top),
                 w.ToPixels(design_.width), w.ToPixels(design_.height),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    FitFont();
}

void Win32Control::FitFont() {
    font_.Fit(hwnd_, FontChoices(), TextOf(hwnd_), parent_.Dpi());
}

void Win32Control::ShowText(const std::string& text) {
    SetWindowTextW(hwnd_, Widen(text).c_str());
    FitFont();
}

namespace {

class Win32Button;

// The bar's own buttons by their windows. A click is taken only from one of these: a message may
// name any window, another program's buttons included.
std::map<HWND, Win32Button*>& Buttons() {
    static std::map<HWND, Win32Button*> buttons;
    return buttons;
}

class Win32Button : public CommandButton, public Win32Control {
  public:
    Win32Button(Win32Window& parent, const ControlDesign& d)
        : Win32Control(parent, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, d) {
        FitFont();
        Buttons()[hwnd_] = this;
    }
    ~Win32Button() override { Buttons().erase(hwnd_); }
    void SetEnabled(bool enabled) override {
        // A disabled control cannot keep the focus: it moves on in Tab order, as in a dialog.
        const bool hadFocus = !enabled && GetFocus() == hwnd_;
        EnableWindow(hwnd_, enabled ? TRUE : FALSE);
        if (hadFocus) {
            const HWND next = GetNextDlgTabItem(parent_.Handle(), hwnd_, FALSE);
            if (next && next != hwnd_) ::SetFocus(next);
        }
    }
    void SetFocus() override { ::SetFocus(hwnd_); }

    void Click() {
        // A disabled button raises no click, even when a message claims one.
        if (onClick && IsWindowEnabled(hwnd_)) onClick();
    }
};

class Win32TextBox : public TextBox, public Win32Control {
  public:
    Win32TextBox(Win32Window& parent, const ControlDesign& d)
        : Win32Control(parent, L"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
                       d) {
        FitFont();
    }
    std::string Text() const override { return Narrow(TextOf(hwnd_)); }
    void SetText(const std::string& text) override { ShowText(text); }

  private:
    std::vector<LOGFONTW> FontChoices() const override {
        return design_.font.face.empty() ? GuiFonts(parent_.Dpi())
                                         : DesignFonts(design_.font, parent_.Dpi());
    }
};

// SS_LEFTNOWORDWRAP: a caption that is too long is cut off at the right, never wrapped onto a
// second line that the label's height would hide.
class Win32Label : public Label, public Win32Control {
  public:
    Win32Label(Win32Window& parent, const ControlDesign& d)
        : Win32Control(parent, L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, d) {
        FitFont();
    }
    std::string Caption() const override { return Narrow(TextOf(hwnd_)); }
    void SetCaption(const std::string& text) override { ShowText(text); }
};

// Timers by their SetTimer identifiers.
std::map<UINT_PTR, Timer*>& Timers() {
    static std::map<UINT_PTR, Timer*> timers;
    return timers;
}

class Win32Timer : public PeriodicTimer {
  public:
    explicit Win32Timer(Win32Window& parent) : window_(parent.Handle()) {
        static UINT_PTR next = 1;
        id_ = next++;
        Timers()[id_] = this;
    }
    ~Win32Timer() override {
        KillTimer(window_, id_);
        Timers().erase(id_);
    }

  private:
    void StartTicking(int milliseconds) override {
        SetTimer(window_, id_, static_cast<UINT>(milliseconds), nullptr);
    }
    void StopTicking() override { KillTimer(window_, id_); }
    HWND window_;
    UINT_PTR id_ = 0;
};

}  // namespace

std::unique_ptr<CommandButton> MakeWin32Button(Win32Window& parent, const ControlDesign& d) {
    return std::make_unique<Win32Button>(parent, d);
}
std::unique_ptr<TextBox> MakeWin32TextBox(Win32Window& parent, const ControlDesign& d) {
    return std::make_unique<Win32TextBox>(parent, d);
}
std::unique_ptr<Label> MakeWin32Label(Win32Window& parent, const ControlDesign& d) {
    return std::make_unique<Win32Label>(parent, d);
}
std::unique_ptr<Timer> MakeWin32Timer(Win32Window& parent) {
    return std::make_unique<Win32Timer>(parent);
}

void DeliverClick(HWND button) {
    const auto found = Buttons().find(button);
    if (found != Buttons().end()) found->second->Click();
}

void DeliverTick(UINT_PTR id) {
    const auto found = Timers().find(id);
    if (found != Timers().end() && found->second->onTick) found->second->onTick();
}

}  // namespace platform::win32
