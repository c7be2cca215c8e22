#include "win/TempNames.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "win/Encoding.h"
#include "win/Paths.h"

namespace win {
namespace {

constexpr int kMaxLinks = 40;

std::mutex g_refusalMutex;
std::function<std::string(const std::string&)> g_heldFileCheck;
std::size_t g_refused = 0;
RefusedWrite g_lastRefused;

std::string refused(const std::wstring& file, std::string why) {
    std::lock_guard lock(g_refusalMutex);
    ++g_refused;
    g_lastRefused = {file, why};
    return why;
}

// The temporaries of the writes in progress and the lock files held, for a signal handler: a slot's
// path is read only while its state says it is complete. The slots come in blocks chained one after
// another; a block once published is never freed or moved, so a handler may walk them at any moment.
constexpr int kSlotsPerBlock = 64;
struct InProgress {
    std::atomic<int> state{0}; // 0 free, 1 being filled or emptied, 2 holds a path
    int folder = AT_FDCWD;     // what the path is relative to: a temporary's is its folder's descriptor
    char path[PATH_MAX];
    dev_t device = 0; // the file at the path when noted (inode 0: none was there)
    ino_t inode = 0;
};
struct SlotBlock {
    InProgress slots[kSlotsPerBlock];
    std::atomic<SlotBlock*> next{nullptr};
};
SlotBlock g_firstBlock;

// Calls f on each slot until it returns true; whether one did.
template <class F>
bool eachSlot(F&& f) {
    for (SlotBlock* block = &g_firstBlock; block; block = block->next.load())
        for (InProgress& slot : block->slots)
            if (f(slot)) return true;
    return false;
}

void noteInProgress(const std::string& temp, int folder = AT_FDCWD) {
    if (temp.size() >= PATH_MAX) return;
    const auto fill = [&temp, folder](InProgress& slot) {
        int free = 0;
        if (!slot.state.compare_exchange_strong(free, 1)) return false;
        slot.folder = folder;
        std::memcpy(slot.path, temp.c_str(), temp.size() + 1);
        struct stat st {};
        const bool there = ::fstatat(folder, temp.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
        slot.device = there ? st.st_dev : 0;
        slot.inode = there ? st.st_ino : 0;
        slot.state.store(2);
        return true;
    };
    while (!eachSlot(fill)) {
        // Every slot taken (many drawings open, many writes at once): one more block, chained at the end.
        auto* added = new SlotBlock;
        SlotBlock* last = &g_firstBlock;
        for (;;) {
            SlotBlock* expected = nullptr;
            if (last->next.compare_exchange_strong(expected, added)) break;
            last = expected;
        }
    }
}

// Frees the slot noted with this path and folder. Found by reading alone: the others stay whole for a
// signal's handler meanwhile.
void noteDone(const std::string& path, int folder = AT_FDCWD) {
    eachSlot([&path, folder](InProgress& slot) {
        if (slot.state.load() != 2 || slot.folder != folder || path != slot.path) return false;
        int full = 2;
        return slot.state.compare_exchange_strong(full, 0);
    });
}

// The temporaries this process is writing: each made in its folder, held open (a path-only descriptor),
// so that it is written, checked and placed there whatever is renamed meanwhile, and however long its
// path. Keyed by the temporary's native path.
struct Made {
    int fd = -1;     // the writer's own descriptor
    int folder = -1; // the folder it was made in
    std::string name;
    dev_t device = 0;
    ino_t inode = 0;
};
std::mutex g_madeMutex;
std::map<std::string, Made>& madeTemporaries() {
    static std::map<std::string, Made> made;
    return made;
}

std::optional<Made> madeAt(const std::string& temp) {
    std::lock_guard lock(g_madeMutex);
    const auto it = madeTemporaries().find(temp);
    if (it == madeTemporaries().end()) return std::nullopt;
    return it->second;
}

bool beingWritten(const std::string& temp) {
    std::lock_guard lock(g_madeMutex);
    return madeTemporaries().count(temp) != 0;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `name` in `folder` is, without following a link, the file open as `fd`.
bool holds(int folder, const std::string& name, int fd) {
    struct stat there {
    }, mine{};
    return ::fstatat(folder, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &mine) == 0 &&
           sameFile(there, mine);
}

// The six characters mkstemp puts at the end of a temporary's name.
bool isTemporarySuffix(std::string_view s) {
    if (s.size() != 6) return false;
    for (char c : s)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

// Every temporary we make carries its maker: the machine, its boot, the process's pid namespace, its id
// and when it started. A file a user keeps under a name of ours carries none, so no sweep takes it; one
// whose maker is shown gone was left by a write that was killed.
constexpr const char* kMakerAttribute = "user.kelmo.temporary";

std::string firstLineOf(const char* file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The start of process `pid` in clock ticks since the boot (field 22 of its stat), empty when it is gone.
std::string startOf(long pid) {
    const std::string stat = firstLineOf(("/proc/" + std::to_string(pid) + "/stat").c_str());
    const auto name = stat.rfind(')'); // the command's name may hold blanks and parentheses
    if (name == std::string::npos) return {};
    std::istringstream fields(stat.substr(name + 1));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {}
    return field;
}

struct Maker {
    std::string host, boot, space, start;
    long pid = 0;
    bool known() const { return !host.empty() && !boot.empty() && !space.empty() && !start.empty() && pid > 0; }
};

// This machine as the process sees it, with the process itself when `pid` is given.
Maker thisMachine(long pid = 0) {
    Maker m;
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0) m.host = host;
    m.boot = firstLineOf("/proc/sys/kernel/random/boot_id");
    char space[64] = {};
    if (::readlink("/proc/self/ns/pid", space, sizeof space - 1) > 0) m.space = space;
    if (pid > 0) {
        m.pid = pid;
        m.start = startOf(pid);
    }
    return m;
}

// The mark names the file it was given to (device and inode): a copy that keeps extended attributes
// (cp -a, rsync -aX, tar --xattrs) is another file and never taken for the temporary it was copied from.
void markMade(int fd) {
    const Maker m = thisMachine(::getpid());
    struct stat st {};
    if (!m.known() || ::fstat(fd, &st) != 0) return; // unmarked: no other process will ever take it
    const std::string mark = m.host + ' ' + m.boot + ' ' + m.space + ' ' + std::to_string(m.pid) + ' ' + m.start + ' ' +
                             std::to_string(st.st_dev) + ' ' + std::to_string(st.st_ino);
    ::fsetxattr(fd, kMakerAttribute, mark.data(), mark.size(), 0);
}

// Whether the file is a temporary of ours whose maker is gone: a process of this machine that ended, or
// one from before the machine last started. A maker elsewhere (another machine sharing the folder,
// another pid namespace) cannot be shown gone.
bool makerGone(int fd) {
    char buffer[512];
    const ssize_t n = ::fgetxattr(fd, kMakerAttribute, buffer, sizeof buffer - 1);
    if (n <= 0) return false;
    std::istringstream fields(std::string(buffer, static_cast<std::size_t>(n)));
    Maker made;
    unsigned long long device = 0, inode = 0;
    struct stat st {};
    if (!(fields >> made.host >> made.boot >> made.space >> made.pid >> made.start >> device >> inode) ||
        !made.known() || ::fstat(fd, &st) != 0 || device != st.st_dev || inode != st.st_ino)
        return false;
    const Maker here = thisMachine();
    if (made.host != here.host) return false;
    if (made.boot != here.boot) return true;
    if (made.space != here.space) return false;
    return startOf(made.pid) != made.start;
}

} // namespace

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string notAFile(unsigned mode) {
    if (S_ISREG(mode)) return {};
    if (S_ISDIR(mode)) return "it is a folder";
    if (S_ISFIFO(mode)) return "it is a named pipe, not a file";
    if (S_ISSOCK(mode)) return "it is a socket, not a file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a file";
    return "it is not a regular file";
}

std::string linkedFile(const std::string& target, std::string* why) {
    std::string path = target;
    std::vector<std::pair<dev_t, ino_t>> passed; // the links themselves, however their paths are spelt
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        if (std::find(passed.begin(), passed.end(), std::pair(st.st_dev, st.st_ino)) != passed.end()) {
            if (why) *why = "its symbolic links go round in a circle";
            errno = ELOOP;
            return {};
        }
        passed.emplace_back(st.st_dev, st.st_ino);
        // The kernel's rule for links in shared folders (fs.protected_symlinks, on by default): in a folder
        // everyone may write that has the sticky bit, a link is followed only for its owner or the folder's.
        // Held whatever the machine's setting: a link another user put there is never written through.
        struct stat shared {};
        if (st.st_uid != ::geteuid() && ::stat(folderOf(path).c_str(), &shared) == 0 && (shared.st_mode & S_ISVTX) &&
            (shared.st_mode & S_IWOTH) && shared.st_uid != st.st_uid) {
            if (why)
                *why =
                    "it is a symbolic link another user put in a folder everyone may write, which is followed only "
                    "for the link's owner or the folder's";
            errno = EACCES;
            return {};
        }
        std::string to(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), to.data(), to.size());
        if (n < 0) return path;
        to.resize(static_cast<std::size_t>(n));
        if (to.empty()) return path;
        const std::string folder = folderOf(path);
        path = to.front() == '/' ? to : (folder == "/" ? "" : folder) + "/" + to;
    }
    if (why) *why = "it is reached through more than " + std::to_string(kMaxLinks) + " symbolic links";
    errno = ELOOP;
    return {};
}

std::string readRefusal(const std::string& file, int& error) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return {};
    std::string what = notAFile(st.st_mode);
    if (!what.empty()) error = S_ISDIR(st.st_mode) ? EISDIR : EACCES;
    return what;
}

std::string writeRefusal(const std::string& file, int& error) {
    if (std::string what = readRefusal(file, error); !what.empty()) return refused(nativeToWindows(file), what);
    struct stat st {};
    const bool exists = ::stat(file.c_str(), &st) == 0;
    // A drawing's file that was removed while it is open is still its drawing's.
    std::function<std::string(const std::string&)> held;
    {
        std::lock_guard lock(g_refusalMutex);
        held = g_heldFileCheck;
    }
    if (held) {
        if (std::string whose = held(file); !whose.empty()) {
            error = EACCES;
            return refused(nativeToWindows(file), whose);
        }
    }
    if (exists && !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) {
        error = EACCES;
        return refused(nativeToWindows(file), "it is read-only");
    }
    return {};
}

std::string nameRefusal(const std::wstring& path) {
    const std::size_t cut = path.find_last_of(L"\\/");
    const std::wstring last = cut == std::wstring::npos ? path : path.substr(cut + 1);
    if (path.empty()) return {};
    if (last.empty() || last == L"." || last == L"..") return refused(path, "it names a folder, not a file");
    // Windows drops them, so that "a.dxf." would be another file there than here: every writer refuses it.
    if (last.back() == L'.' || last.back() == L' ') return refused(path, "a file name cannot end in a dot or a blank");
    return {};
}

void setHeldFileCheck(std::function<std::string(const std::string& file)> check) {
    std::lock_guard lock(g_refusalMutex);
    g_heldFileCheck = std::move(check);
}

std::size_t refusedWrites() {
    std::lock_guard lock(g_refusalMutex);
    return g_refused;
}

RefusedWrite lastRefusedWrite() {
    std::lock_guard lock(g_refusalMutex);
    return g_lastRefused;
}

std::string temporaryPrefix(const std::string& fileName) {
    return ".~" + nameForTemporary(fileName, 9) + ".";
}

namespace {

// mkstemp's six characters, drawn afresh for each try.
std::string temporarySuffix() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937_64 draw{std::random_device{}() ^ (static_cast<std::uint64_t>(::getpid()) << 32)};
    std::string suffix(6, 'X');
    for (char& c : suffix) c = kLetters[draw() % (sizeof kLetters - 1)];
    return suffix;
}

} // namespace

