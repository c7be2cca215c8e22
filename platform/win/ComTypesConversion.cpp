// VariantChangeType: conversions between variant types (numbers, text, dates, booleans).
#include "win/ComTypes.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <limits>
#include <string>

#include "win/Encoding.h"

using win::fromUtf8;
using win::toUtf8;

// ---- VARIANT conversions ---------------------------------------------------------------------

namespace {

constexpr USHORT VARIANT_ALPHABOOL = 0x02;

std::wstring formatDouble(double d) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 15);
    std::wstring out = fromUtf8(std::string(buf, res.ptr));
    for (auto& c : out)
        if (c == L'e') c = L'E';
    return out;
}

long long daysFromCivil(long long y, long long m, long long d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 25569; // days from 1899-12-30
}

// "YYYY-MM-DD", optionally followed by " HH:MM" or " HH:MM:SS" (or "T" in place of the blank).
bool parseIsoDate(const std::wstring& text, double& out) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    wchar_t sep = 0;
    int n = std::swscanf(text.c_str(), L"%4d-%2d-%2d%lc%2d:%2d:%2d", &y, &mo, &d, &sep, &h, &mi, &s);
    if (n != 3 && n != 6 && n != 7) return false;
    if (n > 3 && sep != L' ' && sep != L'T') return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 || h < 0 || mi < 0 || s < 0) return false;
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d > kDays[mo - 1] || (mo == 2 && d == 29 && !leap)) return false;
    const double days = static_cast<double>(daysFromCivil(y, mo, d));
    const double frac = (h * 3600 + mi * 60 + s) / 86400.0;
    // Before day 0 the time still counts away from zero, as Windows stores it.
    out = days < 0 ? days - frac : days + frac;
    return true;
}

// "YYYY-MM-DD", with " HH:MM:SS" when the day is not at midnight.
std::wstring formatDate(double day) {
    const double whole = std::floor(day);
    double frac = std::fabs(day - whole);
    long long days = static_cast<long long>(whole);
    if (day < 0 && frac != 0) { // negative dates keep the time as a positive fraction
        days = static_cast<long long>(std::ceil(day));
        frac = std::fabs(day - std::ceil(day));
    }
    // Day 0 is 1899-12-30; civil-from-days over the proleptic Gregorian calendar.
    long long z = days - 25569 + 719468; // days since 1970-01-01, shifted to 0000-03-01
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long y = yoe + era * 400;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1;
    const long long m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2) ++y;
    long long secs = std::llround(frac * 86400.0);
    if (secs >= 86400) secs = 86399;
    wchar_t buf[64];
    if (secs == 0)
        std::swprintf(buf, 64, L"%04lld-%02lld-%02lld", y, m, d);
    else
        std::swprintf(buf, 64, L"%04lld-%02lld-%02lld %02lld:%02lld:%02lld", y, m, d, secs / 3600, secs / 60 % 60,
                      secs % 60);
    return buf;
}

bool parseDouble(const std::wstring& text, double& out) {
    std::wstring t = text;
    while (!t.empty() && std::iswspace(static_cast<wint_t>(t.back()))) t.pop_back();
    std::size_t i = 0;
    while (i < t.size() && std::iswspace(static_cast<wint_t>(t[i]))) ++i;
    const std::string s = toUtf8(t.substr(i));
    if (s.empty()) return false;
    const char* first = s.c_str();
    if (*first == '+') ++first;
    auto res = std::from_chars(first, s.c_str() + s.size(), out);
    return res.ec == std::errc() && res.ptr == s.c_str() + s.size();
}

bool caseEquals(const std::wstring& a, const wchar_t* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) return false;
    return i == a.size() && !b[i];
}

bool isInteger(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
        case VT_I2:
        case VT_UI2:
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_I8:
        case VT_UI8:
        case VT_BOOL:
        case VT_EMPTY:
            return true;
        default:
            return false;
    }
}

long long integerOf(const VARIANT& v) {
    switch (v.vt) {
        case VT_I1:
            return v.cVal;
        case VT_UI1:
            return v.bVal;
        case VT_I2:
            return v.iVal;
        case VT_UI2:
            return v.uiVal;
        case VT_I4:
            return v.lVal;
        case VT_UI4:
            return v.ulVal;
        case VT_INT:
            return v.intVal;
        case VT_UINT:
            return v.uintVal;
        case VT_I8:
            return v.llVal;
        case VT_UI8:
            return static_cast<long long>(v.ullVal);
        case VT_BOOL:
            return v.boolVal ? -1 : 0;
        default:
            return 0;
    }
}

} // namespace

