// sway's IPC connections (see sway_connection.h).
#include "desktop/sway/sway_connection.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "desktop/unix_socket.h"

namespace desktop::sway {

namespace {

constexpr milliseconds kGlance{5};  // for a reply that is already late
constexpr milliseconds kGiveUp{3000};
constexpr milliseconds kRetry{2000};
constexpr std::uint32_t kEventBit = 0x80000000u;  // set in the type of every event
// The events subscribed to: all that can move, retitle, hide or bring forward a window; those of
// outputs apart, for sway before 1.8 knows none and refuses a subscription that names them (the
// bar hears of a changed output from XWayland then).
constexpr std::string_view kEvents = R"(["window","workspace"])";
constexpr std::string_view kOutputEvents = R"(["output"])";
constexpr int kMostReads = 16;  // of 64 KB each, for the events of one call

// Reads what has arrived on `fd` into `framer`, waiting until `deadline` for something: the
// number of bytes, 0 when none came, -1 when the connection is closed or broken. One read at a
// time, so that a peer that never stops sending cannot keep a tick here.
int ReadInto(int fd, Framer& framer, Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(std::max<milliseconds::rep>(left.count(), 0)));
    if (ready <= 0) return ready == 0 || errno == EINTR ? 0 : -1;
    char chunk[65536];
    ssize_t n;
    do {
        n = recv(fd, chunk, sizeof chunk, 0);
    } while (n < 0 && errno == EINTR);
    if (n > 0) framer.Feed(std::string_view(chunk, static_cast<std::size_t>(n)));
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    return n > 0 ? static_cast<int>(n) : -1;  // 0 from recv: closed
}

// Sends one whole message; false when the connection is gone or not being read.
bool Send(int fd, std::uint32_t type, std::string_view payload) {
    const std::string message = Encode(type, payload);
    return send(fd, message.data(), message.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(message.size());
}

}  // namespace

bool SwayIpc::Connect() {
    fd_ = ConnectUnixSocket(path_);
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
    return ReadInto(fd_, framer_, deadline);
}

std::optional<std::string> SwayIpc::Reply(std::uint32_t type, Clock::time_point deadline) {
    for (;;) {
        Message reply;
        switch (framer_.Next(reply)) {
            case Framer::Status::Broken:
                Lost("sent bytes that are not sway's IPC");
                return std::nullopt;
            case Framer::Status::Ready:
                if (reply.type & kEventBit) continue;  // an event: none was asked for
                if (reply.type != type) {
                    Lost("answered another question");
                    return std::nullopt;
                }
                return std::move(reply.payload);
            case Framer::Status::Incomplete:
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
    const std::string message = Encode(type, payload);
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

bool SwayEvents::Connect() {
    fd_ = ConnectUnixSocket(path_);
    if (fd_ < 0) return false;
    framer_ = {};
    replies_ = 0;
    if (Send(fd_, kSubscribe, kEvents) && Send(fd_, kSubscribe, kOutputEvents)) return true;
    Drop();
    return false;
}

void SwayEvents::Drop() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    subscribed_ = false;
    retryAt_ = Clock::now() + kRetry;
}

bool SwayEvents::Heard() {
    if (fd_ < 0) return Clock::now() >= retryAt_ && Connect();
    // What has arrived, never waiting, and a bounded amount of it: a peer that never stops
    // sending is read on at the next call.
    for (int reads = 0, read; reads < kMostReads && (read = ReadInto(fd_, framer_, {})) != 0;
         ++reads) {
        if (read < 0) {
            Drop();
            return true;
        }
    }
    bool heard = false;
    for (Message message;;) {
        const Framer::Status status = framer_.Next(message);
        if (status == Framer::Status::Incomplete) return heard;
        heard = true;
        if (status == Framer::Status::Broken) break;  // not sway's IPC
        if (message.type & kEventBit) continue;
        // The only replies on this connection are the two subscriptions', in order: the first
        // must say yes, the second may say no.
        if (message.type != kSubscribe || replies_ >= 2) break;
        if (replies_++ == 0 && !Succeeded(message.payload)) break;
        subscribed_ = true;
    }
    Drop();
    return true;
}

}  // namespace desktop::sway
