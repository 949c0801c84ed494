// KELTOS: creates the stopwatch window and runs the message loop until the program ends. It takes
// no command line: whatever arguments it is started with are ignored.
#include "platform/platform.h"
#include "stopwatch/frmKELTOS.h"

int main() {
    std::unique_ptr<platform::Toolkit> toolkit = platform::CreateToolkit();
    frmKELTOS form(*toolkit);
    return toolkit->Run(form.window());
}
