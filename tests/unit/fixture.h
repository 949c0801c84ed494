// A started stopwatch on the fake toolkit and desktop, as right after the program's start-up.
#pragma once

#include <gtest/gtest.h>

#include "stopwatch/frmKELTOS.h"
#include "tests/fake/fake_toolkit.h"

class Started : public ::testing::Test {
  protected:
    explicit Started(platform::DateTime start = {2026, 8, 30, 6, 26, 0},
                     platform::Separators separators = {})
        : reset_(), tk(start), form(tk) {
        tk.separators = separators;
        tk.Run(form.window());
    }

    fake::FakeButton& button(const std::string& name) { return *tk.buttons.at(name); }
    std::string title() const { return tk.window->caption; }
    std::string box() const { return tk.textBox->text; }
    std::string label() const { return tk.label->caption; }
    fake::FakeTimer& timer(int i) { return *tk.timers.at(i - 1); }
    // Which of START, STOP, RESET are enabled, as "SRr" letters or '-'.
    std::string commands() {
        return std::string(button("btnStart").enabled ? "S" : "-") +
               (button("btnStop").enabled ? "T" : "-") + (button("btnReset").enabled ? "R" : "-");
    }

  private:
    struct ResetDesktop {
        ResetDesktop() { fake::Desktop::Get().Reset(); }
    } reset_;

  protected:
    fake::FakeToolkit tk;
    frmKELTOS form;
};
