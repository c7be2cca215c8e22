#include "win/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "win/Encoding.h"
#include "win/Paths.h"
#include "win/TempNames.h"
#include "win/WinApi.h"

namespace {

bool mapped(LPCWSTR path, std::string& native) {
    DWORD err = 0;
    if (win::mapToNative(path, native, &err)) return true;
    SetLastError(err);
    return false;
}

BOOL failErrno(const std::string& native, DWORD existsCode = ERROR_ALREADY_EXISTS) {
    win::setLastErrorFromErrno(native, existsCode);
    return FALSE;
}

BOOL succeed() {
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

std::string baseNameOf(const std::string& native) {
    const auto slash = native.rfind('/');
    return slash == std::string::npos ? native : native.substr(slash + 1);
}

// Read-only as Windows sees it: no write permission bit at all, or none for us.
bool isReadOnly(const std::string& native, const struct stat& st) {
    return !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) || ::access(native.c_str(), W_OK) != 0;
}

DWORD attributesOf(const std::string& native, const struct stat& st) {
    DWORD a = 0;
    if (S_ISDIR(st.st_mode))
        a |= FILE_ATTRIBUTE_DIRECTORY;
    else
        a |= FILE_ATTRIBUTE_ARCHIVE;
    const std::string name = baseNameOf(native);
    if (!name.empty() && name[0] == '.' && name != "." && name != "..") a |= FILE_ATTRIBUTE_HIDDEN;
    if (!S_ISDIR(st.st_mode) && isReadOnly(native, st)) a |= FILE_ATTRIBUTE_READONLY;
    return a;
}

// Copies the bytes and the modification time into a fresh temporary file beside `target`, then
// renames it over `target`.
// Into `into` (a temporary of this process's own being written, to be placed by its writer) when given.
bool copyContents(const std::string& source, const std::string& target, const struct stat& st, int into = -1) {
    if (int refused = 0; !win::readRefusal(source, refused).empty()) {
        if (into >= 0) ::close(into);
        errno = refused;
        return false;
    }
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        const int e = errno;
        if (into >= 0) ::close(into);
        errno = e;
        return false;
    }
    std::string temp;
    const int out = into >= 0 ? into : win::makeTemporary(target, temp);
    if (into >= 0 && ::ftruncate(into, 0) != 0) {
        const int e = errno;
        ::close(in);
        ::close(into);
        errno = e;
        return false;
    }
    if (out < 0) {
        const int e = errno;
        ::close(in);
        errno = e;
        return false;
    }
    bool ok = true;
    std::vector<char> buf(1 << 16);
    for (;;) {
        const ssize_t n = ::read(in, buf.data(), buf.size());
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buf.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok) break;
    }
    int e = errno;
    ::close(in);
    if (ok) {
        // A new copy has the source's permissions as far as the umask lets it; one that replaces a file
        // keeps that file's (placeTemporary).
        if (into < 0) ::fchmod(out, st.st_mode & win::newFileMode() & 0777);
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
    }
    if (into >= 0) {
        ::close(into);
        if (!ok) errno = e;
        return ok;
    }
    // On the disk before it takes the target's name: once renamed, the copy is made, and a close that
    // fails after it loses nothing.
    if (ok && ::fsync(out) != 0) {
        ok = false;
        e = errno;
    }
    // Placed while still open and locked: a stale-temporary sweep cannot take it meanwhile.
    std::string why;
    if (ok && !win::placeTemporary(out, temp, target, false, why)) {
        ok = false;
        e = errno;
    }
    if (!ok) win::removeTemporary(out, temp);
    ::close(out);
    if (ok) win::removeStaleTemporaries(target);
    if (!ok) errno = e;
    return ok;
}

struct FindState {
    std::string folder;
    std::vector<std::string> names;
    std::size_t next = 0;
};

