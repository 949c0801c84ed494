// What the KWin provider reads from a KDE Plasma session besides the script's reports: KWin's
// scale for X11 clients from its configuration file, and the names under which each running
// KELTOS loads its script into KWin and writes it into the runtime directory.
//
// Each KELTOS names its script after its own unique name on the session bus (":1.42" loads
// "keltos_focus_:1.42" from "keltos_focus_:1.42.js"), so that copies never take each other's
// script, and a script left by a copy that was killed can be told from one whose owner still
// runs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace winapi {

// The value of `Scale` in the group `[Xwayland]` of a kwinrc file's text: how many of XWayland's
// pixels one of KWin's logical pixels spans. Nothing when the key is absent or is not a number
// (KWin then takes 1). Whether the number is believable is left to the caller.
std::optional<double> KWinXwaylandScale(std::string_view kwinrc);

// The script's name for the KELTOS whose unique bus name is `owner`; its file is this + ".js".
std::string KWinScriptName(std::string_view owner);

// The unique bus name of the KELTOS whose script file is called `fileName`; nothing for any
// other file name, and for a name that is not a unique bus name (one beginning with ':').
std::optional<std::string> KWinScriptOwner(std::string_view fileName);

}  // namespace winapi
