// Opens and closes windows with troublesome titles and switches the foreground among them many
// times a second, as a hostile desktop would:
//   chaos_windows SECONDS SEED
// Titles: empty, one to four characters, 300 bytes, invalid UTF-8, CJK, emoji, control
// characters, a NUL in the middle; written straight into _NET_WM_NAME (UTF8_STRING) and WM_NAME
// (STRING), or into one of them only. Windows are often closed right after they were brought to
// the front, so a reader finds them gone between two calls. At the end it opens one ordinary
// window, brings it to the front, prints "final WINDOW" and keeps it open until its standard input
// closes.
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Desk {
    xcb_connection_t* c = nullptr;
    xcb_screen_t* screen = nullptr;
    xcb_atom_t netWmName = 0, utf8 = 0, active = 0;

    xcb_atom_t Atom(const char* name) {
        auto* r = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = r ? r->atom : XCB_NONE;
        std::free(r);
        return atom;
    }

    xcb_window_t Open(int x, int y, int w, int h) {
        const xcb_window_t win = xcb_generate_id(c);
        const std::uint32_t values[] = {screen->white_pixel};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, win, screen->root, static_cast<int16_t>(x),
                          static_cast<int16_t>(y), static_cast<uint16_t>(w),
                          static_cast<uint16_t>(h), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, XCB_CW_BACK_PIXEL, values);
        return win;
    }

    // Which properties carry the title: 0 both, 1 _NET_WM_NAME only, 2 WM_NAME only.
    void Title(xcb_window_t win, const std::string& bytes, int where) {
        const auto n = static_cast<std::uint32_t>(bytes.size());
        if (where != 2)
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, netWmName, utf8, 8, n, bytes.data());
        if (where != 1)
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                                n, bytes.data());
    }

    void Activate(xcb_window_t win) {
        xcb_client_message_event_t m{};
        m.response_type = XCB_CLIENT_MESSAGE;
        m.format = 32;
        m.window = win;
        m.type = active;
        m.data.data32[0] = 2;  // from a pager: the user asked for it
        m.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c, 0, screen->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&m));
    }
};

std::vector<std::string> Titles() {
    std::string longTitle;
    while (longTitle.size() < 300) longTitle += "Long title \xE2\x80\x94 ";
    longTitle.resize(300);  // may end in half a character
    return {
        "",
        "a",
        "ab",
        "abc",
        "abcd",
        "\xC3\xA9",                  // one two-byte character
        "\xE6\x97\xA5\xE6\x9C\xAC",  // two CJK characters
        longTitle,
        std::string(300, 'x'),
        "\xFF\xFE\xFD",                          // never valid in UTF-8
        "\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80",  // overlong, surrogate, beyond U+10FFFF
        "KEL\xE3\x81",                           // cut short
        "\xE6\x96\x87\xE6\x9B\xB8\xE7\xB7\xA8\xE9\x9B\x86 - \xE3\x83\xA1\xE3\x83\xA2",  // CJK
        "\xF0\x9F\x98\x80\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD\xE2\x8F\xB1\xEF\xB8\x8F",     // emoji
        "\x01\x02\t\n\r\x1B[31mred\x7F",  // control characters
        std::string("ab\0cd", 5),         // a NUL inside
        "KELTO",                          // titled like the bar itself
    };
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: chaos_windows SECONDS SEED\n");
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    std::mt19937 random(static_cast<unsigned>(std::atoi(argv[2])));
    Desk d;
    int screenNumber = 0;
    d.c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(d.c)) {
        std::fprintf(stderr, "chaos_windows: cannot connect to the X server\n");
        return 1;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(d.c));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
    d.screen = it.data;
    d.netWmName = d.Atom("_NET_WM_NAME");
    d.utf8 = d.Atom("UTF8_STRING");
    d.active = d.Atom("_NET_ACTIVE_WINDOW");
    const std::vector<std::string> titles = Titles();
    const int width = d.screen->width_in_pixels, height = d.screen->height_in_pixels;
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };

    std::vector<xcb_window_t> open;
    long opened = 0, closed = 0, switches = 0, retitled = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        const int action = pick(10);
        if (open.size() < 3 || (action < 3 && open.size() < 12)) {
            const int w = 200 + pick(600), h = 100 + pick(400);
            const xcb_window_t win = d.Open(pick(width - w), pick(height - h), w, h);
            d.Title(win, titles[pick(static_cast<int>(titles.size()))], pick(3));
            xcb_map_window(d.c, win);
            open.push_back(win);
            ++opened;
        } else if (action < 5) {
            const std::size_t k = static_cast<std::size_t>(pick(static_cast<int>(open.size())));
            d.Activate(open[k]);
            ++switches;
            if (pick(2)) {  // gone right after it came to the front
                xcb_destroy_window(d.c, open[k]);
                open.erase(open.begin() + static_cast<long>(k));
                ++closed;
            }
        } else if (action < 7) {
            d.Title(open[static_cast<std::size_t>(pick(static_cast<int>(open.size())))],
                    titles[pick(static_cast<int>(titles.size()))], pick(3));
            ++retitled;
        } else {
            d.Activate(open[static_cast<std::size_t>(pick(static_cast<int>(open.size())))]);
            ++switches;
        }
        xcb_flush(d.c);
        if (xcb_connection_has_error(d.c)) return 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(15 + pick(30)));
    }
    for (xcb_window_t win : open) xcb_destroy_window(d.c, win);

    const xcb_window_t last = d.Open(300, 260, 640, 420);
    d.Title(last, "Last ordinary window", 0);
    xcb_map_window(d.c, last);
    xcb_flush(d.c);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // managed by then
    d.Activate(last);
    xcb_flush(d.c);
    std::fprintf(stderr, "chaos_windows: %ld opened, %ld closed, %ld retitled, %ld switches\n",
                 opened, closed, retitled, switches);
    std::printf("final %u\n", last);
    std::fflush(stdout);
    char buffer[64];
    while (read(0, buffer, sizeof buffer) > 0) {
    }
    xcb_disconnect(d.c);
    return 0;
}
