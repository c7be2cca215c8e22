#pragma once
// Wide string of the class library, with printf-style formatting that follows the Microsoft wide rules.
#include <cstdarg>
#include <string>
#include <type_traits>

#include "win/WinTypes.h"

class CString;

namespace classlib {

// One argument of a typed format call.
struct FormatArg {
    enum Kind { Int, Double, WideText, NarrowText, Pointer };
    Kind kind = Int;
    long long i = 0;      // Int: the value, sign-extended from its own type
    int bytes = 4;        // Int: size of the original type
    bool isSigned = true; // Int: signedness of the original type
    double d = 0.0;
    const wchar_t* ws = nullptr;
    const char* s = nullptr;
    const void* p = nullptr;
};

template <class T>
FormatArg makeFormatArg(const T& v) {
    FormatArg a;
    if constexpr (std::is_same_v<T, bool>) {
        a.kind = FormatArg::Int;
        a.i = v ? 1 : 0;
    } else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
        a.kind = FormatArg::Int;
        a.i = static_cast<long long>(v);
        a.bytes = static_cast<int>(sizeof(T));
        if constexpr (std::is_enum_v<T>)
            a.isSigned = std::is_signed_v<std::underlying_type_t<T>>;
        else
            a.isSigned = std::is_signed_v<T>;
    } else if constexpr (std::is_floating_point_v<T>) {
        a.kind = FormatArg::Double;
        a.d = static_cast<double>(v);
    } else if constexpr (std::is_convertible_v<const T&, const wchar_t*>) {
        a.kind = FormatArg::WideText;
        a.ws = static_cast<const wchar_t*>(v);
    } else if constexpr (std::is_convertible_v<const T&, const char*>) {
        a.kind = FormatArg::NarrowText;
        a.s = static_cast<const char*>(v);
    } else if constexpr (std::is_pointer_v<T> || std::is_null_pointer_v<T>) {
        a.kind = FormatArg::Pointer;
        a.p = static_cast<const void*>(v);
    } else {
        static_assert(sizeof(T) == 0, "type cannot be formatted");
    }
    return a;
}

// printf-style formatting with the Microsoft wide rules: %s wide text, %S narrow text, %c a wide character,
// %C a narrow one; d i u o x X c C s S f F e E g G a A p and %%; flags - + space # 0; width and precision
// (also '*'); length prefixes h hh l ll L I I32 I64 w z j t. A conversion that is not known is written as it
// stands. Numbers use '.' whatever the process locale. A width or precision above kMaxFieldWidth throws
// CInvalidArgException*.
constexpr int kMaxFieldWidth = 1 << 22;
std::wstring formatArgs(const wchar_t* format, const FormatArg* args, int count);
std::wstring formatVaList(const wchar_t* format, va_list args);

// Narrow text is UTF-8 (a malformed sequence reads as U+FFFD).
std::wstring fromUtf8(const char* text, int length = -1);
std::string toUtf8(const wchar_t* text, int length = -1);
// Windows-1252; characters it has no byte for become '?'.
std::wstring fromWindows1252(const char* text, int length = -1);
std::string toWindows1252(const wchar_t* text, int length = -1);

} // namespace classlib

class CString {
public:
    CString() = default;
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString(const wchar_t* text) {
        if (text) m_str = text;
    }
    CString(const wchar_t* text, int length);
    CString(const char* utf8);
    CString(const char* utf8, int length);
    explicit CString(wchar_t ch, int repeat = 1);
    ~CString() = default;

    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(const wchar_t* text);
    CString& operator=(const char* utf8);
    CString& operator=(wchar_t ch);

    CString& operator+=(const CString& s) {
        m_str += s.m_str;
        return *this;
    }
    CString& operator+=(const wchar_t* text) {
        if (text) m_str += text;
        return *this;
    }
    CString& operator+=(const char* utf8) { return *this += CString(utf8); }
    CString& operator+=(wchar_t ch) {
        m_str += ch;
        return *this;
    }

    operator const wchar_t*() const { return m_str.c_str(); }
    const wchar_t* GetString() const { return m_str.c_str(); }

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    // Index out of range throws CInvalidArgException*.
    wchar_t GetAt(int index) const;
    void SetAt(int index, wchar_t ch);
    wchar_t operator[](int index) const { return GetAt(index); }

    int Compare(const wchar_t* other) const;
    int CompareNoCase(const wchar_t* other) const;

    // Counts out of range are clamped, never an error.
    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;

    int Find(wchar_t ch, int start = 0) const;
    int Find(const wchar_t* sub, int start = 0) const;
    int ReverseFind(wchar_t ch) const;
    int FindOneOf(const wchar_t* chars) const;

