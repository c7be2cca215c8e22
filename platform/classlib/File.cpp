#include "classlib/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

#include "win/Encoding.h"
#include "win/Paths.h"
#include "win/TempNames.h"
#include "win/WinApi.h"

namespace {

constexpr DWORD kNegativeSeek = 131; // ERROR_NEGATIVE_SEEK

// Files open through CFile in this process, with the access and sharing they were opened with, so that a
// second open, a removal or a rename of a file in use fails as it does on Windows.
struct OpenEntry {
    const void* owner;
    bool reads, writes, denyRead, denyWrite;
};
std::mutex g_openMutex;
std::map<std::pair<dev_t, ino_t>, std::vector<OpenEntry>> g_open;

bool inUse(const struct stat& st) {
    std::lock_guard lock(g_openMutex);
    auto it = g_open.find({st.st_dev, st.st_ino});
    return it != g_open.end() && !it->second.empty();
}

bool conflicts(const struct stat& st, const OpenEntry& wanted) {
    std::lock_guard lock(g_openMutex);
    auto it = g_open.find({st.st_dev, st.st_ino});
    if (it == g_open.end()) return false;
    for (const OpenEntry& e : it->second)
        if ((wanted.reads && e.denyRead) || (wanted.writes && e.denyWrite) || (e.reads && wanted.denyRead) ||
            (e.writes && wanted.denyWrite))
            return true;
    return false;
}

void registerOpen(const struct stat& st, const OpenEntry& entry) {
    std::lock_guard lock(g_openMutex);
    g_open[{st.st_dev, st.st_ino}].push_back(entry);
}

void unregisterOpen(const void* owner) {
    std::lock_guard lock(g_openMutex);
    for (auto it = g_open.begin(); it != g_open.end();) {
        auto& list = it->second;
        for (auto e = list.begin(); e != list.end();) e = e->owner == owner ? list.erase(e) : e + 1;
        it = list.empty() ? g_open.erase(it) : std::next(it);
    }
}

[[noreturn]] void throwFor(DWORD code, LPCTSTR fileName) {
    SetLastError(code);
    AfxThrowFileException(CFileException::OsErrorToException(static_cast<LONG>(code)), static_cast<LONG>(code),
                          fileName);
}

void fillStatus(const struct stat& st, const std::string& native, CFileStatus& status) {
    status.m_ctime = CTime(st.st_ctime);
    status.m_mtime = CTime(st.st_mtime);
    status.m_atime = CTime(st.st_atime);
    status.m_size = S_ISDIR(st.st_mode) ? 0 : static_cast<ULONGLONG>(st.st_size);
    BYTE attr = 0;
    if (S_ISDIR(st.st_mode))
        attr |= CFile::directory;
    else
        attr |= CFile::archive;
    if ((st.st_mode & S_IWUSR) == 0) attr |= CFile::readOnly;
    status.m_attribute = attr;
    const std::wstring full = win::nativeToWindows(native);
    const size_t n = std::min(full.size(), static_cast<size_t>(MAX_PATH - 1));
    wmemcpy(status.m_szFullName, full.data(), n);
    status.m_szFullName[n] = L'\0';
}

// Maps a Windows path or throws the mapping error as a file exception.
std::string nativeOrThrow(LPCTSTR fileName) {
    std::string native;
    DWORD error = 0;
    if (!fileName || !win::mapToNative(fileName, native, &error))
        throwFor(error ? error : ERROR_PATH_NOT_FOUND, fileName);
    return native;
}

} // namespace

// ---------------------------------------------------------------- CFile

CFile::CFile(LPCTSTR fileName, UINT openFlags) {
    CFileException error;
    if (!Open(fileName, openFlags, &error)) AfxThrowFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
}

CFile::~CFile() {
    CFile::Abort();
}

