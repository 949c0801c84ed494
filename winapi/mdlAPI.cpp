#include "winapi/mdlAPI.h"

void SetTopMost(HWND hWnd, bool topmost) {
    ChangeBand(hWnd, topmost, SWP_SHOWWINDOW);
}

BOOL ChangeBand(HWND hWnd, bool topmost, UINT flags) {
    RECT r{0, 0, 0, 0};  // a rectangle that cannot be read counts as all zeros
    GetWindowRect(hWnd, &r);
    const int x = r.left;
    const int y = r.top;
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    return SetWindowPos(hWnd, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, x, y, width, height, flags);
}
