// frmKELTOS: the program's one window, its controls, its four fields and its handlers.
//
// Every handler runs on the user-interface thread, one at a time, so the fields need no locking.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

class frmKELTOS {
  public:
    // Creates the window and its controls from their design-time properties and wires the
    // handlers; the toolkit raises the load event when it runs the window.
    explicit frmKELTOS(platform::Toolkit& toolkit);

    platform::Window& window() { return *window_; }

    // Controls, by their names.
    std::unique_ptr<platform::TextBox> txtTime;
    std::unique_ptr<platform::CommandButton> btnStart;
    std::unique_ptr<platform::CommandButton> btnStop;
    std::unique_ptr<platform::CommandButton> btnReset;
    std::unique_ptr<platform::CommandButton> btnEnd;
    std::unique_ptr<platform::Label> Label1;
    std::unique_ptr<platform::Timer> Timer1;
    std::unique_ptr<platform::Timer> Timer2;

    // Fields.
    float sngAccumulated = 0;  // seconds of the runs that ended since the last RESET
    double dblStartTime = 0;   // run-clock reading at the last START
    bool blnTopMost = false;   // whether the window belongs in the topmost band
    std::string strBaseTitle;  // the design-time caption, captured at load

    // Handlers.
    void Form_Load();
    void btnStart_Click();
    void btnStop_Click();
    void btnReset_Click();
    void btnEnd_Click();
    void Timer1_Timer();  // elapsed-time readout
    void Timer2_Timer();  // title-bar docking and clock label

    // The title rule: strBaseTitle, " - ", then an elapsed text; written only when it differs.
    void SetTitle(const std::string& elapsedText);
    // A local date and time as " mm/dd hh:mm".
    std::string ClockLabelText(const platform::DateTime& now) const;

  private:
    platform::Toolkit& toolkit_;
    std::unique_ptr<platform::Window> window_;
};