BOOL CFile::Open(LPCTSTR fileName, UINT openFlags, CFileException* error) {
    CFile::Abort();
    auto fail = [&](DWORD code) {
        SetLastError(code);
        if (error) {
            error->m_cause = CFileException::OsErrorToException(static_cast<LONG>(code));
            error->m_lOsError = static_cast<LONG>(code);
            error->m_strFileName = fileName;
        }
        return FALSE;
    };
    std::string native;
    DWORD mapError = 0;
    if (!fileName || !*fileName) return fail(ERROR_PATH_NOT_FOUND);
    if (!win::mapToNative(fileName, native, &mapError)) return fail(mapError ? mapError : ERROR_PATH_NOT_FOUND);

    const UINT access = openFlags & 3;
    // Into a temporary this process is writing (a staged output's): through its own descriptor, never
    // through what stands at its name.
    const int staged = access == modeRead ? -1 : win::temporaryBeingWritten(native);
    // Nothing is written into a folder, a device, a named pipe (opening one would wait for a reader) or
    // a read-only file, by root neither; and only a regular file is read.
    if (int refused = 0; staged < 0 && (access == modeRead ? !win::readRefusal(native, refused).empty()
                                                           : (!win::nameRefusal(fileName).empty() ||
                                                              !win::writeRefusal(native, refused).empty())))
        return fail(ERROR_ACCESS_DENIED);
    OpenEntry entry{this, access != modeWrite, access != modeRead, false, false};
    switch (openFlags & 0x70) {
        case shareDenyWrite:
            entry.denyWrite = true;
            break;
        case shareDenyRead:
            entry.denyRead = true;
            break;
        case shareDenyNone:
            break;
        default:
            entry.denyRead = entry.denyWrite = true;
            break; // shareCompat, shareExclusive
    }
    // Not blocking on open, should a named pipe take the file's place meanwhile.
    int flags = O_CLOEXEC | O_NONBLOCK | (access == modeRead ? O_RDONLY : access == modeWrite ? O_WRONLY : O_RDWR);
    if (openFlags & modeCreate) flags |= O_CREAT;
    const int fd = staged >= 0 ? staged : ::open(native.c_str(), flags, 0666);
    if (fd < 0) return fail(win::errorFromErrno(errno, native, ERROR_FILE_EXISTS));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(ERROR_ACCESS_DENIED);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (conflicts(st, entry)) {
        ::close(fd);
        return fail(ERROR_SHARING_VIOLATION);
    }
    // By path, so that a file created for reading only is emptied too.
    if ((openFlags & modeCreate) && !(openFlags & modeNoTruncate) && st.st_size != 0 &&
        (staged >= 0 ? ::ftruncate(fd, 0) : ::truncate(native.c_str(), 0)) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(win::errorFromErrno(err, native));
    }
    registerOpen(st, entry);
    m_fd = fd;
    m_openFlags = openFlags;
    m_nativePath = native;
    m_strFileName = win::nativeToWindows(native).c_str();
    return TRUE;
}

void CFile::throwErrno(int err) const {
    throwFor(win::errorFromErrno(err, m_nativePath), m_strFileName);
}

void CFile::throwOsError(DWORD code) const {
    throwFor(code, m_strFileName);
}

void CFile::requireOpen() const {
    if (m_fd < 0) throwOsError(ERROR_INVALID_HANDLE);
}

UINT CFile::Read(void* buffer, UINT count) {
    requireOpen();
    if (count == 0) return 0;
    if (!buffer) AfxThrowInvalidArgException();
    if ((m_openFlags & 3) == modeWrite) throwOsError(ERROR_ACCESS_DENIED);
    UINT done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(m_fd, out + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throwErrno(errno);
        }
        if (n == 0) break;
        done += static_cast<UINT>(n);
    }
    return done;
}

void CFile::Write(const void* buffer, UINT count) {
    requireOpen();
    if (count == 0) return;
    if (!buffer) AfxThrowInvalidArgException();
    if ((m_openFlags & 3) == modeRead) throwOsError(ERROR_ACCESS_DENIED);
    UINT done = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (done < count) {
        const ssize_t n = ::write(m_fd, in + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throwErrno(errno);
        }
        done += static_cast<UINT>(n);
    }
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from) {
    requireOpen();
    LONGLONG base = 0;
    if (from == current)
        base = static_cast<LONGLONG>(GetPosition());
    else if (from == end)
        base = static_cast<LONGLONG>(GetLength());
    else if (from != begin)
        AfxThrowInvalidArgException();
    if ((offset < 0 && base + offset < 0)) throwOsError(kNegativeSeek);
    const off_t pos = ::lseek(m_fd, static_cast<off_t>(base + offset), SEEK_SET);
    if (pos < 0) throwErrno(errno);
    return static_cast<ULONGLONG>(pos);
}

ULONGLONG CFile::GetPosition() const {
    requireOpen();
    const off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
    if (pos < 0) throwErrno(errno);
    return static_cast<ULONGLONG>(pos);
}

ULONGLONG CFile::GetLength() const {
    requireOpen();
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) throwErrno(errno);
    return static_cast<ULONGLONG>(st.st_size);
}

void CFile::SetLength(ULONGLONG length) {
    requireOpen();
    if ((m_openFlags & 3) == modeRead) throwOsError(ERROR_ACCESS_DENIED);
    if (::ftruncate(m_fd, static_cast<off_t>(length)) != 0) throwErrno(errno);
}

