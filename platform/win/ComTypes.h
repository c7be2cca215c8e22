#pragma once
// COM basics: result codes, interfaces, strings, variants, safe arrays, errors and smart pointers.
#include <atomic>
#include <iosfwd>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "win/WinTypes.h"

// ---- Result codes ----------------------------------------------------------------------------
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT E_HANDLE = static_cast<HRESULT>(0x80070006u);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = static_cast<HRESULT>(0x80020001u);
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004u);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008u);
constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009u);
constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000Au);
constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000Bu);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000Eu);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3u);
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106u);
#define HRESULT_FROM_WIN32(x)                               \
    (static_cast<HRESULT>(x) <= 0 ? static_cast<HRESULT>(x) \
                                  : static_cast<HRESULT>((static_cast<DWORD>(x) & 0x0000FFFFu) | 0x80070000u))
#define HRESULT_CODE(hr) (static_cast<DWORD>(hr) & 0xFFFFu)
#define SCODE_CODE(sc) (static_cast<DWORD>(sc) & 0xFFFFu)

// ---- Identities ------------------------------------------------------------------------------
struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
    friend bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
constexpr IID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// ---- Interfaces ------------------------------------------------------------------------------
// Our interfaces are plain C++ classes; QueryInterface answers by dynamic type.
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** object);
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;

struct tagVARIANT;
using VARIANT = tagVARIANT;
using VARIANTARG = tagVARIANT;
using LPVARIANT = VARIANT*;

struct DISPPARAMS {
    VARIANTARG* rgvarg; // arguments in reverse order
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

using BSTR = OLECHAR*;

struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    PVOID pvReserved;
    HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
    SCODE scode;
};

struct ITypeInfo;

constexpr WORD DISPATCH_METHOD = 0x1;
constexpr WORD DISPATCH_PROPERTYGET = 0x2;
constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;
constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_PROPERTYPUT = -3;
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;

struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(UINT* count);
    virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info);
    virtual HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids);
    virtual HRESULT Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* excepInfo, UINT* argError) = 0;
};
using LPDISPATCH = IDispatch*;

// The rich error information a failing call may leave behind.
struct IErrorInfo : IUnknown {
    virtual HRESULT GetGUID(GUID* guid) = 0;
    virtual HRESULT GetSource(BSTR* source) = 0;
    virtual HRESULT GetDescription(BSTR* description) = 0;
    virtual HRESULT GetHelpFile(BSTR* helpFile) = 0;
    virtual HRESULT GetHelpContext(DWORD* context) = 0;
};

struct IMalloc : IUnknown {
    virtual void* Alloc(std::size_t bytes) = 0;
    virtual void* Realloc(void* block, std::size_t bytes) = 0;
    virtual void Free(void* block) = 0;
};

namespace win {

// Reference counting for our own COM objects: derive from ComObject<Interface>.
template <class Base>
class ComObject : public Base {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

protected:
    ComObject() = default;
    ~ComObject() override = default;

private:
    std::atomic<ULONG> refs_{1};
};

} // namespace win

// ---- Strings ---------------------------------------------------------------------------------
// A BSTR is a length-prefixed, terminated wide string; a null BSTR is the empty string.
BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
INT SysReAllocString(BSTR* target, const OLECHAR* text);

void* CoTaskMemAlloc(std::size_t bytes);
void CoTaskMemFree(void* block);

// ---- Safe arrays -----------------------------------------------------------------------------
struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};
struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    PVOID pvData;
    SAFEARRAYBOUND rgsabound[1]; // cDims entries, the first dimension last as Windows stores them
};
using LPSAFEARRAY = SAFEARRAY*;

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, SAFEARRAYBOUND* bounds);
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements);
HRESULT SafeArrayDestroy(SAFEARRAY* array);
HRESULT SafeArrayPutElement(SAFEARRAY* array, LONG* indices, void* value);
HRESULT SafeArrayGetElement(SAFEARRAY* array, LONG* indices, void* value);
HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dim, LONG* bound);
HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dim, LONG* bound);
UINT SafeArrayGetDim(SAFEARRAY* array);
UINT SafeArrayGetElemsize(SAFEARRAY* array);
HRESULT SafeArrayGetVartype(SAFEARRAY* array, VARTYPE* vt);
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);
HRESULT SafeArrayCopy(SAFEARRAY* array, SAFEARRAY** copy);

