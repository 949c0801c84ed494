// Ending on a signal: SIGTERM (log-out, a task manager), SIGINT (Ctrl+C in a terminal) and SIGHUP
// (the terminal closed) end the program through Window::End, the path "X" and a close take, so
// the desktop channel is let go of and the exit status is 0. The handler only writes the signal
// to a pipe that the event loop watches; the ending itself runs on the user-interface thread,
// between events. A signal that was ignored when the program started (a background job of a
// shell script ignores SIGINT) stays ignored.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

#include "platform/qt/qt_platform.h"

namespace platform::qt {

namespace {

int pipeEnds[2] = {-1, -1};

extern "C" void WriteSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // A full pipe already holds a signal that ends the program: nothing is lost.
    [[maybe_unused]] const ssize_t written = write(pipeEnds[1], &byte, 1);
    errno = saved;
}

}  // namespace

void EndOnSignals(Window& window, QObject* parent) {
    if (pipeEnds[0] < 0 && pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent, [&window] { window.End(); });
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction was {};
        if (sigaction(number, nullptr, &was) != 0 || was.sa_handler == SIG_IGN) continue;
        struct sigaction handler {};
        handler.sa_handler = WriteSignal;
        sigemptyset(&handler.sa_mask);
        handler.sa_flags = SA_RESTART;
        sigaction(number, &handler, nullptr);
    }
}

}  // namespace platform::qt
