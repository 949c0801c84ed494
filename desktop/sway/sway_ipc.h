// sway's IPC (the i3 IPC) as bytes: its messages and what a GET_TREE reply says about the focused
// window. No sockets here, so every reply, cut short, oversized or malformed, can be tried in a
// unit test; sway_desktop.cpp does the talking.
//
// A message is the 6 bytes "i3-ipc", a 32-bit payload length and a 32-bit type, both in the
// machine's own byte order, then the payload (JSON). A length beyond kMaxPayload breaks the
// stream: it is never waited for nor allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "desktop/reported_foreground.h"

namespace desktop::sway {

constexpr std::uint32_t kSubscribe = 2;
constexpr std::uint32_t kGetTree = 4;
constexpr std::size_t kHeaderSize = 14;
// Far beyond any tree a desktop holds (a few KB per window).
constexpr std::uint32_t kMaxPayload = 16u << 20;

// A message as it goes out.
std::string Encode(std::uint32_t type, std::string_view payload);

struct Message {
    std::uint32_t type = 0;
    std::string payload;
};

// Cuts the bytes of one connection, as they arrive, into messages.
class Framer {
  public:
    enum class Status { Incomplete, Ready, Broken };

    void Feed(std::string_view bytes);
    // The next whole message, if it has arrived. Broken (for good) when the stream is not i3 IPC
    // or announces a payload beyond kMaxPayload.
    Status Next(Message& message);

  private:
    std::string buffer_;
    bool broken_ = false;
};

// Whether the reply to a SUBSCRIBE (or a RUN_COMMAND) says it succeeded: {"success": true}.
bool Succeeded(std::string_view reply);

// The focused window of a GET_TREE reply: its container id, title (the first five characters
// are all that is kept later) and its outer rectangle, the container with its title bar. The
// report's id is empty when the focus is on no window (an empty workspace, a surface outside
// the tree). False when the reply is not such a tree (malformed JSON, wrong types): the caller
// then has no window in front either. Invalid UTF-8 in titles is repaired first, so one
// window's odd title never hides the focused one. `x11Window`, where given, gets the focused
// window's X11 id when it is an XWayland window, else 0.
bool FocusedWindow(std::string_view tree, WindowReport& report, std::uint32_t* x11Window = nullptr);

}  // namespace desktop::sway
