// Hyprland's IPC as text: what its request socket answers about the focused window and the
// monitors, and what the lines of its event socket announce. No sockets here, so every answer,
// cut short, oversized or malformed, can be tried in a unit test; hyprland_desktop.cpp does the
// talking.
//
// A request is one line of text on a connection of its own ("j/activewindow"; several joined by
// ';' after "[[BATCH]]"); the answer is everything Hyprland writes before it closes the
// connection (the answers of a batch separated by "\n\n\n"). Events come one a line,
// "NAME>>DATA".
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/reported_foreground.h"

namespace desktop::hyprland {

// Far beyond any answer Hyprland gives (a few KB a window or monitor): an answer that grows past
// it is not Hyprland's, and is neither waited for nor kept.
constexpr std::size_t kMaxAnswer = 4u << 20;

struct Monitor {
    std::int64_t id = 0;
    double x = 0, y = 0;  // its top-left corner, in logical pixels
    double scale = 1;
    std::int64_t workspace = 0;  // the workspace it shows
    std::int64_t special = 0;    // the special workspace shown over it; 0: none
};

// What the tick's answer is read against: the monitors and whether XWayland is told physical
// pixels (xwayland:force_zero_scaling).
struct Layout {
    std::vector<Monitor> monitors;
    bool forceZeroScaling = false;
};

// The request for the focused window alone, and for it together with the layout and, given the
// process id of this program's own window, the windows Hyprland has (j/clients) and the pinning
// of that window above floating ones. Hyprland answers "ok" to a pinning that found no window,
// so the window list tells whether it is pinned.
std::string FocusRequest();
std::string LayoutRequest(long pinPid);

// The answers of a batch, in order.
std::vector<std::string_view> SplitBatch(std::string_view answer);

// The monitors of a j/monitors answer; false when it is not such a list.
bool ReadMonitors(std::string_view answer, std::vector<Monitor>& monitors);
// xwayland:force_zero_scaling from a j/getoption answer ("bool" or "int"); nothing when the
// answer says neither.
std::optional<bool> ReadForceZeroScaling(std::string_view answer);
// This program's own window (an X11 window of process `pid`) in a j/clients answer: not there,
// or there and whether it is pinned; nothing when the answer is not a list of windows.
enum class OwnWindow { Absent, Unpinned, Pinned };
std::optional<OwnWindow> FindOwnWindow(std::string_view clients, long pid);

// The focused window of a j/activewindow answer: its address, title, frame (the window's own
// rectangle: Hyprland draws no title bar) and whether it is hidden (in a group's background, on
// a special workspace that is not shown, on a workspace its monitor does not show). The frame is
// given in XWayland's pixels divided by `scale`, which is set to the factor ReportedForeground
// is to multiply it by: 1 where XWayland has Hyprland's logical pixels, the window's monitor's
// scale where force_zero_scaling gives it physical ones (X = monitor x + (x - monitor x) *
// scale). The report's id is empty when no window has the focus ("{}"). False when the answer
// is not such a window (malformed JSON, wrong types, an unknown monitor under
// force_zero_scaling): the caller then has no window in front either.
bool ActiveWindow(std::string_view answer, const Layout& layout, WindowReport& report,
                  double& scale);

// Cuts the bytes of the event socket, as they arrive, into lines. A line longer than kMaxLine
// (a huge title) is skipped whole, so it never grows the buffer.
class LineReader {
  public:
    static constexpr std::size_t kMaxLine = 64u << 10;

    void Feed(std::string_view bytes);
    // The next whole line, if one has arrived.
    bool Next(std::string& line);

  private:
    std::deque<std::string> lines_;  // whole lines not taken yet
    std::string current_;            // the line still arriving
    bool skipping_ = false;          // inside a line too long to keep
};

// Whether an event line tells that the layout may have changed: a monitor added or removed, the
// workspace or special workspace a monitor shows, the configuration (its scales, its options).
bool ChangesLayout(std::string_view line);

}  // namespace desktop::hyprland
