// A scripted desktop for unit tests: the window API of winapi/mdlAPI.h over windows the test
// creates, names, moves, minimizes, closes and brings to the foreground.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "winapi/mdlAPI.h"

namespace fake {

struct DesktopWindow {
    std::string title;  // bytes, as GetWindowTextA copies them
    RECT rect{0, 0, 0, 0};
    bool iconic = false;
    bool visible = false;
    bool topmost = false;
};

struct SetWindowPosCall {
    HWND hWnd;
    HWND insertAfter;
    int x, y, cx, cy;
    UINT flags;
};

class Desktop {
  public:
    static Desktop& Get();
    void Reset();

    HWND Add(const std::string& title, RECT rect);
    void Close(HWND hWnd);  // the handle stays foreground until the test says otherwise
    void SetForeground(HWND hWnd) { foreground_ = hWnd; }
    HWND Foreground() const { return foreground_; }
    DesktopWindow* Find(HWND hWnd);

    // Everything the program did, in order (window API calls and the fake toolkit's writes).
    std::vector<std::string>& Log() { return log_; }
    std::vector<SetWindowPosCall>& SetWindowPosCalls() { return setWindowPosCalls_; }

  private:
    std::map<HWND, DesktopWindow> windows_;
    HWND foreground_ = nullptr;
    unsigned next_ = 0x100;
    std::vector<std::string> log_;
    std::vector<SetWindowPosCall> setWindowPosCalls_;
};

}  // namespace fake
