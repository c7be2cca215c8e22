#include "classlib/CString.h"

#include <algorithm>
#include <climits>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <locale.h>
#include <vector>

#include "classlib/Exceptions.h"
#include "win/Encoding.h"

namespace classlib {

// ---------------------------------------------------------------- encodings

namespace {

size_t lengthOf(const char* t, int length) {
    return t ? (length < 0 ? std::strlen(t) : static_cast<size_t>(length)) : 0;
}
size_t lengthOf(const wchar_t* t, int length) {
    return t ? (length < 0 ? std::wcslen(t) : static_cast<size_t>(length)) : 0;
}

wchar_t narrowChar(unsigned char b) {
    const char c = static_cast<char>(b);
    const std::wstring w = win::fromCp1252(std::string_view(&c, 1));
    return w.empty() ? L'\0' : w[0];
}

} // namespace

std::wstring fromUtf8(const char* text, int length) {
    return win::fromUtf8(std::string_view(text ? text : "", lengthOf(text, length)));
}
std::string toUtf8(const wchar_t* text, int length) {
    return win::toUtf8(std::wstring_view(text ? text : L"", lengthOf(text, length)));
}
std::wstring fromWindows1252(const char* text, int length) {
    return win::fromCp1252(std::string_view(text ? text : "", lengthOf(text, length)));
}
std::string toWindows1252(const wchar_t* text, int length) {
    return win::toCp1252(std::wstring_view(text ? text : L"", lengthOf(text, length)));
}

// ---------------------------------------------------------------- formatting

namespace {

enum class Len { None, hh, h, l, ll, L, I, I32, I64, w };

struct Spec {
    bool minus = false, plus = false, space = false, hash = false, zero = false;
    int width = 0;
    int precision = -1;
    Len len = Len::None;
    wchar_t conv = 0;
};

// Where the arguments come from: a typed list, or a C va_list.
class ArgSource {
public:
    virtual ~ArgSource() = default;
    virtual int nextInt() = 0;
    virtual long long nextSigned(Len len) = 0;
    virtual unsigned long long nextUnsigned(Len len) = 0;
    virtual double nextDouble(Len len) = 0;
    // Returns false for a null pointer.
    virtual bool nextText(bool wide, std::wstring& out, int maxChars) = 0;
    virtual wchar_t nextChar(bool wide) = 0;
    virtual const void* nextPointer() = 0;
};

long long narrowSigned(long long v, Len len) {
    if (len == Len::h) return static_cast<short>(v);
    if (len == Len::hh) return static_cast<signed char>(v);
    return v;
}

unsigned long long narrowUnsigned(unsigned long long v, Len len) {
    if (len == Len::h) return static_cast<unsigned short>(v);
    if (len == Len::hh) return static_cast<unsigned char>(v);
    return v;
}

std::wstring narrowToWide(const char* s, int maxChars) {
    size_t n = std::strlen(s);
    if (maxChars >= 0 && n > static_cast<size_t>(maxChars)) n = static_cast<size_t>(maxChars);
    return fromUtf8(s, static_cast<int>(n));
}

std::wstring wideText(const wchar_t* s, int maxChars) {
    if (maxChars < 0) return std::wstring(s);
    size_t n = 0;
    while (n < static_cast<size_t>(maxChars) && s[n]) ++n;
    return std::wstring(s, n);
}

class TypedSource : public ArgSource {
public:
    TypedSource(const FormatArg* args, int count) : m_args(args), m_count(count) {}

    int nextInt() override { return static_cast<int>(nextSigned(Len::None)); }

    long long nextSigned(Len len) override {
        const FormatArg* a = next();
        if (!a) return 0;
        switch (a->kind) {
            case FormatArg::Int: {
                long long v = a->i;
                if (!a->isSigned) {
                    // Same bits read as a signed value of the argument's own size.
                    if (a->bytes == 4)
                        v = static_cast<int>(static_cast<unsigned>(v));
                    else if (a->bytes == 2)
                        v = static_cast<short>(v);
                    else if (a->bytes == 1)
                        v = static_cast<signed char>(v);
                }
                return narrowSigned(v, len);
            }
            case FormatArg::Double:
                return narrowSigned(static_cast<long long>(a->d), len);
            case FormatArg::Pointer:
                return narrowSigned(static_cast<long long>(reinterpret_cast<std::intptr_t>(a->p)), len);
            default:
                return 0;
        }
    }

