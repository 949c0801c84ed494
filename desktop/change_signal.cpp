#include "desktop/change_signal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace desktop {

ChangeSignal::ChangeSignal() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

ChangeSignal::~ChangeSignal() {
    if (fd_ >= 0) ::close(fd_);
}

void ChangeSignal::Raise() {
    const std::uint64_t one = 1;
    if (fd_ >= 0) (void)!::write(fd_, &one, sizeof one);
}

int ChangeSignal::Rearm() {
    std::uint64_t raised = 0;
    if (fd_ >= 0) (void)!::read(fd_, &raised, sizeof raised);
    return fd_;
}

}  // namespace desktop