bool fill(const FindState& s, const std::string& name, WIN32_FIND_DATAW* data) {
    std::memset(data, 0, sizeof(WIN32_FIND_DATAW));
    const std::string full = (s.folder == "/" ? "" : s.folder) + "/" + name;
    struct stat st {};
    if (::stat(full.c_str(), &st) != 0 && ::lstat(full.c_str(), &st) != 0) return false;
    data->dwFileAttributes = attributesOf(full, st);
    data->ftCreationTime = win::fileTimeFromUnix(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
    data->ftLastAccessTime = win::fileTimeFromUnix(st.st_atim.tv_sec, st.st_atim.tv_nsec);
    data->ftLastWriteTime = win::fileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    if (!S_ISDIR(st.st_mode)) {
        const auto size = static_cast<unsigned long long>(st.st_size);
        data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    }
    const std::wstring wide = win::fromNative(name).substr(0, MAX_PATH - 1);
    std::wmemcpy(data->cFileName, wide.c_str(), wide.size() + 1);
    return true;
}

std::wstring lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

bool wildcard(const wchar_t* n, const wchar_t* p) {
    // Iterative matcher with backtracking to the last "*".
    const wchar_t* star = nullptr;
    const wchar_t* resume = nullptr;
    while (*n) {
        if (*p == L'?' || (*p && *p == *n && *p != L'*')) {
            ++n;
            ++p;
        } else if (*p == L'*') {
            star = p++;
            resume = n;
        } else if (star) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (*p == L'*') ++p;
    return *p == 0;
}

} // namespace

namespace win {

FILETIME fileTimeFromUnix(long long seconds, long nanoseconds) {
    const unsigned long long ticks = static_cast<unsigned long long>(seconds + 11644473600LL) * 10000000ULL +
                                     static_cast<unsigned long long>(nanoseconds / 100);
    return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

long long unixFromFileTime(const FILETIME& time) {
    const unsigned long long ticks = (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<long long>(ticks / 10000000ULL) - 11644473600LL;
}

bool matchesWildcard(const std::wstring& name, const std::wstring& pattern) {
    const std::wstring n = lower(name);
    std::wstring p = lower(pattern);
    // "*.*" and "name.*" also match names without any dot.
    if (p.size() >= 2 && p.compare(p.size() - 2, 2, L".*") == 0 && n.find(L'.') == std::wstring::npos &&
        wildcard(n.c_str(), p.substr(0, p.size() - 2).c_str()))
        return true;
    return wildcard(n.c_str(), p.c_str());
}

} // namespace win

DWORD GetFileAttributesW(LPCWSTR path) {
    std::string native;
    if (!mapped(path, native)) return INVALID_FILE_ATTRIBUTES;
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) {
        win::setLastErrorFromErrno(native);
        return INVALID_FILE_ATTRIBUTES;
    }
    SetLastError(ERROR_SUCCESS);
    return attributesOf(native, st);
}

BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes) {
    std::string native;
    if (!mapped(path, native)) return FALSE;
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) return failErrno(native);
    if (S_ISDIR(st.st_mode)) return succeed();
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~static_cast<mode_t>(0222)) : (mode | S_IWUSR);
    if (::chmod(native.c_str(), mode) != 0) return failErrno(native);
    return succeed();
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
    std::string native;
    if (!mapped(path, native)) return FALSE;
    if (::mkdir(native.c_str(), 0777) != 0) return failErrno(native, ERROR_ALREADY_EXISTS);
    return succeed();
}

BOOL RemoveDirectoryW(LPCWSTR path) {
    std::string native;
    if (!mapped(path, native)) return FALSE;
    if (::rmdir(native.c_str()) != 0) {
        if (errno == ENOTDIR) {
            SetLastError(ERROR_DIRECTORY);
            return FALSE;
        }
        return failErrno(native);
    }
    return succeed();
}

namespace {

// A path that names no file, or a file no write may replace: access denied, and counted as refused.
bool refusedTarget(LPCWSTR path, const std::string& native) {
    int error = 0;
    if (win::nameRefusal(path).empty() && win::writeRefusal(win::linkedFile(native), error).empty()) return false;
    SetLastError(ERROR_ACCESS_DENIED);
    return true;
}

} // namespace

BOOL DeleteFileW(LPCWSTR path) {
    std::string native;
    if (!mapped(path, native)) return FALSE;
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0) return failErrno(native);
    if (S_ISREG(st.st_mode) && refusedTarget(path, native)) return FALSE;
    // Windows refuses folders and read-only files.
    if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && isReadOnly(native, st))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (::unlink(native.c_str()) != 0) return failErrno(native);
    return succeed();
}

