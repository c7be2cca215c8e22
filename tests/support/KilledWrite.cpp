#include "support/KilledWrite.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "win/TempNames.h"

namespace kelmo_test {

std::string temporaryOfAKilledWrite(const std::string& target, const std::string& bytes, int user) {
    int link[2];
    if (::pipe(link) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(link[0]);
        if (user != -1 && (::setgid(static_cast<gid_t>(user)) != 0 || ::setuid(static_cast<uid_t>(user)) != 0))
            ::_exit(1);
        std::string temp;
        const int fd = win::makeTemporary(target, temp);
        if (fd < 0) ::_exit(1);
        // Killed part-way: the bytes written so far stay, and nothing is tidied up.
        if (::write(fd, bytes.data(), bytes.size()) < 0 || ::write(link[1], temp.data(), temp.size()) < 0) ::_exit(1);
        ::_exit(0);
    }
    ::close(link[1]);
    std::string temp;
    char buffer[4096];
    for (ssize_t n; child > 0 && (n = ::read(link[0], buffer, sizeof buffer)) > 0;)
        temp.append(buffer, static_cast<std::size_t>(n));
    ::close(link[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    return temp;
}

WriteUnderWay::WriteUnderWay(const std::string& target) : fd_(win::makeTemporary(target, temp_)) {}

WriteUnderWay::~WriteUnderWay() {
    if (fd_ < 0) return;
    ::unlink(temp_.c_str());
    win::temporaryDone(temp_);
    ::close(fd_);
}

void WriteUnderWay::unlock() {
    // A second descriptor of the file takes the place of the locked one, which goes with its lock.
    const int again = ::open(temp_.c_str(), O_RDONLY | O_CLOEXEC);
    ::close(fd_);
    fd_ = again;
}

} // namespace kelmo_test
