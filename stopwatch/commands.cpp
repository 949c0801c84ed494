// The four commands. The states are not stored: they are the buttons' enabled states and
// Timer1's settings.
//   Idle:    START on,  STOP off, RESET off, Timer1 silent (interval 0)
//   Running: START off, STOP on,  RESET on,  Timer1 enabled every 200 ms
//   Paused:  START on,  STOP off, RESET on,  Timer1 disabled, interval 0
#include "stopwatch/elapsed.h"
#include "stopwatch/frmKELTOS.h"

void frmKELTOS::btnStart_Click() {
    btnStop->SetEnabled(true);
    btnReset->SetEnabled(true);
    btnStart->SetEnabled(false);
    Timer1->SetInterval(200);
    Timer1->SetEnabled(true);
    dblStartTime = toolkit_.GetClock().Reading();
}

void frmKELTOS::btnStop_Click() {
    btnStop->SetEnabled(false);
    btnReset->SetEnabled(true);
    btnStart->SetEnabled(true);
    btnStart->SetFocus();
    const double t = toolkit_.GetClock().Reading();
    sngAccumulated = static_cast<float>(RunSeconds(t, dblStartTime) + sngAccumulated);
    Timer1->SetEnabled(false);
    Timer1->SetInterval(0);
}

void frmKELTOS::btnReset_Click() {
    btnStop->SetEnabled(false);
    btnReset->SetEnabled(false);
    btnStart->SetEnabled(true);
    btnStart->SetFocus();
    sngAccumulated = 0;
    txtTime->SetText("00:00:00");
    SetTitle("00:00:00");
    Timer1->SetEnabled(false);
    Timer1->SetInterval(0);
}

void frmKELTOS::btnEnd_Click() {
    window().End();
}
