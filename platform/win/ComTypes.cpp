#include "win/ComTypes.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <limits>
#include <map>
#include <mutex>
#include <new>
#include <ostream>
#include <vector>

#include "win/Encoding.h"
#include "win/WinApi.h"

using win::fromUtf8;
using win::toUtf8;

// ---- IUnknown / IDispatch defaults -----------------------------------------------------------

HRESULT IUnknown::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown) {
        *object = this;
    } else if (iid == IID_IDispatch) {
        *object = dynamic_cast<IDispatch*>(this);
    }
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT IDispatch::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT IDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

HRESULT IDispatch::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) {
    for (UINT i = 0; ids && i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

// ---- BSTR ------------------------------------------------------------------------------------

namespace {
constexpr std::size_t kBstrHeader = 8; // keeps the characters aligned; the length sits in front

std::uint32_t& bstrLength(BSTR text) {
    return *reinterpret_cast<std::uint32_t*>(reinterpret_cast<char*>(text) - kBstrHeader);
}
} // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    auto* block =
        static_cast<char*>(std::malloc(kBstrHeader + (static_cast<std::size_t>(length) + 1) * sizeof(OLECHAR)));
    if (!block) return nullptr;
    auto* chars = reinterpret_cast<BSTR>(block + kBstrHeader);
    bstrLength(chars) = length;
    if (text)
        std::wmemcpy(chars, text, length);
    else
        std::wmemset(chars, 0, length);
    chars[length] = 0;
    return chars;
}

BSTR SysAllocString(const OLECHAR* text) {
    if (!text) return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(std::wcslen(text)));
}

void SysFreeString(BSTR text) {
    if (text) std::free(reinterpret_cast<char*>(text) - kBstrHeader);
}

UINT SysStringLen(BSTR text) {
    return text ? bstrLength(text) : 0;
}

INT SysReAllocString(BSTR* target, const OLECHAR* text) {
    if (!target) return FALSE;
    BSTR fresh = SysAllocString(text);
    if (text && !fresh) return FALSE;
    SysFreeString(*target);
    *target = fresh;
    return TRUE;
}

void* CoTaskMemAlloc(std::size_t bytes) {
    return std::malloc(bytes ? bytes : 1);
}
void CoTaskMemFree(void* block) {
    std::free(block);
}

// ---- SAFEARRAY -------------------------------------------------------------------------------

namespace {

// What we keep in front of every SAFEARRAY: its element type.
struct ArrayHeader {
    VARTYPE vt;
};

constexpr std::size_t kArrayPrefix = 16;

VARTYPE& arrayType(SAFEARRAY* a) {
    return reinterpret_cast<ArrayHeader*>(reinterpret_cast<char*>(a) - kArrayPrefix)->vt;
}

ULONG elementSize(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            return 4;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
        case VT_DATE:
        case VT_CY:
            return 8;
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return sizeof(void*);
        case VT_VARIANT:
            return sizeof(VARIANT);
        default:
            return 0;
    }
}

ULONG elementCount(const SAFEARRAY* a) {
    ULONG n = 1;
    for (USHORT d = 0; d < a->cDims; ++d) n *= a->rgsabound[d].cElements;
    return n;
}

// Windows keeps the bounds with the first dimension last; indices come first dimension first.
HRESULT offsetOf(SAFEARRAY* a, const LONG* indices, std::size_t& offset) {
    if (!a || !indices) return E_INVALIDARG;
    std::size_t flat = 0;
    for (USHORT d = 0; d < a->cDims; ++d) {
        const SAFEARRAYBOUND& b = a->rgsabound[a->cDims - 1 - d];
        const LONG i = indices[d] - b.lLbound;
        if (i < 0 || static_cast<ULONG>(i) >= b.cElements) return DISP_E_BADINDEX;
        flat = flat * b.cElements + static_cast<std::size_t>(i);
    }
    offset = flat * a->cbElements;
    return S_OK;
}