BOOL CopyFileW(LPCWSTR existing, LPCWSTR target, BOOL failIfExists) {
    std::string from, to;
    if (!mapped(existing, from) || !mapped(target, to)) return FALSE;
    // Into a temporary this process is writing (a staged output's): through its own descriptor, never
    // through what stands at its name.
    if (const int into = win::temporaryBeingWritten(to); into >= 0) {
        struct stat st {};
        if (::stat(from.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
            ::close(into);
            if (S_ISDIR(st.st_mode)) {
                SetLastError(ERROR_ACCESS_DENIED);
                return FALSE;
            }
            return failErrno(from);
        }
        if (!copyContents(from, to, st, into)) return failErrno(to);
        return succeed();
    }
    if (refusedTarget(target, to)) return FALSE;
    // A copy is written through the target's links to the file they lead to, which stay.
    const std::string linked = win::linkedFile(to);
    if (linked.empty()) return failErrno(to);
    to = linked;
    struct stat st {};
    if (::stat(from.c_str(), &st) != 0) return failErrno(from);
    if (S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    struct stat tt {};
    if (::stat(to.c_str(), &tt) == 0) {
        if (failIfExists) {
            SetLastError(ERROR_FILE_EXISTS);
            return FALSE;
        }
        if (!S_ISREG(tt.st_mode) || isReadOnly(to, tt)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (tt.st_dev == st.st_dev && tt.st_ino == st.st_ino) {
            SetLastError(ERROR_SHARING_VIOLATION); // a file copied onto itself is in use
            return FALSE;
        }
    }
    if (!copyContents(from, to, st)) return failErrno(to);
    return succeed();
}

BOOL MoveFileExW(LPCWSTR existing, LPCWSTR target, DWORD flags) {
    if (!target || (flags & MOVEFILE_DELAY_UNTIL_REBOOT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string from, to;
    if (!mapped(existing, from) || !mapped(target, to)) return FALSE;
    if (refusedTarget(target, to)) return FALSE;
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0) return failErrno(from);
    struct stat tt {};
    bool targetExists = ::lstat(to.c_str(), &tt) == 0;
    bool sameEntry = targetExists && tt.st_dev == st.st_dev && tt.st_ino == st.st_ino;
    if (targetExists && !sameEntry) {
        if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        // A file put in place of a linked one goes where the links lead; they stay.
        if (S_ISLNK(tt.st_mode) && S_ISREG(st.st_mode)) {
            const std::string linked = win::linkedFile(to);
            if (linked.empty()) return failErrno(to);
            to = linked;
            targetExists = ::lstat(to.c_str(), &tt) == 0;
            sameEntry = targetExists && tt.st_dev == st.st_dev && tt.st_ino == st.st_ino;
        }
        // Nothing replaces a folder, a device, a named pipe or a read-only file.
        if (targetExists && !sameEntry &&
            (S_ISDIR(st.st_mode) || (!S_ISREG(tt.st_mode) && !S_ISLNK(tt.st_mode)) ||
             (S_ISREG(tt.st_mode) && isReadOnly(to, tt)))) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    }
    if (::rename(from.c_str(), to.c_str()) == 0) return succeed();
    if (errno == EXDEV && (flags & MOVEFILE_COPY_ALLOWED) && S_ISREG(st.st_mode)) {
        if (!copyContents(from, to, st)) return failErrno(to);
        ::unlink(from.c_str());
        return succeed();
    }
    return failErrno(to);
}

BOOL MoveFileW(LPCWSTR existing, LPCWSTR target) {
    return MoveFileExW(existing, target, MOVEFILE_COPY_ALLOWED);
}

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
    if (!pattern || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::wstring p(pattern);
    const auto slash = p.find_last_of(L"\\/");
    std::wstring folder = slash == std::wstring::npos ? std::wstring(L".") : p.substr(0, slash + 1);
    std::wstring mask = slash == std::wstring::npos ? p : p.substr(slash + 1);
    if (slash == std::wstring::npos && p.size() >= 2 && p[1] == L':') { // "C:*.txt"
        folder = p.substr(0, 2);
        mask = p.substr(2);
    }
    if (mask.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::string native;
    if (!mapped(folder.c_str(), native)) return INVALID_HANDLE_VALUE;
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    for (wchar_t c : mask) {
        if (c < 32 || c == L'<' || c == L'>' || c == L':' || c == L'"' || c == L'|') {
            SetLastError(ERROR_INVALID_NAME);
            return INVALID_HANDLE_VALUE;
        }
    }
    DIR* dir = ::opendir(native.c_str());
    if (!dir) {
        win::setLastErrorFromErrno(native);
        return INVALID_HANDLE_VALUE;
    }
    auto* state = new FindState;
    state->folder = native;
    const bool driveRoot = native == "/" || native == win::cDrive();
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (driveRoot && (name == "." || name == "..")) continue;
        if (win::matchesWildcard(win::fromNative(name), mask)) state->names.push_back(name);
    }
    ::closedir(dir);
    std::sort(state->names.begin(), state->names.end(), [](const std::string& a, const std::string& b) {
        const std::wstring x = lower(win::fromNative(a)), y = lower(win::fromNative(b));
        return x != y ? x < y : a < b;
    });
    while (state->next < state->names.size()) {
        if (fill(*state, state->names[state->next++], data)) {
            SetLastError(ERROR_SUCCESS);
            return state;
        }
    }
    delete state;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

BOOL FindNextFileW(HANDLE search, LPWIN32_FIND_DATAW data) {
    if (!search || search == INVALID_HANDLE_VALUE || !data) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto* state = static_cast<FindState*>(search);
    while (state->next < state->names.size())
        if (fill(*state, state->names[state->next++], data)) return succeed();
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
}

BOOL FindClose(HANDLE search) {
    if (!search || search == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete static_cast<FindState*>(search);
    return TRUE;
}

DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer) {
    std::vector<char> buf(4096);
    while (!::getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE) {
            win::setLastErrorFromErrno();
            return 0;
        }
        buf.resize(buf.size() * 2);
    }
    const std::wstring w = win::nativeToWindows(buf.data());
    if (!buffer || size <= w.size()) return static_cast<DWORD>(w.size() + 1);
    std::wmemcpy(buffer, w.c_str(), w.size() + 1);
    return static_cast<DWORD>(w.size());
}

BOOL SetCurrentDirectoryW(LPCWSTR path) {
    std::string native;
    if (!mapped(path, native)) return FALSE;
    if (::chdir(native.c_str()) != 0) return failErrno(native);
    return succeed();
}

namespace win {

FileUpdateLock::FileUpdateLock(const wchar_t* path) {
    std::string native;
    DWORD err = 0;
    if (!mapToNative(path, native, &err)) return;
    for (;;) {
        // Not blocking on a named pipe at the name: the log's reader refuses it.
        const int fd = ::open(native.c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
        if (fd < 0) return;
        int locked = 0;
        while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {}
        struct stat held {
        }, named{};
        if (locked == 0 && ::fstat(fd, &held) == 0 && ::stat(native.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            fd_ = fd;
            return;
        }
        ::close(fd);
        if (locked != 0) return;
    }
}

FileUpdateLock::~FileUpdateLock() {
    if (fd_ >= 0) ::close(fd_);
}

StagedFile::StagedFile(const wchar_t* target) {
    DWORD err = 0;
    if (!mapToNative(target, real_, &err)) {
        failWith(err);
        return;
    }
    std::string loop;
    real_ = linkedFile(real_, &loop);
    if (real_.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        why_ = fromUtf8(loop);
        return;
    }
    std::string refusal;
    const int fd = makeTemporary(real_, temp_, &refusal);
    if (fd < 0 && !refusal.empty()) {
        SetLastError(errorFromErrno(errno, real_));
        why_ = fromUtf8(refusal);
        return;
    }
    if (fd < 0) {
        fail(errno);
        return;
    }
    // Private while it is written; given its permissions as it is placed.
    fd_ = fd;
    path_ = nativeToWindows(temp_);
}

StagedFile::~StagedFile() {
    if (fd_ < 0) return;
    if (!placed_) removeTemporary(fd_, temp_);
    ::close(fd_);
}

bool StagedFile::holdWritten() {
    // The writer wrote through the temporary's own descriptor, held and locked since it was made.
    return fd_ >= 0 && !placed_;
}

bool StagedFile::place() {
    if (!holdWritten()) return false;
    // A new file takes the permissions every program's new files take; one replaced keeps its own.
    struct stat st {};
    if (::stat(real_.c_str(), &st) != 0) ::fchmod(fd_, newFileMode());
    // Under the folder's lock: a save of the same file checks its target before this rename or after it.
    ReplaceLock lock(real_);
    if (!lock.held()) {
        SetLastError(ERROR_SHARING_VIOLATION);
        why_ = fromUtf8("it cannot be replaced now: " + lock.why());
        return false;
    }
    std::string why;
    if (::fsync(fd_) != 0 || !placeTemporary(fd_, temp_, real_, false, why)) {
        const int error = errno;
        if (why.empty()) return fail(error);
        SetLastError(errorFromErrno(error, real_));
        why_ = fromUtf8(why);
        return false;
    }
    placed_ = true;
    ::flock(fd_, LOCK_UN); // delivered: no longer a write in progress
    removeStaleTemporaries(real_);
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool StagedFile::fail(int err) {
    return failWith(errorFromErrno(err, real_));
}

bool StagedFile::failWith(DWORD code) {
    SetLastError(code);
    why_ = systemMessage(code);
    while (!why_.empty() && (why_.back() == L'\n' || why_.back() == L'\r')) why_.pop_back();
    return false;
}

} // namespace win
