#pragma once
// Files of the class library. Paths are Windows-form and mapped to native ones at each call.
#include <string>

#include "classlib/CString.h"
#include "classlib/DateTime.h"
#include "classlib/Exceptions.h"
#include "classlib/Object.h"

struct CFileStatus {
    CTime m_ctime; // status change time (the file system keeps no creation time)
    CTime m_mtime; // last modification
    CTime m_atime; // last access
    ULONGLONG m_size = 0;
    BYTE m_attribute = 0; // CFile::Attribute bits
    wchar_t m_szFullName[MAX_PATH] = {};
};

class CFile : public CObject {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        typeUnicode = 0x0400,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
        osNoBuffer = 0x10000,
        osWriteThrough = 0x20000,
        osRandomAccess = 0x40000,
        osSequentialScan = 0x80000,
    };
    enum Attribute : BYTE {
        normal = 0x00,
        readOnly = 0x01,
        hidden = 0x02,
        system = 0x04,
        volume = 0x08,
        directory = 0x10,
        archive = 0x20
    };
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

    CFile() = default;
    // Opens or throws CFileException*.
    CFile(LPCTSTR fileName, UINT openFlags);
    ~CFile() override;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // FALSE on failure, with the cause in `error` when given; the last error is set too.
    virtual BOOL Open(LPCTSTR fileName, UINT openFlags, CFileException* error = nullptr);
    virtual UINT Read(void* buffer, UINT count);
    virtual void Write(const void* buffer, UINT count);
    virtual ULONGLONG Seek(LONGLONG offset, UINT from);
    void SeekToBegin() { Seek(0, begin); }
    ULONGLONG SeekToEnd() { return Seek(0, end); }
    virtual ULONGLONG GetPosition() const;
    virtual ULONGLONG GetLength() const;
    virtual void SetLength(ULONGLONG length);
    virtual void Flush();
    virtual void Close();
    // Closes without throwing.
    virtual void Abort();

    BOOL IsOpen() const { return m_fd >= 0 ? TRUE : FALSE; }
    // The full Windows path of the open file, its name, and its name without the extension.
    CString GetFilePath() const { return m_strFileName; }
    CString GetFileName() const;
    CString GetFileTitle() const;

    BOOL GetStatus(CFileStatus& status) const;
    // FALSE when the path names nothing that can be read (a file or a folder both count).
    static BOOL GetStatus(LPCTSTR fileName, CFileStatus& status);
    // Throw CFileException* on failure: a missing file, a folder, a file open elsewhere in this process
    // (sharing violation), or for Rename an existing target.
    static void Remove(LPCTSTR fileName);
    static void Rename(LPCTSTR oldName, LPCTSTR newName);

protected:
    [[noreturn]] void throwErrno(int err) const;
    [[noreturn]] void throwOsError(DWORD code) const;
    void requireOpen() const;

    int m_fd = -1;
    UINT m_openFlags = 0;
    CString m_strFileName;
    std::string m_nativePath;
};

// A buffered file; in text mode (the default) "\n" is written as "\r\n" and "\r\n" read as "\n". Text is
// 8-bit Windows-1252 both ways. Opened with modeCreate|modeNoTruncate, or modeWrite without modeCreate,
// every write goes to the end of the file.
class CStdioFile : public CFile {
public:
    CStdioFile() = default;
    CStdioFile(LPCTSTR fileName, UINT openFlags);
    ~CStdioFile() override;

    BOOL Open(LPCTSTR fileName, UINT openFlags, CFileException* error = nullptr) override;
    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;
    ULONGLONG Seek(LONGLONG offset, UINT from) override;
    ULONGLONG GetPosition() const override;
    ULONGLONG GetLength() const override;
    void SetLength(ULONGLONG length) override;
    void Flush() override;
    void Close() override;
    void Abort() override;

    // The text written as Windows-1252, each "\n" as "\r\n" in text mode.
    virtual void WriteString(LPCTSTR text);
    // The next line without its line end; FALSE at the end of the file (an empty last read).
    virtual BOOL ReadString(CString& line);
    // Up to `maxChars - 1` characters of the next line, keeping its "\n"; nullptr at the end of the file.
    virtual LPTSTR ReadString(LPTSTR buffer, UINT maxChars);

private:
    bool textMode() const { return (m_openFlags & typeBinary) == 0; }
    // Next byte as it is stored, -1 at the end.
    int rawGet();
    // Next byte after text-mode translation, -1 at the end.
    int get();
    void dropReadBuffer() const;
    void writeRaw(const char* data, size_t size);

    void flushPending() const;

    mutable std::string m_in; // bytes read ahead
    mutable size_t m_inPos = 0;
    mutable std::string m_out; // bytes waiting to be written
    bool m_append = false;     // every write goes to the end, as the C runtime's "a" mode does
};
