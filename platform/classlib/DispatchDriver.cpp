#include "classlib/DispatchDriver.h"

#include <cstring>

#include "win/WinApi.h"

// ---------------------------------------------------------------- exceptions

CString COleException::messageText() const {
    std::wstring text = win::systemMessage(static_cast<DWORD>(m_sc));
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    if (text.empty()) {
        CString s;
        s.Format(L"Unknown error 0x%08X", static_cast<unsigned>(m_sc));
        return s;
    }
    return CString(text.c_str());
}

BOOL COleException::GetErrorMessage(LPTSTR buffer, UINT maxChars, PUINT helpContext) const {
    return copyMessage(messageText(), buffer, maxChars, helpContext);
}

SCODE COleException::Process(const CException* e) {
    if (const auto* ole = dynamic_cast<const COleException*>(e)) return ole->m_sc;
    if (dynamic_cast<const CMemoryException*>(e)) return E_OUTOFMEMORY;
    if (dynamic_cast<const CNotSupportedException*>(e)) return E_NOTIMPL;
    if (dynamic_cast<const CInvalidArgException*>(e)) return E_INVALIDARG;
    return E_UNEXPECTED;
}

BOOL COleDispatchException::GetErrorMessage(LPTSTR buffer, UINT maxChars, PUINT helpContext) const {
    const BOOL r = copyMessage(m_strDescription, buffer, maxChars, nullptr);
    if (helpContext) *helpContext = m_dwHelpContext;
    return r;
}

void AfxThrowOleException(SCODE sc) {
    throw new COleException(sc);
}

// ---------------------------------------------------------------- driver

COleDispatchDriver::COleDispatchDriver(const COleDispatchDriver& other)
    : m_lpDispatch(other.m_lpDispatch), m_bAutoRelease(TRUE) {
    if (m_lpDispatch) m_lpDispatch->AddRef();
}

COleDispatchDriver& COleDispatchDriver::operator=(const COleDispatchDriver& other) {
    if (this != &other && m_lpDispatch != other.m_lpDispatch) {
        if (other.m_lpDispatch) other.m_lpDispatch->AddRef();
        ReleaseDispatch();
        m_lpDispatch = other.m_lpDispatch;
        m_bAutoRelease = TRUE;
    }
    return *this;
}

void COleDispatchDriver::AttachDispatch(LPDISPATCH dispatch, BOOL autoRelease) {
    if (dispatch != m_lpDispatch) ReleaseDispatch();
    m_lpDispatch = dispatch;
    m_bAutoRelease = autoRelease;
}

LPDISPATCH COleDispatchDriver::DetachDispatch() {
    LPDISPATCH d = m_lpDispatch;
    m_lpDispatch = nullptr;
    return d;
}

void COleDispatchDriver::ReleaseDispatch() {
    if (m_lpDispatch && m_bAutoRelease) m_lpDispatch->Release();
    m_lpDispatch = nullptr;
}

BOOL COleDispatchDriver::CreateDispatch(LPCTSTR progId, COleException* error) {
    ReleaseDispatch();
    IUnknown* unknown = win::createInstance(progId ? progId : L"");
    HRESULT hr = REGDB_E_CLASSNOTREG;
    if (unknown) {
        void* dispatch = nullptr;
        hr = unknown->QueryInterface(IID_IDispatch, &dispatch);
        unknown->Release();
        if (SUCCEEDED(hr) && dispatch) {
            AttachDispatch(static_cast<LPDISPATCH>(dispatch), TRUE);
            return TRUE;
        }
        if (SUCCEEDED(hr)) hr = E_NOINTERFACE;
    }
    if (error) error->m_sc = hr;
    return FALSE;
}

void COleDispatchDriver::GetProperty(DISPID id, VARTYPE type, void* value) const {
    invoke(id, DISPATCH_PROPERTYGET, type, value, nullptr, {});
}