int makeTemporary(const std::string& target, std::string& temp, std::string* refusal) {
    int refused = 0;
    if (std::string why = writeRefusal(target, refused); !why.empty()) {
        if (refusal) *refusal = std::move(why);
        errno = refused;
        return -1;
    }
    // Made, written and placed relative to its folder, held open: a path near the longest a path may be
    // still has room for the temporary's name, and a folder renamed meanwhile is not followed elsewhere.
    const std::string folderPath = folderOf(target);
    const int folder = ::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return -1;
    const std::string prefix = temporaryPrefix(nameOf(target));
    std::string name;
    int fd = -1, error = 0;
    {
        // A signal that ends the process waits until the file made is noted, so that its handler removes it.
        const EndingSignalsHeld held;
        for (int attempt = 0; attempt < 100; ++attempt) {
            name = prefix + temporarySuffix();
            fd = ::openat(folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd >= 0 || errno != EEXIST) break;
        }
        error = errno;
        if (fd >= 0) {
            ::flock(fd, LOCK_EX);
            noteInProgress(name, folder);
        }
    }
    if (fd < 0) {
        ::close(folder);
        errno = error;
        return -1;
    }
    markMade(fd);
    temp = (folderPath == "/" ? "" : folderPath) + "/" + name;
    struct stat st {};
    ::fstat(fd, &st);
    {
        std::lock_guard lock(g_madeMutex);
        Made& made = madeTemporaries()[temp];
        if (made.folder >= 0) ::close(made.folder); // a name of a write forgotten by its writer
        made = Made{fd, folder, name, st.st_dev, st.st_ino};
    }
    return fd;
}