// ---- Variants --------------------------------------------------------------------------------
enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

struct tagVARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        ULONGLONG ullVal;
        LONG lVal;
        ULONG ulVal;
        BYTE bVal;
        CHAR cVal;
        SHORT iVal;
        USHORT uiVal;
        INT intVal;
        UINT uintVal;
        FLOAT fltVal;
        DOUBLE dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        DATE date;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
        VARIANT* pvarVal;
        PVOID byref;
    };
};

#define V_VT(v) ((v)->vt)
#define V_I2(v) ((v)->iVal)
#define V_I4(v) ((v)->lVal)
#define V_INT(v) ((v)->intVal)
#define V_UI1(v) ((v)->bVal)
#define V_R8(v) ((v)->dblVal)
#define V_DATE(v) ((v)->date)
#define V_BSTR(v) ((v)->bstrVal)
#define V_BOOL(v) ((v)->boolVal)
#define V_ERROR(v) ((v)->scode)
#define V_ARRAY(v) ((v)->parray)
#define V_DISPATCH(v) ((v)->pdispVal)
#define V_UNKNOWN(v) ((v)->punkVal)

void VariantInit(VARIANT* v);
HRESULT VariantClear(VARIANT* v);
HRESULT VariantCopy(VARIANT* target, const VARIANT* source);
// Conversions between the scalar types, strings (C-locale numbers, "True"/"False" for booleans
// written, "true"/"false"/numbers read) and dates (day numbers). Out of range: DISP_E_OVERFLOW;
// anything else impossible: DISP_E_TYPEMISMATCH. VT_NULL converts to nothing but VT_NULL/VT_EMPTY.
HRESULT VariantChangeType(VARIANT* target, const VARIANT* source, USHORT flags, VARTYPE vt);

// ---- COM initialisation ----------------------------------------------------------------------
// Only counted, per thread: the first call gives S_OK, later ones S_FALSE.
HRESULT CoInitialize(LPVOID reserved);
HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit);
void CoUninitialize();
HRESULT SHGetMalloc(IMalloc** allocator);

namespace win {
// The current thread's CoInitialize count.
int comInitCount();

// Programmatic ids ("Msxml2.DOMDocument") that CreateInstance knows, compared without regard to case.
using ClassFactory = IUnknown* (*)();
void registerClass(const std::wstring& progId, ClassFactory factory);
// A new object of the class (one reference), or null when the id is unknown.
IUnknown* createInstance(const std::wstring& progId);

// Error information for _com_error: an IErrorInfo with a description and a source.
IErrorInfo* makeErrorInfo(const std::wstring& description, const std::wstring& source);
} // namespace win

// ---- _bstr_t ---------------------------------------------------------------------------------
class _bstr_t {
public:
    _bstr_t() = default;
    _bstr_t(const wchar_t* text);
    _bstr_t(const char* text); // UTF-8
    _bstr_t(const std::wstring& text);
    _bstr_t(BSTR text, bool copy);
    _bstr_t(const tagVARIANT& v);

    // Text access; the pointer lives as long as this object's shared string.
    operator const wchar_t*() const { return data_ ? data_->bstr : nullptr; }
    operator wchar_t*() const { return data_ ? data_->bstr : nullptr; }
    const char* c_str() const; // UTF-8 form
    // Explicit so that a string class with wide and narrow constructors takes the wide text.
    explicit operator const char*() const { return c_str(); }
    std::wstring wstr() const;
    BSTR GetBSTR() const { return data_ ? data_->bstr : nullptr; }
    BSTR& GetAddress(); // releases the text and lends its slot to an out-parameter
    BSTR copy(bool fromSelf = true) const;
    void Attach(BSTR text);
    BSTR Detach();
    void Assign(BSTR text);
    unsigned int length() const;
    bool operator!() const { return length() == 0 && !(data_ && data_->bstr); }

    _bstr_t& operator+=(const _bstr_t& other);
    friend _bstr_t operator+(const _bstr_t& a, const _bstr_t& b);
    bool operator==(const _bstr_t& other) const;
    bool operator!=(const _bstr_t& other) const { return !(*this == other); }
    bool operator==(const wchar_t* other) const { return *this == _bstr_t(other); }
    bool operator!=(const wchar_t* other) const { return !(*this == other); }
    bool operator<(const _bstr_t& other) const;

private:
    struct Data {
        BSTR bstr = nullptr;
        mutable std::string utf8;
        mutable bool utf8Ready = false;
        ~Data();
    };
    std::shared_ptr<Data> data_;
};