void CFile::Flush() {
    requireOpen();
}

void CFile::Close() {
    if (m_fd < 0) return;
    unregisterOpen(this);
    const int rc = ::close(m_fd);
    const int err = errno;
    m_fd = -1;
    const CString name = m_strFileName;
    const std::string native = m_nativePath;
    m_strFileName.Empty();
    m_nativePath.clear();
    if (rc != 0 && err != EINTR) throwFor(win::errorFromErrno(err, native), name);
}

void CFile::Abort() {
    if (m_fd >= 0) {
        unregisterOpen(this);
        ::close(m_fd);
        m_fd = -1;
    }
    m_strFileName.Empty();
    m_nativePath.clear();
}

CString CFile::GetFileName() const {
    const int slash = std::max(m_strFileName.ReverseFind(L'\\'), m_strFileName.ReverseFind(L'/'));
    return m_strFileName.Mid(slash + 1);
}

CString CFile::GetFileTitle() const {
    CString name = GetFileName();
    const int dot = name.ReverseFind(L'.');
    return dot > 0 ? name.Left(dot) : name;
}

BOOL CFile::GetStatus(CFileStatus& status) const {
    if (m_fd < 0) return FALSE;
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) return FALSE;
    fillStatus(st, m_nativePath, status);
    return TRUE;
}

BOOL CFile::GetStatus(LPCTSTR fileName, CFileStatus& status) {
    std::string native;
    DWORD error = 0;
    if (!fileName || !*fileName || !win::mapToNative(fileName, native, &error)) {
        SetLastError(error ? error : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) {
        SetLastError(win::errorFromErrno(errno, native));
        return FALSE;
    }
    fillStatus(st, native, status);
    return TRUE;
}

void CFile::Remove(LPCTSTR fileName) {
    const std::string native = nativeOrThrow(fileName);
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0) throwFor(win::errorFromErrno(errno, native), fileName);
    // Only files go, and not read-only ones: a link stays (a file written in its place would replace
    // it: it is written through instead), and so does a device or a named pipe.
    int refused = 0;
    if (!S_ISREG(st.st_mode) || !win::nameRefusal(fileName).empty() || !win::writeRefusal(native, refused).empty())
        throwFor(ERROR_ACCESS_DENIED, fileName);
    if (inUse(st)) throwFor(ERROR_SHARING_VIOLATION, fileName);
    if (::unlink(native.c_str()) != 0) throwFor(win::errorFromErrno(errno, native), fileName);
}

void CFile::Rename(LPCTSTR oldName, LPCTSTR newName) {
    const std::string from = nativeOrThrow(oldName);
    const std::string to = nativeOrThrow(newName);
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0) throwFor(win::errorFromErrno(errno, from), oldName);
    if (inUse(st)) throwFor(ERROR_SHARING_VIOLATION, oldName);
    struct stat target {};
    if (::lstat(to.c_str(), &target) == 0 && !(target.st_dev == st.st_dev && target.st_ino == st.st_ino))
        throwFor(ERROR_ALREADY_EXISTS, oldName);
    if (::rename(from.c_str(), to.c_str()) != 0) throwFor(win::errorFromErrno(errno, to), oldName);
}

// ---------------------------------------------------------------- CStdioFile

namespace {
constexpr size_t kChunk = 64 * 1024;
}

CStdioFile::CStdioFile(LPCTSTR fileName, UINT openFlags) {
    CFileException error;
    if (!Open(fileName, openFlags, &error)) AfxThrowFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
}

CStdioFile::~CStdioFile() {
    try {
        flushPending();
    } catch (CException* e) {
        e->Delete();
    }
    CStdioFile::Abort();
}

BOOL CStdioFile::Open(LPCTSTR fileName, UINT openFlags, CFileException* error) {
    CStdioFile::Abort();
    if (!CFile::Open(fileName, openFlags, error)) return FALSE;
    m_append = (openFlags & modeCreate) ? (openFlags & modeNoTruncate) != 0 : (openFlags & 3) == modeWrite;
    return TRUE;
}

void CStdioFile::flushPending() const {
    if (m_out.empty() || m_fd < 0) return;
    std::string pending;
    pending.swap(m_out);
    auto* self = const_cast<CStdioFile*>(this);
    if (m_append && ::lseek(m_fd, 0, SEEK_END) < 0) throwErrno(errno);
    self->CFile::Write(pending.data(), static_cast<UINT>(pending.size()));
}

void CStdioFile::dropReadBuffer() const {
    const size_t unread = m_in.size() - m_inPos;
    m_in.clear();
    m_inPos = 0;
    if (unread && m_fd >= 0 && ::lseek(m_fd, -static_cast<off_t>(unread), SEEK_CUR) < 0) throwErrno(errno);
}

