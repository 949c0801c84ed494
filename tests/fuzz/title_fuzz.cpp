// libFuzzer target over what the bar does with other programs' titles: decoding and sanitizing
// UTF-8, Latin-1 titles, and recognising its own window by the first five characters.
//
// The input is split at its first byte's value: the part before is a foreign title as it comes
// from the X server, the part after is a title of the bar's own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "desktop/utf8.h"
#include "stopwatch/title_compare.h"
#include "winapi/title_text.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

bool IsCharacter(char32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

// What GetWindowTextA leaves in a buffer of 250: at most 249 bytes of well-formed UTF-8 and a NUL.
std::string AsCopied(std::string_view raw) {
    const std::string text = desktop::SanitizeUtf8(raw, 249);
    Require(text.size() <= 249);
    Require(text.find('\0') == std::string::npos);
    Require(desktop::SanitizeUtf8(text, 249) == text);  // already well-formed: left as it is
    for (char32_t c : desktop::DecodeUtf8(text)) Require(IsCharacter(c));
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view all(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t split = std::min<std::size_t>(data[0], all.size());
    const std::string_view foreign = all.substr(0, split);
    const std::string own(all.substr(split));

    // Decoding: characters only, never more than asked for or than there are bytes.
    for (std::size_t limit : {std::size_t{0}, std::size_t{5}, std::u32string::npos}) {
        const std::u32string chars = desktop::DecodeUtf8(foreign, limit);
        Require(chars.size() <= limit && chars.size() <= foreign.size());
        for (char32_t c : chars) Require(IsCharacter(c));
    }
    // Sanitizing to any size never cuts a character and never grows past the limit.
    for (std::size_t max : {std::size_t{0}, std::size_t{1}, std::size_t{4}, std::size_t{249}}) {
        const std::string cut = desktop::SanitizeUtf8(foreign, max);
        Require(cut.size() <= max);
        Require(desktop::SanitizeUtf8(cut, max) == cut);
    }
    // Latin-1 titles (WM_NAME of type STRING) come back byte for byte as characters.
    const std::u32string latin = desktop::DecodeUtf8(desktop::Latin1ToUtf8(foreign));
    Require(latin.size() == foreign.size());
    for (std::size_t i = 0; i < foreign.size(); ++i)
        Require(latin[i] == static_cast<unsigned char>(foreign[i]));

    // The comparison: a foreign title is taken for the bar's own exactly when its text begins
    // with the five characters "KELTO".
    const std::string copied = AsCopied(foreign);
    Require(SameFirstFiveCharacters(copied.c_str(), "KELTOS - 00:00:00") ==
            (copied.compare(0, 5, "KELTO") == 0));
    Require(TitleCharacters(copied.c_str(), 5) == desktop::DecodeUtf8(copied, 5));
    // Whatever its own title, the bar recognises it when it reads it back from the X server,
    // unless the title has fewer than five characters before a NUL.
    const std::u32string ownChars = desktop::DecodeUtf8(own, 5);
    if (ownChars.size() == 5 && ownChars.find(U'\0') == std::u32string::npos)
        Require(SameFirstFiveCharacters(AsCopied(own).c_str(), own));
    return 0;
}
