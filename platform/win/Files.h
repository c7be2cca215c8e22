#pragma once
// Files and folders through the Windows-path mapping. Failures set the Windows last error.
#include <string>

#include "win/WinTypes.h"

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x00000002;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x00000004;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x00000020;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x00000001;
constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x00000002;
constexpr DWORD MOVEFILE_DELAY_UNTIL_REBOOT = 0x00000004;
constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x00000008;

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

// Names beginning with "." count as hidden; a file we may not write is read-only; other files
// carry the archive attribute.
DWORD GetFileAttributesW(LPCWSTR path);
BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes); // only the read-only flag has an effect
BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryW(LPCWSTR path);
BOOL DeleteFileW(LPCWSTR path);
// Copies through a temporary file in the target's folder, so a failed copy leaves the old target.
BOOL CopyFileW(LPCWSTR existing, LPCWSTR target, BOOL failIfExists);
BOOL MoveFileExW(LPCWSTR existing, LPCWSTR target, DWORD flags);
BOOL MoveFileW(LPCWSTR existing, LPCWSTR target);

// Wildcards "*" and "?" in the last part, matched without regard to case ("*.*" matches every
// name). Entries come in name order. No match: INVALID_HANDLE_VALUE with error 2.
HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data);
BOOL FindNextFileW(HANDLE search, LPWIN32_FIND_DATAW data); // error 18 at the end
BOOL FindClose(HANDLE search);

DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer);
BOOL SetCurrentDirectoryW(LPCWSTR path);

namespace win {
// Windows file times count 100-nanosecond steps from 1601-01-01 (UTC).
FILETIME fileTimeFromUnix(long long seconds, long nanoseconds = 0);
long long unixFromFileTime(const FILETIME& time);
// Windows wildcard matching of one name, without regard to case.
bool matchesWildcard(const std::wstring& name, const std::wstring& pattern);

// Holds a file locked, for as long as it lives, against other processes locking it the same way:
// for reading a file, changing it and writing it back when the write replaces the file (written
// beside it and renamed over it), so that a lock won on a file replaced meanwhile is taken again on
// the new one. One write back while it is held: the lock stays on the file that write replaced, so
// another process may lock the new file at once. A missing file is created empty to be locked.
// Nothing is locked (held() false) when the file cannot be opened, a folder on the way missing say.
class FileUpdateLock {
public:
    explicit FileUpdateLock(const wchar_t* path);
    ~FileUpdateLock();
    FileUpdateLock(const FileUpdateLock&) = delete;
    FileUpdateLock& operator=(const FileUpdateLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// A file written whole under a temporary name beside the file a write of `target` replaces (its links
// followed), and put in that place by one rename only when place() is called: a write that fails, or is
// given up, leaves the earlier file as it was. The temporary is made afresh (never an entry that was
// there), private while it is written, is locked while this object holds it, and is removed when the
// object goes unless it was placed. A writer handed its path (the class library's files, copies, XML
// saves, plots) writes through the descriptor it was made with, whatever is put at that name meanwhile;
// only that file is placed, with the permissions, owner and group of the file it replaces (see
// win::placeTemporary), or the umask's for a new file.
class StagedFile {
public:
    explicit StagedFile(const wchar_t* target);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // False, with why(), when no temporary could be made: the target is no file that may be replaced
    // (a folder, a named pipe, read-only), its folder is missing, the disk is full.
    bool made() const { return fd_ >= 0; }
    // The temporary's Windows path, to write the file to.
    const std::wstring& path() const { return path_; }
    // Whether the temporary is still this object's to place (its writer wrote through its descriptor).
    bool holdWritten();
    // Renames the temporary over the target; false, with why() and the last error set, when it fails.
    bool place();
    // Why the temporary could not be made or placed, in the user's words.
    const std::wstring& why() const { return why_; }

private:
    bool fail(int err);
    bool failWith(DWORD code);

    std::string real_, temp_;
    std::wstring path_, why_;
    int fd_ = -1;
    bool placed_ = false;
};
} // namespace win