HRESULT VariantChangeType(VARIANT* target, const VARIANT* source, USHORT flags, VARTYPE vt) {
    if (!target || !source) return E_INVALIDARG;
    const VARTYPE from = source->vt;
    if (from & VT_BYREF) return DISP_E_BADVARTYPE;
    VARIANT out;
    VariantInit(&out);
    if (from == vt) return VariantCopy(target, source);
    if ((from & VT_ARRAY) || (vt & VT_ARRAY)) return DISP_E_TYPEMISMATCH;
    if (vt == VT_EMPTY) return VariantClear(target);
    if (from == VT_NULL || vt == VT_NULL) {
        if (vt != VT_NULL) return DISP_E_TYPEMISMATCH;
        VariantClear(target);
        target->vt = VT_NULL;
        return S_OK;
    }
    if (from == VT_DISPATCH || from == VT_UNKNOWN || vt == VT_DISPATCH || vt == VT_UNKNOWN) {
        if (vt == VT_UNKNOWN && from == VT_DISPATCH) {
            VariantCopy(&out, source);
            out.vt = VT_UNKNOWN;
            VariantClear(target);
            std::memcpy(static_cast<void*>(target), &out, sizeof(VARIANT));
            return S_OK;
        }
        return DISP_E_TYPEMISMATCH;
    }
    if (from == VT_ERROR || vt == VT_ERROR) return DISP_E_TYPEMISMATCH;

    // The source as a number or as text.
    bool integral = isInteger(from);
    long long ival = integral ? integerOf(*source) : 0;
    double dval = 0;
    if (from == VT_R8 || from == VT_DATE)
        dval = from == VT_R8 ? source->dblVal : source->date;
    else if (from == VT_R4)
        dval = source->fltVal;
    else if (from == VT_BSTR) {
        const std::wstring text = source->bstrVal ? source->bstrVal : L"";
        if (vt == VT_BOOL && (caseEquals(text, L"true") || caseEquals(text, L"false"))) {
            integral = true;
            ival = caseEquals(text, L"true") ? -1 : 0;
        } else if (!parseDouble(text, dval) && !(vt == VT_DATE && parseIsoDate(text, dval))) {
            return DISP_E_TYPEMISMATCH;
        }
    } else if (!integral) {
        return DISP_E_BADVARTYPE;
    }

    if (vt == VT_BSTR) {
        std::wstring text;
        if (from == VT_BOOL)
            text =
                (flags & VARIANT_ALPHABOOL) ? (source->boolVal ? L"True" : L"False") : (source->boolVal ? L"-1" : L"0");
        else if (from == VT_DATE)
            text = formatDate(dval);
        else if (integral)
            text = std::to_wstring(ival);
        else
            text = formatDouble(dval);
        out.vt = VT_BSTR;
        out.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!out.bstrVal) return E_OUTOFMEMORY;
    } else if (vt == VT_R8 || vt == VT_DATE || vt == VT_R4) {
        const double d = integral ? static_cast<double>(ival) : dval;
        out.vt = vt;
        if (vt == VT_R8)
            out.dblVal = d;
        else if (vt == VT_DATE)
            out.date = d;
        else {
            if (std::fabs(d) > std::numeric_limits<float>::max()) return DISP_E_OVERFLOW;
            out.fltVal = static_cast<float>(d);
        }
    } else if (vt == VT_BOOL) {
        out.vt = VT_BOOL;
        out.boolVal = (integral ? ival != 0 : dval != 0) ? VARIANT_TRUE : VARIANT_FALSE;
    } else {
        // Integers: reals round half to even, as Windows does.
        long long n = ival;
        if (!integral) {
            if (!std::isfinite(dval) || std::fabs(dval) > 9.2e18) return DISP_E_OVERFLOW;
            const int mode = std::fegetround();
            std::fesetround(FE_TONEAREST);
            n = static_cast<long long>(std::nearbyint(dval));
            std::fesetround(mode);
        }
        auto in = [n](long long lo, long long hi) { return n >= lo && n <= hi; };
        out.vt = vt;
        switch (vt) {
            case VT_I1:
                if (!in(-128, 127)) return DISP_E_OVERFLOW;
                out.cVal = static_cast<CHAR>(n);
                break;
            case VT_UI1:
                if (!in(0, 255)) return DISP_E_OVERFLOW;
                out.bVal = static_cast<BYTE>(n);
                break;
            case VT_I2:
                if (!in(-32768, 32767)) return DISP_E_OVERFLOW;
                out.iVal = static_cast<SHORT>(n);
                break;
            case VT_UI2:
                if (!in(0, 65535)) return DISP_E_OVERFLOW;
                out.uiVal = static_cast<USHORT>(n);
                break;
            case VT_I4:
                if (!in(INT32_MIN, INT32_MAX)) return DISP_E_OVERFLOW;
                out.lVal = static_cast<LONG>(n);
                break;
            case VT_INT:
                if (!in(INT32_MIN, INT32_MAX)) return DISP_E_OVERFLOW;
                out.intVal = static_cast<INT>(n);
                break;
            case VT_UI4:
                if (!in(0, UINT32_MAX)) return DISP_E_OVERFLOW;
                out.ulVal = static_cast<ULONG>(n);
                break;
            case VT_UINT:
                if (!in(0, UINT32_MAX)) return DISP_E_OVERFLOW;
                out.uintVal = static_cast<UINT>(n);
                break;
            case VT_I8:
                out.llVal = n;
                break;
            case VT_UI8:
                if (n < 0) return DISP_E_OVERFLOW;
                out.ullVal = static_cast<ULONGLONG>(n);
                break;
            default:
                return DISP_E_BADVARTYPE;
        }
    }
    VariantClear(target);
    std::memcpy(static_cast<void*>(target), &out, sizeof(VARIANT));
    return S_OK;
}