void releaseElement(VARTYPE vt, void* p) {
    switch (vt) {
        case VT_BSTR:
            SysFreeString(*static_cast<BSTR*>(p));
            *static_cast<BSTR*>(p) = nullptr;
            break;
        case VT_DISPATCH:
        case VT_UNKNOWN:
            if (auto* u = *static_cast<IUnknown**>(p)) u->Release();
            *static_cast<IUnknown**>(p) = nullptr;
            break;
        case VT_VARIANT:
            VariantClear(static_cast<VARIANT*>(p));
            break;
        default:
            break;
    }
}

HRESULT copyElement(VARTYPE vt, void* target, const void* source, ULONG size) {
    switch (vt) {
        case VT_BSTR: {
            BSTR s = *static_cast<const BSTR*>(source);
            BSTR copy = s ? SysAllocStringLen(s, SysStringLen(s)) : nullptr;
            if (s && !copy) return E_OUTOFMEMORY;
            *static_cast<BSTR*>(target) = copy;
            return S_OK;
        }
        case VT_DISPATCH:
        case VT_UNKNOWN: {
            IUnknown* u = *static_cast<IUnknown* const*>(source);
            if (u) u->AddRef();
            *static_cast<IUnknown**>(target) = u;
            return S_OK;
        }
        case VT_VARIANT:
            VariantInit(static_cast<VARIANT*>(target));
            return VariantCopy(static_cast<VARIANT*>(target), static_cast<const VARIANT*>(source));
        default:
            std::memcpy(target, source, size);
            return S_OK;
    }
}

} // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, SAFEARRAYBOUND* bounds) {
    const ULONG size = elementSize(vt);
    if (size == 0 || dims == 0 || !bounds) return nullptr;
    const std::size_t head = kArrayPrefix + sizeof(SAFEARRAY) + (dims - 1) * sizeof(SAFEARRAYBOUND);
    auto* block = static_cast<char*>(std::calloc(1, head));
    if (!block) return nullptr;
    auto* a = reinterpret_cast<SAFEARRAY*>(block + kArrayPrefix);
    arrayType(a) = vt;
    a->cDims = static_cast<USHORT>(dims);
    a->cbElements = size;
    // The caller gives the first dimension first; store it last.
    for (UINT d = 0; d < dims; ++d) a->rgsabound[dims - 1 - d] = bounds[d];
    const std::size_t bytes = static_cast<std::size_t>(elementCount(a)) * size;
    a->pvData = std::calloc(1, bytes ? bytes : 1);
    if (!a->pvData) {
        std::free(block);
        return nullptr;
    }
    return a;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements) {
    SAFEARRAYBOUND b{elements, lowerBound};
    return SafeArrayCreate(vt, 1, &b);
}

HRESULT SafeArrayDestroy(SAFEARRAY* a) {
    if (!a) return S_OK;
    if (a->cLocks) return static_cast<HRESULT>(0x8002000Du); // DISP_E_ARRAYISLOCKED
    const VARTYPE vt = arrayType(a);
    auto* data = static_cast<char*>(a->pvData);
    const ULONG n = elementCount(a);
    for (ULONG i = 0; data && i < n; ++i) releaseElement(vt, data + static_cast<std::size_t>(i) * a->cbElements);
    std::free(a->pvData);
    std::free(reinterpret_cast<char*>(a) - kArrayPrefix);
    return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* a, LONG* indices, void* value) {
    std::size_t offset = 0;
    if (const HRESULT hr = offsetOf(a, indices, offset); FAILED(hr)) return hr;
    const VARTYPE vt = arrayType(a);
    void* slot = static_cast<char*>(a->pvData) + offset;
    // BSTR and interface elements are given by value (the pointer itself).
    const void* source =
        (vt == VT_BSTR || vt == VT_DISPATCH || vt == VT_UNKNOWN) ? static_cast<const void*>(&value) : value;
    if (!value && vt != VT_BSTR && vt != VT_DISPATCH && vt != VT_UNKNOWN) return E_INVALIDARG;
    alignas(VARIANT) unsigned char fresh[sizeof(VARIANT)];
    if (const HRESULT hr = copyElement(vt, fresh, source, a->cbElements); FAILED(hr)) return hr;
    releaseElement(vt, slot);
    std::memcpy(slot, fresh, a->cbElements);
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* a, LONG* indices, void* value) {
    std::size_t offset = 0;
    if (const HRESULT hr = offsetOf(a, indices, offset); FAILED(hr)) return hr;
    if (!value) return E_INVALIDARG;
    return copyElement(arrayType(a), value, static_cast<char*>(a->pvData) + offset, a->cbElements);
}

