#pragma once
// Basic types of the drawing database: integers, statuses, handles, object ids, arrays, runtime classes.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "win/WinTypes.h"

#ifndef ACHAR_DEFINED
#define ACHAR_DEFINED
using ACHAR = wchar_t;
#endif

namespace Adesk {
using Int8 = std::int8_t;
using Int16 = std::int16_t;
using Int32 = std::int32_t;
using Int64 = std::int64_t;
using UInt8 = std::uint8_t;
using UInt16 = std::uint16_t;
using UInt32 = std::uint32_t;
using UInt64 = std::uint64_t;
using IntPtr = std::intptr_t;
using UIntPtr = std::uintptr_t;
using Boolean = bool;
constexpr bool kTrue = true;
constexpr bool kFalse = false;
} // namespace Adesk

namespace Acad {
enum ErrorStatus : int {
    eOk = 0,
    eNotImplementedYet = 1,
    eNotApplicable = 2,
    eInvalidInput = 3,
    eAmbiguousInput = 4,
    eAmbiguousOutput = 5, // a hatch pattern too sparse to show
    eOutOfMemory = 6,
    eBufferTooSmall = 7,
    eInvalidOpenState = 8,
    eEntityInLockedLayer = 9,
    eAlreadyInDb = 10,
    eNotInDatabase = 12,
    eUnknownHandle = 13, // a handle that names nothing, or an erased object
    eNullHandle = 14,
    eNullObjectId = 16,
    eNullEntityPointer = 17,
    eInvalidIndex = 18,
    eKeyNotFound = 19,
    eWasErased = 20,
    eWasOpenForRead = 21,
    eWasOpenForWrite = 22,
    eWasNotOpenForWrite = 23,
    eNotOpenForRead = 24,
    eNotOpenForWrite = 25,
    eNotThatKindOfClass = 26,
    eWrongObjectType = 27,
    eInvalidSymbolTableName = 28,
    eInvalidKey = 29,
    eSelfReference = 30,
    eHandleInUse = 31,
    eWrongDatabase = 32,
    eNotInBlock = 33,
    eIsReading = 34,
    eCannotScaleNonUniformly = 35,
    eCannotBeErasedByCaller = 36,
    eNonPlanarEntity = 40,
    eNotClosedPath = 41,
    eDegenerateGeometry = 42,
    eInvalidExtents = 43,
    eNotAnEntity = 44,
    eUnknownPattern = 45,
    eRegappIdNotFound = 50,
    eXdataSizeExceeded = 51,
    eBadDxfSequence = 60,
    eInvalidDxfCode = 61,
    eDwgNotRecognized = 62,
    eBadDwgHeader = 63,
    eInvalidDwgVersion = 64,
    eFileNotFound = 70,
    eFileAccessErr = 71,
    eFileSharingViolation = 72,
    eFilerError = 73,
    eInvalidFileExtension = 74,
    eDxfPartiallyRead = 75,
    eOnLockedLayer = 87,
    eDuplicateRecordName = 95,
    eDuplicateKey = 96,
    eIsWriteProtected = 100,
    eNoDatabase = 101,
    eNotCurrentDatabase = 102,
    eLockViolation = 320,
    eHatchTooDense = 420,
    eInvalidLayer = 430,
    eTableCellOutOfRange = 440,
    eInvalidPlotInfo = 450,
    eInvalidPlotArea = 451,
    eNoLayout = 452,
};
} // namespace Acad

// The status's name, e.g. "eOnLockedLayer"; "Unknown error status" for a number no status has.
const ACHAR* acadErrorStatusText(Acad::ErrorStatus es);

// Symbol, dictionary and application names match without regard to case: the key they are found by,
// and whether two names are one.
std::wstring acdbNameKey(const std::wstring& name);
bool acdbSameName(std::wstring_view a, std::wstring_view b);