void temporaryDone(const std::string& temp) {
    Made made;
    {
        std::lock_guard lock(g_madeMutex);
        const auto it = madeTemporaries().find(temp);
        if (it != madeTemporaries().end()) {
            made = it->second;
            madeTemporaries().erase(it);
        }
    }
    if (made.folder < 0) {
        noteDone(temp); // a lock file noted by its path
        return;
    }
    noteDone(made.name, made.folder);
    ::close(made.folder);
}

int temporaryBeingWritten(const std::string& file) {
    // The same file however its folder is spelt (through a link, with "..").
    struct stat folder {};
    const bool folderKnown = ::stat(folderOf(file).c_str(), &folder) == 0;
    std::lock_guard lock(g_madeMutex);
    auto it = madeTemporaries().find(file);
    for (auto each = madeTemporaries().begin();
         it == madeTemporaries().end() && folderKnown && each != madeTemporaries().end(); ++each) {
        struct stat made {};
        if (each->second.name == nameOf(file) && ::fstat(each->second.folder, &made) == 0 && sameFile(made, folder))
            it = each;
    }
    if (it == madeTemporaries().end()) return -1;
    struct stat st {};
    if (::fstat(it->second.fd, &st) != 0 || st.st_dev != it->second.device || st.st_ino != it->second.inode) return -1;
    const int fd = ::fcntl(it->second.fd, F_DUPFD_CLOEXEC, 0);
    if (fd >= 0) ::lseek(fd, 0, SEEK_SET);
    return fd;
}