HRESULT SafeArrayGetLBound(SAFEARRAY* a, UINT dim, LONG* bound) {
    if (!a || !bound) return E_INVALIDARG;
    if (dim < 1 || dim > a->cDims) return DISP_E_BADINDEX;
    *bound = a->rgsabound[a->cDims - dim].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* a, UINT dim, LONG* bound) {
    if (!a || !bound) return E_INVALIDARG;
    if (dim < 1 || dim > a->cDims) return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& b = a->rgsabound[a->cDims - dim];
    *bound = b.lLbound + static_cast<LONG>(b.cElements) - 1;
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* a) {
    return a ? a->cDims : 0;
}
UINT SafeArrayGetElemsize(SAFEARRAY* a) {
    return a ? a->cbElements : 0;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* a, VARTYPE* vt) {
    if (!a || !vt) return E_INVALIDARG;
    *vt = arrayType(a);
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* a, void** data) {
    if (!a || !data) return E_INVALIDARG;
    ++a->cLocks;
    *data = a->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* a) {
    if (!a) return E_INVALIDARG;
    if (a->cLocks == 0) return E_UNEXPECTED;
    --a->cLocks;
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* a, SAFEARRAY** copy) {
    if (!copy) return E_INVALIDARG;
    *copy = nullptr;
    if (!a) return S_OK;
    std::vector<SAFEARRAYBOUND> bounds(a->cDims);
    for (USHORT d = 0; d < a->cDims; ++d) bounds[d] = a->rgsabound[a->cDims - 1 - d];
    const VARTYPE vt = arrayType(a);
    SAFEARRAY* c = SafeArrayCreate(vt, a->cDims, bounds.data());
    if (!c) return E_OUTOFMEMORY;
    const ULONG n = elementCount(a);
    for (ULONG i = 0; i < n; ++i) {
        const std::size_t off = static_cast<std::size_t>(i) * a->cbElements;
        if (const HRESULT hr = copyElement(vt, static_cast<char*>(c->pvData) + off, static_cast<char*>(a->pvData) + off,
                                           a->cbElements);
            FAILED(hr)) {
            SafeArrayDestroy(c);
            return hr;
        }
    }
    *copy = c;
    return S_OK;
}

// ---- VARIANT ---------------------------------------------------------------------------------

void VariantInit(VARIANT* v) {
    if (!v) return;
    std::memset(static_cast<void*>(v), 0, sizeof(VARIANT));
    v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* v) {
    if (!v) return E_INVALIDARG;
    if (!(v->vt & VT_BYREF)) {
        if (v->vt & VT_ARRAY) {
            if (v->parray) {
                const HRESULT hr = SafeArrayDestroy(v->parray);
                if (FAILED(hr)) return hr;
            }
        } else {
            switch (v->vt) {
                case VT_BSTR:
                    SysFreeString(v->bstrVal);
                    break;
                case VT_DISPATCH:
                case VT_UNKNOWN:
                    if (v->punkVal) v->punkVal->Release();
                    break;
                default:
                    break;
            }
        }
    }
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* target, const VARIANT* source) {
    if (!target || !source) return E_INVALIDARG;
    if (target == source) return S_OK;
    VARIANT copy;
    std::memcpy(static_cast<void*>(&copy), source, sizeof(VARIANT));
    if (!(source->vt & VT_BYREF)) {
        if (source->vt & VT_ARRAY) {
            if (const HRESULT hr = SafeArrayCopy(source->parray, &copy.parray); FAILED(hr)) return hr;
        } else if (source->vt == VT_BSTR) {
            copy.bstrVal =
                source->bstrVal ? SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal)) : nullptr;
            if (source->bstrVal && !copy.bstrVal) return E_OUTOFMEMORY;
        } else if ((source->vt == VT_DISPATCH || source->vt == VT_UNKNOWN) && source->punkVal) {
            source->punkVal->AddRef();
        }
    }
    if (const HRESULT hr = VariantClear(target); FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    std::memcpy(static_cast<void*>(target), &copy, sizeof(VARIANT));
    return S_OK;
}

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

