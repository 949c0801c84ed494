// A report of KWin's active window, as the script KELTOS loads into KWin (keltos_focus.js) sends
// it over D-Bus: one string,
//   "<serial> <minimized 0|1> <x> <y> <width> <height> <window id>\n<title>"
// or "<serial>" alone when no window is active. The title is already cut to its first characters
// by the script; ReportedForeground cuts and checks it again.
#pragma once

#include <optional>
#include <string_view>

#include "desktop/reported_foreground.h"

namespace desktop::kwin {

// The report in `text`, or nothing when it is not one (wrong fields, numbers that are not
// numbers, too long to be one).
std::optional<WindowReport> ParseReport(std::string_view text);

}  // namespace desktop::kwin
