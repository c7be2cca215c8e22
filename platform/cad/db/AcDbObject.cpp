// What every object shares (opening, erasing, extended data, its dictionary); dictionaries, xrecords, table styles.
#include "cad/db/AcDbObject.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbHyperlink.h"

ACRX_DEFINE_MEMBERS(AcDbObject, AcRxObject, L"")
ACRX_DEFINE_MEMBERS(AcDbDictionary, AcDbObject, L"DICTIONARY")
ACRX_DEFINE_MEMBERS(AcDbXrecord, AcDbObject, L"XRECORD")
ACRX_DEFINE_MEMBERS(AcDbRawObject, AcDbObject, L"")
ACRX_DEFINE_MEMBERS(AcDbTableStyle, AcDbObject, L"TABLESTYLE")

// ---------------------------------------------------------------- values

bool operator==(const AcDbRbValue& a, const AcDbRbValue& b) {
    return a.code == b.code && a.str == b.str && a.pt[0] == b.pt[0] && a.pt[1] == b.pt[1] && a.pt[2] == b.pt[2] &&
           a.integer == b.integer && a.binary == b.binary && a.id == b.id;
}

AcDbRbValues acdbRbToValues(const resbuf* rb) {
    AcDbRbValues out;
    std::size_t count = 0;
    for (const resbuf* item = rb; item; item = item->rbnext) ++count;
    out.reserve(count);
    for (; rb; rb = rb->rbnext) {
        AcDbRbValue v;
        v.code = rb->restype;
        switch (acutRbKind(rb->restype)) {
            case AcRbKind::kString:
                v.str = rb->resval.rstring ? rb->resval.rstring : L"";
                break;
            case AcRbKind::kReal:
                v.pt[0] = rb->resval.rreal;
                break;
            case AcRbKind::kPoint:
                std::memcpy(v.pt, rb->resval.rpoint, sizeof v.pt);
                break;
            case AcRbKind::kShort:
                v.integer = rb->resval.rint;
                break;
            case AcRbKind::kLong:
                v.integer = rb->resval.rlong;
                break;
            case AcRbKind::kInt64:
                v.integer = rb->resval.mnInt64;
                break;
            case AcRbKind::kName:
                v.id.setFromOldId(rb->resval.rlname[0]);
                break;
            case AcRbKind::kBinary:
                if (rb->resval.rbinary.buf && rb->resval.rbinary.clen > 0)
                    v.binary.assign(rb->resval.rbinary.buf, rb->resval.rbinary.buf + rb->resval.rbinary.clen);
                break;
            case AcRbKind::kNone:
                break;
        }
        out.push_back(std::move(v));
    }
    return out;
}

namespace {

resbuf* newRb(const AcDbRbValue& v) {
    resbuf* rb = acutNewRb(v.code);
    switch (acutRbKind(v.code)) {
        case AcRbKind::kString:
            // The stored length is known: no scan for the end.
            rb->resval.rstring = new ACHAR[v.str.size() + 1];
            std::wmemcpy(rb->resval.rstring, v.str.c_str(), v.str.size() + 1);
            break;
        case AcRbKind::kReal:
            rb->resval.rreal = v.pt[0];
            break;
        case AcRbKind::kPoint:
            std::memcpy(rb->resval.rpoint, v.pt, sizeof v.pt);
            break;
        case AcRbKind::kShort:
            rb->resval.rint = short(v.integer);
            break;
        case AcRbKind::kLong:
            rb->resval.rlong = Adesk::Int32(v.integer);
            break;
        case AcRbKind::kInt64:
            rb->resval.mnInt64 = v.integer;
            break;
        case AcRbKind::kName:
            rb->resval.rlname[0] = v.id.asOldId();
            break;
        case AcRbKind::kBinary:
            if (!v.binary.empty()) {
                rb->resval.rbinary.clen = short(std::min<size_t>(v.binary.size(), 32767));
                rb->resval.rbinary.buf = new char[size_t(rb->resval.rbinary.clen)];
                std::memcpy(rb->resval.rbinary.buf, v.binary.data(), size_t(rb->resval.rbinary.clen));
            }
            break;
        case AcRbKind::kNone:
            break;
    }
    return rb;
}

// A chain built at its tail.
struct RbChain {
    resbuf* head = nullptr;
    resbuf* tail = nullptr;
    void append(resbuf* rb) {
        if (tail)
            tail->rbnext = rb;
        else
            head = rb;
        tail = rb;
    }
};

} // namespace

