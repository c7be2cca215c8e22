#include "cad/editor/EdPrintf.h"

#include "cad/editor/EdCodes.h"
#include "win/Encoding.h"

#include <cstddef>
#include <cwchar>
#include <string_view>
#include <vector>

namespace ed {
namespace {

// swprintf with one argument, growing the buffer as needed.
template <typename T>
std::wstring piece(const std::wstring& conv, int width, int precision, bool starW, bool starP, T value) {
    std::vector<wchar_t> buf(256);
    for (;;) {
        int n;
        if (starW && starP)
            n = std::swprintf(buf.data(), buf.size(), conv.c_str(), width, precision, value);
        else if (starW)
            n = std::swprintf(buf.data(), buf.size(), conv.c_str(), width, value);
        else if (starP)
            n = std::swprintf(buf.data(), buf.size(), conv.c_str(), precision, value);
        else
            n = std::swprintf(buf.data(), buf.size(), conv.c_str(), value);
        if (n >= 0 && static_cast<size_t>(n) < buf.size()) return std::wstring(buf.data(), static_cast<size_t>(n));
        if (buf.size() > (1u << 26)) return std::wstring();
        buf.resize(buf.size() * 4);
    }
}

std::wstring widenNarrow(const char* s, size_t maxLen) {
    std::string_view v(s);
    if (v.size() > maxLen) v = v.substr(0, maxLen);
    return win::fromCp1252(v);
}

} // namespace

std::wstring formatMs(const wchar_t* format, va_list args) {
    std::wstring out;
    if (!format) return out;
    va_list ap;
    va_copy(ap, args);
    const wchar_t* p = format;
    while (*p) {
        if (*p != L'%') {
            out += *p++;
            continue;
        }
        const wchar_t* start = p++;
        if (*p == L'%') {
            out += L'%';
            ++p;
            continue;
        }
        std::wstring flags;
        while (*p && std::wcschr(L"-+ #0", *p)) flags += *p++;
        bool starW = false, starP = false;
        int width = 0, precision = 0;
        std::wstring widthText, precText;
        bool hasPrec = false;
        if (*p == L'*') {
            starW = true;
            ++p;
            width = va_arg(ap, int);
        } else
            while (*p >= L'0' && *p <= L'9') widthText += *p++;
        if (*p == L'.') {
            hasPrec = true;
            ++p;
            if (*p == L'*') {
                starP = true;
                ++p;
                precision = va_arg(ap, int);
            } else
                while (*p >= L'0' && *p <= L'9') precText += *p++;
        }
        // Length modifiers: h hh l ll L w I I32 I64 z j t.
        enum Len { kNone, kShort, kChar, kLong, kLongLong, kLongDouble, kWide, kSize, kInt32 } len = kNone;
        if (*p == L'h') {
            ++p;
            len = kShort;
            if (*p == L'h') {
                ++p;
                len = kChar;
            }
        } else if (*p == L'l') {
            ++p;
            len = kLong;
            if (*p == L'l') {
                ++p;
                len = kLongLong;
            }
        } else if (*p == L'L') {
            ++p;
            len = kLongDouble;
        } else if (*p == L'w') {
            ++p;
            len = kWide;
        } else if (*p == L'z' || *p == L'j' || *p == L't') {
            ++p;
            len = kSize;
        } else if (*p == L'I') {
            ++p;
            if (p[0] == L'6' && p[1] == L'4') {
                p += 2;
                len = kLongLong;
            } else if (p[0] == L'3' && p[1] == L'2') {
                p += 2;
                len = kInt32;
            } else
                len = kSize;
        }
        wchar_t conv = *p;
        if (!conv) {
            out.append(start);
            break;
        }
        ++p;
        std::wstring head = L"%" + flags + (starW ? L"*" : widthText) +
                            (hasPrec ? L"." + (starP ? std::wstring(L"*") : precText) : L"");
        switch (conv) {
            case L'd':
            case L'i': {
                long long v;
                if (len == kLong)
                    v = va_arg(ap, long);
                else if (len == kLongLong)
                    v = va_arg(ap, long long);
                else if (len == kSize)
                    v = static_cast<long long>(va_arg(ap, std::ptrdiff_t));
                else
                    v = va_arg(ap, int);
                if (len == kShort) v = static_cast<short>(v);
                if (len == kChar) v = static_cast<signed char>(v);
                out += piece(head + L"lld", width, precision, starW, starP, v);
                break;
            }
            case L'u':
            case L'o':
            case L'x':
            case L'X': {
                unsigned long long v;
                if (len == kLong)
                    v = va_arg(ap, unsigned long);
                else if (len == kLongLong)
                    v = va_arg(ap, unsigned long long);
                else if (len == kSize)
                    v = va_arg(ap, std::size_t);
                else
                    v = va_arg(ap, unsigned int);
                if (len == kShort) v = static_cast<unsigned short>(v);
                if (len == kChar) v = static_cast<unsigned char>(v);
                out += piece(head + L"ll" + conv, width, precision, starW, starP, v);
                break;
            }
            case L'e':
            case L'E':
            case L'f':
            case L'F':
            case L'g':
            case L'G':
            case L'a':
            case L'A': {
                double v = len == kLongDouble ? static_cast<double>(va_arg(ap, long double)) : va_arg(ap, double);
                out += piece(head + conv, width, precision, starW, starP, v);
                break;
            }
            case L'p': {
                void* v = va_arg(ap, void*);
                out += piece(head + L"p", width, precision, starW, starP, v);
                break;
            }
            case L'c':
            case L'C': {
                bool narrow = (conv == L'C' && len != kLong && len != kWide) || len == kShort;
                int v = va_arg(ap, int);
                wchar_t ch =
                    narrow ? win::fromCp1252(std::string(1, static_cast<char>(v)))[0] : static_cast<wchar_t>(v);
                out += piece(head + L"lc", width, precision, starW, starP, static_cast<wint_t>(ch));
                break;
            }
            case L's':
            case L'S': {
                bool narrow = (conv == L'S' && len != kLong && len != kWide) || len == kShort;
                std::wstring text;
                if (narrow) {
                    const char* s = va_arg(ap, const char*);
                    text = s ? widenNarrow(s, std::string_view(s).size()) : L"(null)";
                } else {
                    const wchar_t* s = va_arg(ap, const wchar_t*);
                    text = s ? s : L"(null)";
                }
                out += piece(head + L"ls", width, precision, starW, starP, text.c_str());
                break;
            }
            default:
                // Unknown to the runtime (and %n): copied as it stands, nothing consumed.
                out.append(start, p);
                break;
        }
    }
    va_end(ap);
    return out;
}

std::wstring formatMsV(const wchar_t* format, ...) {
    va_list ap;
    va_start(ap, format);
    std::wstring s = formatMs(format, ap);
    va_end(ap);
    return s;
}

void CommandLine::write(const std::wstring& text) {
    captured_ += text;
    const size_t end = text.find_last_of(L'\n');
    current_ = end == std::wstring::npos ? current_ + text : text.substr(end + 1);
    if (sink_) sink_(text);
}

CommandLine& commandLine() {
    static CommandLine line;
    return line;
}

} // namespace ed

int acutPrintf(const wchar_t* format, ...) {
    va_list ap;
    va_start(ap, format);
    std::wstring s = ed::formatMs(format, ap);
    va_end(ap);
    ed::commandLine().write(s);
    return RTNORM;
}