// The text as UTF-8 (test messages, logs).
std::ostream& operator<<(std::ostream& out, const _bstr_t& text);

// ---- _com_error ------------------------------------------------------------------------------
class _com_error {
public:
    explicit _com_error(HRESULT hr, IErrorInfo* info = nullptr, bool addRef = false);
    _com_error(const _com_error& other);
    _com_error& operator=(const _com_error& other);
    virtual ~_com_error();

    HRESULT Error() const { return hr_; }
    WORD WCode() const;
    IErrorInfo* ErrorInfo() const; // with a reference for the caller; null without error information
    bool HasErrorInfo() const { return info_ != nullptr; }
    _bstr_t Description() const; // empty without error information
    _bstr_t Source() const;
    _bstr_t HelpFile() const;
    DWORD HelpContext() const;
    // The system text of the code, without its line end, or "Unknown error 0x%08X".
    const wchar_t* ErrorMessage() const;

private:
    HRESULT hr_;
    IErrorInfo* info_;
    mutable std::wstring message_;
};

[[noreturn]] void _com_issue_error(HRESULT hr);
[[noreturn]] void _com_issue_errorex(HRESULT hr, IUnknown* object, REFIID iid);
[[noreturn]] void _com_raise_error(HRESULT hr, IErrorInfo* info = nullptr);

// ---- _variant_t ------------------------------------------------------------------------------
class _variant_t : public tagVARIANT {
public:
    _variant_t() { VariantInit(this); }
    _variant_t(const VARIANT& v);
    _variant_t(const VARIANT* v);
    _variant_t(const _variant_t& v);
    _variant_t(_variant_t&& v) noexcept;
    _variant_t(VARIANT& v, bool copy);
    _variant_t(short value, VARTYPE vt = VT_I2);  // VT_I2 or VT_BOOL
    _variant_t(long value, VARTYPE vt = VT_I4);   // VT_I4, VT_ERROR or VT_BOOL
    _variant_t(int value, VARTYPE vt = VT_INT);   // VT_INT or VT_I4
    _variant_t(unsigned int value);               // VT_UINT
    _variant_t(double value, VARTYPE vt = VT_R8); // VT_R8 or VT_DATE
    _variant_t(float value);
    _variant_t(bool value);
    _variant_t(BYTE value);
    _variant_t(long long value);
    _variant_t(const wchar_t* text);
    _variant_t(const char* text);
    _variant_t(const _bstr_t& text);
    _variant_t(IDispatch* object, bool addRef = true);
    _variant_t(IUnknown* object, bool addRef = true);
    ~_variant_t() { VariantClear(this); }

    _variant_t& operator=(const _variant_t& v);
    _variant_t& operator=(_variant_t&& v) noexcept;
    _variant_t& operator=(const VARIANT& v);

    // Extraction converts as VariantChangeType does and throws _com_error when it cannot.
    operator short() const;
    operator long() const;
    operator int() const;
    operator double() const;
    operator float() const;
    operator bool() const;
    operator BYTE() const;
    operator long long() const;
    operator _bstr_t() const;
    operator IDispatch*() const; // with a reference for the caller
    operator IUnknown*() const;

    void Clear();
    void ChangeType(VARTYPE vt, const _variant_t* source = nullptr);
    void Attach(VARIANT& v);
    VARIANT Detach();
    VARIANT& GetVARIANT() { return *this; }
    VARIANT* GetAddress();

    bool operator==(const VARIANT& other) const;
    bool operator!=(const VARIANT& other) const { return !(*this == other); }

private:
    _variant_t converted(VARTYPE vt) const;
};

// "VT_xx:value" (test messages, logs).
std::ostream& operator<<(std::ostream& out, const _variant_t& value);

// A missing optional argument: VT_ERROR holding DISP_E_PARAMNOTFOUND.
extern const _variant_t vtMissing;

// ---- Smart pointers ---------------------------------------------------------------------------
// _com_ptr_t<I>: holds one reference. Assigning from another interface type converts by dynamic
// type (QueryInterface) and leaves null when the object does not have that interface.
template <class I>
class _com_ptr_t {
public:
    using Interface = I;