resbuf* acdbValuesToRb(const AcDbRbValues& values) {
    RbChain chain;
    for (const AcDbRbValue& v : values) chain.append(newRb(v));
    return chain.head;
}

// ---------------------------------------------------------------- packed extended data

namespace {

// Extended data as an object keeps it: per application its name and item count, per item its code,
// which fields it sets and those fields; a string whose characters all fit a byte takes a byte each.
// Unpacking gives back exactly the values packed (signed zeros and all).
enum PackedField : unsigned char { kStr = 1, kPt = 2, kInteger = 4, kBinary = 8, kId = 16 };

static_assert(std::is_trivially_copyable_v<AcDbObjectId>);

template <typename T>
void putRaw(std::string& out, const T& v) {
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

void putCount(std::string& out, std::size_t n) {
    putRaw(out, static_cast<std::uint32_t>(n));
}

void putString(std::string& out, const std::wstring& s) {
    const bool narrow = std::all_of(s.begin(), s.end(), [](wchar_t c) { return c >= 0 && c < 0x100; });
    putCount(out, s.size());
    out.push_back(narrow ? 1 : 0);
    if (narrow)
        for (wchar_t c : s) out.push_back(static_cast<char>(static_cast<unsigned char>(c)));
    else
        out.append(reinterpret_cast<const char*>(s.data()), s.size() * sizeof(wchar_t));
}

struct PackedReader {
    const char* at;
    template <typename T>
    T raw() {
        T v;
        std::memcpy(&v, at, sizeof v);
        at += sizeof v;
        return v;
    }
    std::size_t count() { return raw<std::uint32_t>(); }
    std::wstring string() {
        const std::size_t n = count();
        const bool narrow = *at++ != 0;
        std::wstring s(n, L'\0');
        if (narrow) {
            for (std::size_t k = 0; k < n; ++k) s[k] = static_cast<unsigned char>(at[k]);
            at += n;
        } else {
            std::memcpy(s.data(), at, n * sizeof(wchar_t));
            at += n * sizeof(wchar_t);
        }
        return s;
    }
};

std::string packXData(const std::vector<AcDbXDataApp>& apps) {
    std::string out;
    if (apps.empty()) return out;
    static const double zero[3] = {0, 0, 0};
    putCount(out, apps.size());
    for (const AcDbXDataApp& a : apps) {
        putString(out, a.app);
        putCount(out, a.items.size());
        for (const AcDbRbValue& v : a.items) {
            unsigned char fields = (v.str.empty() ? 0 : kStr) | (std::memcmp(v.pt, zero, sizeof v.pt) ? kPt : 0) |
                                   (v.integer ? kInteger : 0) | (v.binary.empty() ? 0 : kBinary) |
                                   (v.id.isNull() ? 0 : kId);
            putRaw(out, v.code);
            out.push_back(static_cast<char>(fields));
            if (fields & kStr) putString(out, v.str);
            if (fields & kPt) putRaw(out, v.pt);
            if (fields & kInteger) putRaw(out, v.integer);
            if (fields & kBinary) {
                putCount(out, v.binary.size());
                out.append(reinterpret_cast<const char*>(v.binary.data()), v.binary.size());
            }
            if (fields & kId) putRaw(out, v.id);
        }
    }
    out.shrink_to_fit();
    return out;
}

std::vector<AcDbXDataApp> unpackXData(const std::string& packed) {
    std::vector<AcDbXDataApp> apps;
    if (packed.empty()) return apps;
    PackedReader in{packed.data()};
    apps.resize(in.count());
    for (AcDbXDataApp& a : apps) {
        a.app = in.string();
        a.items.resize(in.count());
        for (AcDbRbValue& v : a.items) {
            v.code = in.raw<short>();
            const auto fields = static_cast<unsigned char>(*in.at++);
            if (fields & kStr) v.str = in.string();
            if (fields & kPt) std::memcpy(v.pt, in.at, sizeof v.pt), in.at += sizeof v.pt;
            if (fields & kInteger) v.integer = in.raw<Adesk::Int64>();
            if (fields & kBinary) {
                const std::size_t n = in.count();
                v.binary.assign(in.at, in.at + n);
                in.at += n;
            }
            if (fields & kId) v.id = in.raw<AcDbObjectId>();
        }
    }
    return apps;
}

} // namespace

// ---------------------------------------------------------------- object

AcDbObject::AcDbObject() = default;

AcDbObject::AcDbObject(const AcDbObject& o) : AcRxObject() {
    // A copy keeps the data, not the reactors.
    if (o.extras_ && (!o.extras_->xdata.empty() || !o.extras_->extraTags.empty()))
        extras_.reset(new Extras{{}, o.extras_->xdata, o.extras_->extraTags});
}

std::vector<AcDbXDataApp> AcDbObject::xDataApps() const {
    return extras_ ? unpackXData(extras_->xdata) : std::vector<AcDbXDataApp>();
}

void AcDbObject::setXDataApps(const std::vector<AcDbXDataApp>& apps) {
    if (extras_ || !apps.empty()) extras().xdata = packXData(apps);
}

const AcDbObject::Extras& AcDbObject::noExtras() {
    static const Extras none;
    return none;
}

AcDbObject::Extras& AcDbObject::extras() {
    if (!extras_) extras_ = std::make_unique<Extras>();
    return *extras_;
}

AcDbObject::~AcDbObject() {
    // An object deleted while in a database leaves it rather than being freed twice.
    if (stub_ && stub_->object == this) stub_->database->forgetObject(this);
}

AcDbHandle AcDbObject::handle() const {
    return stub_ ? stub_->handle : AcDbHandle();
}
AcDbDatabase* AcDbObject::database() const {
    return stub_ ? stub_->database : nullptr;
}
bool AcDbObject::loading() const {
    return stub_ && stub_->database->isLoading();
}

Acad::ErrorStatus AcDbObject::setOwnerId(AcDbObjectId owner) {
    owner_ = owner;
    return Acad::eOk;
}

void AcDbObject::assertWriteEnabled() const {
    if (stub_ && mode_ != AcDb::kForWrite && !stub_->database->isLoading()) stub_->database->noteWriteViolation(this);
}

Acad::ErrorStatus AcDbObject::close() {
    if (!stub_) return Acad::eOk;
    return stub_->database->closeObject(this);
}

Acad::ErrorStatus AcDbObject::upgradeOpen() {
    if (!stub_) return Acad::eOk;
    return stub_->database->upgradeObject(this);
}

Acad::ErrorStatus AcDbObject::downgradeOpen() {
    if (!stub_) return Acad::eOk;
    if (mode_ == AcDb::kNotOpen) return Acad::eNotOpenForRead;
    mode_ = static_cast<signed char>(AcDb::kForRead);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::erase(bool erasing) {
    if (!stub_) return Acad::eNotInDatabase;
    if (mode_ != AcDb::kForWrite && !loading()) return Acad::eNotOpenForWrite;
    if (erased_ == erasing) return erasing ? Acad::eWasErased : Acad::eOk;
    if (erasing && !loading()) {
        Acad::ErrorStatus es = canErase();
        if (es != Acad::eOk) return es;
    }
    onErase(erasing);
    erased_ = erasing;
    stub_->database->objectErased(this, erasing);
    return Acad::eOk;
}

void AcDbObject::onErase(bool erasing) {
    if (erasing && !extDict_.isNull()) {
        if (AcDbObject* d = database()->peek(extDict_)) {
            d->onErase(true);
            d->setErasedFlag(true);
        }
    }
}

void AcDbObject::onAddedToDatabase(AcDbDatabase*) {}

void AcDbObject::collectReferences(std::vector<AcDbObjectId*>& refs) {
    if (extras_)
        for (auto& r : extras_->reactors) refs.push_back(&r);
}

void AcDbObject::ownedObjects(AcDbObjectIdArray& ids) const {
    if (!extDict_.isNull()) ids.append(extDict_);
}

namespace {

int utf8Bytes(const std::wstring& text) {
    int bytes = 0;
    for (wchar_t c : text) {
        const auto code = static_cast<unsigned long>(c);
        bytes += code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    }
    return bytes;
}

} // namespace

int AcDbObject::xDataSize(const AcDbXDataApp& app) {
    int total = 4;
    for (const AcDbRbValue& v : app.items) {
        total += 1;
        switch (v.code) {
            case 1002:
                total += 1;
                break;
            case 1003:
            case 1005:
                total += 8;
                break;
            case 1004:
                total += 1 + int(v.binary.size());
                break;
            case 1070:
                total += 2;
                break;
            case 1071:
                total += 4;
                break;
            default:
                if (v.code >= 1010 && v.code <= 1013)
                    total += 24;
                else if (v.code >= 1040 && v.code <= 1042)
                    total += 8;
                else {
                    total += 2 + utf8Bytes(v.str);
                }
        }
    }
    return total;
}

int AcDbObject::xDataSize(const std::vector<AcDbXDataApp>& apps) {
    int total = 0;
    for (const AcDbXDataApp& a : apps) total += xDataSize(a);
    return total;
}

resbuf* AcDbObject::xData(const ACHAR* app) const {
    RbChain chain;
    for (const AcDbXDataApp& a : xDataApps()) {
        if (app ? !acdbSameName(a.app, app) : acdbSameName(a.app, ACDB_HYPERLINK_APPNAME)) continue;
        resbuf* head = acutNewRb(1001);
        acutNewString(a.app.c_str(), head->resval.rstring);
        chain.append(head);
        for (const AcDbRbValue& v : a.items) chain.append(newRb(v));
    }
    return chain.head;
}

Acad::ErrorStatus AcDbObject::setXData(const resbuf* rb) {
    // A string the object holds already, as read from a drawing of an older release where it took fewer
    // bytes, is kept as it stands: only a string written anew is held to the limit.
    const auto holdsString = [this](const std::wstring& text) {
        for (const AcDbXDataApp& a : xDataApps())
            for (const AcDbRbValue& held : a.items)
                if (held.code == 1000 && held.str == text) return true;
        return false;
    };
    if (!rb) return Acad::eInvalidInput;
    if (rb->restype != 1001) return Acad::eInvalidInput;
    AcDbRbValues values = acdbRbToValues(rb);
    std::vector<AcDbXDataApp> replaced;
    for (AcDbRbValue& v : values) {
        if (v.code == 1001) {
            if (v.str.empty()) return Acad::eInvalidInput;
            replaced.push_back({v.str, {}});
            replaced.back().items.reserve(values.size());
            continue;
        }
        if (v.code < 1000 || v.code > 1071) return Acad::eInvalidInput;
        if (v.code == 1000 && utf8Bytes(v.str) > kMaxXDataStringBytes && !holdsString(v.str))
            return Acad::eXdataSizeExceeded;
        replaced.back().items.push_back(std::move(v));
    }
    AcDbDatabase* db = database() ? database() : acdbWorkingDatabase();
    if (db && !db->isLoading()) {
        for (const AcDbXDataApp& a : replaced)
            if (db->regAppTableId().isNull() || db->peek(db->regAppTableId()) == nullptr ||
                !static_cast<AcDbSymbolTable*>(db->peek(db->regAppTableId()))->has(a.app.c_str()))
                return Acad::eRegappIdNotFound;
    }
    // The result is planned as where each application's name and items come from, so that a change
    // refused for its size copies nothing; an application replaced keeps its place and spelling.
    struct Planned {
        AcDbXDataApp* name;
        AcDbXDataApp* items;
    };
    std::vector<AcDbXDataApp> current = xDataApps();
    std::vector<Planned> next;
    next.reserve(current.size() + replaced.size());
    for (AcDbXDataApp& x : current) next.push_back({&x, &x});
    for (AcDbXDataApp& a : replaced) {
        auto it =
            std::find_if(next.begin(), next.end(), [&](const Planned& x) { return acdbSameName(x.name->app, a.app); });
        if (a.items.empty()) {
            if (it != next.end()) next.erase(it);
        } else if (it != next.end()) {
            it->items = &a;
        } else {
            next.push_back({&a, &a});
        }
    }
    int size = 0;
    for (const Planned& p : next) size += xDataSize(*p.items);
    if (size > kMaxXDataBytes) return Acad::eXdataSizeExceeded;
    assertWriteEnabled();
    std::vector<AcDbXDataApp> result;
    result.reserve(next.size());
    for (const Planned& p : next) result.push_back({std::move(p.name->app), std::move(p.items->items)});
    setXDataApps(result);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::createExtensionDictionary() {
    if (!stub_) return Acad::eNotInDatabase;
    if (!extDict_.isNull() && extDict_.isValid() && !extDict_.isErased()) return Acad::eAlreadyInDb;
    if (mode_ != AcDb::kForWrite && !loading()) return Acad::eNotOpenForWrite;
    auto* d = new AcDbDictionary();
    d->setTreatElementsAsHard(true);
    AcDbObjectId id;
    Acad::ErrorStatus es = database()->addAcDbObject(id, d);
    if (es != Acad::eOk) {
        delete d;
        return es;
    }
    d->setOwnerId(objectId());
    d->addPersistentReactor(objectId());
    d->close();
    extDict_ = id;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::releaseExtensionDictionary() {
    if (extDict_.isNull()) return Acad::eOk;
    if (mode_ != AcDb::kForWrite && stub_ && !loading()) return Acad::eNotOpenForWrite;
    auto* d = AcDbDictionary::cast(database() ? database()->peek(extDict_) : nullptr);
    if (d && d->numEntries() > 0) return Acad::eInvalidInput;
    if (d) {
        d->setErasedFlag(true);
        database()->objectErased(d, true);
    }
    extDict_.setNull();
    return Acad::eOk;
}

void AcDbObject::addPersistentReactor(AcDbObjectId id) {
    if (!extras().reactors.contains(id)) extras_->reactors.append(id);
}

Acad::ErrorStatus AcDbObject::removePersistentReactor(AcDbObjectId id) {
    return extras_ && extras_->reactors.remove(id) ? Acad::eOk : Acad::eKeyNotFound;
}

// ---------------------------------------------------------------- dictionary

Acad::ErrorStatus AcDbDictionaryIterator::getObject(AcDbObject*& obj, AcDb::OpenMode mode) {
    if (done()) return Acad::eInvalidIndex;
    return acdbOpenObject(obj, objectId(), mode);
}

Acad::ErrorStatus AcDbDictionary::getAt(const ACHAR* name, AcDbObjectId& id) const {
    id.setNull();
    if (!name) return Acad::eInvalidKey;
    auto it = entries_.find(acdbNameKey(name));
    if (it == entries_.end() || it->second.second.isErased()) return Acad::eKeyNotFound;
    id = it->second.second;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDictionary::getAt(const ACHAR* name, AcDbObject*& obj, AcDb::OpenMode mode) const {
    obj = nullptr;
    AcDbObjectId id;
    Acad::ErrorStatus es = getAt(name, id);
    if (es != Acad::eOk) return es;
    return acdbOpenObject(obj, id, mode);
}

bool AcDbDictionary::nameAt(AcDbObjectId id, std::wstring& name) const {
    for (const auto& [key, e] : entries_)
        if (e.second == id) {
            name = e.first;
            return true;
        }
    return false;
}

Acad::ErrorStatus AcDbDictionary::nameAt(AcDbObjectId id, ACHAR*& name) const {
    std::wstring n;
    name = nullptr;
    if (!nameAt(id, n)) return Acad::eKeyNotFound;
    acutNewString(n.c_str(), name);
    return Acad::eOk;
}

bool AcDbDictionary::has(const ACHAR* name) const {
    AcDbObjectId id;
    return getAt(name, id) == Acad::eOk;
}

bool AcDbDictionary::has(AcDbObjectId id) const {
    std::wstring n;
    return nameAt(id, n);
}

Acad::ErrorStatus AcDbDictionary::setAt(const ACHAR* name, AcDbObject* value, AcDbObjectId& retId) {
    if (!name || !*name) return Acad::eInvalidKey;
    if (!value) return Acad::eNullObjectId;
    if (!database()) return Acad::eNotInDatabase;
    if (!value->isDatabaseResident()) {
        Acad::ErrorStatus es = database()->addAcDbObject(retId, value);
        if (es != Acad::eOk) return es;
    } else {
        retId = value->objectId();
    }
    value->setOwnerId(objectId());
    std::wstring key = acdbNameKey(name);
    auto it = entries_.find(key);
    if (it != entries_.end() && it->second.second != retId) {
        if (AcDbObject* old = database()->peek(it->second.second)) {
            if (old->ownerId() == objectId() && !old->isErased()) {
                old->onErase(true);
                old->setErasedFlag(true);
                database()->objectErased(old, true);
            }
        }
    }
    assertWriteEnabled();
    entries_[key] = {name, retId};
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDictionary::setAtId(const ACHAR* name, AcDbObjectId id) {
    if (!name) return Acad::eInvalidKey;
    entries_[acdbNameKey(name)] = {name, id};
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDictionary::remove(const ACHAR* name, AcDbObjectId& returnId) {
    returnId.setNull();
    if (!name) return Acad::eInvalidKey;
    auto it = entries_.find(acdbNameKey(name));
    if (it == entries_.end()) return Acad::eKeyNotFound;
    assertWriteEnabled();
    returnId = it->second.second;
    entries_.erase(it);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDictionary::remove(const ACHAR* name) {
    AcDbObjectId id;
    return remove(name, id);
}

Acad::ErrorStatus AcDbDictionary::remove(AcDbObjectId id) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (it->second.second == id) {
            assertWriteEnabled();
            entries_.erase(it);
            return Acad::eOk;
        }
    return Acad::eKeyNotFound;
}

bool AcDbDictionary::setName(const ACHAR* oldName, const ACHAR* newName) {
    if (!oldName || !newName || !*newName) return false;
    auto it = entries_.find(acdbNameKey(oldName));
    if (it == entries_.end()) return false;
    std::wstring nk = acdbNameKey(newName);
    if (nk != it->first && entries_.count(nk)) return false;
    AcDbObjectId id = it->second.second;
    assertWriteEnabled();
    entries_.erase(it);
    entries_[nk] = {newName, id};
    return true;
}

std::vector<std::pair<std::wstring, AcDbObjectId>> AcDbDictionary::entries() const {
    std::vector<std::pair<std::wstring, AcDbObjectId>> out;
    out.reserve(entries_.size());
    for (const auto& [key, e] : entries_) out.push_back(e);
    return out;
}

AcDbDictionaryIterator* AcDbDictionary::newIterator() const {
    std::vector<std::pair<std::wstring, AcDbObjectId>> live;
    for (const auto& [key, e] : entries_)
        if (!e.second.isErased()) live.push_back(e);
    return new AcDbDictionaryIterator(std::move(live));
}

void AcDbDictionary::collectReferences(std::vector<AcDbObjectId*>& refs) {
    AcDbObject::collectReferences(refs);
    for (auto& [key, e] : entries_) refs.push_back(&e.second);
}

void AcDbDictionary::ownedObjects(AcDbObjectIdArray& ids) const {
    AcDbObject::ownedObjects(ids);
    for (const auto& [key, e] : entries_) {
        AcDbObject* o = database() ? database()->peek(e.second) : nullptr;
        if (o && o->ownerId() == objectId()) ids.append(e.second);
    }
}

void AcDbDictionary::onErase(bool erasing) {
    AcDbObject::onErase(erasing);
    if (!erasing || !database()) return;
    for (const auto& [key, e] : entries_) {
        AcDbObject* o = database()->peek(e.second);
        if (o && o->ownerId() == objectId() && !o->isErased()) {
            o->onErase(true);
            o->setErasedFlag(true);
            database()->objectErased(o, true);
        }
    }
}

// ---------------------------------------------------------------- xrecord

Acad::ErrorStatus AcDbXrecord::rbChain(resbuf** ppRb, AcDbDatabase*) const {
    if (!ppRb) return Acad::eInvalidInput;
    *ppRb = acdbValuesToRb(values_);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbXrecord::setFromRbChain(const resbuf& rb, AcDbDatabase*) {
    assertWriteEnabled();
    values_ = acdbRbToValues(&rb);
    return Acad::eOk;
}

void AcDbXrecord::collectReferences(std::vector<AcDbObjectId*>& refs) {
    AcDbObject::collectReferences(refs);
    for (auto& v : values_)
        if (!v.id.isNull()) refs.push_back(&v.id);
}

// ---------------------------------------------------------------- table style

Acad::ErrorStatus AcDbTableStyle::setDescription(const ACHAR* d) {
    assertWriteEnabled();
    description_ = d ? d : L"";
    return Acad::eOk;
}
Acad::ErrorStatus AcDbTableStyle::setFlowDirection(AcDb::FlowDirection f) {
    assertWriteEnabled();
    flow_ = f;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbTableStyle::setHorzCellMargin(double v) {
    assertWriteEnabled();
    horzMargin_ = v;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbTableStyle::setVertCellMargin(double v) {
    assertWriteEnabled();
    vertMargin_ = v;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbTableStyle::suppressTitleRow(bool v) {
    assertWriteEnabled();
    titleSuppressed_ = v;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbTableStyle::suppressHeaderRow(bool v) {
    assertWriteEnabled();
    headerSuppressed_ = v;
    return Acad::eOk;
}
double AcDbTableStyle::textHeight(AcDb::RowType t) const {
    return textHeight_[slot(t)];
}
AcDb::CellAlignment AcDbTableStyle::alignment(AcDb::RowType t) const {
    return alignment_[slot(t)];
}
AcDbObjectId AcDbTableStyle::textStyle(AcDb::RowType t) const {
    return textStyle_[slot(t)];
}

Acad::ErrorStatus AcDbTableStyle::setTextHeight(double h, int rowTypes) {
    if (h <= 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    for (AcDb::RowType t : {AcDb::kDataRow, AcDb::kTitleRow, AcDb::kHeaderRow})
        if (rowTypes & t) textHeight_[slot(t)] = h;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTableStyle::setAlignment(AcDb::CellAlignment a, int rowTypes) {
    assertWriteEnabled();
    for (AcDb::RowType t : {AcDb::kDataRow, AcDb::kTitleRow, AcDb::kHeaderRow})
        if (rowTypes & t) alignment_[slot(t)] = a;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTableStyle::setTextStyle(AcDbObjectId id, int rowTypes) {
    assertWriteEnabled();
    for (AcDb::RowType t : {AcDb::kDataRow, AcDb::kTitleRow, AcDb::kHeaderRow})
        if (rowTypes & t) textStyle_[slot(t)] = id;
    return Acad::eOk;
}

void AcDbTableStyle::collectReferences(std::vector<AcDbObjectId*>& refs) {
    AcDbObject::collectReferences(refs);
    for (auto& id : textStyle_) refs.push_back(&id);
}

// ---------------------------------------------------------------- opening

Acad::ErrorStatus acdbOpenObject(AcDbObject*& obj, AcDbObjectId id, AcDb::OpenMode mode, bool openErased) {
    obj = nullptr;
    if (id.isNull()) return Acad::eNullObjectId;
    AcDbDatabase* db = id.database();
    if (!db) return Acad::eUnknownHandle;
    return db->openObject(obj, id, mode, openErased);
}

Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject*& obj, AcDbObjectId id, AcDb::OpenMode mode, bool openErased) {
    return acdbOpenObject(obj, id, mode, openErased);
}
