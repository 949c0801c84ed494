// On Windows: GetWindowTextA copies the title in the ANSI code page, one or two bytes for each
// character. The bytes are turned into UTF-16 by the system, then into characters.
#include "winapi/mdlAPI.h"
#include "winapi/title_text.h"

std::u32string TitleCharacters(const char* buffer, std::size_t limit) {
    const int n = MultiByteToWideChar(CP_ACP, 0, buffer, -1, nullptr, 0);
    if (n <= 1) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, buffer, -1, wide.data(), n) <= 0) return {};
    wide.resize(static_cast<std::size_t>(n - 1));  // the NUL

    std::u32string characters;
    for (std::size_t i = 0; i < wide.size() && characters.size() < limit; ++i) {
        const char32_t unit = static_cast<char16_t>(wide[i]);
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool nextLow = i + 1 < wide.size() && static_cast<char16_t>(wide[i + 1]) >= 0xDC00 &&
                             static_cast<char16_t>(wide[i + 1]) <= 0xDFFF;
        if (high && nextLow) {
            const char32_t low = static_cast<char16_t>(wide[++i]);
            characters.push_back(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            characters.push_back(U'\uFFFD');  // half of a pair
        } else {
            characters.push_back(unit);
        }
    }
    return characters;
}
