#include <cstdio>
#include <cstring>

#include "tests/wine/probe.h"

int main(int argc, char** argv) {
    const char* command = argc == 2 ? argv[1] : "";
    int status = 2;
    probe::BecomeDpiAware();
    if (argc == 3 && std::strcmp(argv[1], "resources") == 0)
        status = probe::RunResources();
    else if (std::strcmp(command, "startup") == 0)
        status = probe::RunStartup();
    else if (std::strcmp(command, "commands") == 0)
        status = probe::RunCommands();
    else if (std::strcmp(command, "docking") == 0)
        status = probe::RunDocking();
    else if (std::strcmp(command, "dpichange") == 0)
        status = probe::RunDpiChange();
    else if (std::strcmp(command, "timers") == 0)
        status = probe::RunTimers();
    else
        std::fprintf(stderr,
                     "usage: keltos_probe startup|commands|docking|dpichange|timers|"
                     "resources EXE\n");
    std::fflush(stdout);
    return status;
}