// ---- COM initialisation and classes ----------------------------------------------------------

namespace {
thread_local int t_comInit = 0;

struct Registry {
    std::mutex mutex;
    std::map<std::wstring, win::ClassFactory> classes;
};
Registry& registry() {
    static Registry r;
    return r;
}
std::wstring lowered(const std::wstring& s) {
    std::wstring out = s;
    for (auto& c : out) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return out;
}

class TaskAllocator final : public IMalloc {
public:
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    void* Alloc(std::size_t bytes) override { return CoTaskMemAlloc(bytes); }
    void* Realloc(void* block, std::size_t bytes) override { return std::realloc(block, bytes ? bytes : 1); }
    void Free(void* block) override { CoTaskMemFree(block); }
};

class ErrorInfo final : public win::ComObject<IErrorInfo> {
public:
    ErrorInfo(std::wstring description, std::wstring source)
        : description_(std::move(description)), source_(std::move(source)) {}
    HRESULT GetGUID(GUID* guid) override {
        if (!guid) return E_POINTER;
        *guid = IID_NULL;
        return S_OK;
    }
    HRESULT GetSource(BSTR* out) override { return give(source_, out); }
    HRESULT GetDescription(BSTR* out) override { return give(description_, out); }
    HRESULT GetHelpFile(BSTR* out) override { return give(std::wstring(), out); }
    HRESULT GetHelpContext(DWORD* context) override {
        if (!context) return E_POINTER;
        *context = 0;
        return S_OK;
    }

private:
    static HRESULT give(const std::wstring& s, BSTR* out) {
        if (!out) return E_POINTER;
        *out = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    std::wstring description_;
    std::wstring source_;
};
} // namespace

HRESULT CoInitialize(LPVOID) {
    return ++t_comInit == 1 ? S_OK : S_FALSE;
}
HRESULT CoInitializeEx(LPVOID reserved, DWORD) {
    return CoInitialize(reserved);
}
void CoUninitialize() {
    if (t_comInit > 0) --t_comInit;
}

HRESULT SHGetMalloc(IMalloc** allocator) {
    static TaskAllocator task;
    if (!allocator) return E_POINTER;
    *allocator = &task;
    return S_OK;
}

namespace win {

int comInitCount() {
    return t_comInit;
}

void registerClass(const std::wstring& progId, ClassFactory factory) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.classes[lowered(progId)] = factory;
}

IUnknown* createInstance(const std::wstring& progId) {
    auto& r = registry();
    ClassFactory factory = nullptr;
    {
        std::lock_guard lock(r.mutex);
        auto it = r.classes.find(lowered(progId));
        if (it != r.classes.end()) factory = it->second;
    }
    return factory ? factory() : nullptr;
}

IErrorInfo* makeErrorInfo(const std::wstring& description, const std::wstring& source) {
    return new ErrorInfo(description, source);
}

} // namespace win

// ---- _bstr_t ---------------------------------------------------------------------------------

_bstr_t::Data::~Data() {
    SysFreeString(bstr);
}

