// Design-time properties: what a window, a control or a timer is when it is created, before any
// handler runs. Geometry is in twips (1/1440 inch), relative to the window's client area.
#pragma once

#include <string>

namespace platform {

struct FontDesign {
    std::string face;  // empty: the platform's default font
    float points = 0;
    int weight = 400;
    int charset = 0;  // Windows character set number (128 is Shift-JIS)
};

struct WindowDesign {
    std::string caption;
    int width = 0;  // twips; the window has no border or title bar, so this is its client area
    int height = 0;
};

struct ControlDesign {
    std::string name;
    std::string caption;  // a button's or label's caption, a text box's text
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int tabIndex = 0;
    FontDesign font;
};

struct TimerDesign {
    std::string name;
    int interval = 0;  // milliseconds; 0 never ticks
    bool enabled = true;
};

}  // namespace platform
