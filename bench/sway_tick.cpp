// What the docking tick's question costs under sway: times GetForegroundWindow, once every
// 250 ms, against the IPC named in $SWAYSOCK, or with --hang against a socket of its own that
// takes the connection and never answers.
//   build/linux/bench/sway_tick [--hang] [CALLS]
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "desktop/sway/sway_desktop.h"
#include "winapi/linux_user32.h"
#include "winapi/mdlAPI.h"

int main(int argc, char** argv) {
    const bool hang = argc > 1 && std::strcmp(argv[1], "--hang") == 0;
    const int calls = argc > 1 + hang ? std::max(1, std::atoi(argv[1 + hang])) : 40;
    if (hang) {
        const std::string path = "/tmp/keltos-sway-tick-" + std::to_string(getpid()) + ".sock";
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
        if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listener, 8) != 0) {
            std::perror("sway_tick: the hanging socket");
            return 1;
        }
        setenv("SWAYSOCK", path.c_str(), 1);
    }
    if (!std::getenv("SWAYSOCK")) {
        std::fprintf(stderr, "sway_tick: SWAYSOCK is not set (or pass --hang)\n");
        return 1;
    }
    const std::unique_ptr<desktop::Desktop> sway =
        desktop::MakeSwayDesktop(std::getenv("SWAYSOCK"));
    winapi::UseDesktop(sway.get());
    std::vector<double> ms;
    int windows = 0;
    for (int i = 0; i < calls; ++i) {
        const auto start = std::chrono::steady_clock::now();
        windows += GetForegroundWindow() != nullptr;
        const auto took = std::chrono::steady_clock::now() - start;
        ms.push_back(std::chrono::duration<double, std::milli>(took).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    if (hang) unlink(std::getenv("SWAYSOCK"));
    std::sort(ms.begin(), ms.end());
    std::printf("%d calls, %d with a foreground window: median %.2f ms, max %.2f ms\n", calls,
                windows, ms[ms.size() / 2], ms.back());
}
