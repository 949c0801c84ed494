// Timer1: while the stopwatch runs, five times a second, the elapsed time into the time box and
// the title. It changes no field. The text changes once a second: a tick writes only what differs
// from what is shown, so four ticks in five cost the display nothing.
#include "stopwatch/elapsed.h"
#include "stopwatch/frmKELTOS.h"

void frmKELTOS::Timer1_Timer() {
    const double run = RunSeconds(toolkit_.GetClock().Reading(), dblStartTime);
    const ElapsedParts parts = SplitElapsed(run, sngAccumulated);
    const platform::Calendar& calendar = toolkit_.GetCalendar();
    const std::string text = calendar.Format(
        platform::Calendar::TimeSerial(parts.hours, parts.minutes, parts.seconds), "hh:mm:ss");
    if (txtTime->Text() != text) txtTime->SetText(text);
    SetTitle(text);
}
