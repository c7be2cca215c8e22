#include "InterruptibleInput.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace cadhost {
namespace {

volatile std::sig_atomic_t g_pending = 0;
// Written by the handler so that a wait in poll() ends even when the signal came just before it.
int g_wake[2] = {-1, -1};

extern "C" void onInterrupt(int) {
    const int saved = errno;
    g_pending = 1;
    if (g_wake[1] >= 0 && ::write(g_wake[1], "!", 1) < 0) {} // a full pipe wakes the wait as well
    errno = saved;
}

} // namespace

void catchInterrupts() {
    if (g_wake[0] < 0 && ::pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) g_wake[0] = g_wake[1] = -1;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // a save or a plot carries on; poll() is cut short all the same
    ::sigaction(SIGINT, &action, nullptr);
}

bool interruptPending() {
    return g_pending != 0;
}

bool takeInterrupt() {
    if (!g_pending) return false;
    g_pending = 0;
    char drained[64];
    if (g_wake[0] >= 0)
        while (::read(g_wake[0], drained, sizeof drained) > 0) {}
    return true;
}

InterruptibleInput::int_type InterruptibleInput::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    for (;;) {
        if (interruptPending()) return traits_type::eof();
        pollfd waits[2] = {{fd_, POLLIN, 0}, {g_wake[0], POLLIN, 0}};
        if (::poll(waits, g_wake[0] >= 0 ? 2 : 1, -1) < 0) {
            if (errno == EINTR) continue;
            gone_ = true;
            return traits_type::eof();
        }
        if (waits[1].revents & POLLIN) continue; // the flag tells
        if (!waits[0].revents) continue;
        const ssize_t n = ::read(fd_, buffer_, sizeof buffer_);
        if (n > 0) {
            setg(buffer_, buffer_, buffer_ + n);
            return traits_type::to_int_type(*gptr());
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        // Ctrl-D at a terminal ends one read only; a hung-up terminal or an ended pipe ends them all.
        pollfd after{fd_, POLLIN, 0};
        gone_ = n < 0 || (::poll(&after, 1, 0) > 0 && (after.revents & (POLLHUP | POLLERR | POLLNVAL)));
        return traits_type::eof();
    }
}

} // namespace cadhost
