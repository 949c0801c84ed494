// The one rule by which a control's caption gets its font, whatever the toolkit: the largest
// size, from the design's down to the smallest readable one, at which the caption fits its
// control on one line, every digit measured as the font's widest digit. The size so depends only
// on the caption's shape (its digits as 0): a clock or a readout keeps its size while its digits
// change, and is fitted again only when its shape does. Each toolkit measures in its own way.
#pragma once

namespace platform {

// The caption's shape: every digit as 0. `String` is any string of UTF-16 or wide characters.
template <class String>
String ShapeOf(String text) {
    using Char = typename String::value_type;
    for (Char& c : text)
        if (c >= Char(u'0') && c <= Char(u'9')) c = Char(u'0');
    return text;
}

// The shape as it is measured: each 0 as the digit that `width(digit)` finds widest (the first
// of them, on a tie).
template <class String, class Width>
String WithWidestDigit(String shape, Width width) {
    using Char = typename String::value_type;
    Char widest = Char(u'0');
    auto most = width(widest);
    for (char16_t d = u'1'; d <= u'9'; ++d)
        if (const auto w = width(Char(d)); w > most) {
            most = w;
            widest = Char(d);
        }
    for (Char& c : shape)
        if (c == Char(u'0')) c = widest;
    return shape;
}

// The largest size from `largest` down to `smallest` at which `fits(size)` holds; `smallest`, not
// tried, when none above it does.
template <class Fits>
int LargestFitting(int largest, int smallest, Fits fits) {
    int size = largest;
    while (size > smallest && !fits(size)) --size;
    return size;
}

}  // namespace platform
