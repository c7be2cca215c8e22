#include "win/WinApi.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <sys/stat.h>

namespace {

thread_local DWORD t_lastError = 0;

struct MessageText {
    DWORD id;
    const wchar_t* text;
};

// The usual English texts of the system message table, for the codes this platform produces.
constexpr MessageText kMessages[] = {
    {0, L"The operation completed successfully."},
    {1, L"Incorrect function."},
    {2, L"The system cannot find the file specified."},
    {3, L"The system cannot find the path specified."},
    {4, L"The system cannot open the file."},
    {5, L"Access is denied."},
    {6, L"The handle is invalid."},
    {8, L"Not enough memory resources are available to process this command."},
    {14, L"Not enough memory resources are available to complete this operation."},
    {15, L"The system cannot find the drive specified."},
    {17, L"The system cannot move the file to a different disk drive."},
    {18, L"There are no more files."},
    {19, L"The media is write protected."},
    {31, L"A device attached to the system is not functioning."},
    {32, L"The process cannot access the file because it is being used by another process."},
    {33, L"The process cannot access the file because another process has locked a portion of the file."},
    {39, L"The disk is full."},
    {50, L"The request is not supported."},
    {53, L"The network path was not found."},
    {80, L"The file exists."},
    {87, L"The parameter is incorrect."},
    {112, L"There is not enough space on the disk."},
    {122, L"The data area passed to a system call is too small."},
    {123, L"The filename, directory name, or volume label syntax is incorrect."},
    {126, L"The specified module could not be found."},
    {145, L"The directory is not empty."},
    {170, L"The requested resource is in use."},
    {183, L"Cannot create a file when that file already exists."},
    {193, L"%1 is not a valid Win32 application."},
    {206, L"The filename or extension is too long."},
    {267, L"The directory name is invalid."},
    {317, L"The system cannot find message text for message number 0x%1 in the message file for %2."},
    {1223, L"The operation was canceled by the user."},
    {1460, L"This operation returned because the timeout period expired."},
    {1812, L"The specified image file did not contain a resource section."},
    {1813, L"The specified resource type cannot be found in the image file."},
    {1814, L"The specified resource name cannot be found in the image file."},
    // HRESULTs outside the Win32 facility.
    {0x80004001u, L"Not implemented"},
    {0x80004002u, L"No such interface supported"},
    {0x80004003u, L"Invalid pointer"},
    {0x80004004u, L"Operation aborted"},
    {0x80004005u, L"Unspecified error"},
    {0x8000FFFFu, L"Catastrophic failure"},
    {0x80020003u, L"Member not found."},
    {0x80020004u, L"Parameter not found."},
    {0x80020005u, L"Type mismatch."},
    {0x80020006u, L"Unknown name."},
    {0x80020008u, L"Bad variable type."},
    {0x80020009u, L"Exception occurred."},
    {0x8002000Au, L"Out of present range."},
    {0x8002000Bu, L"Invalid index."},
    {0x8002000Eu, L"Invalid number of parameters."},
    {0x80040154u, L"Class not registered"},
    {0x800401F0u, L"CoInitialize has not been called."},
    {0x800401F3u, L"Invalid class string"},
};

const wchar_t* findText(DWORD id) {
    for (const auto& m : kMessages)
        if (m.id == id) return m.text;
    // An HRESULT of the Win32 facility carries a Win32 code.
    if ((id & 0xFFFF0000u) == 0x80070000u) {
        const DWORD code = id & 0xFFFFu;
        for (const auto& m : kMessages)
            if (m.id == code) return m.text;
    }
    return nullptr;
}

bool parentFolderExists(const std::string& nativePath) {
    if (nativePath.empty()) return true;
    std::string p = nativePath;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const auto slash = p.rfind('/');
    if (slash == std::string::npos) return true;
    const std::string parent = slash == 0 ? "/" : p.substr(0, slash);
    struct stat st {};
    return ::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

DWORD GetLastError() {
    return t_lastError;
}
void SetLastError(DWORD code) {
    t_lastError = code;
}

HLOCAL LocalAlloc(UINT flags, std::size_t bytes) {
    void* p = (flags & LMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
    if (!p) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return p;
}

HLOCAL LocalFree(HLOCAL memory) {
    std::free(memory);
    return nullptr;
}

DWORD FormatMessageW(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPWSTR buffer, DWORD size, va_list*) {
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || (flags & FORMAT_MESSAGE_FROM_STRING) || !buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::wstring text = win::systemMessage(messageId);
    if (text.empty()) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    const auto length = static_cast<DWORD>(text.size());
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        const std::size_t chars = std::max<std::size_t>(text.size() + 1, size);
        auto* block = static_cast<wchar_t*>(LocalAlloc(LMEM_FIXED, chars * sizeof(wchar_t)));
        if (!block) return 0;
        std::wmemcpy(block, text.c_str(), text.size() + 1);
        *reinterpret_cast<LPWSTR*>(buffer) = block;
        return length;
    }
    if (size < length + 1) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::wmemcpy(buffer, text.c_str(), text.size() + 1);
    return length;
}

namespace win {

std::wstring systemMessage(DWORD messageId) {
    const wchar_t* text = findText(messageId);
    if (!text) return std::wstring();
    return std::wstring(text) + L"\r\n";
}

DWORD errorFromErrno(int err, const std::string& nativePath, DWORD existsCode) {
    switch (err) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
        case ENOTDIR:
            return parentFolderExists(nativePath) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        case EROFS:
            return ERROR_WRITE_PROTECT;
        case EEXIST:
            return existsCode;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case EBUSY:
        case ETXTBSY:
            return ERROR_SHARING_VIOLATION;
        case ENOSPC:
            return ERROR_DISK_FULL;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EXDEV:
            return ERROR_NOT_SAME_DEVICE;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case ELOOP:
            return ERROR_PATH_NOT_FOUND;
        default:
            return ERROR_GEN_FAILURE;
    }
}

DWORD setLastErrorFromErrno(const std::string& nativePath, DWORD existsCode) {
    const DWORD code = errorFromErrno(errno, nativePath, existsCode);
    SetLastError(code);
    return code;
}

} // namespace win
