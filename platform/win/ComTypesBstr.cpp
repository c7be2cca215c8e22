// BSTR: length-prefixed text, task memory, and _bstr_t, the shared counted text over it.
#include "win/ComTypes.h"

#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <ostream>

#include "win/Encoding.h"

using win::fromUtf8;
using win::toUtf8;

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

std::ostream& operator<<(std::ostream& out, const _bstr_t& text) {
    const char* s = text.c_str();
    return out << '"' << (s ? s : "") << '"';
}
