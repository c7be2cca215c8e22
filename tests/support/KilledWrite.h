#pragma once
// Temporaries as the project's writers leave them: one of a write killed part-way (its process gone),
// and one of a write still under way in this test's own process.
#include <string>

namespace kelmo_test {

// The temporary a write of `target` (a native path) leaves when its process is killed: made by the
// writers' own maker in a child process that then ends. `user`, when not -1, is the user id the child
// runs as (the tests run as root), so that the temporary is that user's. Empty when none could be made.
std::string temporaryOfAKilledWrite(const std::string& target, const std::string& bytes = "half written\n",
                                    int user = -1);

// A write of `target` under way in this process: its temporary exists and is held until this goes.
class WriteUnderWay {
public:
    explicit WriteUnderWay(const std::string& target);
    ~WriteUnderWay();
    WriteUnderWay(const WriteUnderWay&) = delete;
    WriteUnderWay& operator=(const WriteUnderWay&) = delete;
    const std::string& path() const { return temp_; }
    // Lets go of the temporary's lock while the writer lives on (a write that has just made its file).
    void unlock();

private:
    std::string temp_;
    int fd_ = -1;
};

} // namespace kelmo_test