    unsigned long long nextUnsigned(Len len) override {
        const FormatArg* a = next();
        if (!a) return 0;
        switch (a->kind) {
            case FormatArg::Int: {
                auto v = static_cast<unsigned long long>(a->i);
                if (a->bytes < 8) v &= (1ULL << (8 * a->bytes)) - 1;
                return narrowUnsigned(v, len);
            }
            case FormatArg::Double:
                return narrowUnsigned(static_cast<unsigned long long>(static_cast<long long>(a->d)), len);
            case FormatArg::Pointer:
                return narrowUnsigned(reinterpret_cast<std::uintptr_t>(a->p), len);
            default:
                return 0;
        }
    }

    double nextDouble(Len) override {
        const FormatArg* a = next();
        if (!a) return 0.0;
        if (a->kind == FormatArg::Double) return a->d;
        if (a->kind == FormatArg::Int)
            return a->isSigned ? static_cast<double>(a->i) : static_cast<double>(static_cast<unsigned long long>(a->i));
        return 0.0;
    }

    bool nextText(bool, std::wstring& out, int maxChars) override {
        const FormatArg* a = next();
        if (a && a->kind == FormatArg::WideText && a->ws) {
            out = wideText(a->ws, maxChars);
            return true;
        }
        if (a && a->kind == FormatArg::NarrowText && a->s) {
            out = narrowToWide(a->s, maxChars);
            return true;
        }
        return false;
    }

    wchar_t nextChar(bool wide) override {
        const FormatArg* a = next();
        if (!a || a->kind != FormatArg::Int) return 0;
        if (!wide || a->bytes == 1) return narrowChar(static_cast<unsigned char>(a->i));
        return static_cast<wchar_t>(a->i);
    }

    const void* nextPointer() override {
        const FormatArg* a = next();
        if (!a) return nullptr;
        if (a->kind == FormatArg::Pointer) return a->p;
        if (a->kind == FormatArg::WideText) return a->ws;
        if (a->kind == FormatArg::NarrowText) return a->s;
        if (a->kind == FormatArg::Int) return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(a->i));
        return nullptr;
    }

private:
    const FormatArg* next() { return m_index < m_count ? &m_args[m_index++] : nullptr; }
    const FormatArg* m_args;
    int m_count;
    int m_index = 0;
};

class VaSource : public ArgSource {
public:
    explicit VaSource(va_list args) { va_copy(m_args, args); }
    ~VaSource() override { va_end(m_args); }

    int nextInt() override { return va_arg(m_args, int); }

    long long nextSigned(Len len) override {
        switch (len) {
            case Len::l:
                return va_arg(m_args, long);
            case Len::ll:
            case Len::I64:
                return va_arg(m_args, long long);
            case Len::I:
                return va_arg(m_args, std::intptr_t);
            default:
                return narrowSigned(va_arg(m_args, int), len);
        }
    }

    unsigned long long nextUnsigned(Len len) override {
        switch (len) {
            case Len::l:
                return va_arg(m_args, unsigned long);
            case Len::ll:
            case Len::I64:
                return va_arg(m_args, unsigned long long);
            case Len::I:
                return va_arg(m_args, std::uintptr_t);
            default:
                return narrowUnsigned(va_arg(m_args, unsigned), len);
        }
    }

    double nextDouble(Len len) override {
        if (len == Len::L) return static_cast<double>(va_arg(m_args, long double));
        return va_arg(m_args, double);
    }

    bool nextText(bool wide, std::wstring& out, int maxChars) override {
        if (wide) {
            const wchar_t* s = va_arg(m_args, const wchar_t*);
            if (!s) return false;
            out = wideText(s, maxChars);
        } else {
            const char* s = va_arg(m_args, const char*);
            if (!s) return false;
            out = narrowToWide(s, maxChars);
        }
        return true;
    }

    wchar_t nextChar(bool wide) override {
        const int c = va_arg(m_args, int);
        return wide ? static_cast<wchar_t>(c) : narrowChar(static_cast<unsigned char>(c));
    }

