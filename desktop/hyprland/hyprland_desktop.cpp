// The desktop under Hyprland, from its request socket and its event socket
// ($XDG_RUNTIME_DIR/hypr/$HYPRLAND_INSTANCE_SIGNATURE/.socket.sock and .socket2.sock).
//
// Supports: the focused window, native Wayland and X11 alike: the first five characters of its
// title, its frame (Hyprland draws no title bar: the window's own rectangle) and whether it is
// hidden, which stands for minimized (Hyprland has no minimized windows: one on a special
// workspace that is not shown, on a workspace its monitor does not show, or in a group's
// background). Both settings of xwayland:force_zero_scaling: off, XWayland has Hyprland's
// logical pixels (scale 1); on, a monitor's physical pixels counted from its corner, and frames
// are answered in them (the bar itself then follows Xft.dpi, as the user sets it for X11
// programs).
// The bar is an unmanaged (override-redirect) X11 window (OwnWindowUnmanaged): Hyprland tiles a
// managed one and refuses its moves, while an unmanaged one lands where it asks, placed by plain
// X requests (the EWMH provider's, to which every question about an X11 window goes), above
// tiled windows. It is also pinned through the request socket (selected by this process's id),
// which keeps it above floating windows and on every workspace; until Hyprland lists it pinned
// (the window is not mapped yet, say) the window list is asked and the pinning asked again each
// tick. Hyprland can lose an unmanaged window as it is mapped: when XWayland's first picture of
// it arrives before Hyprland has matched its surface to the X11 window, Hyprland never shows it,
// and XWayland sends no later picture until Hyprland asks for one (seen at 200 %, under load).
// After kUnlistedTicks ticks in a row in which Hyprland lists no window of this process, the bar
// is shown anew (unmapped and mapped again: a new surface), at most kShowsAnew times. Hyprland
// makes a window it maps at least 20 pixels high, the bar too: while the window list is asked,
// a listed bar of another size than last asked for is given that size again.
// Does not support: monitors whose XWayland origin differs from their layout position under
// force_zero_scaling (Hyprland does not tell it; with one monitor, or monitors side by side at
// scale 1, they agree); the bar keeps the size it was drawn at when the scale changes.
//
// Every docking tick asks the focused window (j/activewindow), since no event tells of a window
// moved or resized in pixels (a floating window dragged, a split resized): NextChangeDescriptor
// stays -1, so the docking timer ticks every second. The monitors and the option, which change
// rarely, are asked with it (one batch) only after the event socket has announced a change of
// monitors, workspaces, configuration or focus, or while the event socket is not connected.
// The event socket is read without waiting, at the tick.
//
// Each request waits at most kWait for its answer; when it is late the tick has no window in
// front and the bar stays where it is, and later ticks glance for that answer and take it when
// it comes (a slow Hyprland is followed a tick late), asking nothing new until then, so a
// socket that hangs costs one wait, not one a tick; one silent for 3 s, closed, or sending more
// than any answer is let go and tried again every 2 s. An answer that is not what was asked
// counts as no window in front.
#include "desktop/hyprland/hyprland_desktop.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "desktop/channel_desktop.h"
#include "desktop/hyprland/hyprland_ipc.h"
#include "desktop/hyprland/hyprland_sockets.h"
#include "desktop/unix_socket.h"

namespace desktop {

namespace {

using hyprland::milliseconds;

constexpr milliseconds kWait{50};  // a docking tick never waits longer for Hyprland
constexpr int kUnlistedTicks = 3;  // ticks without the bar listed before it is shown anew
constexpr int kShowsAnew = 5;      // and how often, at most, in a run

class HyprlandDesktop : public ChannelDesktop {
  public:
    explicit HyprlandDesktop(const std::string& folder)
        : requests_(folder + "/.socket.sock"), events_(folder + "/.socket2.sock") {}

    bool OwnWindowUnmanaged() const override { return true; }
    void KeepOnEveryWorkspace(WindowId ownWindow) override {
        ChannelDesktop::KeepOnEveryWorkspace(ownWindow);
        bar_ = ownWindow;
    }
    bool Place(WindowId window, const Placement& placement) override {
        // Only this program's own window is ever placed.
        if (placement.width && placement.height) barSize_ = {*placement.width, *placement.height};
        return ChannelDesktop::Place(window, placement);
    }

