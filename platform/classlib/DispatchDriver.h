#pragma once
// A client of an automation object: calls its members by dispatch id.
#include <type_traits>
#include <vector>

#include "classlib/CString.h"
#include "classlib/Exceptions.h"
#include "win/ComTypes.h"

// Parameter-type strings for InvokeHelper: one code per argument.
#define VTS_NONE ""
#define VTS_I2 "\x02"
#define VTS_I4 "\x03"
#define VTS_R4 "\x04"
#define VTS_R8 "\x05"
#define VTS_DATE "\x07"
#define VTS_BSTR "\x08"
#define VTS_DISPATCH "\x09"
#define VTS_SCODE "\x0A"
#define VTS_BOOL "\x0B"
#define VTS_VARIANT "\x0C"
#define VTS_UNKNOWN "\x0D"
#define VTS_UI1 "\x11"

// A failed automation call (its HRESULT).
class COleException : public CException {
public:
    explicit COleException(SCODE sc = E_FAIL) : m_sc(sc) {}
    BOOL GetErrorMessage(LPTSTR buffer, UINT maxChars, PUINT helpContext = nullptr) const override;
    static SCODE Process(const CException* e);

    SCODE m_sc;

protected:
    CString messageText() const override;
};

// An exception raised by the automation object itself, with its description.
class COleDispatchException : public CException {
public:
    COleDispatchException(LPCTSTR description, UINT helpId, WORD code)
        : m_wCode(code), m_strDescription(description), m_dwHelpContext(helpId) {}
    BOOL GetErrorMessage(LPTSTR buffer, UINT maxChars, PUINT helpContext = nullptr) const override;

    WORD m_wCode;
    SCODE m_scError = 0;
    CString m_strSource;
    CString m_strDescription;
    CString m_strHelpFile;
    DWORD m_dwHelpContext;

protected:
    CString messageText() const override { return m_strDescription; }
};

[[noreturn]] void AfxThrowOleException(SCODE sc);

namespace classlib {

// One argument of an InvokeHelper call, as given by the caller.
struct DispatchArg {
    enum Kind { Number, Text, Dispatch, Unknown, Variant, Other } kind = Other;
    double number = 0;
    long long integer = 0;
    bool isInteger = false;
    const wchar_t* text = nullptr;
    IDispatch* dispatch = nullptr;
    IUnknown* unknown = nullptr;
    const VARIANT* variant = nullptr;
};

template <class T>
DispatchArg makeDispatchArg(const T& v) {
    DispatchArg a;
    if constexpr (std::is_arithmetic_v<T> || std::is_enum_v<T>) {
        a.kind = DispatchArg::Number;
        a.number = static_cast<double>(v);
        if constexpr (!std::is_floating_point_v<T>) {
            a.integer = static_cast<long long>(v);
            a.isInteger = true;
        }
    } else if constexpr (std::is_base_of_v<tagVARIANT, T>) {
        a.kind = DispatchArg::Variant;
        a.variant = &v;
    } else if constexpr (std::is_convertible_v<const T&, const VARIANT*>) {
        a.kind = DispatchArg::Variant;
        a.variant = v;
    } else if constexpr (std::is_convertible_v<const T&, IDispatch*>) {
        a.kind = DispatchArg::Dispatch;
        a.dispatch = v;
    } else if constexpr (std::is_convertible_v<const T&, IUnknown*>) {
        a.kind = DispatchArg::Unknown;
        a.unknown = v;
    } else if constexpr (std::is_convertible_v<const T&, const wchar_t*>) {
        a.kind = DispatchArg::Text;
        a.text = static_cast<const wchar_t*>(v);
    } else {
        static_assert(sizeof(T) == 0, "type cannot be passed to an automation call");
    }
    return a;
}

} // namespace classlib

class COleDispatchDriver {
public:
    COleDispatchDriver() = default;
    explicit COleDispatchDriver(LPDISPATCH dispatch, BOOL autoRelease = TRUE)
        : m_lpDispatch(dispatch), m_bAutoRelease(autoRelease) {}
    COleDispatchDriver(const COleDispatchDriver& other);
    COleDispatchDriver& operator=(const COleDispatchDriver& other);
    virtual ~COleDispatchDriver() { ReleaseDispatch(); }

    // Takes over `dispatch` (released at the end when `autoRelease`); the one held before is released.
    void AttachDispatch(LPDISPATCH dispatch, BOOL autoRelease = TRUE);
    // Gives up the object without releasing it.
    LPDISPATCH DetachDispatch();
    void ReleaseDispatch();
    // Creates the object registered under the programmatic id; FALSE (with the cause) when it cannot.
    BOOL CreateDispatch(LPCTSTR progId, COleException* error = nullptr);
    operator LPDISPATCH() { return m_lpDispatch; }

    // Calls member `id`. `paramInfo` holds one VTS_ code per argument; the result is stored through
    // `result` as `resultType` says: VT_I2 short*, VT_I4 LONG*, VT_R4 float*, VT_R8 and VT_DATE double*,
    // VT_BSTR CString*, VT_BOOL BOOL*, VT_ERROR SCODE*, VT_UI1 BYTE*, VT_DISPATCH LPDISPATCH*, VT_UNKNOWN
    // IUnknown**, VT_VARIANT VARIANT* (cleared first), VT_EMPTY nothing. Failures throw COleException* or,
    // when the object raised an exception, COleDispatchException*.
    template <class... A>
    void InvokeHelper(DISPID id, WORD flags, VARTYPE resultType, void* result, const BYTE* paramInfo,
                      const A&... args) {
        const std::vector<classlib::DispatchArg> list = {classlib::makeDispatchArg(args)...};
        invoke(id, flags, resultType, result, paramInfo, list);
    }
    template <size_t N, class... A>
    void InvokeHelper(DISPID id, WORD flags, VARTYPE resultType, void* result, const char (&paramInfo)[N],
                      const A&... args) {
        InvokeHelper(id, flags, resultType, result, reinterpret_cast<const BYTE*>(paramInfo), args...);
    }
    void GetProperty(DISPID id, VARTYPE type, void* value) const;
    template <class T>
    void SetProperty(DISPID id, VARTYPE type, const T& value) {
        const BYTE info[2] = {static_cast<BYTE>(type), 0};
        const std::vector<classlib::DispatchArg> list = {classlib::makeDispatchArg(value)};
        invoke(id, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, info, list);
    }

    LPDISPATCH m_lpDispatch = nullptr;
    BOOL m_bAutoRelease = TRUE;

private:
    void invoke(DISPID id, WORD flags, VARTYPE resultType, void* result, const BYTE* paramInfo,
                const std::vector<classlib::DispatchArg>& args) const;
};
