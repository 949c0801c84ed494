// Talking to sway's IPC over its UNIX socket: questions with replies awaited for a short while,
// and the events of a connection subscribed to them. Internal to the sway provider.
//
// A question is answered within its wait or not used. Nothing more is asked until a late reply
// has come (later questions only glance for it), so a hanging peer costs one wait, not one a
// tick; one that stays silent for kGiveUp, a closed socket, or bytes that are not sway's IPC end
// the connection, and a new one is tried every kRetry. The user is told once that the IPC is out
// of reach, and again once it answers.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "desktop/sway/sway_ipc.h"

namespace desktop::sway {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// One connection for questions, made again when lost.
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
    Framer framer_;
    bool late_ = false;  // the reply to the last message did not come in time
    Clock::time_point lateSince_{}, retryAt_{};
    bool told_ = false;  // the user has been told the IPC is out of reach
};

// A connection subscribed to the events that can change what the docking tick reads: window
// (focus, title, new, close, move, floating, fullscreen), workspace and, where sway knows them,
// output. Made again when lost, every kRetry.
class SwayEvents {
  public:
    explicit SwayEvents(std::string path) : path_(std::move(path)) {}
    ~SwayEvents() { Drop(); }
    SwayEvents(const SwayEvents&) = delete;
    SwayEvents& operator=(const SwayEvents&) = delete;

    // Reads what has arrived, never waiting: whether anything came since the last call that
    // may have changed the tree (an event; the connection made, lost or refused).
    bool Heard();
    // The connection's descriptor, readable when the next event comes; -1 while there is none.
    int Descriptor() const { return subscribed_ ? fd_ : -1; }

  private:
    bool Connect();
    void Drop();

    std::string path_;
    int fd_ = -1;
    Framer framer_;
    bool subscribed_ = false;  // sway said yes to the subscription
    int replies_ = 0;          // to the subscriptions, so far
    Clock::time_point retryAt_{};
};

}  // namespace desktop::sway
