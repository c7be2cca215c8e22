#include "win/TempNames.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <climits>
#include <cstring>
#include <fstream>
#include <mutex>
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

void noteInProgress(const std::string& temp) {
    if (temp.size() >= PATH_MAX) return;
    const auto fill = [&temp](InProgress& slot) {
        int free = 0;
        if (!slot.state.compare_exchange_strong(free, 1)) return false;
        std::memcpy(slot.path, temp.c_str(), temp.size() + 1);
        struct stat st {};
        const bool there = ::lstat(temp.c_str(), &st) == 0;
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

// Whether the path is one of this process's temporaries in progress.
// Only read: a slot held back from the state that says it is complete, even for a moment, is one a
// signal's handler would pass over.
bool ownInProgress(const std::string& path) {
    return eachSlot([&path](InProgress& slot) { return slot.state.load() == 2 && path == slot.path; });
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

void markMade(int fd) {
    const Maker m = thisMachine(::getpid());
    if (!m.known()) return; // unmarked: no other process will ever take it
    const std::string mark = m.host + ' ' + m.boot + ' ' + m.space + ' ' + std::to_string(m.pid) + ' ' + m.start;
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
    if (!(fields >> made.host >> made.boot >> made.space >> made.pid >> made.start) || !made.known()) return false;
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

int makeTemporary(const std::string& target, std::string& temp, std::string* refusal) {
    int refused = 0;
    if (std::string why = writeRefusal(target, refused); !why.empty()) {
        if (refusal) *refusal = std::move(why);
        errno = refused;
        return -1;
    }
    const std::string folder = folderOf(target);
    std::string name = (folder == "/" ? "" : folder) + "/" + temporaryPrefix(nameOf(target)) + "XXXXXX";
    int fd = -1, error = 0;
    {
        // A signal that ends the process waits until the file made is noted, so that its handler removes it.
        const EndingSignalsHeld held;
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        error = errno;
        if (fd >= 0) {
            ::flock(fd, LOCK_EX);
            noteInProgress(name);
        }
    }
    if (fd < 0) {
        errno = error;
        return -1;
    }
    markMade(fd);
    temp = name;
    return fd;
}

void temporaryDone(const std::string& temp) {
    // The slot is found by reading alone: the others stay whole for a signal's handler meanwhile.
    eachSlot([&temp](InProgress& slot) {
        if (slot.state.load() != 2 || temp != slot.path) return false;
        int full = 2;
        return slot.state.compare_exchange_strong(full, 0);
    });
}

void removedAtEndingSignal(const std::string& file) {
    noteInProgress(file);
}

void removeTemporariesInProgress() {
    eachSlot([](InProgress& slot) {
        // Only the file noted: its folder may have been renamed, and another file put at its old name.
        struct stat st {};
        if (slot.state.load() == 2 &&
            (slot.inode == 0 || (::lstat(slot.path, &st) == 0 && st.st_dev == slot.device && st.st_ino == slot.inode)))
            ::unlink(slot.path);
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
    const std::string folder = folderOf(target);
    const uid_t user = ::geteuid();
    // Asked of the folder's watched names: a full output folder is not read again for every file.
    for (const std::string& name : namesStartingWith(folder, ".~")) {
        // ".~NAME.XXXXXX", NAME not empty.
        if (name.size() < 10 || name[name.size() - 7] != '.' ||
            !isTemporarySuffix(std::string_view(name).substr(name.size() - 6)))
            continue;
        const std::string path = (folder == "/" ? "" : folder) + "/" + name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        struct stat there {};
        // Only this user's, of a maker shown gone, that nobody holds (a write in progress holds its
        // temporary locked), and still the file at that name.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == user && makerGone(fd) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.c_str(), &there) == 0 && there.st_dev == st.st_dev &&
            there.st_ino == st.st_ino)
            ::unlink(path.c_str());
        ::close(fd);
    }
}

namespace {

// Locks fd unless another holds it past the deadline: false then. A file system without locks counts
// as locked: there is nothing to wait for.
bool lockBy(int fd, std::chrono::steady_clock::time_point giveUp) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) return true;
        if (std::chrono::steady_clock::now() > giveUp) return false;
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
    if (ownInProgress(target)) return;
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