    int Replace(wchar_t oldCh, wchar_t newCh);
    int Replace(const wchar_t* oldText, const wchar_t* newText);
    int Remove(wchar_t ch);
    int Insert(int index, wchar_t ch);
    int Insert(int index, const wchar_t* text);
    int Delete(int index, int count = 1);

    CString& MakeUpper();
    CString& MakeLower();
    CString& MakeReverse();

    CString& Trim();
    CString& Trim(wchar_t target);
    CString& Trim(const wchar_t* targets);
    CString& TrimLeft();
    CString& TrimLeft(wchar_t target);
    CString& TrimLeft(const wchar_t* targets);
    CString& TrimRight();
    CString& TrimRight(wchar_t target);
    CString& TrimRight(const wchar_t* targets);

    // Next token after `start` (skipping leading delimiters); `start` becomes -1 when there is none.
    // A negative start throws CInvalidArgException*.
    CString Tokenize(const wchar_t* delimiters, int& start) const;
    CString SpanIncluding(const wchar_t* chars) const;
    CString SpanExcluding(const wchar_t* chars) const;

    template <class... A>
    void Format(const wchar_t* format, const A&... args) {
        const classlib::FormatArg list[] = {classlib::makeFormatArg(args)..., classlib::FormatArg()};
        m_str = classlib::formatArgs(format, list, static_cast<int>(sizeof...(A)));
    }
    template <class... A>
    void AppendFormat(const wchar_t* format, const A&... args) {
        const classlib::FormatArg list[] = {classlib::makeFormatArg(args)..., classlib::FormatArg()};
        m_str += classlib::formatArgs(format, list, static_cast<int>(sizeof...(A)));
    }
    void FormatV(const wchar_t* format, va_list args);
    void AppendFormatV(const wchar_t* format, va_list args);

    // A buffer of at least `minLength` characters plus the terminator; ReleaseBuffer(-1) takes the length
    // up to the first terminator.
    wchar_t* GetBuffer();
    wchar_t* GetBuffer(int minLength);
    wchar_t* GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

    std::string ToUtf8() const { return classlib::toUtf8(m_str.c_str(), GetLength()); }
    std::string ToWindows1252() const { return classlib::toWindows1252(m_str.c_str(), GetLength()); }
    static CString FromWindows1252(const char* text, int length = -1);

    friend CString operator+(const CString& a, const CString& b) {
        CString r(a);
        r += b;
        return r;
    }
    friend CString operator+(const CString& a, const wchar_t* b) {
        CString r(a);
        r += b;
        return r;
    }
    friend CString operator+(const wchar_t* a, const CString& b) {
        CString r(a);
        r += b;
        return r;
    }
    friend CString operator+(const CString& a, wchar_t b) {
        CString r(a);
        r += b;
        return r;
    }
    friend CString operator+(wchar_t a, const CString& b) {
        CString r(a);
        r += b;
        return r;
    }
    friend CString operator+(const CString& a, const char* b) {
        CString r(a);
        r += b;
        return r;
    }
    friend CString operator+(const char* a, const CString& b) {
        CString r(a);
        r += b;
        return r;
    }

    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, const wchar_t* b) { return a.Compare(b) == 0; }
    friend bool operator==(const wchar_t* a, const CString& b) { return b.Compare(a) == 0; }
    friend bool operator==(const CString& a, const char* b) { return a == CString(b); }
    friend bool operator==(const char* a, const CString& b) { return b == CString(a); }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const wchar_t* b) { return !(a == b); }
    friend bool operator!=(const wchar_t* a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator!=(const char* a, const CString& b) { return !(a == b); }
    friend bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }
    friend bool operator<(const CString& a, const wchar_t* b) { return a.Compare(b) < 0; }
    friend bool operator<(const wchar_t* a, const CString& b) { return b.Compare(a) > 0; }
    friend bool operator>(const CString& a, const CString& b) { return a.Compare(b) > 0; }
    friend bool operator>(const CString& a, const wchar_t* b) { return a.Compare(b) > 0; }
    friend bool operator>(const wchar_t* a, const CString& b) { return b.Compare(a) < 0; }
    friend bool operator<=(const CString& a, const CString& b) { return a.Compare(b) <= 0; }
    friend bool operator<=(const CString& a, const wchar_t* b) { return a.Compare(b) <= 0; }
    friend bool operator<=(const wchar_t* a, const CString& b) { return b.Compare(a) >= 0; }
    friend bool operator>=(const CString& a, const CString& b) { return a.Compare(b) >= 0; }
    friend bool operator>=(const CString& a, const wchar_t* b) { return a.Compare(b) >= 0; }
    friend bool operator>=(const wchar_t* a, const CString& b) { return b.Compare(a) <= 0; }

private:
    std::wstring m_str;
};