void removeTemporary(int fd, const std::string& temp) {
    if (const std::optional<Made> made = madeAt(temp)) {
        if (fd >= 0 && holds(made->folder, made->name, fd)) ::unlinkat(made->folder, made->name.c_str(), 0);
    } else if (fd >= 0 && holds(AT_FDCWD, temp, fd)) {
        ::unlink(temp.c_str());
    }
    temporaryDone(temp);
}

unsigned newFileMode() {
    // Read, not set and set back: another thread making a file meanwhile would get a umask of 0.
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Umask:", 0) == 0) return 0666u & ~static_cast<unsigned>(std::stoul(line.substr(6), nullptr, 8));
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666u & ~static_cast<unsigned>(mask);
}

namespace {

bool inGroup(gid_t group) {
    if (::getegid() == group) return true;
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int n = ::getgroups(static_cast<int>(groups.size()), groups.data());
    return n > 0 && std::find(groups.begin(), groups.begin() + n, group) != groups.begin() + n;
}

// Whether the user may write a file of this owner, group and permissions.
bool userMayWrite(uid_t user, const struct stat& st) {
    if (user == 0) return true;
    if (user == st.st_uid) return (st.st_mode & S_IWUSR) != 0;
    if (st.st_mode & S_IWOTH) return true;
    if (!(st.st_mode & S_IWGRP)) return false;
    const passwd* pw = ::getpwuid(user);
    if (!pw) return false;
    int n = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(n));
    if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &n) < 0) {
        groups.resize(static_cast<std::size_t>(n));
        if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &n) < 0) return false;
    }
    return std::find(groups.begin(), groups.begin() + n, st.st_gid) != groups.begin() + n;
}

