#include "stopwatch/title_compare.h"

#include "winapi/title_text.h"

namespace {

constexpr std::size_t kComparedCharacters = 5;

}  // namespace

bool SameFirstFiveCharacters(const char* buffer, const std::string& ownTitle) {
    return TitleCharacters(buffer, kComparedCharacters) ==
           Utf8TitleCharacters(ownTitle, kComparedCharacters);
}
