// VARIANT: initialising, clearing and copying, and _variant_t, the owning wrapper over it.
#include "win/ComTypes.h"

#include <cstring>
#include <cwchar>
#include <ostream>

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

std::ostream& operator<<(std::ostream& out, const _variant_t& value) {
    out << "VT_" << value.vt;
    if (value.vt == VT_EMPTY || value.vt == VT_NULL || (value.vt & VT_ARRAY)) return out;
    _variant_t text;
    if (SUCCEEDED(VariantChangeType(&text, &value, 0, VT_BSTR))) out << ':' << _bstr_t(text.bstrVal, true);
    return out;
}