namespace AcDb {
enum OpenMode { kNotOpen = -1, kForRead = 0, kForWrite = 1, kForNotify = 2 };
enum Visibility { kVisible = 0, kInvisible = 1 };
enum LineWeight : int {
    kLnWt000 = 0,
    kLnWt005 = 5,
    kLnWt009 = 9,
    kLnWt013 = 13,
    kLnWt015 = 15,
    kLnWt018 = 18,
    kLnWt020 = 20,
    kLnWt025 = 25,
    kLnWt030 = 30,
    kLnWt035 = 35,
    kLnWt040 = 40,
    kLnWt050 = 50,
    kLnWt053 = 53,
    kLnWt060 = 60,
    kLnWt070 = 70,
    kLnWt080 = 80,
    kLnWt090 = 90,
    kLnWt100 = 100,
    kLnWt106 = 106,
    kLnWt120 = 120,
    kLnWt140 = 140,
    kLnWt158 = 158,
    kLnWt200 = 200,
    kLnWt211 = 211,
    kLnWtByLayer = -1,
    kLnWtByBlock = -2,
    kLnWtByLwDefault = -3
};
enum TextHorzMode { kTextLeft = 0, kTextCenter = 1, kTextRight = 2, kTextAlign = 3, kTextMid = 4, kTextFit = 5 };
enum TextVertMode { kTextBase = 0, kTextBottom = 1, kTextVertMid = 2, kTextTop = 3 };
enum UnitsValue : int { // files use values up to 24 (kUnitsMax); only the common ones are named
    kUnitsUndefined = 0,
    kUnitsInches = 1,
    kUnitsFeet = 2,
    kUnitsMiles = 3,
    kUnitsMillimeters = 4,
    kUnitsCentimeters = 5,
    kUnitsMeters = 6,
    kUnitsKilometers = 7
};
enum Planarity { kNonPlanar = 0, kPlanar = 1, kLinear = 2 };
enum DuplicateRecordCloning {
    kDrcNotApplicable = 0,
    kDrcIgnore = 1,
    kDrcReplace = 2,
    kDrcXrefMangleName = 3,
    kDrcMangleName = 4,
    kDrcUnmangleName = 5
};
enum CellAlignment {
    kTopLeft = 1,
    kTopCenter = 2,
    kTopRight = 3,
    kMiddleLeft = 4,
    kMiddleCenter = 5,
    kMiddleRight = 6,
    kBottomLeft = 7,
    kBottomCenter = 8,
    kBottomRight = 9
};
enum RowType { kUnknownRow = 0, kDataRow = 1, kTitleRow = 2, kHeaderRow = 4 };
enum CellType { kUnknownCell = 0, kTextCell = 1, kBlockCell = 2 };
enum FlowDirection { kTtoB = 0, kBtoT = 1 };
enum PlotPaperUnits { kInches = 0, kMillimeters = 1, kPixels = 2 };
} // namespace AcDb

class AcDbDatabase;
class AcDbObject;
class AcDbEntity;
class AcDbObjectStub;
class AcRxClass;

// A database-unique 64-bit name of an object. Its text is upper-case hexadecimal without leading zeros.
class AcDbHandle {
public:
    AcDbHandle() = default;
    AcDbHandle(std::uint64_t v) : value_(v) {}
    AcDbHandle(Adesk::UInt32 low, Adesk::UInt32 high) : value_((std::uint64_t(high) << 32) | low) {}
    // Parses hexadecimal text; anything that is not a hexadecimal number gives the null handle.
    explicit AcDbHandle(const ACHAR* text);
    explicit AcDbHandle(const char* text);

    bool isNull() const { return value_ == 0; }
    void setNull() { value_ = 0; }
    std::uint64_t value() const { return value_; }
    Adesk::UInt32 low() const { return Adesk::UInt32(value_ & 0xffffffffu); }
    Adesk::UInt32 high() const { return Adesk::UInt32(value_ >> 32); }
    // Writes the text into buf (at least 17 characters); returns true.
    bool getIntoAsciiBuffer(ACHAR* buf, size_t nBufLen = 17) const;
    std::wstring text() const;
    AcDbHandle& operator++() {
        ++value_;
        return *this;
    }
    AcDbHandle operator+(const AcDbHandle& o) const { return AcDbHandle(value_ + o.value_); }
    friend bool operator==(const AcDbHandle& a, const AcDbHandle& b) { return a.value_ == b.value_; }
    friend bool operator!=(const AcDbHandle& a, const AcDbHandle& b) { return a.value_ != b.value_; }
    friend bool operator<(const AcDbHandle& a, const AcDbHandle& b) { return a.value_ < b.value_; }
    friend bool operator>(const AcDbHandle& a, const AcDbHandle& b) { return a.value_ > b.value_; }

private:
    std::uint64_t value_ = 0;
};

// A session-lifetime reference to an object of one database, valid before the object itself exists
// (a file read may name objects before it defines them).
class AcDbObjectId {
public:
    AcDbObjectId() = default;
    static const AcDbObjectId kNull;

