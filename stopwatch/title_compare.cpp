#include "stopwatch/title_compare.h"

#include "winapi/title_text.h"
#include "winapi/utf8.h"

namespace {

constexpr std::size_t kComparedCharacters = 5;

}  // namespace

bool SameFirstFiveCharacters(const char* buffer, const std::string& ownTitle) {
    return TitleCharacters(buffer, kComparedCharacters) ==
           winapi::DecodeUtf8(ownTitle, kComparedCharacters);
}
