#include <cstdio>
#include <string>

#include "tests/wine/probe.h"
// (after windows.h, which it needs)
#include <shellapi.h>

int main() {
    // The arguments in UTF-16, as the command line gave them: a path need not fit the ANSI code
    // page of main's argv.
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const std::wstring command = argv && argc == 2 ? argv[1] : L"";
    int status = 2;
    probe::BecomeDpiAware();
    if (argv && argc == 3 && std::wstring(argv[1]) == L"resources")
        status = probe::RunResources(argv[2]);
    else if (command == L"startup")
        status = probe::RunStartup();
    else if (command == L"commands")
        status = probe::RunCommands();
    else if (command == L"docking")
        status = probe::RunDocking();
    else if (command == L"dpichange")
        status = probe::RunDpiChange();
    else if (command == L"timers")
        status = probe::RunTimers();
    else
        std::fprintf(stderr,
                     "usage: keltos_probe startup|commands|docking|dpichange|timers|resources EXE\n");
    LocalFree(argv);
    std::fflush(stdout);
    return status;
}
