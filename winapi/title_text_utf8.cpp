// Where the system code page is UTF-8 (X11 and the fake desktop of the tests).
#include <cstring>

#include "winapi/utf8.h"
#include "winapi/title_text.h"

std::u32string TitleCharacters(const char* buffer, std::size_t limit) {
    return winapi::DecodeUtf8(std::string_view(buffer, std::strlen(buffer)), limit);
}
