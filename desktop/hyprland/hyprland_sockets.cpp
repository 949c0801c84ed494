#include "desktop/hyprland/hyprland_sockets.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "desktop/unix_socket.h"

namespace desktop::hyprland {

namespace {

// At most this much is read from the event socket a tick, so a peer that never stops sending
// cannot keep a tick there; the rest waits for the next tick.
constexpr std::size_t kEventBytesPerTick = 256u << 10;

constexpr ssize_t kEnd = -1;    // the peer closed the connection
constexpr ssize_t kError = -2;  // the connection broke
// One read of what has arrived, appended to `to`: its size, 0 when nothing has, or kEnd, kError.
ssize_t ReadSome(int fd, std::string& to) {
    char chunk[65536];
    ssize_t n;
    do {
        n = recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n > 0) to.append(chunk, static_cast<std::size_t>(n));
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    return n > 0 ? n : n == 0 ? kEnd : kError;
}

}  // namespace

void Requests::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    answer_.clear();
}

void Requests::Lost(const char* why) {
    Close();
    retryAt_ = Clock::now() + kRetry;
    if (!told_)
        std::fprintf(stderr,
                     "keltos: Hyprland's socket (%s) %s; the bar stays where it is until it "
                     "answers\n",
                     path_.c_str(), why);
    told_ = true;
}

bool Requests::Read(Clock::time_point deadline) {
    for (;;) {
        const ssize_t n = ReadSome(fd_, answer_);
        if (n == kError) {
            Lost("is gone");
            return false;
        }
        if (n == kEnd) return true;  // closed by Hyprland: the answer is whole
        if (answer_.size() > kMaxAnswer) {
            Lost("sent more than any answer");
            return false;
        }
        if (n > 0) continue;
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) {
            Lost("is gone");
            return false;
        }
    }
}

std::optional<Requests::Answer> Requests::Ask(const std::string& request, milliseconds wait) {
    const bool late = fd_ >= 0;
    if (late) {
        // The answer to an earlier request did not come in its tick: glanced for now.
        if (!Read(Clock::now() + kGlance)) {
            if (fd_ >= 0 && Clock::now() - askedAt_ > kGiveUp) Lost("stopped answering");
            return std::nullopt;
        }
    } else {
        if (Clock::now() < retryAt_) return std::nullopt;
        fd_ = ConnectUnixSocket(path_);
        if (fd_ < 0) {
            Lost("cannot be reached");
            return std::nullopt;
        }
        askedAt_ = Clock::now();
        const ssize_t sent = send(fd_, request.data(), request.size(), MSG_NOSIGNAL);
        if (sent != static_cast<ssize_t>(request.size())) {
            // A request this small fits any socket buffer.
            Lost("is gone");
            return std::nullopt;
        }
        if (!Read(askedAt_ + wait)) return std::nullopt;
    }
    Answer answer{std::move(answer_), askedAt_};
    Close();
    if (told_) std::fprintf(stderr, "keltos: Hyprland's socket answers again\n");
    told_ = false;
    return answer;
}

void Events::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    lines_ = LineReader{};
}

bool Events::LayoutMayHaveChanged() {
    if (fd_ < 0) {
        if (Clock::now() < retryAt_) return true;
        retryAt_ = Clock::now() + Requests::kRetry;
        fd_ = ConnectUnixSocket(path_);
        return true;  // what happened while it was not connected is not known
    }
    std::string bytes;
    bool changed = false;
    while (bytes.size() < kEventBytesPerTick) {
        const std::size_t before = bytes.size();
        const ssize_t n = ReadSome(fd_, bytes);
        if (n < 0) {
            Close();
            retryAt_ = Clock::now() + Requests::kRetry;
            return true;
        }
        if (bytes.size() == before) break;
    }
    lines_.Feed(bytes);
    for (std::string line; lines_.Next(line);) changed = ChangesLayout(line) || changed;
    return changed;
}

}  // namespace desktop::hyprland
