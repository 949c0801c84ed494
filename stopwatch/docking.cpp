// Timer2: once a second, onto the title bar of the foreground window (unless that window is
// recognised as the stopwatch itself by the first five characters of its title), then the
// clock label. Between changes the ticks rest where the toolkit can tell when one comes.
#include "stopwatch/frmKELTOS.h"
#include "stopwatch/title_compare.h"

namespace {

constexpr int kTitleCapacity = 250;
constexpr double kRightInset = 950;  // twips between the window's right edge and ours
constexpr double kTopInset = 60;     // twips between the window's top edge and ours

}  // namespace

void frmKELTOS::Timer2_Timer() {
    char buffer[kTitleCapacity] = {};
    HWND fg = GetForegroundWindow();
    if (fg) {
        GetWindowTextA(fg, buffer, kTitleCapacity);
        // A window that is minimized reports a place off the screen, and one that vanished
        // since GetForegroundWindow has no rectangle: the bar stays where it is for both.
        RECT r{0, 0, 0, 0};
        if (!SameFirstFiveCharacters(buffer, window_->Caption()) && !IsIconic(fg) &&
            GetWindowRect(fg, &r)) {
            const double twips = window_->TwipsPerPixel();
            const double w = window_->Width();
            window_->Move(static_cast<float>((twips * r.right - kRightInset) - w),
                          static_cast<float>(twips * r.top + kTopInset));
        }
    }
    // The label changes once a minute: it is written only then.
    const platform::DateTime now = toolkit_.GetCalendar().Now();
    const std::string clock = ClockLabelText(now);
    if (Label1->Caption() != clock) Label1->SetCaption(clock);
    // Until the desktop or this window says otherwise, the next ticks would find what this one
    // found; where the toolkit can tell, they rest until the last whole second of this minute, so
    // that the tick after the minute turns still writes the label within a second.
    Timer2->Rest((59 - now.second) * 1000);
}
