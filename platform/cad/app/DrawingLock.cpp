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

// A value as a lock file gives it, with nothing in it that a terminal would take as a command.
std::string printable(std::string value) {
    if (value.size() > 200) value.resize(200);
    for (char& c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return value;
}

// Who the lock file `fd` says holds it. The file's owner is the holder: a lock file naming another user
// was made by someone else and only says so.
LockHolder readHolder(int fd, const struct stat& st) {
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
        const std::string key = line.substr(0, equals), value = printable(line.substr(equals + 1));
        if (key == "pid")
            holder.pid = std::strtol(value.c_str(), nullptr, 10);
        else if (key == "host")
            holder.host = value;
        else if (key == "user")
            holder.user = value;
        else if (key == "since")
            holder.since = value;
    }
    if (const std::string owner = userName(st.st_uid); holder.user != owner) {
        holder.claimed = holder.user;
        holder.user = owner;
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

std::string notALock(const std::string& lock) {
    return lock +
           " is no drawing lock (another file stands at its name); it is left as it is, and the drawing "
           "is not held for this session";
}

// The drawing stays open unheld: other sessions cannot be told, and the user is told that.
std::string notLocked(const std::string& drawing, const std::string& why) {
    return drawing + ": the drawing could not be locked for this session (" + why +
           "): other sessions that open it are not told it is open here";
}

bool isThisProcess(const LockHolder& holder) {
    return holder.pid == ::getpid() && holder.host == hostName();
}

struct flock wholeFile(short type = F_WRLCK) {
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    return range;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The drawing file itself is held too, so that a session on another of its names (a hard link) finds it
// held: each session locks one byte for reading, far past any drawing's end, at an offset naming its
// process. Read locks never stop each other, nor anyone reading or writing the file.
constexpr off_t kHeldAt = off_t(1) << 62;
constexpr off_t kProcesses = off_t(1) << 22; // the most process ids a system gives

// Another process's hold on the open drawing file `fd`; this process's own holds are not seen.
std::optional<LockHolder> fileHolder(int fd) {
    const off_t self = ::getpid();
    const struct { off_t from, to; } around[] = {{0, self}, {self + 1, kProcesses}};
    for (const auto& part : around) {
        if (part.from >= part.to) continue;
        struct flock range = wholeFile();
        range.l_start = kHeldAt + part.from;
        range.l_len = part.to - part.from;
        if (::fcntl(fd, F_OFD_GETLK, &range) != 0 || range.l_type == F_UNLCK) continue;
        LockHolder holder;
        holder.pid = static_cast<long>(range.l_start - kHeldAt);
        holder.otherName = true;
        struct stat process {};
        if (::stat(("/proc/" + std::to_string(holder.pid)).c_str(), &process) == 0) {
            holder.user = userName(process.st_uid);
            holder.host = hostName();
        }
        return holder;
    }
    return std::nullopt;
}

} // namespace

std::string describe(const LockHolder& holder) {
    if (holder.unreadable) return "a session of " + holder.user + ", whose lock file this user cannot read";
    if (!holder.claimed.empty())
        return "a session of " + holder.user + ", whose lock file names " + holder.claimed + " as its holder";
    if (holder.otherName)
        return "process " + std::to_string(holder.pid) +
               (holder.host.empty() ? " on another machine" : " of " + holder.user + " on " + holder.host) +
               ", which has it open under another of its names (a hard link)";
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
    if (::lstat(lock.c_str(), &there) != 0 || !S_ISREG(there.st_mode)) return fileHolder(drawing);
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
        LockHolder found = readHolder(fd, st);
        if (!isThisProcess(found)) holder = found;
    }
    ::close(fd);
    return holder ? holder : fileHolder(drawing);
}

std::optional<LockHolder> fileHolder(const std::string& drawing) {
    // Only a regular file is opened: a device may act on being opened (a tape rewinds).
    struct stat there {};
    if (::stat(drawing.c_str(), &there) != 0 || !S_ISREG(there.st_mode)) return std::nullopt;
    const int fd = ::open(drawing.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    std::optional<LockHolder> holder;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) holder = fileHolder(fd);
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
    // Everything is done from the folder, so that a lock is removed from where it was made even when
    // the folder is renamed meanwhile.
    const int dir = ::open(win::folderOf(lock).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        // No folder there to hold anything in, or none this user may enter; anything else (no descriptor
        // left) is said.
        if (errno != ENOENT && errno != ENOTDIR && errno != EACCES)
            refusal_ = notLocked(drawing, writeErrorText(errno));
        return false;
    }
    const std::string name = win::nameOf(lock);
    const char* at = name.c_str();
    const auto fail = [&](int fd) {
        if (fd >= 0) ::close(fd);
        ::close(dir);
        return false;
    };
    // A lock file removed by its session between our open and our lock, or one left behind and removed
    // here, is made again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        // A signal that ends the session waits until a lock file made here is noted for its handler.
        const win::EndingSignalsHeld held;
        bool made = true, writable = true;
        int fd = ::openat(dir, at, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kLockMode);
        if (fd < 0 && errno != EEXIST) {
            // A folder this user may not write leaves the drawing unlocked: nobody of them can save there.
            // Anything else (a full disk, no inode left) leaves the drawing open unheld, and is said.
            if (errno != EACCES && errno != EROFS) refusal_ = notLocked(drawing, writeErrorText(errno));
            return fail(-1);
        }
        if (fd < 0) {
            made = false;
            // A link, a folder, a named pipe or a device is no lock of ours, and is not even opened.
            struct stat there {};
            if (::fstatat(dir, at, &there, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(there.st_mode)) {
                refusal_ = notALock(lock);
                return fail(-1);
            }
            fd = ::openat(dir, at, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0 && errno == EACCES) {
                // Another user's lock: only read, and locked for reading while it is looked at.
                writable = false;
                fd = ::openat(dir, at, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            }
            if (fd < 0 && errno == ENOENT) continue;
            if (fd < 0) {
                if (errno == EACCES) holder = lockHolder(drawing);
                return fail(-1);
            }
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            refusal_ = notALock(lock);
            return fail(fd);
        }
        struct flock range = wholeFile(writable ? F_WRLCK : F_RDLCK);
        if (::fcntl(fd, F_OFD_SETLK, &range) != 0) {
            if (errno == EACCES || errno == EAGAIN) {
                LockHolder found = readHolder(fd, st);
                if (!isThisProcess(found)) holder = found;
            }
            return fail(fd);
        }
        struct stat now {};
        if (::fstatat(dir, at, &now, AT_SYMLINK_NOFOLLOW) != 0 || !sameFile(now, st)) {
            ::close(fd);
            continue;
        }
        if (!made) {
            // Nobody holds it. Only a lock file of one name is ours to take: a second name of another
            // file is never written into nor set readable.
            const bool mine = st.st_uid == ::geteuid();
            if (st.st_nlink != 1 || !readsAsLock(fd, mine)) {
                refusal_ = notALock(lock);
                return fail(fd);
            }
            if (!mine || !writable) {
                // A lock another user's session left is removed, while it is locked here, and made
                // again as this session's; one this user may not remove leaves the drawing unheld.
                const int removed = ::unlinkat(dir, at, 0) == 0 ? 0 : errno;
                ::close(fd);
                if (removed == 0) continue;
                if (removed != EACCES && removed != EROFS)
                    refusal_ = notLocked(drawing, "a lock " + userName(st.st_uid) + "'s session left at " + lock +
                                                      " stands there, which this user may not remove");
                return fail(-1);
            }
        }
        ::fchmod(fd, kLockMode); // made here, or left behind under a strict umask
        const std::string text = contents();
        errno = 0;
        if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
            const int error = errno == 0 ? ENOSPC : errno;
            ::unlinkat(dir, at, 0);
            refusal_ = notLocked(drawing, writeErrorText(error));
            return fail(fd);
        }
        fd_ = fd;
        dir_ = dir;
        name_ = name;
        lock_ = lock;
        win::removedAtEndingSignal(lock_); // a session a signal ends closes its drawings too
        // Held under this name; a session holding the file under another name is told here, and told of.
        holdFile(drawing);
        if (std::optional<LockHolder> other = file_ >= 0 ? fileHolder(file_) : std::nullopt) {
            holder = other;
            release();
            return false;
        }
        return true;
    }
    return fail(-1);
}

void DrawingLock::holdFile(const std::string& drawing) {
    struct stat now {};
    struct stat held {};
    if (file_ >= 0 && ::stat(drawing.c_str(), &now) == 0 && ::fstat(file_, &held) == 0 && sameFile(now, held)) return;
    if (file_ >= 0) ::close(file_);
    file_ = -1;
    if (::stat(drawing.c_str(), &now) != 0 || !S_ISREG(now.st_mode)) return; // not made yet, or no file
    const int fd = ::open(drawing.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return; // not made yet, or not for this user to read: held by its name only
    struct flock mine = wholeFile(F_RDLCK);
    mine.l_start = kHeldAt + ::getpid();
    mine.l_len = 1;
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode) || ::fcntl(fd, F_OFD_SETLK, &mine) != 0) {
        ::close(fd);
        return;
    }
    file_ = fd;
}

void DrawingLock::release() {
    if (file_ >= 0) ::close(file_);
    file_ = -1;
    if (fd_ < 0) return;
    // Removed and forgotten at once: a signal's handler never removes it after another session made it again.
    const win::EndingSignalsHeld held;
    win::temporaryDone(lock_);
    struct stat mine {};
    struct stat there {};
    if (::fstat(fd_, &mine) == 0 && ::fstatat(dir_, name_.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
        sameFile(mine, there))
        ::unlinkat(dir_, name_.c_str(), 0);
    ::close(fd_);
    ::close(dir_);
    fd_ = dir_ = -1;
    lock_.clear();
    name_.clear();
}

} // namespace docfile
