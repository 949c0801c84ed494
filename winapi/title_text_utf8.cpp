// Where the system code page is UTF-8 (X11 and the fake desktop of the tests).
#include <cstring>

#include "platform/utf8.h"
#include "winapi/title_text.h"

std::u32string TitleCharacters(const char* buffer, std::size_t limit) {
    return platform::DecodeUtf8(std::string_view(buffer, std::strlen(buffer)), limit);
}
