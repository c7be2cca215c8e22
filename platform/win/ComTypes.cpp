// IUnknown and IDispatch, COM start-up, the class registry, error information and _com_error.
#include "win/ComTypes.h"

#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <map>
#include <mutex>

#include "win/WinApi.h"

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
