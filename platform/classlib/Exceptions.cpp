#include "classlib/Exceptions.h"

#include <cerrno>

BOOL CException::copyMessage(const CString& text, LPTSTR buffer, UINT maxChars, PUINT helpContext) {
    if (helpContext) *helpContext = 0;
    if (buffer && maxChars > 0) {
        UINT n = static_cast<UINT>(text.GetLength());
        if (n > maxChars - 1) n = maxChars - 1;
        wmemcpy(buffer, text.GetString(), n);
        buffer[n] = L'\0';
    }
    return text.IsEmpty() ? FALSE : TRUE;
}

BOOL CException::GetErrorMessage(LPTSTR buffer, UINT maxChars, PUINT helpContext) const {
    return copyMessage(messageText(), buffer, maxChars, helpContext);
}

void CException::Delete() {
    if (m_bAutoDelete > 0) delete this;
}

BOOL CSimpleException::GetErrorMessage(LPTSTR buffer, UINT maxChars, PUINT helpContext) const {
    return copyMessage(messageText(), buffer, maxChars, helpContext);
}

CString CMemoryException::messageText() const {
    return CString(L"Out of memory.");
}
CString CNotSupportedException::messageText() const {
    return CString(L"Unsupported operation was attempted.");
}
CString CInvalidArgException::messageText() const {
    return CString(L"Encountered an improper argument.");
}

CFileException::CFileException(int cause, LONG osError, LPCTSTR fileName)
    : m_cause(cause), m_lOsError(osError), m_strFileName(fileName) {}

BOOL CFileException::GetErrorMessage(LPTSTR buffer, UINT maxChars, PUINT helpContext) const {
    return copyMessage(messageText(), buffer, maxChars, helpContext);
}

CString CFileException::messageText() const {
    const wchar_t* pattern = L"An unknown error occurred while accessing %1.";
    switch (m_cause) {
        case none:
            return CString(L"No error occurred.");
        case genericException:
            pattern = L"An unexpected error occurred while accessing %1.";
            break;
        case fileNotFound:
            pattern = L"%1 was not found.";
            break;
        case badPath:
            pattern = L"%1 contains an incorrect path.";
            break;
        case tooManyOpenFiles:
            pattern = L"%1 could not be opened because there are too many open files.";
            break;
        case accessDenied:
            pattern = L"Access to %1 was denied.";
            break;
        case invalidFile:
            pattern = L"An incorrect file handle was associated with %1.";
            break;
        case removeCurrentDir:
            pattern = L"%1 could not be removed because it is the current directory.";
            break;
        case directoryFull:
            pattern = L"%1 could not be created because the directory is full.";
            break;
        case badSeek:
            pattern = L"Seek failed on %1.";
            break;
        case hardIO:
            pattern = L"A hardware I/O error was reported while accessing %1.";
            break;
        case sharingViolation:
            pattern = L"A sharing violation occurred while accessing %1.";
            break;
        case lockViolation:
            pattern = L"A locking violation occurred while accessing %1.";
            break;
        case diskFull:
            pattern = L"Disk full while accessing %1.";
            break;
        case endOfFile:
            pattern = L"An attempt was made to access %1 past its end.";
            break;
        default:
            break;
    }
    CString text(pattern);
    text.Replace(L"%1", m_strFileName.IsEmpty() ? L"an unnamed file" : m_strFileName.GetString());
    // A sentence that starts with the file name keeps the name as it is; "an unnamed file" starts one.
    if (m_strFileName.IsEmpty() && text.GetLength() > 0 && text[0] == L'a') text.SetAt(0, L'A');
    return text;
}

int CFileException::OsErrorToException(LONG osError) {
    switch (osError) {
        case 0:
            return none;
        case 2:
            return fileNotFound; // ERROR_FILE_NOT_FOUND
        case 3:
            return badPath; // ERROR_PATH_NOT_FOUND
        case 4:
            return tooManyOpenFiles; // ERROR_TOO_MANY_OPEN_FILES
        case 5:
            return accessDenied; // ERROR_ACCESS_DENIED
        case 6:
            return invalidFile; // ERROR_INVALID_HANDLE
        case 15:
            return badPath; // ERROR_INVALID_DRIVE
        case 16:
            return removeCurrentDir; // ERROR_CURRENT_DIRECTORY
        case 19:
            return accessDenied; // ERROR_WRITE_PROTECT
        case 25:
            return badSeek; // ERROR_SEEK
        case 29:
        case 30:
        case 31:
            return hardIO;
        case 32:
            return sharingViolation; // ERROR_SHARING_VIOLATION
        case 33:
            return lockViolation; // ERROR_LOCK_VIOLATION
        case 38:
            return endOfFile; // ERROR_HANDLE_EOF
        case 39:
        case 112:
            return diskFull; // ERROR_HANDLE_DISK_FULL, ERROR_DISK_FULL
        case 80:
        case 183:
            return accessDenied; // ERROR_FILE_EXISTS, ERROR_ALREADY_EXISTS
        case 131:
            return badSeek; // ERROR_NEGATIVE_SEEK
        case 123:
        case 161:
        case 206:
            return badPath; // invalid name, bad path name, name too long
        default:
            return genericException;
    }
}

int CFileException::ErrnoToException(int e) {
    switch (e) {
        case 0:
            return none;
        case ENOENT:
            return fileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return badPath;
        case EMFILE:
        case ENFILE:
            return tooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EEXIST:
        case EISDIR:
            return accessDenied;
        case EBADF:
            return invalidFile;
        case ESPIPE:
        case EINVAL:
            return badSeek;
        case EIO:
            return hardIO;
        case ETXTBSY:
        case EBUSY:
            return sharingViolation;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return diskFull;
        default:
            return genericException;
    }
}

void CFileException::ThrowOsError(LONG osError, LPCTSTR fileName) {
    if (osError != 0) AfxThrowFileException(OsErrorToException(osError), osError, fileName);
}

void CFileException::ThrowErrno(int errnoValue, LPCTSTR fileName) {
    if (errnoValue != 0) AfxThrowFileException(ErrnoToException(errnoValue), errnoValue, fileName);
}

void AfxThrowMemoryException() {
    throw new CMemoryException();
}
void AfxThrowNotSupportedException() {
    throw new CNotSupportedException();
}
void AfxThrowInvalidArgException() {
    throw new CInvalidArgException();
}
void AfxThrowFileException(int cause, LONG osError, LPCTSTR fileName) {
    throw new CFileException(cause, osError, fileName);
}
