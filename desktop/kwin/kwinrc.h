// What the KWin provider reads from kwinrc, KWin's configuration file: KWin's scale for X11
// clients.
#pragma once

#include <optional>
#include <string_view>

namespace desktop::kwin {

// The value of `Scale` in the group `[Xwayland]` of a kwinrc file's text: how many of XWayland's
// pixels one of KWin's logical pixels spans. Nothing when the key is absent or is not a number
// (KWin then takes 1). Whether the number is believable is left to the caller.
std::optional<double> XwaylandScale(std::string_view kwinrc);

}  // namespace desktop::kwin
