// Turns the bytes GetWindowTextA copied (the system code page) into characters.
#pragma once

#include <cstddef>
#include <string>

// At most `limit` characters of the NUL-terminated title in `buffer`.
std::u32string TitleCharacters(const char* buffer, std::size_t limit);
