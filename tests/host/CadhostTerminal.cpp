#include "CadhostTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>

#include "module/CadhostRun.h"
#include "win/TempNames.h"

namespace cadhost_run {

namespace {

// How long a wait may take before it is taken for a hang: never reached by a slow step on a busy machine
// (the sanitizer build opens the large plan in minutes there), as a wait ends once its event comes.
constexpr auto kPatience = std::chrono::minutes(10);

[[noreturn]] void runCadhost(const std::filesystem::path& dir, const std::vector<std::string>& args) {
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    // As a shell starts it in the foreground, whatever started the tests (a background job ignores SIGINT).
    for (int s : win::endingSignals()) std::signal(s, SIG_DFL);
    const std::string path = program().string();
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(path.c_str(), argv.data());
    ::_exit(127);
}

} // namespace

CadhostTerminal::CadhostTerminal(Kind kind, const std::filesystem::path& dir, const std::vector<std::string>& args)
    : kind_(kind) {
    std::signal(SIGPIPE, SIG_IGN); // a write to a pipe cadhost has left fails instead
    if (kind == Kind::Terminal) {
        int master = -1;
        pid_ = ::forkpty(&master, nullptr, nullptr, nullptr);
        if (pid_ == 0) runCadhost(dir, args);
        in_ = out_ = master;
        return;
    }
    int input[2], output[2];
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(input[0], 0);
        ::dup2(output[1], 1);
        ::dup2(output[1], 2);
        runCadhost(dir, args);
    }
    ::close(input[0]);
    ::close(output[1]);
    in_ = input[1];
    out_ = output[0];
}

CadhostTerminal::~CadhostTerminal() {
    if (pid_ > 0 && status_ < 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (in_ >= 0 && in_ != out_) ::close(in_);
    if (out_ >= 0) ::close(out_);
}

int CadhostTerminal::readSome(int waitMs) {
    if (ended_ || out_ < 0) return -1;
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, waitMs) <= 0) return 0;
    char buffer[4096];
    const ssize_t n = ::read(out_, buffer, sizeof buffer);
    if (n <= 0) { // a closed pipe, or a terminal whose program has gone (EIO)
        ended_ = true;
        return -1;
    }
    for (ssize_t i = 0; i < n; ++i) // a terminal ends its lines with CR LF
        if (kind_ == Kind::Pipe || buffer[i] != '\r') output_ += buffer[i];
    return int(n);
}

bool CadhostTerminal::waitFor(const std::string& text) {
    const auto until = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
        if (size_t at = output_.find(text, seen_); at != std::string::npos) {
            seen_ = at + text.size();
            return true;
        }
        if (readSome(100) < 0 || std::chrono::steady_clock::now() > until) return false;
    }
}

void CadhostTerminal::type(const std::string& text) {
    if (in_ >= 0 && ::write(in_, text.data(), text.size()) < 0) {} // cadhost may have gone
}

void CadhostTerminal::interrupt() {
    if (kind_ == Kind::Terminal)
        type("\x03");
    else if (pid_ > 0)
        ::kill(pid_, SIGINT);
}

void CadhostTerminal::endInput() {
    if (kind_ == Kind::Terminal) {
        type("\x04");
    } else if (in_ >= 0) {
        ::close(in_);
        in_ = -1;
    }
}

void CadhostTerminal::signal(int number) {
    if (pid_ > 0 && status_ < 0) ::kill(pid_, number);
}

int CadhostTerminal::exitStatus() {
    if (status_ >= 0 || pid_ <= 0) return status_;
    const auto until = std::chrono::steady_clock::now() + kPatience;
    int raw = 0;
    while (::waitpid(pid_, &raw, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &raw, 0);
            pid_ = -1;
            return -1;
        }
        readSome(100); // a terminal must be read for its program to write on
    }
    while (readSome(0) > 0) {}
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return status_;
}

} // namespace cadhost_run
