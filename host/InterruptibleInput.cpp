#include "InterruptibleInput.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <memory>
#include <vector>

#include "win/TempNames.h"

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

// The notes a signal that ends cadhost says: the handler reads them through the pointer; a list
// replaced is kept until the next replacement, in case a handler on another thread still reads it.
std::atomic<const std::vector<SignalNote>*> g_notes{nullptr};
std::unique_ptr<const std::vector<SignalNote>> g_current, g_retired;

extern "C" void onEndingSignal(int signal) {
    const int saved = errno;
    win::removeTemporariesInProgress();
    if (const std::vector<SignalNote>* notes = g_notes.load())
        for (const SignalNote& note : *notes)
            if (note.holds() && ::write(STDERR_FILENO, note.text.data(), note.text.size()) < 0) {}
    errno = saved;
    ::raise(signal); // the default action again (SA_RESETHAND): cadhost ends as the signal says
}

} // namespace

void occupyStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        // The lowest free number is the closed one: /dev/null takes it.
        const int opened = ::open("/dev/null", O_RDWR);
        if (opened >= 0 && opened != fd) ::close(opened);
    }
}

void endAtSignals(bool interruptToo) {
    // A closed output and a size limit make writes fail, reported where they matter; the work goes on.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    std::vector<int> signals;
    for (int s : win::endingSignals())
        if (s != SIGPIPE && s != SIGXFSZ && (s != SIGINT || interruptToo)) signals.push_back(s);
    for (int s : signals) {
        struct sigaction before {};
        if (::sigaction(s, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue; // nohup, a background job
        struct sigaction action {};
        action.sa_handler = onEndingSignal;
        // The others wait while one is handled; the same one again ends cadhost at once.
        sigemptyset(&action.sa_mask);
        for (int other : signals)
            if (other != s) sigaddset(&action.sa_mask, other);
        action.sa_flags = static_cast<int>(SA_RESETHAND | SA_NODEFER);
        ::sigaction(s, &action, nullptr);
    }
}

void setSignalNotes(std::vector<SignalNote> notes) {
    auto next = std::make_unique<const std::vector<SignalNote>>(std::move(notes));
    g_notes.store(next.get());
    g_retired = std::move(g_current);
    g_current = std::move(next);
}

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