    WindowId Foreground() override {
        if (events_.LayoutMayHaveChanged()) changedAt_ = hyprland::Clock::now();
        const bool stale = !layoutAt_ || *layoutAt_ <= changedAt_;
        const long pid = pinned_ ? 0 : static_cast<long>(getpid());
        const auto answer = requests_.Ask(
            stale || pid ? hyprland::LayoutRequest(pid) : hyprland::FocusRequest(), kWait);
        if (!answer) return NoWindow();
        // A batch's answer (the window's, then the layout's) tells what was asked.
        const std::vector<std::string_view> answers = hyprland::SplitBatch(answer->text);
        if (answers.size() > 1 && !TakeLayout(answers, answer->askedAt)) return NoWindow();
        if (!layoutAt_) return NoWindow();

        WindowReport report;
        double scale = 1;
        if (!hyprland::ActiveWindow(answers[0], layout_, report, scale)) return NoWindow();
        report.serial = ++serial_;
        reported_.SetScale(scale);
        reported_.Accept(report);
        return reported_.Foreground();
    }

  private:
    WindowId NoWindow() {
        reported_.Forget();
        return 0;
    }

    // The monitors and the option from a batch's answers (after the focused window's), and
    // where the bar is not pinned yet, the window list: false when any of them is not what was
    // asked.
    bool TakeLayout(const std::vector<std::string_view>& answers, hyprland::Clock::time_point at) {
        if (answers.size() != 3 && answers.size() != 5) return false;
        std::optional<hyprland::OwnWindow> own;
        if (answers.size() == 5) {
            own = hyprland::FindOwnWindow(answers[3], static_cast<long>(getpid()));
            if (!own) return false;
        }
        hyprland::Layout layout;
        const std::optional<bool> zero = hyprland::ReadForceZeroScaling(answers[2]);
        if (!hyprland::ReadMonitors(answers[1], layout.monitors) || !zero) return false;
        layout.forceZeroScaling = *zero;
        layout_ = std::move(layout);
        layoutAt_ = at;
        if (own) {
            pinned_ = *own == hyprland::OwnWindow::Pinned;
            unlisted_ = *own == hyprland::OwnWindow::Absent ? unlisted_ + 1 : 0;
            if (unlisted_ >= kUnlistedTicks) ShowBarAnew();
            if (*own != hyprland::OwnWindow::Absent) KeepBarSize();
        }
        return true;
    }

    void KeepBarSize() {
        const std::optional<Rect> frame = x11_->Frame(bar_);
        if (!barSize_ || !frame ||
            (frame->right - frame->left == barSize_->first &&
             frame->bottom - frame->top == barSize_->second))
            return;
        Placement size;
        size.width = barSize_->first;
        size.height = barSize_->second;
        x11_->Place(bar_, size);
    }

    void ShowBarAnew() {
        unlisted_ = 0;
        if (!bar_ || showsAnew_ >= kShowsAnew) return;
        ++showsAnew_;
        std::fprintf(stderr, "keltos: Hyprland shows no window of KELTOS: mapping the bar anew\n");
        x11_->ShowAnew(bar_);
    }

    hyprland::Requests requests_;
    hyprland::Events events_;
    hyprland::Layout layout_;
    std::optional<hyprland::Clock::time_point> layoutAt_;  // when the layout was asked
    hyprland::Clock::time_point changedAt_{};              // when an event last told of a change
    bool pinned_ = false;
    int unlisted_ = 0;  // ticks in a row in which Hyprland listed no window of this process
    int showsAnew_ = 0;
    WindowId bar_ = 0;  // this program's window, once known
    std::optional<std::pair<std::int32_t, std::int32_t>> barSize_;  // its size, last asked for
    std::uint64_t serial_ = 0;
};

bool PlainName(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-';
    });
}

}  // namespace

std::string HyprlandSocketFolder(const std::string& runtimeDir, const std::string& signature) {
    if (runtimeDir.empty() || !PlainName(signature)) return "";
    return runtimeDir + "/hypr/" + signature;
}

bool HyprlandAnswers(const std::string& socketFolder) {
    if (socketFolder.empty()) return false;
    const int fd = ConnectUnixSocket(socketFolder + "/.socket.sock");
    if (fd >= 0) close(fd);
    return fd >= 0;
}

std::unique_ptr<Desktop> MakeHyprlandDesktop(const std::string& socketFolder) {
    return std::make_unique<HyprlandDesktop>(socketFolder);
}

}  // namespace desktop
