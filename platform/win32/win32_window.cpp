// The bar's top-level window: a WS_POPUP window without border or title bar, whose client area
// is the whole window, carrying the executable's icon, at the DPI of the monitor it is on.
#include <algorithm>
#include <cmath>

#include "platform/win32/win32_newer.h"
#include "platform/win32/win32_platform.h"
// (after windows.h, which it needs)
#include <commctrl.h>

namespace platform::win32 {

namespace {

constexpr wchar_t kClassName[] = L"KeltosBar";
constexpr int kIconResource = 1;  // the ICON of resources/keltos.rc.in

ATOM RegisterBarClass(WNDPROC procedure) {
    static ATOM atom = 0;
    if (atom) return atom;
    // The button, edit and static classes of Common Controls 6, which the manifest selects.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource),
                                               IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kClassName;
    atom = RegisterClassExW(&wc);
    return atom;
}

// The DPI of the monitor a window is on (Windows 10 1607 and later); elsewhere the system DPI,
// which a system-aware process has for all its windows.
int DpiOf(HWND window) {
    const int dpi = static_cast<int>(WindowDpiIfKnown(window));
    return dpi > 0 ? dpi : SystemDpi();
}

}  // namespace

int Win32Window::ToPixels(double twips) const {
    // Far beyond any screen either way, but never past what a pixel coordinate can hold.
    const double pixels = std::clamp(twips * dpi_ / 1440.0, -1e6, 1e6);
    return static_cast<int>(std::lround(pixels));
}

Win32Window::Win32Window(const WindowDesign& design)
    : width_(design.width), height_(design.height), caption_(design.caption) {
    if (!RegisterBarClass(&Win32Window::Procedure)) {
        MessageBoxW(nullptr, L"The window class cannot be registered.", L"KELTOS", MB_ICONERROR);
        ExitProcess(1);
    }
    // Sized for the primary monitor, whose DPI is the system DPI; corrected below if the window
    // turns out to be on another.
    dpi_ = SystemDpi();
    // No border or title bar, so the window rectangle is the client area.
    const int width = ToPixels(width_);
    const int height = ToPixels(height_);
    // First shown at the top of the primary work area, centred; it stays there until another
    // window comes to the foreground.
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int x = area.left + (area.right - area.left - width) / 2;
    CreateWindowExW(0, kClassName, Widen(caption_).c_str(), WS_POPUP | WS_CLIPCHILDREN, x, area.top,
                    width, height, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (!hwnd_) {
        MessageBoxW(nullptr, L"The window cannot be created.", L"KELTOS", MB_ICONERROR);
        ExitProcess(1);
    }
    const int dpi = DpiOf(hwnd_);
    if (dpi != dpi_) ApplyDpi(dpi, x, area.top);
}

void Win32Window::Abandon(Win32Control* control) {
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

void Win32Window::ApplyDpi(int dpi, int left, int top) {
    dpi_ = dpi;
    SetWindowPos(hwnd_, nullptr, left, top, ToPixels(width_), ToPixels(height_),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    for (Win32Control* control : controls_) control->Layout();
}

Win32Window::~Win32Window() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void Win32Window::SetCaption(const std::string& text) {
    caption_ = text;
    SetWindowTextW(hwnd_, Widen(text).c_str());
}

void Win32Window::Move(float left, float top) {
    // Both at the DPI the window has now, in one move: should the move carry it onto a monitor
    // of another DPI, WM_DPICHANGED follows it, and the next tick places it at that one.
    RECT r{};
    GetWindowRect(hwnd_, &r);
    const int x = ToPixels(left);
    const int y = ToPixels(top);
    if (x != r.left || y != r.top)
        SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

float Win32Window::Width() const {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    return static_cast<float>(r.right - r.left) * TwipsPerPixel();
}

void Win32Window::End() {
    ExitProcess(0);
}

LRESULT CALLBACK Win32Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    // Messages that come before WM_NCCREATE (or after the object is gone) find no object.
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    return self->OnMessage(message, wParam, lParam);
}

LRESULT Win32Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && lParam)
                DeliverClick(reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_TIMER:
            DeliverTick(wParam);
            return 0;
        case WM_DPICHANGED: {
            // Moved onto a monitor of another DPI (or its DPI changed): the same twips in the new
            // pixels, where Windows suggests; the size is the design's, at the new DPI.
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            RECT r{};
            GetWindowRect(hwnd_, &r);
            ApplyDpi(HIWORD(wParam), suggested ? suggested->left : r.left,
                     suggested ? suggested->top : r.top);
            return 0;
        }
        case WM_ACTIVATE:
            // As a dialog box does: the focus leaves with the window and comes back with it.
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = GetFocus();
                if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
            } else {
                HWND target = lastFocus_;
                if (!target || !IsWindow(target) || !IsWindowEnabled(target))
                    target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
                if (target) SetFocus(target);
            }
            return 0;
        case WM_CLOSE:    // closed by other means than "X": the program ends all the same
        case WM_DESTROY:  // (there is no handler of its own for it)
            Win32Window::End();
        default:
            return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

}  // namespace platform::win32