namespace {

// Fills `v` with argument `a` as the parameter code asks; BSTRs made here are freed by the caller.
void toVariant(const classlib::DispatchArg& a, VARTYPE code, VARIANT& v) {
    using K = classlib::DispatchArg;
    VariantInit(&v);
    auto number = [&]() {
        if (a.kind != K::Number) AfxThrowOleException(DISP_E_TYPEMISMATCH);
        return a.number;
    };
    auto integer = [&]() -> long long {
        return number(), (a.isInteger ? a.integer : static_cast<long long>(a.number));
    };
    switch (code) {
        case VT_I2:
            v.vt = VT_I2;
            v.iVal = static_cast<SHORT>(integer());
            break;
        case VT_I4:
            v.vt = VT_I4;
            v.lVal = static_cast<LONG>(integer());
            break;
        case VT_UI1:
            v.vt = VT_UI1;
            v.bVal = static_cast<BYTE>(integer());
            break;
        case VT_R4:
            v.vt = VT_R4;
            v.fltVal = static_cast<float>(number());
            break;
        case VT_R8:
            v.vt = VT_R8;
            v.dblVal = number();
            break;
        case VT_DATE:
            v.vt = VT_DATE;
            v.date = number();
            break;
        case VT_ERROR:
            v.vt = VT_ERROR;
            v.scode = static_cast<SCODE>(integer());
            break;
        case VT_BOOL:
            v.vt = VT_BOOL;
            v.boolVal = number() != 0 ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case VT_BSTR:
            if (a.kind != K::Text) AfxThrowOleException(DISP_E_TYPEMISMATCH);
            v.vt = VT_BSTR;
            v.bstrVal = SysAllocString(a.text ? a.text : L"");
            break;
        case VT_DISPATCH:
            if (a.kind != K::Dispatch && !(a.kind == K::Number && a.isInteger && a.integer == 0))
                AfxThrowOleException(DISP_E_TYPEMISMATCH);
            v.vt = VT_DISPATCH;
            v.pdispVal = a.dispatch;
            break;
        case VT_UNKNOWN:
            if (a.kind != K::Unknown && a.kind != K::Dispatch) AfxThrowOleException(DISP_E_TYPEMISMATCH);
            v.vt = VT_UNKNOWN;
            v.punkVal = a.kind == K::Dispatch ? static_cast<IUnknown*>(a.dispatch) : a.unknown;
            break;
        case VT_VARIANT:
            if (a.kind != K::Variant || !a.variant) AfxThrowOleException(DISP_E_TYPEMISMATCH);
            v = *a.variant; // lent as it is, not copied
            break;
        default:
            AfxThrowOleException(DISP_E_BADVARTYPE);
    }
}

void storeResult(VARIANT& r, VARTYPE type, void* out) {
    if (type != VT_VARIANT && r.vt != type) {
        const HRESULT hr = VariantChangeType(&r, &r, 0, type);
        if (FAILED(hr)) AfxThrowOleException(hr);
    }
    switch (type) {
        case VT_I2:
            *static_cast<short*>(out) = r.iVal;
            break;
        case VT_I4:
            *static_cast<LONG*>(out) = r.lVal;
            break;
        case VT_UI1:
            *static_cast<BYTE*>(out) = r.bVal;
            break;
        case VT_R4:
            *static_cast<float*>(out) = r.fltVal;
            break;
        case VT_R8:
            *static_cast<double*>(out) = r.dblVal;
            break;
        case VT_DATE:
            *static_cast<double*>(out) = r.date;
            break;
        case VT_ERROR:
            *static_cast<SCODE*>(out) = r.scode;
            break;
        case VT_BOOL:
            *static_cast<BOOL*>(out) = r.boolVal != 0 ? TRUE : FALSE;
            break;
        case VT_BSTR:
            *static_cast<CString*>(out) =
                r.bstrVal ? CString(r.bstrVal, static_cast<int>(SysStringLen(r.bstrVal))) : CString();
            break;
        case VT_DISPATCH: // the caller receives the reference the result held
            *static_cast<IDispatch**>(out) = r.pdispVal;
            r.vt = VT_EMPTY;
            return;
        case VT_UNKNOWN:
            *static_cast<IUnknown**>(out) = r.punkVal;
            r.vt = VT_EMPTY;
            return;
        case VT_VARIANT: {
            auto* target = static_cast<VARIANT*>(out);
            VariantClear(target);
            *target = r;
            r.vt = VT_EMPTY;
            return;
        }
        default:
            AfxThrowOleException(DISP_E_BADVARTYPE);
    }
}

} // namespace

void COleDispatchDriver::invoke(DISPID id, WORD flags, VARTYPE resultType, void* result, const BYTE* paramInfo,
                                const std::vector<classlib::DispatchArg>& args) const {
    if (!m_lpDispatch) AfxThrowOleException(E_UNEXPECTED);
    const size_t codes = paramInfo ? std::strlen(reinterpret_cast<const char*>(paramInfo)) : 0;
    if (codes != args.size()) AfxThrowInvalidArgException();
    if (resultType != VT_EMPTY && !result) AfxThrowInvalidArgException();

    // Arguments go in reverse order; a property put names its value.
    std::vector<VARIANT> vars(args.size());
    size_t made = 0;
    auto freeArgs = [&] {
        for (size_t i = 0; i < made; ++i)
            if (vars[i].vt == VT_BSTR && args[args.size() - 1 - i].kind == classlib::DispatchArg::Text)
                SysFreeString(vars[i].bstrVal);
    };
    try {
        for (; made < args.size(); ++made) {
            const size_t k = args.size() - 1 - made;
            toVariant(args[k], paramInfo[k], vars[made]);
        }
    } catch (...) {
        freeArgs();
        throw;
    }
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{vars.empty() ? nullptr : vars.data(), nullptr, static_cast<UINT>(vars.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    VARIANT r;
    VariantInit(&r);
    EXCEPINFO info{};
    UINT argError = 0;
    // A result slot is passed even when the caller wants none, so that no object writes through null.
    const HRESULT hr = m_lpDispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &r, &info, &argError);
    freeArgs();
    if (hr == DISP_E_EXCEPTION) {
        VariantClear(&r);
        if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
        auto* e = new COleDispatchException(info.bstrDescription ? info.bstrDescription : L"", info.dwHelpContext,
                                            info.wCode);
        e->m_scError = info.scode ? info.scode : hr;
        e->m_strSource = info.bstrSource ? info.bstrSource : L"";
        e->m_strHelpFile = info.bstrHelpFile ? info.bstrHelpFile : L"";
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        throw e;
    }
    if (FAILED(hr)) {
        VariantClear(&r);
        AfxThrowOleException(hr);
    }
    if (resultType == VT_EMPTY) {
        VariantClear(&r);
        return;
    }
    try {
        storeResult(r, resultType, result);
    } catch (...) {
        VariantClear(&r);
        throw;
    }
    VariantClear(&r);
}