    _com_ptr_t() = default;
    _com_ptr_t(I* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    _com_ptr_t(I* p, bool addRef) : p_(p) {
        if (p_ && addRef) p_->AddRef();
    }
    _com_ptr_t(const _com_ptr_t& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    _com_ptr_t(_com_ptr_t&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class J>
    _com_ptr_t(const _com_ptr_t<J>& o) {
        assignFrom(o.GetInterfacePtr());
    }
    template <class J>
    requires(!std::is_convertible_v<J*, I*>) _com_ptr_t(J* o) { assignFrom(o); }
    explicit _com_ptr_t(const _variant_t& v) {
        IUnknown* u = static_cast<IUnknown*>(v);
        assignFrom(u);
        if (u) u->Release();
    }
    explicit _com_ptr_t(const wchar_t* progId, IUnknown* outer = nullptr, DWORD context = CLSCTX_ALL) {
        const HRESULT hr = CreateInstance(progId, outer, context);
        if (FAILED(hr)) _com_issue_error(hr);
    }
    ~_com_ptr_t() {
        if (p_) p_->Release();
    }

    _com_ptr_t& operator=(const _com_ptr_t& o) {
        _com_ptr_t copy(o);
        std::swap(p_, copy.p_);
        return *this;
    }
    _com_ptr_t& operator=(_com_ptr_t&& o) noexcept {
        if (this != std::addressof(o)) {
            if (p_) p_->Release();
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    _com_ptr_t& operator=(I* p) {
        _com_ptr_t copy(p);
        std::swap(p_, copy.p_);
        return *this;
    }
    template <class J>
    _com_ptr_t& operator=(const _com_ptr_t<J>& o) {
        _com_ptr_t copy;
        copy.assignFrom(o.GetInterfacePtr());
        std::swap(p_, copy.p_);
        return *this;
    }

    HRESULT CreateInstance(const wchar_t* progId, IUnknown* outer = nullptr, DWORD context = CLSCTX_ALL) {
        Release();
        if (outer) return E_NOINTERFACE;
        IUnknown* u = win::createInstance(progId ? progId : L"");
        if (!u) return REGDB_E_CLASSNOTREG;
        I* typed = dynamic_cast<I*>(u);
        if (!typed) {
            u->Release();
            return E_NOINTERFACE;
        }
        p_ = typed; // keeps the creation reference
        return S_OK;
    }
    HRESULT CreateInstance(const char* progId, IUnknown* outer = nullptr, DWORD context = CLSCTX_ALL);

    void Attach(I* p) {
        Release();
        p_ = p;
    }
    void Attach(I* p, bool addRef) {
        Release();
        p_ = p;
        if (p_ && addRef) p_->AddRef();
    }
    I* Detach() { return std::exchange(p_, nullptr); }
    void Release() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }
    void AddRef() {
        if (!p_) _com_issue_error(E_POINTER);
        p_->AddRef();
    }
    I* GetInterfacePtr() const { return p_; }
    I** operator&() {
        Release();
        return &p_;
    }
    I* operator->() const {
        if (!p_) _com_issue_error(E_POINTER);
        return p_;
    }
    I& operator*() const {
        if (!p_) _com_issue_error(E_POINTER);
        return *p_;
    }
    operator I*() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    bool operator!() const { return p_ == nullptr; }
    template <class J>
    bool operator==(const _com_ptr_t<J>& o) const {
        return identity(p_) == identity(o.GetInterfacePtr());
    }
    bool operator==(I* p) const { return identity(p_) == identity(p); }

private:
    template <class J>
    void assignFrom(J* o) {
        if (!o) return;
        p_ = dynamic_cast<I*>(o);
        if (p_) p_->AddRef();
    }
    template <class J>
    static const void* identity(J* p) {
        return p ? dynamic_cast<const void*>(p) : nullptr;
    }

    I* p_ = nullptr;
};

template <class I>
HRESULT _com_ptr_t<I>::CreateInstance(const char* progId, IUnknown* outer, DWORD context) {
    std::wstring wide;
    for (const char* c = progId; c && *c; ++c) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*c)));
    return CreateInstance(wide.c_str(), outer, context);
}

#define _COM_SMARTPTR_TYPEDEF(Interface, iid) using Interface##Ptr = _com_ptr_t<Interface>

_COM_SMARTPTR_TYPEDEF(IUnknown, IID_IUnknown);
_COM_SMARTPTR_TYPEDEF(IDispatch, IID_IDispatch);
_COM_SMARTPTR_TYPEDEF(IErrorInfo, IID_NULL);
