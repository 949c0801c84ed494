// Connecting to a desktop's UNIX socket (sway's IPC, Hyprland's sockets).
#pragma once

#include <string>

namespace desktop {

// A connection to the UNIX socket at `path`, non-blocking: its descriptor, or -1. A UNIX socket
// connects at once or not at all (a full backlog says EAGAIN): this never waits.
int ConnectUnixSocket(const std::string& path);

}  // namespace desktop
