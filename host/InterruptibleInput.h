#pragma once
// Standard input as cadhost reads it: a wait for the next line ends at Ctrl-C as well as at a line,
// so the interrupt cancels what is being asked instead of ending the session with its drawings.
#include <functional>
#include <streambuf>
#include <string>
#include <vector>

namespace cadhost {

// Opens /dev/null on each standard descriptor (0 to 2) found closed, before any file or pipe is made:
// else the first one made takes its number and is read as the input or written as the output.
void occupyStandardDescriptors();

// Every signal that ends a process from outside (SIGTERM, SIGHUP, SIGQUIT, SIGALRM, SIGUSR1...; SIGINT
// only when interruptToo) ends cadhost at once, with the signal's status, but first the temporaries of
// the writes in progress and the lock files are removed and the notes that hold then are said on
// standard error. SIGPIPE and SIGXFSZ are ignored: a write to a closed output or past a size limit
// fails instead, and the work goes on. A signal ignored when cadhost started stays ignored.
void endAtSignals(bool interruptToo);
// A line said when such a signal ends cadhost, if `holds` (called in the signal handler: it may only
// read memory) is true then.
struct SignalNote {
    std::function<bool()> holds;
    std::string text;
};
// Replaces the notes.
void setSignalNotes(std::vector<SignalNote> notes);

// Takes SIGINT from now on: each one is noted, and a read from an InterruptibleInput returns.
void catchInterrupts();
// Whether a SIGINT came that no one has taken yet; takeInterrupt() takes it.
bool interruptPending();
bool takeInterrupt();

// Reads a file descriptor (a terminal or a pipe). At Ctrl-C the read ends as at the end of input
// with interruptPending() true; what was read of a line is kept for the next read.
class InterruptibleInput : public std::streambuf {
public:
    explicit InterruptibleInput(int fd) : fd_(fd) {}
    // After the end of input: whether the descriptor has gone for good (a terminal hung up, a pipe
    // ended) rather than a terminal's Ctrl-D, after which it can be read again.
    bool gone() const { return gone_; }

protected:
    int_type underflow() override;

private:
    int fd_;
    bool gone_ = false;
    char buffer_[4096];
};

} // namespace cadhost
