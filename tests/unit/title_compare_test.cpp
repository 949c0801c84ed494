// Recognising the bar's own window by the first five characters of a title, with titles as the
// fuzz target (tests/fuzz) feeds them: invalid, cut short, with NULs, very long.
#include "stopwatch/title_compare.h"

#include <gtest/gtest.h>

#include <string>

#include "desktop/utf8.h"

namespace {

// A title as GetWindowTextA leaves it in the docking timer's buffer of 250.
std::string Copied(const std::string& raw) {
    return desktop::SanitizeUtf8(raw, 249);
}

}  // namespace

TEST(TitleCompare, OnlyTitlesBeginningWithTheSameFiveCharactersAreOwn) {
    const std::string own = "KELTOS - 00:01:02";
    const struct {
        std::string title;
        bool same;
    } cases[] = {
        {"KELTOS - 23:59:59", true},
        {"KELTO", true},
        {"KELTOxyz", true},
        {"KELT", false},
        {"", false},
        {"kelto", false},         // case-sensitive
        {"KELT\xC3\x93", false},  // Ó is not O
        {"\xEF\xBB\xBF"
         "KELTO",
         false},                             // a byte-order mark is a character
        {"KEL\xE3\x81TO", false},            // cut-short sequence: replacement characters
        {std::string("KEL\0TO", 6), false},  // the title ends at the NUL
        {std::string(300, 'K'), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SameFirstFiveCharacters(Copied(c.title).c_str(), own), c.same) << c.title;
}

TEST(TitleCompare, OwnTitleReadBackIsRecognisedWhateverItsBytes) {
    for (const std::string own : {"KELTOS - 00:00:00", "\xFF\xFE\xFD\xFC\xFB rest",
                                  "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xA7\xE3\x81\x99",
                                  "\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98"
                                  "\x80\xF0\x9F\x98\x80",
                                  "\x01\x02\x03\x04\x05\x06"}) {
        EXPECT_TRUE(SameFirstFiveCharacters(Copied(own).c_str(), own)) << own;
    }
}
