// KELTOS: creates the stopwatch window and runs the message loop until the program ends.
#include "platform/platform.h"
#include "stopwatch/frmKELTOS.h"

int main(int argc, char** argv) {
    std::unique_ptr<platform::Toolkit> toolkit = platform::CreateToolkit(argc, argv);
    frmKELTOS form(*toolkit);
    return toolkit->Run(form.window());
}
