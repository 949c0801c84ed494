// Where the system code page is UTF-8 (Linux, and the fake desktop of the tests).
#include <cstring>

#include "desktop/utf8.h"
#include "winapi/title_text.h"

std::u32string TitleCharacters(const char* buffer, std::size_t limit) {
    return Utf8TitleCharacters(std::string_view(buffer, std::strlen(buffer)), limit);
}

std::u32string Utf8TitleCharacters(std::string_view title, std::size_t limit) {
    return desktop::DecodeUtf8(title, limit);
}
