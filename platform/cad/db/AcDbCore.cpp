#include "cad/db/AcDbCore.h"

#include <cwctype>

#include "cad/db/AcDbObject.h"

namespace {

// Names are nearly always ASCII, whose upper case needs no look-up in the character tables.
wchar_t upperOf(wchar_t c) {
    if (c < 0x80) return c >= L'a' && c <= L'z' ? wchar_t(c - (L'a' - L'A')) : c;
    return wchar_t(std::towupper(c));
}

} // namespace

std::wstring acdbNameKey(const std::wstring& name) {
    std::wstring key(name);
    for (auto& c : key) c = upperOf(c);
    return key;
}

bool acdbSameName(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upperOf(a[i]) != upperOf(b[i])) return false;
    return true;
}

const ACHAR* acadErrorStatusText(Acad::ErrorStatus es) {
    switch (es) {
#define ES(n)     \
    case Acad::n: \
        return L## #n;
        // clang-format off
    ES(eOk) ES(eNotImplementedYet) ES(eNotApplicable) ES(eInvalidInput) ES(eAmbiguousInput) ES(eAmbiguousOutput)
    ES(eOutOfMemory) ES(eBufferTooSmall) ES(eInvalidOpenState) ES(eEntityInLockedLayer) ES(eAlreadyInDb)
    ES(eNotInDatabase) ES(eUnknownHandle) ES(eNullHandle) ES(eNullObjectId) ES(eNullEntityPointer) ES(eInvalidIndex)
    ES(eKeyNotFound) ES(eWasErased) ES(eWasOpenForRead) ES(eWasOpenForWrite) ES(eWasNotOpenForWrite)
    ES(eNotOpenForRead) ES(eNotOpenForWrite) ES(eNotThatKindOfClass) ES(eWrongObjectType) ES(eInvalidSymbolTableName)
    ES(eInvalidKey) ES(eSelfReference) ES(eHandleInUse) ES(eWrongDatabase) ES(eNotInBlock) ES(eIsReading)
    ES(eCannotScaleNonUniformly) ES(eCannotBeErasedByCaller) ES(eNonPlanarEntity) ES(eNotClosedPath)
    ES(eDegenerateGeometry) ES(eInvalidExtents) ES(eNotAnEntity) ES(eUnknownPattern) ES(eRegappIdNotFound)
    ES(eXdataSizeExceeded) ES(eBadDxfSequence) ES(eInvalidDxfCode) ES(eDwgNotRecognized) ES(eBadDwgHeader)
    ES(eInvalidDwgVersion) ES(eFileNotFound) ES(eFileAccessErr) ES(eFileSharingViolation) ES(eFilerError)
    ES(eInvalidFileExtension) ES(eDxfPartiallyRead) ES(eOnLockedLayer) ES(eDuplicateRecordName) ES(eDuplicateKey)
    ES(eIsWriteProtected) ES(eNoDatabase) ES(eNotCurrentDatabase) ES(eLockViolation) ES(eHatchTooDense)
    ES(eInvalidLayer) ES(eTableCellOutOfRange) ES(eInvalidPlotInfo) ES(eInvalidPlotArea) ES(eNoLayout)
        // clang-format on
#undef ES
    }
    return L"Unknown error status";
}

namespace {
template <typename C>
std::uint64_t parseHex(const C* s) {
    if (!s) return 0;
    while (*s == ' ' || *s == '\t') ++s;
    std::uint64_t v = 0;
    int digits = 0;
    for (; *s; ++s) {
        int d;
        if (*s >= '0' && *s <= '9')
            d = *s - '0';
        else if (*s >= 'a' && *s <= 'f')
            d = *s - 'a' + 10;
        else if (*s >= 'A' && *s <= 'F')
            d = *s - 'A' + 10;
        else
            break;
        if (++digits > 16) return 0;
        v = (v << 4) | std::uint64_t(d);
    }
    while (*s == ' ' || *s == '\t' || *s == '\r' || *s == '\n') ++s;
    return (*s || digits == 0) ? 0 : v;
}
} // namespace

AcDbHandle::AcDbHandle(const ACHAR* text) : value_(parseHex(text)) {}
AcDbHandle::AcDbHandle(const char* text) : value_(parseHex(text)) {}

std::wstring AcDbHandle::text() const {
    static const wchar_t* digits = L"0123456789ABCDEF";
    if (value_ == 0) return L"0";
    std::wstring s;
    for (std::uint64_t v = value_; v; v >>= 4) s.insert(s.begin(), digits[v & 15]);
    return s;
}

bool AcDbHandle::getIntoAsciiBuffer(ACHAR* buf, size_t nBufLen) const {
    std::wstring t = text();
    if (!buf || nBufLen <= t.size()) return false;
    std::wcscpy(buf, t.c_str());
    return true;
}

const AcDbObjectId AcDbObjectId::kNull;

bool AcDbObjectId::isValid() const {
    return stub_ && stub_->object;
}
bool AcDbObjectId::isErased() const {
    return stub_ && stub_->object && stub_->object->isErased();
}
bool AcDbObjectId::isResident() const {
    return stub_ && stub_->object;
}
AcDbDatabase* AcDbObjectId::database() const {
    return stub_ ? stub_->database : nullptr;
}
AcDbHandle AcDbObjectId::handle() const {
    return stub_ ? stub_->handle : AcDbHandle();
}
AcRxClass* AcDbObjectId::objectClass() const {
    return (stub_ && stub_->object) ? stub_->object->isA() : nullptr;
}

AcRxClass* AcRxObject::desc() {
    static AcRxClass cls(L"AcRxObject", nullptr, L"");
    return &cls;
}

AcRxObject* AcRxObject::queryX(const AcRxClass*) const {
    return nullptr;
}