_bstr_t::_bstr_t(const wchar_t* text) {
    if (!text) return;
    data_ = std::make_shared<Data>();
    data_->bstr = SysAllocString(text);
    if (!data_->bstr) _com_issue_error(E_OUTOFMEMORY);
}

_bstr_t::_bstr_t(const char* text) {
    if (!text) return;
    const std::wstring wide = fromUtf8(text);
    data_ = std::make_shared<Data>();
    data_->bstr = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!data_->bstr) _com_issue_error(E_OUTOFMEMORY);
}

_bstr_t::_bstr_t(const std::wstring& text) {
    data_ = std::make_shared<Data>();
    data_->bstr = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!data_->bstr) _com_issue_error(E_OUTOFMEMORY);
}

_bstr_t::_bstr_t(BSTR text, bool copy) {
    if (!text) return;
    data_ = std::make_shared<Data>();
    data_->bstr = copy ? SysAllocStringLen(text, SysStringLen(text)) : text;
    if (!data_->bstr) _com_issue_error(E_OUTOFMEMORY);
}

_bstr_t::_bstr_t(const tagVARIANT& v) {
    VARIANT tmp;
    VariantInit(&tmp);
    const HRESULT hr = VariantChangeType(&tmp, &v, 0, VT_BSTR);
    if (FAILED(hr)) _com_issue_error(hr);
    Attach(tmp.bstrVal);
}

const char* _bstr_t::c_str() const {
    if (!data_) return nullptr;
    if (!data_->utf8Ready) {
        data_->utf8 = toUtf8(std::wstring_view(data_->bstr, SysStringLen(data_->bstr)));
        data_->utf8Ready = true;
    }
    return data_->utf8.c_str();
}

std::wstring _bstr_t::wstr() const {
    return data_ && data_->bstr ? std::wstring(data_->bstr, SysStringLen(data_->bstr)) : std::wstring();
}

BSTR& _bstr_t::GetAddress() {
    data_ = std::make_shared<Data>();
    return data_->bstr;
}

BSTR _bstr_t::copy(bool fromSelf) const {
    if (!data_ || !data_->bstr) return nullptr;
    if (!fromSelf) return data_->bstr;
    BSTR c = SysAllocStringLen(data_->bstr, SysStringLen(data_->bstr));
    if (!c) _com_issue_error(E_OUTOFMEMORY);
    return c;
}

void _bstr_t::Attach(BSTR text) {
    data_ = std::make_shared<Data>();
    data_->bstr = text;
}

BSTR _bstr_t::Detach() {
    if (!data_) return nullptr;
    // A text shared with other copies stays theirs; the caller gets its own.
    BSTR b = data_.use_count() == 1 ? std::exchange(data_->bstr, nullptr) : copy();
    data_.reset();
    return b;
}

void _bstr_t::Assign(BSTR text) {
    *this = _bstr_t(text, true);
}

unsigned int _bstr_t::length() const {
    return data_ ? SysStringLen(data_->bstr) : 0;
}

_bstr_t& _bstr_t::operator+=(const _bstr_t& other) {
    *this = *this + other;
    return *this;
}

_bstr_t operator+(const _bstr_t& a, const _bstr_t& b) {
    return _bstr_t(a.wstr() + b.wstr());
}

bool _bstr_t::operator==(const _bstr_t& other) const {
    return wstr() == other.wstr();
}
bool _bstr_t::operator<(const _bstr_t& other) const {
    return wstr() < other.wstr();
}

// ---- _com_error ------------------------------------------------------------------------------

_com_error::_com_error(HRESULT hr, IErrorInfo* info, bool addRef) : hr_(hr), info_(info) {
    if (info_ && addRef) info_->AddRef();
}

_com_error::_com_error(const _com_error& other) : hr_(other.hr_), info_(other.info_) {
    if (info_) info_->AddRef();
}

_com_error& _com_error::operator=(const _com_error& other) {
    if (this != &other) {
        if (other.info_) other.info_->AddRef();
        if (info_) info_->Release();
        hr_ = other.hr_;
        info_ = other.info_;
        message_.clear();
    }
    return *this;
}

