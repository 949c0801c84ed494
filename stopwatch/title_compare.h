// How the docking timer recognises the stopwatch's own window: by the first five characters of
// the foreground window's title.
#pragma once

#include <string>

// Whether the title GetWindowTextA copied into `buffer` (NUL-terminated, the system code page)
// begins with the same five characters as `ownTitle`, compared character for character and
// case-sensitively. A title shorter than five characters is compared as it stands.
bool SameFirstFiveCharacters(const char* buffer, const std::string& ownTitle);