    const void* nextPointer() override { return va_arg(m_args, const void*); }

private:
    va_list m_args;
};

void pad(std::wstring& out, const Spec& conv, const std::wstring& body, bool zeroPadAllowed,
         size_t signPrefixLength = 0) {
    const size_t width = static_cast<size_t>(conv.width);
    if (body.size() >= width) {
        out += body;
        return;
    }
    const size_t fill = width - body.size();
    if (conv.minus) {
        out += body;
        out.append(fill, L' ');
    } else if (conv.zero && zeroPadAllowed) {
        out.append(body, 0, signPrefixLength);
        out.append(fill, L'0');
        out.append(body, signPrefixLength, std::wstring::npos);
    } else {
        out.append(fill, L' ');
        out += body;
    }
}

void formatInteger(std::wstring& out, const Spec& conv, unsigned long long magnitude, bool negative) {
    const wchar_t c = conv.conv;
    const unsigned base = (c == L'x' || c == L'X' || c == L'p') ? 16 : (c == L'o' ? 8 : 10);
    const wchar_t* digitsOf = (c == L'X' || c == L'p') ? L"0123456789ABCDEF" : L"0123456789abcdef";
    std::wstring digits;
    for (unsigned long long v = magnitude; v; v /= base) digits += digitsOf[v % base];
    std::reverse(digits.begin(), digits.end());
    if (conv.precision >= 0 && digits.size() < static_cast<size_t>(conv.precision))
        digits.insert(0, static_cast<size_t>(conv.precision) - digits.size(), L'0');
    else if (conv.precision < 0 && digits.empty())
        digits = L"0";
    if (conv.hash && c == L'o' && (digits.empty() || digits[0] != L'0')) digits.insert(0, 1, L'0');
    std::wstring prefix;
    if (c == L'd' || c == L'i') {
        if (negative)
            prefix = L"-";
        else if (conv.plus)
            prefix = L"+";
        else if (conv.space)
            prefix = L" ";
    } else if (conv.hash && magnitude != 0 && (c == L'x' || c == L'X')) {
        prefix = c == L'x' ? L"0x" : L"0X";
    }
    pad(out, conv, prefix + digits, conv.precision < 0, prefix.size());
}

locale_t cLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

void formatFloat(std::wstring& out, const Spec& conv, double value) {
    char fmt[16];
    char* f = fmt;
    *f++ = '%';
    if (conv.minus) *f++ = '-';
    if (conv.plus) *f++ = '+';
    if (conv.space) *f++ = ' ';
    if (conv.hash) *f++ = '#';
    if (conv.zero) *f++ = '0';
    *f++ = '*';
    *f++ = '.';
    *f++ = '*';
    *f++ = static_cast<char>(conv.conv);
    *f = '\0';
    const int precision = conv.precision < 0 ? (conv.conv == L'a' || conv.conv == L'A' ? -1 : 6) : conv.precision;
    locale_t old = uselocale(cLocale());
    const int n = std::snprintf(nullptr, 0, fmt, conv.width, precision, value);
    std::vector<char> buf(n > 0 ? static_cast<size_t>(n) + 1 : 1, '\0');
    if (n > 0) std::snprintf(buf.data(), buf.size(), fmt, conv.width, precision, value);
    uselocale(old);
    out.append(buf.data(), buf.data() + (n > 0 ? n : 0));
}

void formatWith(std::wstring& out, const wchar_t* format, ArgSource& src) {
    if (!format) return;
    const wchar_t* p = format;
    while (*p) {
        if (*p != L'%') {
            const wchar_t* q = p;
            while (*q && *q != L'%') ++q;
            out.append(p, q);
            p = q;
            continue;
        }
        const wchar_t* start = p++;
        if (*p == L'%') {
            out += L'%';
            ++p;
            continue;
        }
        Spec conv;
        for (;; ++p) {
            if (*p == L'-')
                conv.minus = true;
            else if (*p == L'+')
                conv.plus = true;
            else if (*p == L' ')
                conv.space = true;
            else if (*p == L'#')
                conv.hash = true;
            else if (*p == L'0')
                conv.zero = true;
            else
                break;
        }
        auto readNumber = [&](int& value) {
            long long v = 0;
            while (*p >= L'0' && *p <= L'9') {
                v = v * 10 + (*p - L'0');
                if (v > kMaxFieldWidth) AfxThrowInvalidArgException();
                ++p;
            }
            value = static_cast<int>(v);
        };
        if (*p == L'*') {
            ++p;
            int w = src.nextInt();
            if (w < 0) {
                conv.minus = true;
                w = w == INT_MIN ? INT_MAX : -w;
            }
            if (w > kMaxFieldWidth) AfxThrowInvalidArgException();
            conv.width = w;
        } else {
            readNumber(conv.width);
        }
        if (*p == L'.') {
            ++p;
            if (*p == L'*') {
                ++p;
                const int prec = src.nextInt();
                if (prec > kMaxFieldWidth) AfxThrowInvalidArgException();
                conv.precision = prec < 0 ? -1 : prec;
            } else {
                readNumber(conv.precision);
            }
        }
        if (*p == L'h') {
            ++p;
            conv.len = Len::h;
            if (*p == L'h') {
                ++p;
                conv.len = Len::hh;
            }
        } else if (*p == L'l') {
            ++p;
            conv.len = Len::l;
            if (*p == L'l') {
                ++p;
                conv.len = Len::ll;
            }
        } else if (*p == L'L') {
            ++p;
            conv.len = Len::L;
        } else if (*p == L'w') {
            ++p;
            conv.len = Len::w;
        } else if (*p == L'j' || *p == L'z' || *p == L't') {
            ++p;
            conv.len = Len::I;
        } else if (*p == L'I') {
            ++p;
            if (p[0] == L'6' && p[1] == L'4') {
                p += 2;
                conv.len = Len::I64;
            } else if (p[0] == L'3' && p[1] == L'2') {
                p += 2;
                conv.len = Len::I32;
            } else
                conv.len = Len::I;
        }
        conv.conv = *p;
        switch (conv.conv) {
            case L'd':
            case L'i': {
                const long long v = src.nextSigned(conv.len);
                const unsigned long long mag =
                    v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
                formatInteger(out, conv, mag, v < 0);
                break;
            }
            case L'u':
            case L'o':
            case L'x':
            case L'X':
                formatInteger(out, conv, src.nextUnsigned(conv.len), false);
                break;
            case L'p': {
                Spec ps = conv;
                ps.precision = 2 * static_cast<int>(sizeof(void*));
                formatInteger(out, ps, reinterpret_cast<std::uintptr_t>(src.nextPointer()), false);
                break;
            }
            case L'f':
            case L'F':
            case L'e':
            case L'E':
            case L'g':
            case L'G':
            case L'a':
            case L'A':
                formatFloat(out, conv, src.nextDouble(conv.len));
                break;
            case L'c':
            case L'C': {
                const bool wide = conv.len == Len::l || conv.len == Len::w || (conv.conv == L'c' && conv.len != Len::h);
                const wchar_t ch = src.nextChar(wide);
                pad(out, conv, std::wstring(1, ch), true);
                break;
            }
            case L's':
            case L'S': {
                const bool wide = conv.len == Len::l || conv.len == Len::w || (conv.conv == L's' && conv.len != Len::h);
                std::wstring text;
                if (!src.nextText(wide, text, conv.precision)) text = wideText(L"(null)", conv.precision);
                pad(out, conv, text, true);
                break;
            }
            default:
                // Not a conversion this runtime knows: the text stands as written.
                if (*p == L'\0') {
                    out.append(start, p);
                    continue;
                }
                out.append(start, p + 1);
                break;
        }
        ++p;
    }
}

} // namespace

