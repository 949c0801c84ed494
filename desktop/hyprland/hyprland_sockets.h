// Hyprland's two sockets as the provider uses them: the request socket, one connection a
// request, never held up longer than the caller allows; the event socket, read without waiting.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "desktop/hyprland/hyprland_ipc.h"

namespace desktop::hyprland {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class Requests {
  public:
    explicit Requests(std::string path) : path_(std::move(path)) {}
    ~Requests() { Close(); }
    Requests(const Requests&) = delete;
    Requests& operator=(const Requests&) = delete;

    // The answer to `request` if it comes within `wait`, with when it was asked. An answer
    // that is late is glanced for by the next calls, which take it when it has come (and ask
    // nothing new until then): a slow Hyprland is followed a tick late, a hanging socket costs
    // one wait. One silent for kGiveUp, that cannot be reached, or that sends more than
    // kMaxAnswer is let go, and asked again after kRetry.
    struct Answer {
        std::string text;
        Clock::time_point askedAt;
    };
    std::optional<Answer> Ask(const std::string& request, milliseconds wait);

    static constexpr milliseconds kGlance{5};
    static constexpr milliseconds kGiveUp{3000};
    static constexpr milliseconds kRetry{2000};

  private:
    // Reads until the answer is whole (Hyprland closes the connection) or `deadline`: true when
    // it is whole; false while it is not, or when the connection was lost (fd_ then -1).
    bool Read(Clock::time_point deadline);
    void Close();
    void Lost(const char* why);

    std::string path_;
    int fd_ = -1;  // the connection of a request whose answer is still coming
    std::string answer_;
    Clock::time_point askedAt_{}, retryAt_{};
    bool told_ = false;  // the user has been told the socket is out of reach
};

class Events {
  public:
    explicit Events(std::string path) : path_(std::move(path)) {}
    ~Events() { Close(); }
    Events(const Events&) = delete;
    Events& operator=(const Events&) = delete;

    // Reads, without waiting, what the socket has announced since the last call: true when an
    // event may have changed the layout, or when the socket is not connected, so that nothing
    // would have told (it is connected again every Requests::kRetry).
    bool LayoutMayHaveChanged();

  private:
    void Close();

    std::string path_;
    int fd_ = -1;
    LineReader lines_;
    Clock::time_point retryAt_{};
};

}  // namespace desktop::hyprland