_com_error::~_com_error() {
    if (info_) info_->Release();
}

WORD _com_error::WCode() const {
    const auto u = static_cast<DWORD>(hr_);
    return (u >= 0x80040200u && u <= 0x8004FFFFu) ? static_cast<WORD>(u - 0x80040200u) : 0;
}

IErrorInfo* _com_error::ErrorInfo() const {
    if (info_) info_->AddRef();
    return info_;
}

namespace {
_bstr_t fromInfo(IErrorInfo* info, HRESULT (IErrorInfo::*get)(BSTR*)) {
    if (!info) return _bstr_t();
    BSTR b = nullptr;
    if (FAILED((info->*get)(&b))) return _bstr_t();
    return _bstr_t(b, false);
}
} // namespace

_bstr_t _com_error::Description() const {
    return fromInfo(info_, &IErrorInfo::GetDescription);
}
_bstr_t _com_error::Source() const {
    return fromInfo(info_, &IErrorInfo::GetSource);
}
_bstr_t _com_error::HelpFile() const {
    return fromInfo(info_, &IErrorInfo::GetHelpFile);
}

DWORD _com_error::HelpContext() const {
    DWORD c = 0;
    if (info_) info_->GetHelpContext(&c);
    return c;
}

const wchar_t* _com_error::ErrorMessage() const {
    if (message_.empty()) {
        std::wstring text = win::systemMessage(static_cast<DWORD>(hr_));
        while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
        if (text.empty()) {
            wchar_t buf[64];
            if (WCode() != 0)
                std::swprintf(buf, 64, L"IDispatch error #%d", static_cast<int>(WCode()));
            else
                std::swprintf(buf, 64, L"Unknown error 0x%0lX", static_cast<unsigned long>(static_cast<DWORD>(hr_)));
            text = buf;
        }
        message_ = text;
    }
    return message_.c_str();
}

void _com_issue_error(HRESULT hr) {
    throw _com_error(hr);
}
void _com_issue_errorex(HRESULT hr, IUnknown*, REFIID) {
    throw _com_error(hr);
}
void _com_raise_error(HRESULT hr, IErrorInfo* info) {
    throw _com_error(hr, info);
}

// ---- _variant_t ------------------------------------------------------------------------------

const _variant_t vtMissing(static_cast<long>(DISP_E_PARAMNOTFOUND), VT_ERROR);

_variant_t::_variant_t(const VARIANT& v) {
    VariantInit(this);
    if (const HRESULT hr = VariantCopy(this, &v); FAILED(hr)) _com_issue_error(hr);
}

_variant_t::_variant_t(const VARIANT* v) {
    VariantInit(this);
    if (!v) _com_issue_error(E_POINTER);
    if (const HRESULT hr = VariantCopy(this, v); FAILED(hr)) _com_issue_error(hr);
}

_variant_t::_variant_t(const _variant_t& v) : _variant_t(static_cast<const VARIANT&>(v)) {}

_variant_t::_variant_t(_variant_t&& v) noexcept {
    std::memcpy(static_cast<void*>(static_cast<VARIANT*>(this)), static_cast<const VARIANT*>(&v), sizeof(VARIANT));
    VariantInit(&v);
}

_variant_t::_variant_t(VARIANT& v, bool copy) {
    VariantInit(this);
    if (copy) {
        if (const HRESULT hr = VariantCopy(this, &v); FAILED(hr)) _com_issue_error(hr);
    } else {
        std::memcpy(static_cast<void*>(static_cast<VARIANT*>(this)), &v, sizeof(VARIANT));
        VariantInit(&v);
    }
}

_variant_t::_variant_t(short value, VARTYPE vt) {
    VariantInit(this);
    if (vt != VT_I2 && vt != VT_BOOL) _com_issue_error(E_INVALIDARG);
    this->vt = vt;
    if (vt == VT_BOOL)
        boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    else
        iVal = value;
}

