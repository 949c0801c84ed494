// The rule by which every toolkit fits a caption's font, measured by a made-up font: at size s
// a digit d is s + d units wide (9 the widest), any other character s units.
#include "platform/font_fit.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int Width(const std::u16string& text, int size) {
    int width = 0;
    for (char16_t c : text) width += size + (c >= u'0' && c <= u'9' ? c - u'0' : 0);
    return width;
}

// The size the rule gives `text` in a room `room` units wide, from `largest` down to 6.
int Fitted(const std::u16string& text, int room, int largest) {
    const std::u16string shape = platform::ShapeOf(text);
    return platform::LargestFitting(largest, 6, [&](int size) {
        const auto digit = [size](char16_t d) { return Width(std::u16string(1, d), size); };
        return Width(platform::WithWidestDigit(shape, digit), size) <= room;
    });
}

}  // namespace

TEST(FontFit, TheLargestSizeAtWhichTheShapeFitsWithItsWidestDigits) {
    EXPECT_EQ(platform::ShapeOf(std::u16string(u"12:59 x")), u"00:00 x");
    EXPECT_EQ(platform::WithWidestDigit(std::u16string(u"00:00"),
                                        [](char16_t d) { return d == u'4' || d == u'7' ? 2 : 1; }),
              u"44:44");  // the first of the widest
    const struct {
        std::u16string text;
        int room, largest, size;
    } cases[] = {
        {u"00:00:00", 220, 20, 20},  // fits at once: 8 x 20 + 6 x 9 = 214
        {u"00:00:00", 150, 20, 12},  // 8 x 12 + 6 x 9 = 150, at 13 it is 158
        {u"00:00:00", 10, 20, 6},    // nothing fits: the smallest, cut off
        {u"STOP", 100, 4, 4},        // a design below the smallest stays as it is
    };
    for (const auto& c : cases)
        EXPECT_EQ(Fitted(c.text, c.room, c.largest), c.size)
            << std::string(c.text.begin(), c.text.end()) << " in " << c.room;
    // A readout keeps its size while its digits change: every text of one shape gets the same.
    EXPECT_EQ(Fitted(u"10:00:00", 150, 20), Fitted(u"19:59:59", 150, 20));
}