    bool isNull() const { return stub_ == nullptr; }
    void setNull() { stub_ = nullptr; }
    bool isValid() const;
    bool isErased() const;
    // True when an object is attached to this id (it may be erased).
    bool isResident() const;
    AcDbDatabase* database() const;
    AcDbDatabase* originalDatabase() const { return database(); }
    AcDbHandle handle() const;
    // The class of the object the id names (null when there is none).
    AcRxClass* objectClass() const;
    Adesk::IntPtr asOldId() const { return reinterpret_cast<Adesk::IntPtr>(stub_); }
    AcDbObjectId& setFromOldId(Adesk::IntPtr v) {
        stub_ = reinterpret_cast<AcDbObjectStub*>(v);
        return *this;
    }
    AcDbObjectStub* stub() const { return stub_; }
    explicit AcDbObjectId(AcDbObjectStub* s) : stub_(s) {}

    friend bool operator==(const AcDbObjectId& a, const AcDbObjectId& b) { return a.stub_ == b.stub_; }
    friend bool operator!=(const AcDbObjectId& a, const AcDbObjectId& b) { return a.stub_ != b.stub_; }
    friend bool operator<(const AcDbObjectId& a, const AcDbObjectId& b) { return a.stub_ < b.stub_; }
    friend bool operator>(const AcDbObjectId& a, const AcDbObjectId& b) { return a.stub_ > b.stub_; }

private:
    AcDbObjectStub* stub_ = nullptr;
};

struct AcDbObjectIdHash {
    size_t operator()(const AcDbObjectId& id) const { return std::hash<void*>()(id.stub()); }
};

// The SDK's growable array: logical length, append, index access, find.
template <typename T>
class AcArray {
public:
    AcArray() = default;
    explicit AcArray(int initPhysicalLength, int growLength = 8) {
        v_.reserve(initPhysicalLength > 0 ? initPhysicalLength : 0);
        (void)growLength;
    }
    AcArray(std::initializer_list<T> l) : v_(l) {}

    int length() const { return int(v_.size()); }
    int logicalLength() const { return length(); }
    int physicalLength() const { return int(v_.capacity()); }
    bool isEmpty() const { return v_.empty(); }
    AcArray& setLogicalLength(int n) {
        v_.resize(n > 0 ? size_t(n) : 0);
        return *this;
    }
    AcArray& setPhysicalLength(int n) {
        v_.reserve(n > 0 ? size_t(n) : 0);
        return *this;
    }
    int append(const T& x) {
        v_.push_back(x);
        return int(v_.size()) - 1;
    }
    AcArray& append(const AcArray& o) {
        v_.insert(v_.end(), o.v_.begin(), o.v_.end());
        return *this;
    }
    AcArray& insertAt(int i, const T& x) {
        v_.insert(v_.begin() + i, x);
        return *this;
    }
    AcArray& removeAt(int i) {
        v_.erase(v_.begin() + i);
        return *this;
    }
    AcArray& removeFirst() { return removeAt(0); }
    AcArray& removeLast() {
        v_.pop_back();
        return *this;
    }
    AcArray& removeAll() {
        v_.clear();
        return *this;
    }
    bool remove(const T& x, int start = 0) {
        int i = indexOf(x, start);
        if (i < 0) return false;
        removeAt(i);
        return true;
    }
    bool contains(const T& x, int start = 0) const { return indexOf(x, start) >= 0; }
    bool find(const T& x, int& index, int start = 0) const {
        index = indexOf(x, start);
        return index >= 0;
    }
    int find(const T& x) const { return indexOf(x, 0); }
    int indexOf(const T& x, int start = 0) const {
        for (size_t i = size_t(start < 0 ? 0 : start); i < v_.size(); ++i)
            if (v_[i] == x) return int(i);
        return -1;
    }
    T& at(int i) { return v_.at(size_t(i)); }
    const T& at(int i) const { return v_.at(size_t(i)); }
    T& operator[](int i) { return v_.at(size_t(i)); }
    const T& operator[](int i) const { return v_.at(size_t(i)); }
    T& first() { return v_.front(); }
    T& last() { return v_.back(); }
    const T* asArrayPtr() const { return v_.data(); }
    T* asArrayPtr() { return v_.data(); }
    auto begin() { return v_.begin(); }
    auto end() { return v_.end(); }
    auto begin() const { return v_.begin(); }
    auto end() const { return v_.end(); }
    friend bool operator==(const AcArray& a, const AcArray& b) { return a.v_ == b.v_; }
    std::vector<T>& vec() { return v_; }
    const std::vector<T>& vec() const { return v_; }

private:
    std::vector<T> v_;
};

using AcDbObjectIdArray = AcArray<AcDbObjectId>;
using AcDbIntArray = AcArray<int>;
using AcGeDoubleArray = AcArray<double>;
using AcDbVoidPtrArray = AcArray<void*>;

