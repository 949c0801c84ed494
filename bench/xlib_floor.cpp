// The physical floor: a raw-Xlib window of the bar's shape (306 x 19 pixels, undecorated) that
// does the visible work of a stopwatch and nothing else. Idle, it draws the date and time into a
// label every second; from the first second after SIGUSR1 it also runs: the elapsed time drawn
// into a box and written into the title (WM_NAME and _NET_WM_NAME) every 200 ms. It sleeps in
// select() between deadlines.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t running = 0;

struct Bar {
    Display* d;
    Window w;
    GC gc;
    Atom netWmName, utf8;
    std::string box = "00:00:00", label;

    void Draw() {
        XClearWindow(d, w);
        XDrawImageString(d, w, gc, 4, 14, label.c_str(), static_cast<int>(label.size()));
        XDrawRectangle(d, w, gc, 74, 0, 68, 18);
        XDrawImageString(d, w, gc, 80, 14, box.c_str(), static_cast<int>(box.size()));
    }
    void SetTitle() {
        const std::string title = "floor-xlib - " + box;
        XStoreName(d, w, title.c_str());
        XChangeProperty(d, w, netWmName, utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.data()),
                        static_cast<int>(title.size()));
    }
};

std::string LabelText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, " %m/%d %H:%M", &local);
    return text;
}

}  // namespace

int main() {
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "xlib_floor: cannot open the X display\n");
        return 1;
    }
    const int screen = DefaultScreen(d);
    Bar bar{d,
            XCreateSimpleWindow(d, RootWindow(d, screen), 0, 0, 306, 19, 0, BlackPixel(d, screen),
                                WhitePixel(d, screen)),
            nullptr,
            XInternAtom(d, "_NET_WM_NAME", False),
            XInternAtom(d, "UTF8_STRING", False),
            "00:00:00",
            LabelText()};
    bar.gc = XCreateGC(d, bar.w, 0, nullptr);
    XSetForeground(d, bar.gc, BlackPixel(d, screen));
    XSetBackground(d, bar.gc, WhitePixel(d, screen));
    // No title bar or border from the window manager (Motif hints: decorations = none).
    const long motif[5] = {2, 0, 0, 0, 0};
    const Atom motifAtom = XInternAtom(d, "_MOTIF_WM_HINTS", False);
    XChangeProperty(d, bar.w, motifAtom, motifAtom, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(motif), 5);
    const long pid = getpid();
    XChangeProperty(d, bar.w, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
    XSelectInput(d, bar.w, ExposureMask);
    bar.SetTitle();
    XMapWindow(d, bar.w);
    XFlush(d);

    std::signal(SIGUSR1, [](int) { running = 1; });
    Clock::time_point start = Clock::now();
    Clock::time_point next = start + std::chrono::seconds(1);
    long ticks = 0;  // 200-ms ticks while running
    bool runs = false;
    const int fd = ConnectionNumber(d);
    for (;;) {
        while (XPending(d)) {
            XEvent event;
            XNextEvent(d, &event);
            if (event.type == Expose && event.xexpose.count == 0) bar.Draw();
        }
        const Clock::time_point now = Clock::now();
        if (now >= next && !runs) {
            bar.label = LabelText();
            bar.Draw();
            XFlush(d);
            next += std::chrono::seconds(1);
            if (running) {
                runs = true;
                start = next = now;
            }
            continue;
        }
        if (now >= next) {
            const long s = static_cast<long>(
                std::chrono::duration_cast<std::chrono::seconds>(now - start).count());
            char text[16];
            std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", s / 3600 % 24, s / 60 % 60,
                          s % 60);
            bar.box = text;
            if (++ticks % 5 == 0) bar.label = LabelText();
            bar.Draw();
            bar.SetTitle();
            XFlush(d);
            next += std::chrono::milliseconds(200);
            continue;
        }
        const auto wait = std::chrono::duration_cast<std::chrono::microseconds>(next - now);
        timeval tv{static_cast<time_t>(wait.count() / 1000000),
                   static_cast<suseconds_t>(wait.count() % 1000000)};
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(fd, &fds);
        if (select(fd + 1, &fds, nullptr, nullptr, &tv) < 0 && errno != EINTR) return 1;
        if (XConnectionNumber(d) < 0) return 1;
    }
}