void CStdioFile::writeRaw(const char* data, size_t size) {
    requireOpen();
    if ((m_openFlags & 3) == modeRead) throwOsError(ERROR_ACCESS_DENIED);
    dropReadBuffer();
    m_out.append(data, size);
    if (m_out.size() >= kChunk) flushPending();
}

int CStdioFile::rawGet() {
    if (m_inPos < m_in.size()) return static_cast<unsigned char>(m_in[m_inPos++]);
    flushPending();
    m_in.resize(kChunk);
    m_inPos = 0;
    const UINT n = CFile::Read(m_in.data(), static_cast<UINT>(kChunk));
    m_in.resize(n);
    if (n == 0) return -1;
    return static_cast<unsigned char>(m_in[m_inPos++]);
}

int CStdioFile::get() {
    const int c = rawGet();
    if (c != '\r' || !textMode()) return c;
    const int next = rawGet();
    if (next == '\n') return '\n';
    if (next >= 0) --m_inPos; // not a line end: keep the byte for the next read
    return '\r';
}

UINT CStdioFile::Read(void* buffer, UINT count) {
    requireOpen();
    if (count == 0) return 0;
    if (!buffer) AfxThrowInvalidArgException();
    auto* out = static_cast<unsigned char*>(buffer);
    UINT done = 0;
    while (done < count) {
        const int c = get();
        if (c < 0) break;
        out[done++] = static_cast<unsigned char>(c);
    }
    return done;
}

void CStdioFile::Write(const void* buffer, UINT count) {
    if (count == 0) return;
    if (!buffer) AfxThrowInvalidArgException();
    const auto* in = static_cast<const char*>(buffer);
    if (!textMode()) {
        writeRaw(in, count);
        return;
    }
    std::string text;
    text.reserve(count + count / 16);
    for (UINT i = 0; i < count; ++i) {
        if (in[i] == '\n') text += '\r';
        text += in[i];
    }
    writeRaw(text.data(), text.size());
}

void CStdioFile::WriteString(LPCTSTR text) {
    if (!text) AfxThrowInvalidArgException();
    const std::string bytes = win::toCp1252(text);
    Write(bytes.data(), static_cast<UINT>(bytes.size()));
}

BOOL CStdioFile::ReadString(CString& line) {
    requireOpen();
    std::string bytes;
    bool sawAny = false;
    for (;;) {
        const int c = get();
        if (c < 0) break;
        sawAny = true;
        if (c == '\n') break;
        bytes += static_cast<char>(c);
    }
    line = win::fromCp1252(bytes).c_str();
    return sawAny ? TRUE : FALSE;
}

LPTSTR CStdioFile::ReadString(LPTSTR buffer, UINT maxChars) {
    requireOpen();
    if (!buffer || maxChars == 0) AfxThrowInvalidArgException();
    std::string bytes;
    while (bytes.size() + 1 < maxChars) {
        const int c = get();
        if (c < 0) break;
        bytes += static_cast<char>(c);
        if (c == '\n') break;
    }
    if (bytes.empty()) {
        buffer[0] = L'\0';
        return nullptr;
    }
    const std::wstring text = win::fromCp1252(bytes);
    wmemcpy(buffer, text.data(), text.size());
    buffer[text.size()] = L'\0';
    return buffer;
}

ULONGLONG CStdioFile::Seek(LONGLONG offset, UINT from) {
    requireOpen();
    flushPending();
    dropReadBuffer();
    return CFile::Seek(offset, from);
}

ULONGLONG CStdioFile::GetPosition() const {
    requireOpen();
    if (m_append && !m_out.empty()) {
        flushPending();
    }
    return CFile::GetPosition() - (m_in.size() - m_inPos) + m_out.size();
}

ULONGLONG CStdioFile::GetLength() const {
    requireOpen();
    flushPending();
    return CFile::GetLength();
}

void CStdioFile::SetLength(ULONGLONG length) {
    requireOpen();
    flushPending();
    dropReadBuffer();
    CFile::SetLength(length);
}

void CStdioFile::Flush() {
    requireOpen();
    flushPending();
}

void CStdioFile::Close() {
    if (m_fd < 0) return;
    try {
        flushPending();
    } catch (CException*) {
        CStdioFile::Abort();
        throw;
    }
    m_in.clear();
    m_inPos = 0;
    CFile::Close();
}

void CStdioFile::Abort() {
    m_in.clear();
    m_inPos = 0;
    m_out.clear();
    CFile::Abort();
}
