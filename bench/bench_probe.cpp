// The bench's eyes and hands on the X server, on a connection of its own, timed with the
// monotonic clock (the one Python's time.monotonic() reads):
//   bench_probe maps PREFIX...       prints "PREFIX SECONDS" when a window whose title starts
//                                    with PREFIX is first mapped ("ready" once it listens)
//   bench_probe dock BAR A B COUNT   brings A and B to the front in turn, COUNT times, and prints
//                                    the milliseconds until BAR rests on the new title bar
//   bench_probe click BAR X Y        clicks BAR at (X, Y)
//   bench_probe readout BAR X Y SECONDS FRONT
//                                    clicks BAR at (X, Y), brings FRONT back to the front (FRONT
//                                    0: leaves that to the caller), then samples BAR's title
//                                    every 20 ms for SECONDS and prints how late each whole
//                                    second is shown and whether one came early
//   bench_probe watch BAR            looks where BAR is every 2 ms and prints "SECONDS X Y"
//                                    each time it has moved (and once at the start), until BAR
//                                    is gone or the probe is ended
#include <time.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

double Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void Sleep(double seconds) {
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(seconds * 1e6)));
}

struct X {
    xcb_connection_t* c;
    xcb_window_t root;

    X() {
        int screen = 0;
        c = xcb_connect(nullptr, &screen);
        if (xcb_connection_has_error(c)) {
            std::fprintf(stderr, "bench_probe: cannot connect to the X server\n");
            std::exit(2);
        }
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (int i = 0; i < screen; ++i) xcb_screen_next(&it);
        root = it.data->root;
    }
    xcb_atom_t Atom(const char* name) {
        auto* r = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = r ? r->atom : XCB_NONE;
        std::free(r);
        return atom;
    }
    std::string Text(xcb_window_t w, xcb_atom_t property) {
        auto* r = xcb_get_property_reply(
            c, xcb_get_property(c, 0, w, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 256), nullptr);
        std::string text;
        if (r)
            text.assign(static_cast<const char*>(xcb_get_property_value(r)),
                        static_cast<std::size_t>(xcb_get_property_value_length(r)));
        std::free(r);
        return text;
    }
    std::string Title(xcb_window_t w) {
        std::string t = Text(w, Atom("_NET_WM_NAME"));
        return t.empty() ? Text(w, XCB_ATOM_WM_NAME) : t;
    }
    // Top-left corner in root coordinates; false once the window is gone.
    bool Origin(xcb_window_t w, int& x, int& y) {
        auto* r = xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, w, root, 0, 0),
                                                  nullptr);
        if (!r) return false;
        x = r->dst_x;
        y = r->dst_y;
        std::free(r);
        return true;
    }
    // Outer rectangle (frame included): left, top, right, bottom.
    bool Frame(xcb_window_t w, int rect[4]) {
        int x = 0, y = 0;
        auto* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
        if (!g || !Origin(w, x, y)) {
            std::free(g);
            return false;
        }
        auto* e = xcb_get_property_reply(
            c, xcb_get_property(c, 0, w, Atom("_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 0, 4),
            nullptr);
        std::uint32_t ext[4] = {0, 0, 0, 0};  // left, right, top, bottom
        if (e && xcb_get_property_value_length(e) == 16)
            std::memcpy(ext, xcb_get_property_value(e), 16);
        std::free(e);
        rect[0] = x - static_cast<int>(ext[0]);
        rect[1] = y - static_cast<int>(ext[2]);
        rect[2] = x + g->width + static_cast<int>(ext[1]);
        rect[3] = y + g->height + static_cast<int>(ext[3]);
        std::free(g);
        return true;
    }
    void Activate(xcb_window_t w) {
        xcb_client_message_event_t m{};
        m.response_type = XCB_CLIENT_MESSAGE;
        m.format = 32;
        m.window = w;
        m.type = Atom("_NET_ACTIVE_WINDOW");
        m.data.data32[0] = 2;  // from a pager: the user asked for it
        m.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c, 0, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&m));
        xcb_flush(c);
    }
};

int Maps(int argc, char** argv) {
    X x;
    std::set<std::string> waiting(argv, argv + argc);
    const std::uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x.c, x.root, XCB_CW_EVENT_MASK, &rootMask);
    free(xcb_get_input_focus_reply(x.c, xcb_get_input_focus(x.c), nullptr));
    std::printf("ready\n");
    std::fflush(stdout);
    const auto report = [&](xcb_window_t w, double when) {
        const std::string title = x.Title(w);
        for (auto it = waiting.begin(); it != waiting.end(); ++it) {
            if (title.rfind(*it, 0) == 0) {
                std::printf("%s\t%.6f\t%u\n", it->c_str(), when, w);
                std::fflush(stdout);
                waiting.erase(it);
                return;
            }
        }
    };
    while (!waiting.empty()) {
        xcb_generic_event_t* event = xcb_wait_for_event(x.c);
        if (!event) return 1;
        const double when = Now();
        const int type = event->response_type & 0x7F;
        if (type == XCB_CREATE_NOTIFY) {
            // Windows start as children of the root; watch each for its own map.
            const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event);
            const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            xcb_change_window_attributes(x.c, created->window, XCB_CW_EVENT_MASK, &mask);
            auto* a = xcb_get_window_attributes_reply(
                x.c, xcb_get_window_attributes(x.c, created->window), nullptr);
            if (a && a->map_state != XCB_MAP_STATE_UNMAPPED) report(created->window, Now());
            std::free(a);
        } else if (type == XCB_MAP_NOTIFY) {
            report(reinterpret_cast<xcb_map_notify_event_t*>(event)->window, when);
        }
        std::free(event);
    }
    return 0;
}