std::wstring formatArgs(const wchar_t* format, const FormatArg* args, int count) {
    std::wstring out;
    TypedSource src(args, count);
    formatWith(out, format, src);
    return out;
}

std::wstring formatVaList(const wchar_t* format, va_list args) {
    std::wstring out;
    VaSource src(args);
    formatWith(out, format, src);
    return out;
}

} // namespace classlib

// ---------------------------------------------------------------- CString

namespace {

bool isWhite(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}
bool inSet(wchar_t c, const wchar_t* set) {
    return set && c && std::wcschr(set, c) != nullptr;
}

} // namespace

CString::CString(const wchar_t* text, int length) {
    if (text && length > 0) m_str.assign(text, static_cast<size_t>(length));
}

CString::CString(const char* utf8) : m_str(classlib::fromUtf8(utf8)) {}

CString::CString(const char* utf8, int length) {
    if (utf8 && length > 0) m_str = classlib::fromUtf8(utf8, length);
}

CString::CString(wchar_t ch, int repeat) {
    if (repeat > 0) m_str.assign(static_cast<size_t>(repeat), ch);
}

CString& CString::operator=(const wchar_t* text) {
    if (!text)
        m_str.clear();
    else
        m_str = std::wstring(text); // text may point into this string
    return *this;
}

