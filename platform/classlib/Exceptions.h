#pragma once
// The class library's exceptions. They are thrown by pointer (`throw new ...`) and released with Delete().
#include "classlib/CString.h"
#include "classlib/Object.h"

using PUINT = UINT*;

class CException : public CObject {
public:
    explicit CException(BOOL autoDelete = TRUE) : m_bAutoDelete(autoDelete) {}
    ~CException() override = default;

    // Copies the message into `buffer`, cut to `maxChars` characters with the terminator; never overflows.
    // Returns FALSE (and an empty text when there is room) when the exception has no message.
    virtual BOOL GetErrorMessage(LPTSTR buffer, UINT maxChars, PUINT helpContext = nullptr) const;
    // Releases a heap exception; one made with autoDelete FALSE (on the stack) is left alone.
    void Delete();

    BOOL m_bAutoDelete;

protected:
    // The full message, or an empty text when there is none.
    virtual CString messageText() const { return CString(); }
    static BOOL copyMessage(const CString& text, LPTSTR buffer, UINT maxChars, PUINT helpContext);
};

class CSimpleException : public CException {
public:
    using CException::CException;
    BOOL GetErrorMessage(LPTSTR buffer, UINT maxChars, PUINT helpContext = nullptr) const override;
};

class CMemoryException : public CSimpleException {
public:
    using CSimpleException::CSimpleException;

protected:
    CString messageText() const override;
};

class CNotSupportedException : public CSimpleException {
public:
    using CSimpleException::CSimpleException;

protected:
    CString messageText() const override;
};

class CInvalidArgException : public CSimpleException {
public:
    using CSimpleException::CSimpleException;

protected:
    CString messageText() const override;
};

class CFileException : public CException {
public:
    enum {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    explicit CFileException(int cause = none, LONG osError = -1, LPCTSTR fileName = nullptr);

    BOOL GetErrorMessage(LPTSTR buffer, UINT maxChars, PUINT helpContext = nullptr) const override;

    // Windows error code (GetLastError) to cause.
    static int OsErrorToException(LONG osError);
    // errno value to cause.
    static int ErrnoToException(int errnoValue);
    static void ThrowOsError(LONG osError, LPCTSTR fileName = nullptr);
    static void ThrowErrno(int errnoValue, LPCTSTR fileName = nullptr);

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;

protected:
    CString messageText() const override;
};

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowNotSupportedException();
[[noreturn]] void AfxThrowInvalidArgException();
[[noreturn]] void AfxThrowFileException(int cause, LONG osError = -1, LPCTSTR fileName = nullptr);
