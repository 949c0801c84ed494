#include "desktop/utf8.h"

#include <gtest/gtest.h>

using desktop::DecodeUtf8;
using desktop::SanitizeUtf8;

TEST(Utf8, DecodesAndReplacesWhatIsMalformed) {
    EXPECT_EQ(DecodeUtf8("K\xC3\xA9"), U"K\u00E9");
    EXPECT_EQ(DecodeUtf8("\xF0\x9F\x98\x80"), U"\U0001F600");
    EXPECT_EQ(DecodeUtf8("\xFF"
                         "a"),
              U"\uFFFDa");
    EXPECT_EQ(DecodeUtf8("\xC0\xAF"), U"\uFFFD\uFFFD");            // overlong '/'
    EXPECT_EQ(DecodeUtf8("\xED\xA0\x80"), U"\uFFFD\uFFFD\uFFFD");  // surrogate
    EXPECT_EQ(DecodeUtf8("\xE3\x81"), U"\uFFFD\uFFFD");            // cut short
    EXPECT_EQ(DecodeUtf8("KELTOS - 00:00:00", 5), U"KELTO");
}

TEST(Utf8, SanitizingNeverCutsACharacterAndStopsAtNul) {
    EXPECT_EQ(SanitizeUtf8("ab\xE6\x99\x82", 4), "ab");  // the 3-byte character does not fit
    EXPECT_EQ(SanitizeUtf8("ab\xE6\x99\x82", 5), "ab\xE6\x99\x82");
    EXPECT_EQ(SanitizeUtf8("a\xFF", 10), "a\xEF\xBF\xBD");
    EXPECT_EQ(SanitizeUtf8(std::string("ab\0cd", 5), 10), "ab");
    EXPECT_EQ(SanitizeUtf8(std::string(100000, 'x'), 249).size(), 249u);
    EXPECT_EQ(desktop::Latin1ToUtf8("caf\xE9"), "caf\xC3\xA9");
}