_variant_t::_variant_t(long value, VARTYPE vt) {
    VariantInit(this);
    if (vt != VT_I4 && vt != VT_ERROR && vt != VT_BOOL) _com_issue_error(E_INVALIDARG);
    this->vt = vt;
    if (vt == VT_BOOL)
        boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    else if (vt == VT_ERROR)
        scode = static_cast<SCODE>(value);
    else
        lVal = static_cast<LONG>(value);
}

_variant_t::_variant_t(int value, VARTYPE vt) {
    VariantInit(this);
    if (vt != VT_INT && vt != VT_I4) _com_issue_error(E_INVALIDARG);
    this->vt = vt;
    intVal = value;
}

_variant_t::_variant_t(unsigned int value) {
    VariantInit(this);
    vt = VT_UINT;
    uintVal = value;
}

_variant_t::_variant_t(double value, VARTYPE vt) {
    VariantInit(this);
    if (vt != VT_R8 && vt != VT_DATE) _com_issue_error(E_INVALIDARG);
    this->vt = vt;
    dblVal = value;
}

_variant_t::_variant_t(float value) {
    VariantInit(this);
    vt = VT_R4;
    fltVal = value;
}

_variant_t::_variant_t(bool value) {
    VariantInit(this);
    vt = VT_BOOL;
    boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

_variant_t::_variant_t(BYTE value) {
    VariantInit(this);
    vt = VT_UI1;
    bVal = value;
}

_variant_t::_variant_t(long long value) {
    VariantInit(this);
    vt = VT_I8;
    llVal = value;
}

_variant_t::_variant_t(const wchar_t* text) : _variant_t(_bstr_t(text)) {}
_variant_t::_variant_t(const char* text) : _variant_t(_bstr_t(text)) {}

_variant_t::_variant_t(const _bstr_t& text) {
    VariantInit(this);
    vt = VT_BSTR;
    bstrVal = SysAllocStringLen(static_cast<const wchar_t*>(text), text.length());
    if (!bstrVal) _com_issue_error(E_OUTOFMEMORY);
}

_variant_t::_variant_t(IDispatch* object, bool addRef) {
    VariantInit(this);
    vt = VT_DISPATCH;
    pdispVal = object;
    if (object && addRef) object->AddRef();
}

_variant_t::_variant_t(IUnknown* object, bool addRef) {
    VariantInit(this);
    vt = VT_UNKNOWN;
    punkVal = object;
    if (object && addRef) object->AddRef();
}

_variant_t& _variant_t::operator=(const _variant_t& v) {
    return *this = static_cast<const VARIANT&>(v);
}

_variant_t& _variant_t::operator=(_variant_t&& v) noexcept {
    if (this != &v) {
        VariantClear(this);
        std::memcpy(static_cast<void*>(static_cast<VARIANT*>(this)), static_cast<const VARIANT*>(&v), sizeof(VARIANT));
        VariantInit(&v);
    }
    return *this;
}

_variant_t& _variant_t::operator=(const VARIANT& v) {
    if (const HRESULT hr = VariantCopy(this, &v); FAILED(hr)) _com_issue_error(hr);
    return *this;
}

_variant_t _variant_t::converted(VARTYPE target) const {
    _variant_t out;
    if (const HRESULT hr = VariantChangeType(&out, this, 0, target); FAILED(hr)) _com_issue_error(hr);
    return out;
}

_variant_t::operator short() const {
    return vt == VT_I2 ? iVal : converted(VT_I2).iVal;
}
_variant_t::operator long() const {
    return vt == VT_I4 ? lVal : converted(VT_I4).lVal;
}
_variant_t::operator int() const {
    return vt == VT_INT ? intVal : converted(VT_INT).intVal;
}
_variant_t::operator double() const {
    return vt == VT_R8 ? dblVal : converted(VT_R8).dblVal;
}
_variant_t::operator float() const {
    return vt == VT_R4 ? fltVal : converted(VT_R4).fltVal;
}
_variant_t::operator bool() const {
    return (vt == VT_BOOL ? boolVal : converted(VT_BOOL).boolVal) != 0;
}
_variant_t::operator BYTE() const {
    return vt == VT_UI1 ? bVal : converted(VT_UI1).bVal;
}
_variant_t::operator long long() const {
    return vt == VT_I8 ? llVal : converted(VT_I8).llVal;
}
_variant_t::operator _bstr_t() const {
    if (vt == VT_BSTR) return _bstr_t(bstrVal, true);
    _variant_t s = converted(VT_BSTR);
    return _bstr_t(s.bstrVal, true);
}
_variant_t::operator IDispatch*() const {
    if (vt != VT_DISPATCH && vt != VT_UNKNOWN) _com_issue_error(DISP_E_TYPEMISMATCH);
    auto* d = vt == VT_DISPATCH ? pdispVal : dynamic_cast<IDispatch*>(punkVal);
    if (d) d->AddRef();
    return d;
}
_variant_t::operator IUnknown*() const {
    if (vt != VT_DISPATCH && vt != VT_UNKNOWN) _com_issue_error(DISP_E_TYPEMISMATCH);
    IUnknown* u = punkVal;
    if (u) u->AddRef();
    return u;
}

void _variant_t::Clear() {
    if (const HRESULT hr = VariantClear(this); FAILED(hr)) _com_issue_error(hr);
}

void _variant_t::ChangeType(VARTYPE target, const _variant_t* source) {
    const VARIANT* from = source ? source : this;
    _variant_t out;
    if (const HRESULT hr = VariantChangeType(&out, from, 0, target); FAILED(hr)) _com_issue_error(hr);
    *this = std::move(out);
}

void _variant_t::Attach(VARIANT& v) {
    Clear();
    std::memcpy(static_cast<void*>(static_cast<VARIANT*>(this)), &v, sizeof(VARIANT));
    VariantInit(&v);
}

VARIANT _variant_t::Detach() {
    VARIANT v;
    std::memcpy(static_cast<void*>(&v), static_cast<const VARIANT*>(this), sizeof(VARIANT));
    VariantInit(this);
    return v;
}

VARIANT* _variant_t::GetAddress() {
    Clear();
    return this;
}

bool _variant_t::operator==(const VARIANT& other) const {
    if (vt != other.vt) return false;
    switch (vt) {
        case VT_EMPTY:
        case VT_NULL:
            return true;
        case VT_BSTR: {
            const UINT n = SysStringLen(bstrVal);
            return n == SysStringLen(other.bstrVal) && (n == 0 || std::wmemcmp(bstrVal, other.bstrVal, n) == 0);
        }
        case VT_R8:
            return dblVal == other.dblVal;
        case VT_DATE:
            return date == other.date;
        case VT_R4:
            return fltVal == other.fltVal;
        case VT_I2:
        case VT_BOOL:
        case VT_UI2:
            return iVal == other.iVal;
        case VT_UI1:
        case VT_I1:
            return bVal == other.bVal;
        case VT_I8:
        case VT_UI8:
            return llVal == other.llVal;
        default:
            return (vt & VT_ARRAY) ? parray == other.parray : lVal == other.lVal && llVal == other.llVal;
    }
}

std::ostream& operator<<(std::ostream& out, const _bstr_t& text) {
    const char* s = text.c_str();
    return out << '"' << (s ? s : "") << '"';
}

std::ostream& operator<<(std::ostream& out, const _variant_t& value) {
    out << "VT_" << value.vt;
    if (value.vt == VT_EMPTY || value.vt == VT_NULL || (value.vt & VT_ARRAY)) return out;
    _variant_t text;
    if (SUCCEEDED(VariantChangeType(&text, &value, 0, VT_BSTR))) out << ':' << _bstr_t(text.bstrVal, true);
    return out;
}