// Gives the written file the owner, group and permissions of the one it replaces, as far as this user
// may. Whether the users who could write that file may write this one too.
bool keepOwner(int fd, const struct stat& before) {
    if (::geteuid() == 0)
        ::fchown(fd, before.st_uid, before.st_gid);
    else if (before.st_gid != ::getegid() && inGroup(before.st_gid))
        ::fchown(fd, static_cast<uid_t>(-1), before.st_gid);
    ::fchmod(fd, before.st_mode & 07777); // after the owner: a change of owner drops set-id bits
    struct stat now {};
    if (::fstat(fd, &now) != 0) return false;
    if (now.st_uid == before.st_uid && now.st_gid == before.st_gid) return true;
    // The owner who could write it still can, through the group or the others' permissions.
    if (!userMayWrite(before.st_uid, now) && userMayWrite(before.st_uid, before)) return false;
    // A group that could write it and is no longer its group loses it, unless anyone may.
    return now.st_gid == before.st_gid || !(before.st_mode & S_IWGRP) || (now.st_mode & S_IWOTH);
}

// Writes the bytes of the temporary into the file at `name` itself, which keeps its owner, group,
// permissions and links: room for the whole is taken first, so that a full disk leaves it as it was.
bool writeInPlace(int fd, int folder, const std::string& name, const struct stat& before, std::string& why) {
    const int out = ::openat(folder, name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st {
    }, written{};
    if (out < 0 || ::fstat(out, &st) != 0 || !sameFile(st, before) || !S_ISREG(st.st_mode) ||
        ::fstat(fd, &written) != 0) {
        const int error = out < 0 ? errno : EAGAIN;
        if (out >= 0) ::close(out);
        why = error == EAGAIN ? "another program replaced it while this was written" : "";
        errno = error;
        return false;
    }
    bool ok = true;
    int error = 0;
    if (::fallocate(out, FALLOC_FL_KEEP_SIZE, 0, written.st_size) != 0 && errno != EOPNOTSUPP && errno != ENOSYS &&
        written.st_size > 0) {
        ok = false;
        error = errno;
    }
    std::vector<char> buffer(1 << 16);
    for (off_t at = 0; ok && at < written.st_size;) {
        const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            error = n < 0 ? errno : EIO;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::pwrite(out, buffer.data() + done, static_cast<std::size_t>(n - done), at + done);
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) {
                ok = false;
                error = errno;
            } else {
                done += w;
            }
        }
        at += n;
    }
    if (ok && (::ftruncate(out, written.st_size) != 0 || ::fsync(out) != 0)) {
        ok = false;
        error = errno;
    }
    ::close(out);
    if (!ok) {
        why.clear();
        errno = error;
    }
    return ok;
}

// Gives the file open as `fd` the name `name` in `folder` by its descriptor, not by any name it has: false
// with errno EEXIST when a file has that name.
bool linkInto(int fd, int folder, const std::string& name) {
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, self, folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno == EEXIST) return false;
    return ::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0;
}

} // namespace

