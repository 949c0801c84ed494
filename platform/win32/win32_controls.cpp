// The standard BUTTON, EDIT and STATIC child controls, and SetTimer timers.
#include <map>

#include "platform/win32/win32_platform.h"

namespace platform::win32 {

namespace {

HWND MakeChild(Win32Window& parent, const wchar_t* windowClass, DWORD style, DWORD exStyle,
               const ControlDesign& d) {
    const int id = parent.NextControlId();
    return CreateWindowExW(
        exStyle, windowClass, Widen(d.caption).c_str(), WS_CHILD | WS_VISIBLE | style,
        ToPixels(d.left), ToPixels(d.top), ToPixels(d.width), ToPixels(d.height), parent.Handle(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

// Buttons and the label use the GUI font so their captions fit the 19-pixel bar.
void UseGuiFont(HWND control) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
}

// The text, unless the control already shows it (which spares the caret and a repaint).
void ShowText(HWND control, const std::string& text) {
    const std::wstring wide = Widen(text);
    if (TextOf(control) != wide) SetWindowTextW(control, wide.c_str());
}

class Win32Button : public CommandButton {
  public:
    Win32Button(Win32Window& parent, const ControlDesign& d)
        : parent_(parent.Handle()),
          hwnd_(MakeChild(parent, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, d)) {
        UseGuiFont(hwnd_);
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Win32Button() override {
        if (IsWindow(hwnd_)) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    }
    void SetEnabled(bool enabled) override {
        // A disabled control cannot keep the focus: it moves on in Tab order, as in a dialog.
        const bool hadFocus = !enabled && GetFocus() == hwnd_;
        EnableWindow(hwnd_, enabled ? TRUE : FALSE);
        if (hadFocus) {
            const HWND next = GetNextDlgTabItem(parent_, hwnd_, FALSE);
            if (next && next != hwnd_) ::SetFocus(next);
        }
    }
    void SetFocus() override { ::SetFocus(hwnd_); }

    void Click() {
        // A disabled button raises no click, even when a message claims one.
        if (onClick && IsWindowEnabled(hwnd_)) onClick();
    }

  private:
    HWND parent_;
    HWND hwnd_;
};

class Win32TextBox : public TextBox {
  public:
    Win32TextBox(Win32Window& parent, const ControlDesign& d)
        : hwnd_(MakeChild(parent, L"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
                          d)) {
        if (!d.font.face.empty()) {
            // Points to pixels at the screen's resolution; Windows substitutes a face of the
            // same character set where this one is missing.
            HDC screen = GetDC(nullptr);
            const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
            if (screen) ReleaseDC(nullptr, screen);
            const int height = -MulDiv(static_cast<int>(d.font.points * 100 + 0.5f), dpi, 7200);
            font_ = CreateFontW(height, 0, 0, 0, d.font.weight, FALSE, FALSE, FALSE,
                                static_cast<DWORD>(d.font.charset), OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN,
                                Widen(d.font.face).c_str());
        }
        if (font_)
            SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        else
            UseGuiFont(hwnd_);
    }
    ~Win32TextBox() override {
        if (font_) DeleteObject(font_);
    }
    void SetText(const std::string& text) override { ShowText(hwnd_, text); }

  private:
    HWND hwnd_;
    HFONT font_ = nullptr;
};

class Win32Label : public Label {
  public:
    Win32Label(Win32Window& parent, const ControlDesign& d)
        : hwnd_(MakeChild(parent, L"STATIC", SS_LEFT | SS_NOPREFIX, 0, d)) {
        UseGuiFont(hwnd_);
    }
    void SetCaption(const std::string& text) override { ShowText(hwnd_, text); }

  private:
    HWND hwnd_;
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
    wchar_t windowClass[16] = {};
    GetClassNameW(button, windowClass, 16);
    if (lstrcmpiW(windowClass, L"BUTTON") != 0) return;
    if (auto* b = reinterpret_cast<Win32Button*>(GetWindowLongPtrW(button, GWLP_USERDATA)))
        b->Click();
}

void DeliverTick(UINT_PTR id) {
    const auto found = Timers().find(id);
    if (found != Timers().end() && found->second->onTick) found->second->onTick();
}

}  // namespace platform::win32
