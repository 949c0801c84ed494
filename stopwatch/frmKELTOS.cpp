#include "stopwatch/frmKELTOS.h"

#include "stopwatch/frmKELTOS_design.h"

frmKELTOS::frmKELTOS(platform::Toolkit& toolkit)
    : toolkit_(toolkit), window_(toolkit.MakeWindow(frmKELTOS_design::Window())) {
    // Created in Tab order, so the toolkit's creation order is the Tab order.
    for (const frmKELTOS_design::Control& control : frmKELTOS_design::Controls()) {
        const platform::ControlDesign& d = control.design;
        switch (control.kind) {
            case frmKELTOS_design::Kind::Label:
                Label1 = toolkit.MakeLabel(*window_, d);
                break;
            case frmKELTOS_design::Kind::TextBox:
                txtTime = toolkit.MakeTextBox(*window_, d);
                break;
            case frmKELTOS_design::Kind::Button: {
                auto button = toolkit.MakeButton(*window_, d);
                if (d.name == "btnStart") btnStart = std::move(button);
                if (d.name == "btnStop") btnStop = std::move(button);
                if (d.name == "btnReset") btnReset = std::move(button);
                if (d.name == "btnEnd") btnEnd = std::move(button);
                break;
            }
        }
    }
    Timer1 = toolkit.MakeTimer(*window_, frmKELTOS_design::Timer1());
    Timer2 = toolkit.MakeTimer(*window_, frmKELTOS_design::Timer2());

    window_->onLoad = [this] { Form_Load(); };
    btnStart->onClick = [this] { btnStart_Click(); };
    btnStop->onClick = [this] { btnStop_Click(); };
    btnReset->onClick = [this] { btnReset_Click(); };
    btnEnd->onClick = [this] { btnEnd_Click(); };
    Timer1->onTick = [this] { Timer1_Timer(); };
    Timer2->onTick = [this] { Timer2_Timer(); };
}

void frmKELTOS::Form_Load() {
    btnStop->SetEnabled(false);
    btnReset->SetEnabled(false);
    btnStart->SetEnabled(true);
    txtTime->SetText("00:00:00");
    strBaseTitle = window_->Caption();
    SetTitle("00:00:00");
    Label1->SetCaption(ClockLabelText(toolkit_.GetCalendar().Now()));
    blnTopMost = true;
    window_->SetTopMost(blnTopMost);  // keeps its rectangle, shows it, activates it
    sngAccumulated = 0;
}

void frmKELTOS::SetTitle(const std::string& elapsedText) {
    const std::string title = strBaseTitle + " - " + elapsedText;
    if (window_->Caption() != title) window_->SetCaption(title);
}

std::string frmKELTOS::ClockLabelText(const platform::DateTime& now) const {
    return toolkit_.GetCalendar().Format(now, " mm/dd hh:mm");
}
