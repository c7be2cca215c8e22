#include "cad/app/DrawingLock.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "win/TempNames.h"

namespace docfile {
namespace {

constexpr const char* kFirstLine = "cadhost drawing lock\n";

std::string hostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "an unknown host";
    return name;
}

std::string userName() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) return pw->pw_name;
    return "user " + std::to_string(::geteuid());
}

std::string now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&t, &local);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string contents() {
    return std::string(kFirstLine) + "pid=" + std::to_string(::getpid()) + "\nhost=" + hostName() +
           "\nuser=" + userName() + "\nsince=" + now() + "\n";
}

LockHolder readHolder(int fd) {
    std::string text;
    char buffer[1024];
    for (off_t at = 0; text.size() < 4096;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
    LockHolder holder;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        if (key == "pid")
            holder.pid = std::strtol(value.c_str(), nullptr, 10);
        else if (key == "host")
            holder.host = value;
        else if (key == "user")
            holder.user = value;
        else if (key == "since")
            holder.since = value;
    }
    return holder;
}

bool isThisProcess(const LockHolder& holder) {
    return holder.pid == ::getpid() && holder.host == hostName();
}

struct flock wholeFile() {
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    return range;
}

} // namespace

std::string describe(const LockHolder& holder) {
    if (holder.pid <= 0) return "a session whose lock file does not say which";
    return "process " + std::to_string(holder.pid) + " of " + holder.user + " on " + holder.host + ", since " +
           holder.since;
}

std::string lockFileOf(const std::string& drawing) {
    std::string file = win::linkedFile(drawing);
    if (file.empty()) file = drawing;
    const std::string folder = win::folderOf(file);
    return (folder == "/" ? "" : folder) + "/." + win::nameForTemporary(win::nameOf(file), 6) + ".lock";
}

std::optional<LockHolder> lockHolder(const std::string& drawing) {
    const int fd = ::open(lockFileOf(drawing).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::optional<LockHolder> holder;
    struct stat st {};
    struct flock range = wholeFile();
    // Asked without taking it: a session's lock is held as long as the session lives.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::fcntl(fd, F_OFD_GETLK, &range) == 0 &&
        range.l_type != F_UNLCK) {
        LockHolder found = readHolder(fd);
        if (!isThisProcess(found)) holder = found;
    }
    ::close(fd);
    return holder;
}

DrawingLock::~DrawingLock() {
    release();
}

bool DrawingLock::take(const std::string& drawing, std::optional<LockHolder>& holder) {
    release();
    holder.reset();
    const std::string lock = lockFileOf(drawing);
    // A lock file removed by its session between our open and our lock is made again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            // Another user's lock file can only be read: who holds it is still said, and one whose
            // session has gone is removed (the folder permitting) and made again as this session's.
            const int error = errno;
            holder = lockHolder(drawing);
            if (holder || error != EACCES || ::unlink(lock.c_str()) != 0) return false;
            continue;
        }
        struct stat st {};
        struct flock range = wholeFile();
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return false;
        }
        if (::fcntl(fd, F_OFD_SETLK, &range) != 0) {
            if (errno == EACCES || errno == EAGAIN) {
                LockHolder found = readHolder(fd);
                if (!isThisProcess(found)) holder = found;
            }
            ::close(fd);
            return false;
        }
        struct stat now {};
        if (::stat(lock.c_str(), &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino) {
            ::close(fd);
            continue;
        }
        const std::string text = contents();
        if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
            ::unlink(lock.c_str());
            ::close(fd);
            return false;
        }
        fd_ = fd;
        lock_ = lock;
        win::removedAtEndingSignal(lock_); // a session a signal ends closes its drawings too
        return true;
    }
    return false;
}

void DrawingLock::release() {
    if (fd_ < 0) return;
    win::temporaryDone(lock_);
    struct stat mine {};
    struct stat there {};
    if (::fstat(fd_, &mine) == 0 && ::stat(lock_.c_str(), &there) == 0 && mine.st_dev == there.st_dev &&
        mine.st_ino == there.st_ino)
        ::unlink(lock_.c_str());
    ::close(fd_);
    fd_ = -1;
    lock_.clear();
}

} // namespace docfile
