// The fonts of the controls: each caption fits its control on one line, whatever the system's GUI
// font, code page and DPI. A control starts from its preferred font (the GUI font, or the font of
// its design) and steps down one pixel at a time until its text fits the control's caption box,
// by the fitting rule of platform/font_fit.h.
#include <algorithm>
#include <cstdlib>

#include "platform/font_fit.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {

namespace {

// Pixels at 96 DPI, at `dpi`.
int Scaled(int pixels, int dpi) {
    return MulDiv(pixels, dpi, 96);
}

// How big `text` is in the font selected into `dc`, each digit as wide as the widest digit, and
// how high a line of it is.
SIZE Extent(HDC dc, const std::wstring& text) {
    const std::wstring shown = WithWidestDigit(ShapeOf(text), [dc](wchar_t digit) {
        SIZE s{};
        GetTextExtentPoint32W(dc, &digit, 1, &s);
        return s.cx;
    });
    SIZE s{};
    GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &s);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    if (metrics.tmHeight > s.cy) s.cy = metrics.tmHeight;
    return s;
}

// The first of `choices` at the largest size at which `text` fits `box`. Below the smallest
// size the text would be unreadable: there the first face is taken and the text cut off.
HFONT Choose(HWND control, const std::vector<LOGFONTW>& choices, const std::wstring& text, SIZE box,
             int dpi) {
    HDC dc = GetDC(control);
    if (!dc) return nullptr;
    const LONG sign = choices.front().lfHeight < 0 ? -1 : 1;
    const int smallest = Scaled(6, dpi);
    HFONT chosen = nullptr;
    // The first face that fits at `height` (or, `anyway`, the first there is) becomes `chosen`.
    const auto choose = [&](int height, bool anyway) {
        for (const LOGFONTW& choice : choices) {
            LOGFONTW font = choice;
            font.lfHeight = sign * height;
            HFONT candidate = CreateFontIndirectW(&font);
            if (!candidate) continue;
            const HGDIOBJ old = SelectObject(dc, candidate);
            const SIZE extent = Extent(dc, text);
            SelectObject(dc, old);
            if (anyway || (extent.cx <= box.cx && extent.cy <= box.cy)) {
                chosen = candidate;
                return true;
            }
            DeleteObject(candidate);
        }
        return false;
    };
    const int largest = static_cast<int>(std::labs(choices.front().lfHeight));
    const int height = LargestFitting(largest, smallest, [&](int h) { return choose(h, false); });
    if (!chosen) choose(height, true);
    ReleaseDC(control, dc);
    return chosen;
}

}  // namespace

int SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

std::vector<LOGFONTW> GuiFonts(int dpi) {
    // The stock font and the system metrics are made for the system DPI; the window may be on a
    // monitor of another.
    const int system = SystemDpi();
    LOGFONTW gui{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof gui, &gui);
    gui.lfHeight = MulDiv(gui.lfHeight ? gui.lfHeight : -11, dpi, system);
    gui.lfWidth = 0;
    std::vector<LOGFONTW> fonts{gui};
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) &&
        lstrcmpiW(metrics.lfMessageFont.lfFaceName, gui.lfFaceName) != 0) {
        LOGFONTW message = metrics.lfMessageFont;
        message.lfHeight = gui.lfHeight;  // another face, at the same size
        message.lfWidth = 0;
        fonts.push_back(message);
    }
    return fonts;
}

std::vector<LOGFONTW> DesignFonts(const FontDesign& design, int dpi) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(static_cast<int>(design.points * 100 + 0.5f), dpi, 7200);
    font.lfWeight = design.weight;
    font.lfCharSet = static_cast<BYTE>(design.charset);
    font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    // Windows substitutes a face of the same character set where this one is missing, which
    // need not be one that fits: then the system's own choices of a fixed-pitch face.
    lstrcpynW(font.lfFaceName, Widen(design.face).c_str(), LF_FACESIZE);
    std::vector<LOGFONTW> fonts{font};
    font.lfFaceName[0] = L'\0';
    fonts.push_back(font);
    font.lfCharSet = DEFAULT_CHARSET;
    fonts.push_back(font);
    return fonts;
}

SIZE CaptionBox(HWND control, int dpi) {
    RECT client{};
    GetClientRect(control, &client);
    SIZE box{client.right, client.bottom};
    wchar_t kind[16] = {};
    GetClassNameW(control, kind, 16);
    if (lstrcmpiW(kind, L"BUTTON") == 0) {
        // The button's raised edge and a pixel of air inside it.
        box.cx -= 2 * Scaled(3, dpi);
        box.cy -= 2 * Scaled(2, dpi);
    } else if (lstrcmpiW(kind, L"EDIT") == 0) {
        // The margins the edit control keeps, and the caret after the last character.
        const DWORD margins = static_cast<DWORD>(SendMessageW(control, EM_GETMARGINS, 0, 0));
        box.cx -= LOWORD(margins) + HIWORD(margins) + Scaled(1, dpi);
    }
    return box;
}

FittedFont::~FittedFont() {
    if (font_) DeleteObject(font_);
}

void FittedFont::Fit(HWND control, const std::vector<LOGFONTW>& choices, const std::wstring& text,
                     int dpi) {
    if (choices.empty()) return;
    const LOGFONTW& preferred = choices.front();
    SIZE box = CaptionBox(control, dpi);
    const std::wstring shape = ShapeOf(text);
    if (font_ && shape == shape_ && preferred.lfHeight == preferredHeight_ &&
        preferredFace_ == preferred.lfFaceName && box.cx == box_.cx && box.cy == box_.cy)
        return;

    // An edit control sets its margins from its font: when the chosen font leaves less room than
    // was measured, the font is chosen again for that room.
    for (int attempt = 0; attempt < 3; ++attempt) {
        HFONT chosen = Choose(control, choices, text, box, dpi);
        if (!chosen) return;  // keeps the font it has
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(chosen), TRUE);
        if (font_) DeleteObject(font_);
        font_ = chosen;
        const SIZE room = CaptionBox(control, dpi);
        if (room.cx >= box.cx && room.cy >= box.cy) break;
        box = SIZE{std::min(room.cx, box.cx), std::min(room.cy, box.cy)};
    }
    shape_ = shape;
    preferredHeight_ = preferred.lfHeight;
    preferredFace_ = preferred.lfFaceName;
    box_ = CaptionBox(control, dpi);
}

}  // namespace platform::win32
