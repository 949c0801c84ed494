// The desktop under sway, and any other compositor that serves sway's IPC on $SWAYSOCK.
//
// Supports: the focused window of sway's tree, native Wayland and X11 alike: its title and its
// container's outer rectangle from the top of its own title bar (in a stack, its row). The bar
// itself is an unmanaged (override-redirect) X11 window (OwnWindowUnmanaged): sway would grow a
// managed floating window to its minimum floating size and re-centre it on every move it asks
// for, while an unmanaged one keeps its 306 x 19, places itself with plain X requests (the EWMH
// provider's, to which every question about an X11 window goes) and is drawn above every
// window, on every workspace.
// sway has no minimized windows: one in the scratchpad, hidden, counts as minimized. At any
// output scale sway gives X11 clients its logical coordinates, so the scale is 1.
// Does not support: the bar in sway's tree: sway lists it nowhere, so its commands and bars
// neither focus nor show it.
//
// The tree is asked for (GET_TREE, answered within kWait or not used: the tick then has no window
// in front and the bar stays where it is) only when something may have changed it:
// - sway's events, on a connection of their own (sway_connection.h): focus, titles, windows
//   opened, closed, moved between containers or workspaces, into the scratchpad, floating or
//   fullscreen; workspaces; outputs;
// - what sway tells no IPC client, a window's pixel moves and resizes (the move position and
//   resize commands, dragging with the mouse, gaps and borders): for an X11 window in front, the
//   X server tells, since sway configures the X11 window itself (the EWMH provider follows it);
//   for a native window in front nothing tells, so the tree is asked every tick while one is,
//   and parsed only when its bytes differ from the last tree's.
// While nothing can have changed, the docking tick rests until the next event of either kind.
// With the events' connection lost, the tick asks every second and connects again every 2 s.
#include "desktop/sway/sway_desktop.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <optional>
#include <string>

#include "desktop/channel_desktop.h"
#include "desktop/sway/sway_connection.h"
#include "desktop/sway/sway_ipc.h"
#include "desktop/unix_socket.h"

namespace desktop {

namespace {

constexpr sway::milliseconds kWait{50};  // a docking tick never waits longer for sway

// One descriptor that is readable while any of the ones added is.
class EitherReadable {
  public:
    EitherReadable() : fd_(::epoll_create1(EPOLL_CLOEXEC)) {}
    ~EitherReadable() {
        if (fd_ >= 0) ::close(fd_);
    }
    EitherReadable(const EitherReadable&) = delete;
    EitherReadable& operator=(const EitherReadable&) = delete;

    // The descriptor, readable while `a` or `b` is; -1 where that cannot be watched.
    int Of(int a, int b) {
        for (const int fd : {a, b}) {
            epoll_event event{};
            event.events = EPOLLIN;
            event.data.fd = fd;
            // A descriptor closed since was taken out by the kernel; one already in stays.
            if (fd_ < 0 || (::epoll_ctl(fd_, EPOLL_CTL_ADD, fd, &event) != 0 && errno != EEXIST))
                return -1;
        }
        return fd_;
    }

  private:
    int fd_;
};

class SwayDesktop : public ChannelDesktop {
  public:
    explicit SwayDesktop(const std::string& socketPath) : ipc_(socketPath), events_(socketPath) {}

    bool OwnWindowUnmanaged() const override { return true; }

    WindowId Foreground() override {
        Listen();
        if (front_ == Front::X11 && x11_->NextChangeDescriptor() < 0) stale_ = true;
        if (stale_ || front_ == Front::Native) AskTree();
        return reported_.Foreground();
    }

    int NextChangeDescriptor() override {
        Listen();
        const int events = events_.Descriptor();
        if (stale_ || events < 0 || front_ == Front::Native) return -1;
        if (front_ == Front::None) return events;
        const int x11 = x11_->NextChangeDescriptor();
        if (x11 < 0) {
            stale_ = true;
            return -1;
        }
        return either_.Of(events, x11);
    }

  private:
    // What is in front, as the last tree said: no window to dock on (none, hidden, or the tree
    // not answered), an X11 window the X server tells about, or a native window.
    enum class Front { None, X11, Native };

    void Listen() {
        if (events_.Heard()) stale_ = true;
    }

    void AskTree() {
        std::optional<std::string> tree = ipc_.Ask(sway::kGetTree, "", kWait);
        // While nothing changes sway answers the same bytes tick after tick: they are read
        // again only when they differ, so an unchanged tree costs a comparison, not a parse
        // whose cost grows with every window open.
        if (!tree || *tree != tree_.bytes) {
            tree_ = {};
            tree_.read = tree && sway::FocusedWindow(*tree, tree_.report, &tree_.x11Window);
            if (tree_.read) tree_.bytes = std::move(*tree);
        }
        WindowReport report = tree_.report;
        const std::uint32_t x11Window = tree_.x11Window;
        stale_ = !tree_.read;
        if (stale_) {
            reported_.Forget();
            front_ = Front::None;
        } else {
            report.serial = ++serial_;
            reported_.Accept(report);
            front_ = !reported_.Foreground() || report.minimized ? Front::None
                     : x11Window                                 ? Front::X11
                                                                 : Front::Native;
        }
        x11_->Follow(front_ == Front::X11 ? x11Window : 0);
    }

    // The last tree read, and what it said.
    struct Tree {
        std::string bytes;
        bool read = false;
        WindowReport report;
        std::uint32_t x11Window = 0;
    };

    sway::SwayIpc ipc_;
    Tree tree_;
    sway::SwayEvents events_;
    EitherReadable either_;
    std::uint64_t serial_ = 0;
    bool stale_ = true;  // the tree may have changed since it was last asked
    Front front_ = Front::None;
};

}  // namespace

bool SwayAnswers(const std::string& socketPath) {
    const int fd = ConnectUnixSocket(socketPath);
    if (fd >= 0) ::close(fd);
    return fd >= 0;
}

std::unique_ptr<Desktop> MakeSwayDesktop(const std::string& socketPath) {
    return std::make_unique<SwayDesktop>(socketPath);
}

}  // namespace desktop