// Fields most objects of a class leave at their defaults (a text's normal, width factor...), held apart
// and allocated only when a value differs from the default in any bit, so a drawing of thousands of
// texts and inserts does not carry them each. Copies copy the values.
template <typename T>
class AcDbRareFields {
public:
    AcDbRareFields() = default;
    AcDbRareFields(const AcDbRareFields& o) : p_(o.p_ ? new T(*o.p_) : nullptr) {}
    AcDbRareFields& operator=(const AcDbRareFields& o) {
        if (this != &o) p_.reset(o.p_ ? new T(*o.p_) : nullptr);
        return *this;
    }
    const T& get() const { return p_ ? *p_ : defaults(); }
    const T* operator->() const { return &get(); }
    // Stores the values, allocating only for values that are not the defaults.
    void put(const T& v) {
        if (p_)
            *p_ = v;
        else if (std::memcmp(&v, &defaults(), sizeof(T)) != 0)
            p_.reset(new T(v));
    }
    // Changes some of the values: f gets a copy to change.
    template <typename F>
    void change(F f) {
        T v = get();
        f(v);
        put(v);
    }

private:
    static_assert(std::is_trivially_copyable_v<T>);
    static const T& defaults() {
        static const T values{};
        return values;
    }
    std::unique_ptr<T> p_;
};

// A text an object holds (a text entity's string): one allocation of its exact length, none when empty,
// where a string object takes 32 bytes in place besides.
class AcDbCompactText {
public:
    AcDbCompactText() = default;
    AcDbCompactText(const wchar_t* s) { assign(s); }
    AcDbCompactText(const AcDbCompactText& o) { assign(o.c_str()); }
    AcDbCompactText& operator=(const AcDbCompactText& o) {
        if (this != &o) assign(o.c_str());
        return *this;
    }
    AcDbCompactText& operator=(const wchar_t* s) {
        assign(s);
        return *this;
    }
    ~AcDbCompactText() { delete[] p_; }
    const wchar_t* c_str() const { return p_ ? p_ : L""; }
    std::size_t size() const { return p_ ? std::wcslen(p_) : 0; }

private:
    void assign(const wchar_t* s) {
        wchar_t* next = nullptr;
        if (s && *s) { // s may be this text's own
            const std::size_t n = std::wcslen(s) + 1;
            next = new wchar_t[n];
            std::wmemcpy(next, s, n);
        }
        delete[] p_;
        p_ = next;
    }
    wchar_t* p_ = nullptr;
};

// Runtime class identity: isA()->name() gives the SDK class name.
class AcRxClass {
public:
    AcRxClass(const ACHAR* name, AcRxClass* parent, const ACHAR* dxfName)
        : name_(name), parent_(parent), dxfName_(dxfName ? dxfName : L"") {}
    const ACHAR* name() const { return name_; }
    const ACHAR* dxfName() const { return dxfName_; }
    AcRxClass* myParent() const { return parent_; }
    bool isDerivedFrom(const AcRxClass* other) const {
        for (const AcRxClass* c = this; c; c = c->parent_)
            if (c == other) return true;
        return false;
    }

private:
    const ACHAR* name_;
    AcRxClass* parent_;
    const ACHAR* dxfName_;
};

class AcRxObject {
public:
    virtual ~AcRxObject() = default;
    static AcRxClass* desc();
    static AcRxObject* cast(const AcRxObject* p) { return const_cast<AcRxObject*>(p); }
    virtual AcRxClass* isA() const { return desc(); }
    bool isKindOf(const AcRxClass* c) const { return isA()->isDerivedFrom(c); }
    // Protocol extension: the object registered for class c on this object's class, or null.
    virtual AcRxObject* queryX(const AcRxClass* c) const;
    AcRxObject* x(const AcRxClass* c) const { return queryX(c); }
};

#define ACRX_DECLARE_MEMBERS(CLS)                                                                         \
public:                                                                                                   \
    static AcRxClass* desc();                                                                             \
    static CLS* cast(const AcRxObject* p) {                                                               \
        return (p && p->isKindOf(CLS::desc())) ? static_cast<CLS*>(const_cast<AcRxObject*>(p)) : nullptr; \
    }                                                                                                     \
    AcRxClass* isA() const override {                                                                     \
        return CLS::desc();                                                                               \
    }

#define ACRX_DEFINE_MEMBERS(CLS, PARENT, DXFNAME)                \
    AcRxClass* CLS::desc() {                                     \
        static AcRxClass cls(L## #CLS, PARENT::desc(), DXFNAME); \
        return &cls;                                             \
    }