CString& CString::operator=(const char* utf8) {
    m_str = classlib::fromUtf8(utf8);
    return *this;
}

CString& CString::operator=(wchar_t ch) {
    m_str.assign(1, ch);
    return *this;
}

wchar_t CString::GetAt(int index) const {
    if (index < 0 || index >= GetLength()) AfxThrowInvalidArgException();
    return m_str[static_cast<size_t>(index)];
}

void CString::SetAt(int index, wchar_t ch) {
    if (index < 0 || index >= GetLength()) AfxThrowInvalidArgException();
    m_str[static_cast<size_t>(index)] = ch;
}

int CString::Compare(const wchar_t* other) const {
    const int r = std::wcscmp(m_str.c_str(), other ? other : L"");
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int CString::CompareNoCase(const wchar_t* other) const {
    const wchar_t* a = m_str.c_str();
    const wchar_t* b = other ? other : L"";
    for (;; ++a, ++b) {
        const wint_t ca = std::towlower(static_cast<wint_t>(*a));
        const wint_t cb = std::towlower(static_cast<wint_t>(*b));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (!ca) return 0;
    }
}

CString CString::Left(int count) const {
    count = std::clamp(count, 0, GetLength());
    return CString(m_str.c_str(), count);
}

CString CString::Right(int count) const {
    count = std::clamp(count, 0, GetLength());
    return CString(m_str.c_str() + (GetLength() - count), count);
}

CString CString::Mid(int first) const {
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const {
    const int len = GetLength();
    first = std::clamp(first, 0, len);
    count = std::clamp(count, 0, len - first);
    return CString(m_str.c_str() + first, count);
}

int CString::Find(wchar_t ch, int start) const {
    if (start < 0) start = 0;
    if (start >= GetLength() || ch == L'\0') return -1;
    const size_t pos = m_str.find(ch, static_cast<size_t>(start));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const wchar_t* sub, int start) const {
    if (start < 0) start = 0;
    if (!sub || start > GetLength()) return -1;
    const size_t pos = m_str.find(sub, static_cast<size_t>(start));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(wchar_t ch) const {
    if (ch == L'\0') return -1;
    const size_t pos = m_str.rfind(ch);
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::FindOneOf(const wchar_t* chars) const {
    if (!chars || !*chars) return -1;
    const size_t pos = m_str.find_first_of(chars);
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Replace(wchar_t oldCh, wchar_t newCh) {
    int n = 0;
    for (auto& c : m_str)
        if (c == oldCh) {
            c = newCh;
            ++n;
        }
    return n;
}

int CString::Replace(const wchar_t* oldText, const wchar_t* newText) {
    if (!oldText || !*oldText) return 0;
    const std::wstring from(oldText);
    const std::wstring to(newText ? newText : L"");
    std::wstring result;
    int n = 0;
    size_t pos = 0;
    for (;;) {
        const size_t hit = m_str.find(from, pos);
        if (hit == std::wstring::npos) break;
        result.append(m_str, pos, hit - pos);
        result += to;
        pos = hit + from.size();
        ++n;
    }
    if (n) {
        result.append(m_str, pos, std::wstring::npos);
        m_str.swap(result);
    }
    return n;
}

int CString::Remove(wchar_t ch) {
    const size_t before = m_str.size();
    m_str.erase(std::remove(m_str.begin(), m_str.end(), ch), m_str.end());
    return static_cast<int>(before - m_str.size());
}

int CString::Insert(int index, wchar_t ch) {
    index = std::clamp(index, 0, GetLength());
    m_str.insert(static_cast<size_t>(index), 1, ch);
    return GetLength();
}

int CString::Insert(int index, const wchar_t* text) {
    index = std::clamp(index, 0, GetLength());
    if (text) m_str.insert(static_cast<size_t>(index), std::wstring(text));
    return GetLength();
}

int CString::Delete(int index, int count) {
    if (index < 0) index = 0;
    if (count > 0 && index < GetLength())
        m_str.erase(static_cast<size_t>(index), static_cast<size_t>(std::min(count, GetLength() - index)));
    return GetLength();
}

CString& CString::MakeUpper() {
    for (auto& c : m_str) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return *this;
}

CString& CString::MakeLower() {
    for (auto& c : m_str) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return *this;
}

CString& CString::MakeReverse() {
    std::reverse(m_str.begin(), m_str.end());
    return *this;
}

CString& CString::Trim() {
    return TrimRight().TrimLeft();
}
CString& CString::Trim(wchar_t target) {
    return TrimRight(target).TrimLeft(target);
}
CString& CString::Trim(const wchar_t* targets) {
    return TrimRight(targets).TrimLeft(targets);
}

CString& CString::TrimLeft() {
    size_t i = 0;
    while (i < m_str.size() && isWhite(m_str[i])) ++i;
    m_str.erase(0, i);
    return *this;
}

CString& CString::TrimLeft(wchar_t target) {
    size_t i = 0;
    while (i < m_str.size() && m_str[i] == target) ++i;
    m_str.erase(0, i);
    return *this;
}

CString& CString::TrimLeft(const wchar_t* targets) {
    size_t i = 0;
    while (i < m_str.size() && inSet(m_str[i], targets)) ++i;
    m_str.erase(0, i);
    return *this;
}

CString& CString::TrimRight() {
    size_t n = m_str.size();
    while (n > 0 && isWhite(m_str[n - 1])) --n;
    m_str.resize(n);
    return *this;
}

CString& CString::TrimRight(wchar_t target) {
    size_t n = m_str.size();
    while (n > 0 && m_str[n - 1] == target) --n;
    m_str.resize(n);
    return *this;
}

CString& CString::TrimRight(const wchar_t* targets) {
    size_t n = m_str.size();
    while (n > 0 && inSet(m_str[n - 1], targets)) --n;
    m_str.resize(n);
    return *this;
}

CString CString::Tokenize(const wchar_t* delimiters, int& start) const {
    if (start < 0) AfxThrowInvalidArgException();
    const int len = GetLength();
    if (start < len) {
        if (!delimiters || !*delimiters) {
            // No delimiters: the rest is one token (the position moves on, so a loop ends).
            CString rest = Mid(start);
            start = len + 1;
            return rest;
        }
        int i = start;
        while (i < len && inSet(m_str[static_cast<size_t>(i)], delimiters)) ++i;
        if (i < len) {
            int j = i;
            while (j < len && !inSet(m_str[static_cast<size_t>(j)], delimiters)) ++j;
            start = j + 1;
            return Mid(i, j - i);
        }
    }
    start = -1;
    return CString();
}

CString CString::SpanIncluding(const wchar_t* chars) const {
    int i = 0;
    while (i < GetLength() && inSet(m_str[static_cast<size_t>(i)], chars)) ++i;
    return Left(i);
}

CString CString::SpanExcluding(const wchar_t* chars) const {
    int i = 0;
    while (i < GetLength() && !inSet(m_str[static_cast<size_t>(i)], chars)) ++i;
    return Left(i);
}

void CString::FormatV(const wchar_t* format, va_list args) {
    m_str = classlib::formatVaList(format, args);
}
void CString::AppendFormatV(const wchar_t* format, va_list args) {
    m_str += classlib::formatVaList(format, args);
}

wchar_t* CString::GetBuffer() {
    return m_str.data();
}

wchar_t* CString::GetBuffer(int minLength) {
    if (minLength > GetLength()) m_str.resize(static_cast<size_t>(minLength), L'\0');
    return m_str.data();
}

wchar_t* CString::GetBufferSetLength(int length) {
    m_str.resize(static_cast<size_t>(std::max(length, 0)), L'\0');
    return m_str.data();
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0)
        m_str.resize(std::wcslen(m_str.c_str()));
    else
        m_str.resize(std::min(static_cast<size_t>(newLength), m_str.size()));
}

CString CString::FromWindows1252(const char* text, int length) {
    CString s;
    s.m_str = classlib::fromWindows1252(text, length);
    return s;
}