bool placeTemporary(int fd, const std::string& temp, const std::string& target, bool noReplace, std::string& why) {
    const std::optional<Made> made = madeAt(temp);
    if (!made || fd < 0) {
        why = "its temporary file is not one this write made";
        errno = EINVAL;
        return false;
    }
    const int folder = made->folder;
    const std::string name = nameOf(target);
    // The folder named now must be the one the temporary was written in.
    struct stat here {
    }, named{};
    if (::fstat(folder, &here) != 0 || ::stat(folderOf(target).c_str(), &named) != 0 || !sameFile(here, named)) {
        why = "its folder was moved or replaced while it was written";
        errno = ENOENT;
        return false;
    }
    ::fremovexattr(fd, kMakerAttribute); // delivered, no temporary's mark: no sweep ever takes it
    struct stat before {};
    const bool replaces = ::fstatat(folder, name.c_str(), &before, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(before.st_mode);
    bool inPlace = false;
    if (replaces) {
        // A folder with the sticky bit lets only the file's owner (or the folder's) replace it.
        const uid_t user = ::geteuid();
        const bool stickyBars = (here.st_mode & S_ISVTX) && user != 0 && user != before.st_uid && user != here.st_uid;
        inPlace = (stickyBars || !keepOwner(fd, before)) && ::faccessat(folder, name.c_str(), W_OK, AT_EACCESS) == 0;
    }
    if (inPlace) {
        if (!writeInPlace(fd, folder, name, before, why)) return false;
        removeTemporary(fd, temp);
        return true;
    }
    // Only the file this write made takes the target's name: another put at the temporary's name is not it.
    const std::string stranger = "another program put a file of its own at the name of its temporary file";
    if (!holds(folder, made->name, fd)) {
        why = stranger + "; nothing was replaced";
        errno = EEXIST;
        return false;
    }
    struct stat there {};
    if (::fstatat(folder, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0) {
        // Nothing there: the file written itself, by its descriptor, takes the name; never one put there since.
        if (linkInto(fd, folder, name)) {
            if (holds(folder, made->name, fd)) ::unlinkat(folder, made->name.c_str(), 0);
            temporaryDone(temp);
            return true;
        }
        const int error = errno;
        struct stat mine {};
        if (::fstat(fd, &mine) == 0 && mine.st_nlink == 0) {
            why = stranger + "; nothing was replaced";
            errno = EEXIST;
            return false;
        }
        errno = error;
        if (errno == EEXIST && noReplace) {
            why = "a file was put at its name meanwhile";
            return false;
        }
        // A file system without hard links, or no /proc: renamed, and checked, below.
        if (errno != EEXIST && errno != EPERM && errno != EOPNOTSUPP && errno != ENOENT) {
            why.clear();
            return false;
        }
    } else if (noReplace) {
        why = "a file was put at its name meanwhile";
        errno = EEXIST;
        return false;
    }
    // The two names swapped at once, then what took the target's name checked: one put at the temporary's
    // name in the moment since the check above is swapped back, and the earlier file is where it was.
    if (::renameat2(folder, made->name.c_str(), folder, name.c_str(), RENAME_EXCHANGE) == 0) {
        if (holds(folder, name, fd)) {
            ::unlinkat(folder, made->name.c_str(), 0); // the earlier file, now at the temporary's name
            temporaryDone(temp);
            return true;
        }
        ::renameat2(folder, made->name.c_str(), folder, name.c_str(), RENAME_EXCHANGE);
        why = stranger + " as it was put in place; the earlier file was put back";
        errno = EEXIST;
        return false;
    }
    // Its temporary's name taken away in the moment since the check.
    const auto taken = [&] {
        if (errno != ENOENT || holds(folder, made->name, fd)) return false;
        why = stranger + "; nothing was replaced";
        errno = EEXIST;
        return true;
    };
    if (taken()) return false;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != ENOENT) {
        why.clear();
        return false;
    }
    // A file system that cannot swap names: renamed, then checked.
    if (::renameat(folder, made->name.c_str(), folder, name.c_str()) != 0) {
        if (taken()) return false;
        why.clear();
        return false;
    }
    if (!holds(folder, name, fd)) {
        why = stranger + " as it was put in place: the file at its name now is not this one";
        errno = EEXIST;
        temporaryDone(temp);
        return false;
    }
    temporaryDone(temp);
    return true;
}

void removedAtEndingSignal(const std::string& file) {
    noteInProgress(file);
}

void removeTemporariesInProgress() {
    eachSlot([](InProgress& slot) {
        // Only the file noted: its folder may have been renamed, and another file put at its old name.
        struct stat st {};
        if (slot.state.load() == 2 &&
            (slot.inode == 0 || (::fstatat(slot.folder, slot.path, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                                 st.st_dev == slot.device && st.st_ino == slot.inode)))
            ::unlinkat(slot.folder, slot.path, 0);
        return false;
    });
}

const std::vector<int>& endingSignals() {
    static const std::vector<int> signals = [] {
        std::vector<int> s{SIGHUP,  SIGINT,  SIGQUIT,   SIGPIPE, SIGALRM, SIGTERM, SIGUSR1,  SIGUSR2,
                           SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSTKFLT};
        for (int r = SIGRTMIN; r <= SIGRTMAX; ++r) s.push_back(r);
        return s;
    }();
    return signals;
}

EndingSignalsHeld::EndingSignalsHeld() {
    sigset_t ending;
    sigemptyset(&ending);
    for (int s : endingSignals()) sigaddset(&ending, s);
    ::pthread_sigmask(SIG_BLOCK, &ending, &before_);
}

EndingSignalsHeld::~EndingSignalsHeld() {
    ::pthread_sigmask(SIG_SETMASK, &before_, nullptr);
}

void removeStaleTemporaries(const std::string& target) {
    const std::string folderPath = folderOf(target);
    const int folder = ::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return;
    const uid_t user = ::geteuid();
    // Asked of the folder's watched names: a full output folder is not read again for every file.
    for (const std::string& name : namesStartingWith(folderPath, ".~")) {
        // ".~NAME.XXXXXX", NAME not empty.
        if (name.size() < 10 || name[name.size() - 7] != '.' ||
            !isTemporarySuffix(std::string_view(name).substr(name.size() - 6)))
            continue;
        const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        // Only this user's, of a maker shown gone, that nobody holds (a write in progress holds its
        // temporary locked), and still the file at that name.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == user && makerGone(fd) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && holds(folder, name, fd))
            ::unlinkat(folder, name.c_str(), 0);
        ::close(fd);
    }
    ::close(folder);
}

namespace {

// Whether a process with these ids may write a file or folder of `st`'s owner, group and permissions.
bool idsMayWrite(uid_t user, gid_t group, const std::vector<gid_t>& groups, const struct stat& st) {
    if (user == 0) return true;
    if (user == st.st_uid) return (st.st_mode & S_IWUSR) != 0;
    if (group == st.st_gid || std::find(groups.begin(), groups.end(), st.st_gid) != groups.end())
        return (st.st_mode & S_IWGRP) != 0;
    return (st.st_mode & S_IWOTH) != 0;
}

// Whether every process holding the lock on the file or folder open as `fd` is one that may not write it:
// anyone who may open it may lock it, but a reader's lock is no writer's and stops no write.
bool heldByReadersOnly(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    char key[64];
    std::snprintf(key, sizeof key, "%02x:%02x:%llu", ::major(st.st_dev), ::minor(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    std::ifstream locks("/proc/locks");
    bool any = false;
    for (std::string line; std::getline(locks, line);) {
        if (line.find("->") != std::string::npos) continue; // a waiter, not a holder
        std::istringstream fields(line);
        std::string number, kind, advisory, mode, file;
        long pid = 0;
        if (!(fields >> number >> kind >> advisory >> mode >> pid >> file) || file != key) continue;
        if (kind != "FLOCK" || pid <= 0 || pid == ::getpid()) return false;
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        uid_t user = static_cast<uid_t>(-1);
        gid_t group = static_cast<gid_t>(-1);
        std::vector<gid_t> groups;
        for (std::string entry; std::getline(status, entry);) {
            std::istringstream values(entry.substr(entry.find(':') + 1));
            unsigned long r = 0, e = 0, saved = 0, fs = 0;
            if (entry.rfind("Uid:", 0) == 0 && values >> r >> e >> saved >> fs) user = static_cast<uid_t>(fs);
            if (entry.rfind("Gid:", 0) == 0 && values >> r >> e >> saved >> fs) group = static_cast<gid_t>(fs);
            if (entry.rfind("Groups:", 0) == 0)
                for (unsigned long g = 0; values >> g;) groups.push_back(static_cast<gid_t>(g));
        }
        if (user == static_cast<uid_t>(-1) || idsMayWrite(user, group, groups, st)) return false;
        any = true;
    }
    return any;
}

// Locks fd unless a writer holds it past the deadline: false then. A file system without locks counts
// as locked: there is nothing to wait for; a lock only readers hold is not waited on.
bool lockBy(int fd, std::chrono::steady_clock::time_point giveUp) {
    auto askHolders = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) return true;
        const auto now = std::chrono::steady_clock::now();
        if (now > askHolders) {
            if (heldByReadersOnly(fd)) return true;
            askHolders = now + std::chrono::milliseconds(200);
        }
        if (now > giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace

ReplaceLock::ReplaceLock(const std::string& target) {
    // Another writer holds them only for a check and a rename. Folder first, then file: always in
    // that order, so two writers never wait on each other.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    folder_ = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_ >= 0 && !lockBy(folder_, giveUp)) {
        why_ = "another program has kept its folder locked for seconds";
        return;
    }
    // A temporary of this process's own (a staged output a writer fills by path) is locked already, and
    // replaced by nobody else.
    if (beingWritten(target)) return;
    file_ = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (file_ >= 0 && (::fstat(file_, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(file_);
        file_ = -1;
    }
    if (file_ >= 0 && !lockBy(file_, giveUp)) why_ = "another program has kept it locked for seconds";
}

ReplaceLock::~ReplaceLock() {
    if (file_ >= 0) ::close(file_);
    if (folder_ >= 0) ::close(folder_);
}

void ReplaceLock::release() {
    if (file_ >= 0) ::close(file_);
    file_ = -1;
    if (folder_ >= 0) ::flock(folder_, LOCK_UN);
}

} // namespace win