int Dock(xcb_window_t bar, xcb_window_t a, xcb_window_t b, int count) {
    X x;
    std::mt19937 random(12345);
    std::uniform_real_distribution<double> phase(0.0, 1.0);
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        const xcb_window_t target = i % 2 ? b : a;
        int r[4];
        if (!x.Frame(target, r)) return 1;
        // Right edge 950 twips short of the window's right edge, top 60 twips below its top, at
        // 15 twips per pixel; the bar is 4590 twips wide.
        const int wantX = static_cast<int>(std::lround((15.0 * r[2] - 950 - 4590) / 15));
        const int wantY = r[1] + 4;
        const double start = Now();
        x.Activate(target);
        double latency = -1;
        while (Now() - start < 3.0) {
            int bx = 0, by = 0;
            if (!x.Origin(bar, bx, by)) return 1;
            if (bx == wantX && by == wantY) {
                latency = Now() - start;
                break;
            }
            Sleep(0.002);
        }
        if (latency < 0) {
            std::printf("timeout\n");
            ++failures;
        } else {
            std::printf("%.1f\n", latency * 1000);
        }
        std::fflush(stdout);
        Sleep(phase(random));  // the next switch at any phase of the bar's one-second tick
    }
    return failures ? 1 : 0;
}

// A left click at (cx, cy) inside `bar`; false when the bar is gone.
bool Click(X& x, xcb_window_t bar, int cx, int cy) {
    int bx = 0, by = 0;
    if (!x.Origin(bar, bx, by)) return false;
    xcb_test_fake_input(x.c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, x.root,
                        static_cast<std::int16_t>(bx + cx), static_cast<std::int16_t>(by + cy), 0);
    xcb_test_fake_input(x.c, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    free(xcb_get_input_focus_reply(x.c, xcb_get_input_focus(x.c), nullptr));
    // The click counts when the button is released.
    xcb_test_fake_input(x.c, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    free(xcb_get_input_focus_reply(x.c, xcb_get_input_focus(x.c), nullptr));
    return true;
}

int Readout(xcb_window_t bar, int cx, int cy, double seconds, xcb_window_t front) {
    X x;
    const xcb_atom_t netName = x.Atom("_NET_WM_NAME");
    if (!Click(x, bar, cx, cy)) return 1;
    const double start = Now();
    bool refocused = false;
    std::vector<double> lags;  // per whole second: how long after it passed it was first shown
    long shownUpTo = 0, ahead = 0, samples = 0;
    double maxAhead = 0;
    while (Now() - start < seconds) {
        if (front && !refocused && Now() - start > 0.3) {
            x.Activate(front);
            refocused = true;
        }
        const std::string title = x.Text(bar, netName);
        const double at = Now();
        ++samples;
        if (title.size() >= 8) {
            const std::string t = title.substr(title.size() - 8);
            const long shown = std::atol(t.substr(0, 2).c_str()) * 3600 +
                               std::atol(t.substr(3, 2).c_str()) * 60 +
                               std::atol(t.substr(6, 2).c_str());
            const long passed = static_cast<long>(std::floor(at - start));
            if (shown > passed) {
                ++ahead;
                maxAhead = std::max(maxAhead, static_cast<double>(shown) - (at - start));
            }
            for (; shownUpTo < shown && shownUpTo < passed; ++shownUpTo)
                lags.push_back(at - start - static_cast<double>(shownUpTo + 1));
        }
        Sleep(0.020);
    }
    std::sort(lags.begin(), lags.end());
    const double median = lags.empty() ? NAN : lags[lags.size() / 2];
    const double worst = lags.empty() ? NAN : lags.back();
    std::printf(
        "seconds %zu samples %ld lag_median_ms %.1f lag_max_ms %.1f ahead %ld "
        "ahead_max_ms %.1f\n",
        lags.size(), samples, median * 1000, worst * 1000, ahead, maxAhead * 1000);
    return lags.empty() ? 1 : 0;
}

// Where the bar is, each time it has moved: for a caller that brings windows to the front by
// the desktop's own means, which X cannot do for a Wayland session's native windows.
int Watch(xcb_window_t bar) {
    X x;
    bool first = true;
    int lastX = 0, lastY = 0;
    for (;;) {
        int bx = 0, by = 0;
        if (!x.Origin(bar, bx, by)) return 0;
        if (first || bx != lastX || by != lastY) {
            std::printf("%.6f %d %d\n", Now(), bx, by);
            if (std::fflush(stdout) != 0) return 1;
            first = false;
            lastX = bx;
            lastY = by;
        }
        Sleep(0.002);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const auto id = [&](int i) {
        return static_cast<xcb_window_t>(std::strtoul(argv[i], nullptr, 0));
    };
    if (mode == "maps" && argc > 2) return Maps(argc - 2, argv + 2);
    if (mode == "dock" && argc == 6) return Dock(id(2), id(3), id(4), std::atoi(argv[5]));
    if (mode == "click" && argc == 5) {
        X x;
        return Click(x, id(2), std::atoi(argv[3]), std::atoi(argv[4])) ? 0 : 1;
    }
    if (mode == "readout" && argc == 7)
        return Readout(id(2), std::atoi(argv[3]), std::atoi(argv[4]), std::atof(argv[5]), id(6));
    if (mode == "watch" && argc == 3) return Watch(id(2));
    std::fprintf(stderr,
                 "usage: bench_probe maps PREFIX... | dock BAR A B COUNT | click BAR X Y | "
                 "readout BAR X Y SECONDS FRONT | watch BAR\n");
    return 2;
}
