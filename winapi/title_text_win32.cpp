// On Windows: GetWindowTextA copies the title in the ANSI code page, one or two bytes for each
// character, and this program keeps its own in UTF-8. The system turns either into UTF-16, then
// the UTF-16 units become characters.
#include "winapi/mdlAPI.h"
#include "winapi/title_text.h"

namespace {

// At most `limit` characters of `length` bytes (-1: up to the NUL) in `codePage`; bytes that are
// not of the code page come as U+FFFD.
std::u32string Characters(UINT codePage, const char* bytes, int length, std::size_t limit) {
    const int n = MultiByteToWideChar(codePage, 0, bytes, length, nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    if (MultiByteToWideChar(codePage, 0, bytes, length, wide.data(), n) <= 0) return {};
    if (length < 0) wide.resize(static_cast<std::size_t>(n - 1));  // the NUL

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

}  // namespace

std::u32string TitleCharacters(const char* buffer, std::size_t limit) {
    return Characters(CP_ACP, buffer, -1, limit);
}

std::u32string Utf8TitleCharacters(std::string_view title, std::size_t limit) {
    if (title.empty()) return {};
    return Characters(CP_UTF8, title.data(), static_cast<int>(title.size()), limit);
}
