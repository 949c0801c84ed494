// The design-time properties of frmKELTOS and its controls, in one place.
#pragma once

#include <vector>

#include "platform/design_types.h"

namespace frmKELTOS_design {

enum class Kind { Label, TextBox, Button };

struct Control {
    Kind kind;
    platform::ControlDesign design;
};

const platform::WindowDesign& Window();
// The six visible controls, in Tab order.
const std::vector<Control>& Controls();
const platform::TimerDesign& Timer1();
const platform::TimerDesign& Timer2();

}  // namespace frmKELTOS_design
