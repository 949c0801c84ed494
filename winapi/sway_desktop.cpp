// The window API under sway, and any other compositor that serves sway's IPC on $SWAYSOCK.
//
// Supports: the focused window of sway's tree, native Wayland and X11 alike: its title and its
// container's outer rectangle, title bar included (in a stack, the stack's titles). The bar
// itself is an unmanaged (override-redirect) X11 window (OwnWindowUnmanaged): sway would grow a
// managed floating window to its minimum floating size and re-centre it on every move it asks
// for, while an unmanaged one keeps its 306 x 19, places itself with plain X requests (the EWMH
// provider's, to which every call about an X11 window goes) and is drawn above every window, on
// every workspace.
// Does not support: minimized windows (sway has none; a window in the scratchpad is never
// focused); output scales other than 1 (sway's coordinates and XWayland's then differ); the
// bar in sway's tree: sway lists it nowhere, so its commands and bars neither focus nor show it.
//
// One GET_TREE per docking tick, answered within kWait or not used: the tick then has no
// foreground window and the bar stays where it is. A reply that comes later is thrown away by
// a later tick; a peer that owes replies for longer than kGiveUp, a closed socket or bytes that
// are not sway's IPC end the connection, and a new one is tried every kRetry.
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

#include "winapi/desktop.h"
#include "winapi/reported_window.h"
#include "winapi/sway_ipc.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kWait{50};  // a docking tick never waits longer for sway
constexpr milliseconds kGiveUp{3000};
constexpr milliseconds kRetry{2000};
constexpr std::uint32_t kEventBit = 0x80000000u;  // set in the type of every event

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
    // Reads what has arrived, waiting until `deadline` for the first byte; false when the
    // connection is closed or broken.
    bool Read(Clock::time_point deadline);
    void Lost(const char* why);

    std::string path_;
    int fd_ = -1;
    winapi::sway::Framer framer_;
    int owed_ = 0;  // replies to earlier messages that did not come in time
    Clock::time_point owedSince_{}, retryAt_{};
    bool told_ = false;  // the user has been told the IPC is out of reach
};

bool SwayIpc::Connect() {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path_.empty() || path_.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    // A UNIX socket connects at once or not at all (a full backlog says EAGAIN): never waits.
    if (connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        Drop();
        return false;
    }
    framer_ = {};
    owed_ = 0;
    if (told_) std::fprintf(stderr, "keltos: sway's IPC answers again; docking resumes\n");
    told_ = false;
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

bool SwayIpc::Read(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    pollfd p{fd_, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(std::max<milliseconds::rep>(left.count(), 0)));
    if (ready < 0) return errno == EINTR;
    if (ready == 0) return true;
    char chunk[65536];
    for (;;) {
        const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
        if (n > 0) {
            framer_.Feed(std::string_view(chunk, static_cast<std::size_t>(n)));
            if (static_cast<std::size_t>(n) < sizeof chunk) return true;
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        if (n < 0 && errno == EINTR) continue;
        return false;  // closed, or an error
    }
}

std::optional<std::string> SwayIpc::Ask(std::uint32_t type, std::string_view payload,
                                        milliseconds wait) {
    const Clock::time_point deadline = Clock::now() + wait;
    if (fd_ < 0) {
        if (Clock::now() < retryAt_) return std::nullopt;
        if (!Connect()) {
            Lost("cannot be reached");
            return std::nullopt;
        }
    }
    if (owed_ > 0 && Clock::now() - owedSince_ > kGiveUp) {
        Lost("stopped answering");
        return std::nullopt;
    }
    const std::string message = winapi::sway::Encode(type, payload);
    const ssize_t sent = send(fd_, message.data(), message.size(), MSG_NOSIGNAL);
    if (sent != static_cast<ssize_t>(message.size())) {
        // A message this small fits any socket buffer that is being read.
        Lost(sent < 0 && errno != EAGAIN ? "is gone" : "stopped reading");
        return std::nullopt;
    }
    // Replies come in the order of the messages: those owed for earlier ones come first.
    for (;;) {
        winapi::sway::Message reply;
        switch (framer_.Next(reply)) {
            case winapi::sway::Framer::Status::Broken:
                Lost("sent bytes that are not sway's IPC");
                return std::nullopt;
            case winapi::sway::Framer::Status::Ready:
                if (reply.type & kEventBit) continue;  // an event: none was asked for
                if (owed_ > 0) {
                    --owed_;
                    continue;
                }
                if (reply.type != type) {
                    Lost("answered another question");
                    return std::nullopt;
                }
                return std::move(reply.payload);
            case winapi::sway::Framer::Status::Incomplete:
                break;
        }
        if (Clock::now() >= deadline) {
            if (owed_++ == 0) owedSince_ = Clock::now();
            return std::nullopt;
        }
        if (!Read(deadline)) {
            Lost("is gone");
            return std::nullopt;
        }
    }
}

class SwayDesktop : public winapi::Desktop {
  public:
    explicit SwayDesktop(const char* sock)
        : ipc_(sock ? sock : ""), x11_(winapi::MakeEwmhDesktop()) {}

    HWND GetForegroundWindow() override {
        const std::optional<std::string> tree = ipc_.Ask(winapi::sway::kGetTree, "", kWait);
        winapi::WindowReport report;
        if (!tree || !winapi::sway::FocusedWindow(*tree, report)) {
            reported_.Forget();
            return nullptr;
        }
        report.serial = ++serial_;
        reported_.Accept(report);
        return reported_.GetForegroundWindow();
    }
    int GetWindowTextA(HWND hWnd, LPSTR buffer, int capacity) override {
        return Reported(hWnd) ? reported_.GetWindowTextA(hWnd, buffer, capacity)
                              : x11_->GetWindowTextA(hWnd, buffer, capacity);
    }
    BOOL GetWindowRect(HWND hWnd, RECT* rect) override {
        return Reported(hWnd) ? reported_.GetWindowRect(hWnd, rect)
                              : x11_->GetWindowRect(hWnd, rect);
    }
    BOOL IsIconic(HWND hWnd) override {
        return Reported(hWnd) ? reported_.IsIconic(hWnd) : x11_->IsIconic(hWnd);
    }
    // Only X11 windows are placed (the bar among them); sway's own windows are left alone.
    BOOL SetWindowPos(HWND hWnd, HWND insertAfter, int x, int y, int cx, int cy,
                      UINT flags) override {
        return Reported(hWnd) ? 0 : x11_->SetWindowPos(hWnd, insertAfter, x, y, cx, cy, flags);
    }

  private:
    static bool Reported(HWND hWnd) {
        return reinterpret_cast<std::uintptr_t>(hWnd) >= winapi::ReportedForeground::kFirstHandle;
    }

    SwayIpc ipc_;
    std::unique_ptr<winapi::Desktop> x11_;
    winapi::ReportedForeground reported_;
    std::uint64_t serial_ = 0;
};

}  // namespace

std::unique_ptr<winapi::Desktop> winapi::MakeSwayDesktop() {
    return std::make_unique<SwayDesktop>(std::getenv("SWAYSOCK"));
}
