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
// One GET_TREE per docking tick, answered within kWait or not used: the tick then has no
// window in front and the bar stays where it is. Nothing more is asked until that late reply
// has come (later ticks only glance for it), so a hanging peer costs one wait, not one a tick;
// one that stays silent for kGiveUp, a closed socket, or bytes that are not sway's IPC end the
// connection, and a new one is tried every kRetry.
#include "desktop/sway/sway_desktop.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "desktop/channel_desktop.h"
#include "desktop/sway/sway_ipc.h"

namespace desktop {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kWait{50};   // a docking tick never waits longer for sway
constexpr milliseconds kGlance{5};  // for a reply that is already late
constexpr milliseconds kGiveUp{3000};
constexpr milliseconds kRetry{2000};
constexpr std::uint32_t kEventBit = 0x80000000u;  // set in the type of every event

// A connection to the UNIX socket at `path`, non-blocking: its descriptor, or -1. A UNIX socket
// connects at once or not at all (a full backlog says EAGAIN): this never waits.
int ConnectTo(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return -1;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// One connection to sway's IPC, made again when lost.
class SwayIpc {
  public:
    explicit SwayIpc(std::string path) : path_(std::move(path)) {}
    ~SwayIpc() { Drop(); }
    SwayIpc(const SwayIpc&) = delete;
    SwayIpc& operator=(const SwayIpc&) = delete;

    // The payload of the reply to a message, or nothing when no reply came within `wait`.
    std::optional<std::string> Ask(std::uint32_t type, std::string_view payload, milliseconds wait);

  private:
    bool Connect();
    void Drop();
    // Reads some of what has arrived, waiting until `deadline` for it: the number of bytes,
    // 0 when none came, -1 when the connection is closed or broken.
    int Read(Clock::time_point deadline);
    // The payload of the next reply (events are skipped) if it arrives by `deadline`.
    std::optional<std::string> Reply(std::uint32_t type, Clock::time_point deadline);
    void Lost(const char* why);

    std::string path_;
    int fd_ = -1;
    sway::Framer framer_;
    bool late_ = false;  // the reply to the last message did not come in time
    Clock::time_point lateSince_{}, retryAt_{};
    bool told_ = false;  // the user has been told the IPC is out of reach
};

bool SwayIpc::Connect() {
    fd_ = ConnectTo(path_);
    if (fd_ < 0) return false;
    framer_ = {};
    late_ = false;
    return true;
}

void SwayIpc::Drop() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

void SwayIpc::Lost(const char* why) {
    Drop();
    retryAt_ = Clock::now() + kRetry;
    if (!told_)
        std::fprintf(stderr,
                     "keltos: sway's IPC (%s) %s; the bar stays where it is until it answers\n",
                     path_.c_str(), why);
    told_ = true;
}

int SwayIpc::Read(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    pollfd p{fd_, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(std::max<milliseconds::rep>(left.count(), 0)));
    if (ready <= 0) return ready == 0 || errno == EINTR ? 0 : -1;
    // One read at a time, so that a peer that never stops sending cannot keep a tick here.
    char chunk[65536];
    ssize_t n;
    do {
        n = recv(fd_, chunk, sizeof chunk, 0);
    } while (n < 0 && errno == EINTR);
    if (n > 0) framer_.Feed(std::string_view(chunk, static_cast<std::size_t>(n)));
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    return n > 0 ? static_cast<int>(n) : -1;  // 0 from recv: closed
}

std::optional<std::string> SwayIpc::Reply(std::uint32_t type, Clock::time_point deadline) {
    for (;;) {
        sway::Message reply;
        switch (framer_.Next(reply)) {
            case sway::Framer::Status::Broken:
                Lost("sent bytes that are not sway's IPC");
                return std::nullopt;
            case sway::Framer::Status::Ready:
                if (reply.type & kEventBit) continue;  // an event: none was asked for
                if (reply.type != type) {
                    Lost("answered another question");
                    return std::nullopt;
                }
                return std::move(reply.payload);
            case sway::Framer::Status::Incomplete:
                break;
        }
        if (Clock::now() >= deadline) return std::nullopt;
        if (Read(deadline) < 0) {
            Lost("is gone");
            return std::nullopt;
        }
    }
}

std::optional<std::string> SwayIpc::Ask(std::uint32_t type, std::string_view payload,
                                        milliseconds wait) {
    if (fd_ < 0) {
        if (Clock::now() < retryAt_) return std::nullopt;
        if (!Connect()) {
            Lost("cannot be reached");
            return std::nullopt;
        }
    }
    // A reply that came too late for an earlier tick is taken now, without waiting, and
    // thrown away; until it has come nothing more is asked, so a hanging peer costs one wait.
    if (late_) {
        if (!Reply(type, Clock::now() + kGlance) && fd_ >= 0) {
            if (Clock::now() - lateSince_ > kGiveUp) Lost("stopped answering");
            return std::nullopt;
        }
        if (fd_ < 0) return std::nullopt;
        late_ = false;
    }
    const std::string message = sway::Encode(type, payload);
    const ssize_t sent = send(fd_, message.data(), message.size(), MSG_NOSIGNAL);
    if (sent != static_cast<ssize_t>(message.size())) {
        // A message this small fits any socket buffer that is being read.
        Lost(sent < 0 && errno != EAGAIN ? "is gone" : "stopped reading");
        return std::nullopt;
    }
    std::optional<std::string> reply = Reply(type, Clock::now() + wait);
    if (reply) {
        if (told_) std::fprintf(stderr, "keltos: sway's IPC answers again\n");
        told_ = false;
    } else if (fd_ >= 0) {
        late_ = true;
        lateSince_ = Clock::now();
    }
    return reply;
}

class SwayDesktop : public ChannelDesktop {
  public:
    explicit SwayDesktop(std::string socketPath) : ipc_(std::move(socketPath)) {}

    bool OwnWindowUnmanaged() const override { return true; }

    WindowId Foreground() override {
        const std::optional<std::string> tree = ipc_.Ask(sway::kGetTree, "", kWait);
        WindowReport report;
        if (!tree || !sway::FocusedWindow(*tree, report)) {
            reported_.Forget();
            return 0;
        }
        report.serial = ++serial_;
        reported_.Accept(report);
        return reported_.Foreground();
    }

  private:
    SwayIpc ipc_;
    std::uint64_t serial_ = 0;
};

}  // namespace

bool SwayAnswers(const std::string& socketPath) {
    const int fd = ConnectTo(socketPath);
    if (fd >= 0) close(fd);
    return fd >= 0;
}

std::unique_ptr<Desktop> MakeSwayDesktop(const std::string& socketPath) {
    return std::make_unique<SwayDesktop>(socketPath);
}

}  // namespace desktop
