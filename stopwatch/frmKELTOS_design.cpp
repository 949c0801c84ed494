#include "stopwatch/frmKELTOS_design.h"

#include <algorithm>

namespace frmKELTOS_design {

const platform::WindowDesign& Window() {
    static const platform::WindowDesign window{"KELTOS", 4590, 285};
    return window;
}

// The time box's face, ＭＳ ゴシック (MS Gothic), at 9.75 points, regular, in the Shift-JIS set.
const platform::FontDesign kTimeBoxFont{
    "\xEF\xBC\xAD\xEF\xBC\xB3 \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF", 9.75f, 400, 128};

const std::vector<Control>& Controls() {
    // name, caption or text, left, top, width, height, tab index, font
    static const std::vector<Control> controls = [] {
        std::vector<Control> list{
            {Kind::Label, {"Label1", "99/99 99:99", 60, 60, 1005, 195, 5, {}}},
            {Kind::TextBox, {"txtTime", "00:00:00", 1110, 0, 1035, 285, 0, kTimeBoxFont}},
            {Kind::Button, {"btnStart", "START", 2220, 0, 705, 255, 1, {}}},
            {Kind::Button, {"btnStop", "STOP", 2940, 0, 585, 255, 2, {}}},
            {Kind::Button, {"btnReset", "RESET", 3540, 0, 705, 255, 3, {}}},
            {Kind::Button, {"btnEnd", "X", 4290, 0, 255, 255, 4, {}}},
        };
        std::stable_sort(list.begin(), list.end(), [](const Control& a, const Control& b) {
            return a.design.tabIndex < b.design.tabIndex;
        });
        return list;
    }();
    return controls;
}

const platform::TimerDesign& Timer1() {
    static const platform::TimerDesign timer{"Timer1", 0, true};  // silent until START
    return timer;
}

const platform::TimerDesign& Timer2() {
    static const platform::TimerDesign timer{"Timer2", 1000, true};
    return timer;
}

}  // namespace frmKELTOS_design
