#pragma once
// cadhost typed at as a user types: on a pseudo-terminal (its echo, Ctrl-C and Ctrl-D), or fed
// through a pipe. The output (standard output and errors together) is watched for the prompts.
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace cadhost_run {

class CadhostTerminal {
public:
    enum class Kind { Terminal, Pipe };
    // Starts cadhost in the folder with the arguments.
    CadhostTerminal(Kind kind, const std::filesystem::path& dir, const std::vector<std::string>& args);
    ~CadhostTerminal();
    CadhostTerminal(const CadhostTerminal&) = delete;
    CadhostTerminal& operator=(const CadhostTerminal&) = delete;

    // Waits until the output shows the text after what the earlier waits found; false when cadhost
    // ends first, or a minute goes by (it is waiting for something else).
    bool waitFor(const std::string& text);
    void type(const std::string& text);
    // Ctrl-C: the terminal's interrupt character, or the SIGINT a terminal sends a pipeline.
    void interrupt();
    // Ctrl-D at a terminal, the pipe's end otherwise.
    void endInput();
    // A signal from outside (a kill, a terminal closed).
    void signal(int number);
    // Waits for cadhost to end (a minute at most, then it is killed): its exit status, 128 and the
    // signal when a signal ended it, -1 when it had to be killed.
    int exitStatus();
    const std::string& output() const { return output_; }

private:
    // Reads what comes within the wait: the bytes read, -1 once the output has ended.
    int readSome(int waitMs);

    Kind kind_;
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    bool ended_ = false;
    int status_ = -1;
    std::string output_;
    size_t seen_ = 0;
};

} // namespace cadhost_run
