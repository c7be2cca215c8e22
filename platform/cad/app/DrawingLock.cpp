#include "cad/app/DrawingLock.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include "cad/app/DocumentFile.h"
#include "win/TempNames.h"

namespace docfile {
namespace {

constexpr std::string_view kFirstLine = "cadhost drawing lock\n";
// Every user may read who holds a drawing, whatever the umask: a lock another user cannot read tells
// them nothing, and could be taken for one left behind.
constexpr mode_t kLockMode = 0644;

std::string hostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "an unknown host";
    return name;
}

std::string userName(uid_t uid = ::geteuid()) {
    if (const passwd* pw = ::getpwuid(uid); pw && pw->pw_name) return pw->pw_name;
    return "user " + std::to_string(uid);
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

// Whether the file holds one of our locks; `beingMade`: an empty file counts (a lock its session has
// made and not written yet).
bool readsAsLock(int fd, bool beingMade) {
    char head[kFirstLine.size()];
    const ssize_t n = ::pread(fd, head, sizeof head, 0);
    if (n == 0) return beingMade;
    return n == static_cast<ssize_t>(sizeof head) && std::string_view(head, sizeof head) == kFirstLine;
}

// Whether the regular file at `lock` is one of our locks, written whole.
bool isLockFile(const std::string& lock) {
    const int fd = ::open(lock.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    const bool ours = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && readsAsLock(fd, false);
    ::close(fd);
    return ours;
}

std::string notALock(const std::string& lock) {
    return lock +
           " is no drawing lock (another file stands at its name); it is left as it is, and the drawing "
           "is not held for this session";
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
    if (holder.unreadable) return "a session of " + holder.user + ", whose lock file this user cannot read";
    if (holder.pid <= 0) return "a session whose lock file does not say which";
    return "process " + std::to_string(holder.pid) + " of " + holder.user + " on " + holder.host + ", since " +
           holder.since;
}

std::string lockFileOf(const std::string& drawing) {
    std::string file = win::linkedFile(drawing);
    if (file.empty()) file = drawing;
    const std::string folder = win::folderOf(file);
    std::string name = win::nameOf(file);
    constexpr std::size_t kAround = 6; // "." before, ".lock" after
    if (name.size() + kAround > NAME_MAX) {
        ContentHash hash;
        hash.add(name);
        char mark[20] = {};
        std::snprintf(mark, sizeof mark, "~%016llx", static_cast<unsigned long long>(hash.value()));
        name = win::nameForTemporary(name, kAround + std::string_view(mark).size()) + mark;
    }
    return (folder == "/" ? "" : folder) + "/." + name + ".lock";
}

std::optional<LockHolder> lockHolder(const std::string& drawing) {
    const std::string lock = lockFileOf(drawing);
    struct stat there {};
    if (::lstat(lock.c_str(), &there) != 0 || !S_ISREG(there.st_mode)) return std::nullopt;
    const int fd = ::open(lock.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != EACCES) return std::nullopt;
        // Nobody but its owner can tell whether its session lives: it is taken as held.
        LockHolder holder;
        holder.unreadable = true;
        holder.user = userName(there.st_uid);
        return holder;
    }
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
    refusal_.clear();
    const std::string lock = lockFileOf(drawing);
    // A lock file removed by its session between our open and our lock is made again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        // A signal that ends the session waits until a lock file made here is noted for its handler.
        const win::EndingSignalsHeld held;
        bool made = true;
        int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kLockMode);
        if (fd < 0 && errno == EEXIST) {
            made = false;
            // A link, a folder, a named pipe or a device is no lock of ours, and is not even opened.
            struct stat there {};
            if (::lstat(lock.c_str(), &there) == 0 && !S_ISREG(there.st_mode)) {
                refusal_ = notALock(lock);
                return false;
            }
            fd = ::open(lock.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0 && errno == ENOENT) continue;
        }
        if (fd < 0) {
            const int error = errno;
            holder = lockHolder(drawing);
            if (holder) return false;
            // Nothing there: a folder this user may not write leaves the drawing unlocked.
            struct stat there {};
            if (error != EACCES || ::lstat(lock.c_str(), &there) != 0) return false;
            // Another user's lock file can only be read: one whose session has gone is removed (the
            // folder permitting) and made again as this session's; any other file is left alone.
            if (!isLockFile(lock)) {
                refusal_ = notALock(lock);
                return false;
            }
            if (::unlink(lock.c_str()) != 0) return false;
            continue;
        }
        struct stat st {};
        struct flock range = wholeFile();
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            refusal_ = notALock(lock);
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
        // Only a lock left behind is taken over: a file the user keeps under that name is not emptied.
        if (!made && !readsAsLock(fd, true)) {
            refusal_ = notALock(lock);
            ::close(fd);
            return false;
        }
        ::fchmod(fd, kLockMode); // made here, or left behind under a strict umask
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
    // Removed and forgotten at once: a signal's handler never removes it after another session made it again.
    const win::EndingSignalsHeld held;
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
