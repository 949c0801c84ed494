// The docking tick's rest in the desktops whose window in front comes over a channel of their own:
// after a tick, the descriptor to wait on stays silent while nothing is told, becomes readable
// when the channel tells of a change, and a channel that is not there lets the tick ask on (-1).
// One row per kind of channel: reports pushed over D-Bus (KWin's script, GNOME Shell's
// extension: the shape both share), and sway's events, from a stand-in for sway's IPC.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "desktop/channel_desktop.h"
#include "desktop/sway/sway_desktop.h"
#include "desktop/sway/sway_ipc.h"

namespace {

bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return fd >= 0 && ::poll(&p, 1, 200) == 1;
}

// The shape KWin's and GNOME Shell's providers share, told by the test.
class Channel : public desktop::ChannelDesktop {
  public:
    bool listening = true;
    using ChannelDesktop::Lose;
    using ChannelDesktop::Take;

  private:
    bool Listening() const override { return listening; }
};

// sway's IPC as far as the provider talks to it: every SUBSCRIBE says yes, every GET_TREE answers
// a tree in which nothing has the focus. Served on a thread of its own while it exists.
class SwayStandIn {
  public:
    SwayStandIn() {
        path_ = "/tmp/keltos-rest-sway-" + std::to_string(::getpid()) + ".sock";
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
        ::unlink(path_.c_str());
        const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener, 4);
        server_ = std::thread([this, listener] { Serve(listener); });
    }
    ~SwayStandIn() {
        stop_ = true;
        server_.join();
        ::unlink(path_.c_str());
    }
    const std::string& Path() const { return path_; }
    void SendEvent() { Send(events_, 0x80000003u, R"({"change":"focus"})"); }
    void CloseEvents() { ::shutdown(events_, SHUT_RDWR); }

  private:
    void Serve(int listener) {
        std::vector<pollfd> open{{listener, POLLIN, 0}};
        std::map<int, desktop::sway::Framer> framers;
        while (!stop_) {
            if (::poll(open.data(), open.size(), 20) <= 0) continue;
            for (std::size_t i = open.size(); i-- > 0;) {
                if (!(open[i].revents & POLLIN)) continue;
                if (open[i].fd == listener) {
                    open.push_back({::accept(listener, nullptr, nullptr), POLLIN, 0});
                    continue;
                }
                char bytes[4096];
                const ssize_t n = ::recv(open[i].fd, bytes, sizeof bytes, 0);
                if (n > 0) Answer(open[i].fd, framers[open[i].fd], {bytes, std::size_t(n)});
            }
        }
        for (const pollfd& p : open) ::close(p.fd);
    }
    void Answer(int fd, desktop::sway::Framer& framer, std::string_view bytes) {
        framer.Feed(bytes);
        for (desktop::sway::Message m; framer.Next(m) == desktop::sway::Framer::Status::Ready;) {
            const bool subscribe = m.type == desktop::sway::kSubscribe;
            if (subscribe) events_ = fd;
            Send(fd, m.type,
                 subscribe ? R"({"success":true})" : R"({"type":"root","focused":true})");
        }
    }
    static void Send(int fd, std::uint32_t type, const std::string& payload) {
        const std::string message = desktop::sway::Encode(type, payload);
        (void)!::send(fd, message.data(), message.size(), MSG_NOSIGNAL);
    }

    std::string path_;
    std::atomic<int> events_{-1};
    std::atomic<bool> stop_{false};
    std::thread server_;
};

TEST(Rest, AChannelsChangeWakesItSilenceLetsItRestNoChannelTicks) {
    struct Row {
        const char* channel;
        std::function<desktop::Desktop&()> start;  // a tick, and the channel ready to tell
        std::function<void()> tell;                // a change told
        std::function<void()> lose;                // the channel gone
    };
    Channel dbus;
    SwayStandIn sway;
    const std::unique_ptr<desktop::Desktop> swayDesktop = desktop::MakeSwayDesktop(sway.Path());
    // Ticks until the provider rests: the first hears the subscription made, the next asks.
    const auto tick = [&]() -> desktop::Desktop& {
        for (int i = 0; i < 10 && swayDesktop->NextChangeDescriptor() < 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            swayDesktop->Foreground();
        }
        return *swayDesktop;
    };
    const Row rows[] = {
        {"reports over D-Bus", [&]() -> desktop::Desktop& { return dbus; },
         [&] {
             dbus.Take({0, "w", "Mail", 10, 20, 300, 200, false});
         },
         [&] { dbus.listening = false; }},
        {"sway's events", tick, [&] { sway.SendEvent(); }, [&] { sway.CloseEvents(); }},
    };
    for (const Row& row : rows) {
        desktop::Desktop& desktop = row.start();
        const int fd = desktop.NextChangeDescriptor();
        ASSERT_GE(fd, 0) << row.channel << ": rests";
        EXPECT_FALSE(Readable(fd)) << row.channel << ": silence";
        row.tell();
        EXPECT_TRUE(Readable(fd)) << row.channel << ": a change told";
        EXPECT_GE(row.start().NextChangeDescriptor(), 0) << row.channel << ": rests again";
        row.lose();
        EXPECT_EQ(-1, desktop.NextChangeDescriptor()) << row.channel << ": no channel";
    }
}

}  // namespace
