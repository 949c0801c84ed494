// The names under which each running KELTOS loads its script into KWin and writes it into the
// runtime directory.
//
// Each KELTOS names its script after its own unique name on the session bus (":1.42" loads
// "keltos_focus_:1.42" from "keltos_focus_:1.42.js"), so that copies never take each other's
// script, and a script left by a copy that was killed can be told from one whose owner still
// runs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace desktop::kwin {

// The script's name for the KELTOS whose unique bus name is `owner`; its file is this + ".js".
std::string ScriptName(std::string_view owner);

// The unique bus name of the KELTOS whose script file is called `fileName`; nothing for any
// other file name, and for a name that is not a unique bus name (one beginning with ':').
std::optional<std::string> ScriptOwner(std::string_view fileName);

}  // namespace desktop::kwin
