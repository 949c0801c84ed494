// Window titles as characters: another program's, as GetWindowTextA copied it (the system code
// page), and this program's own, which it keeps in UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// At most `limit` characters of the NUL-terminated title in `buffer`.
std::u32string TitleCharacters(const char* buffer, std::size_t limit);

// At most `limit` characters of a UTF-8 title; a byte that is not UTF-8 is one U+FFFD.
std::u32string Utf8TitleCharacters(std::string_view title, std::size_t limit);
