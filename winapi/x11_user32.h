// What the X11 window API needs to know beyond USER32's own calls.
#pragma once

#include <functional>

#include "winapi/mdlAPI.h"

namespace x11_user32 {

// Registers a window of this process's own toolkit. SetWindowPos asks the toolkit to show and
// activate such a window (so the toolkit knows it is visible) instead of mapping it behind the
// toolkit's back.
void AdoptWindow(HWND hWnd, std::function<void()> showAndActivate);

}  // namespace x11_user32
