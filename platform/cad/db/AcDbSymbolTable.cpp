#include "cad/db/AcDbSymbolTable.h"

#include <cwchar>
#include <cwctype>

#include "cad/db/AcDbDatabase.h"

const ACHAR* ACDB_MODEL_SPACE = L"*Model_Space";
const ACHAR* ACDB_PAPER_SPACE = L"*Paper_Space";

ACRX_DEFINE_MEMBERS(AcDbSymbolTableRecord, AcDbObject, L"")
ACRX_DEFINE_MEMBERS(AcDbSymbolTable, AcDbObject, L"TABLE")
ACRX_DEFINE_MEMBERS(AcDbBlockTable, AcDbSymbolTable, L"TABLE")
ACRX_DEFINE_MEMBERS(AcDbLayerTable, AcDbSymbolTable, L"TABLE")
ACRX_DEFINE_MEMBERS(AcDbLinetypeTable, AcDbSymbolTable, L"TABLE")
ACRX_DEFINE_MEMBERS(AcDbTextStyleTable, AcDbSymbolTable, L"TABLE")
ACRX_DEFINE_MEMBERS(AcDbRegAppTable, AcDbSymbolTable, L"TABLE")
ACRX_DEFINE_MEMBERS(AcDbViewportTable, AcDbSymbolTable, L"TABLE")
ACRX_DEFINE_MEMBERS(AcDbViewTable, AcDbSymbolTable, L"TABLE")
ACRX_DEFINE_MEMBERS(AcDbUCSTable, AcDbSymbolTable, L"TABLE")
ACRX_DEFINE_MEMBERS(AcDbDimStyleTable, AcDbSymbolTable, L"TABLE")
ACRX_DEFINE_MEMBERS(AcDbBlockTableRecord, AcDbSymbolTableRecord, L"BLOCK_RECORD")
ACRX_DEFINE_MEMBERS(AcDbLayerTableRecord, AcDbSymbolTableRecord, L"LAYER")
ACRX_DEFINE_MEMBERS(AcDbLinetypeTableRecord, AcDbSymbolTableRecord, L"LTYPE")
ACRX_DEFINE_MEMBERS(AcDbTextStyleTableRecord, AcDbSymbolTableRecord, L"STYLE")
ACRX_DEFINE_MEMBERS(AcDbRegAppTableRecord, AcDbSymbolTableRecord, L"APPID")
ACRX_DEFINE_MEMBERS(AcDbViewportTableRecord, AcDbSymbolTableRecord, L"VPORT")
ACRX_DEFINE_MEMBERS(AcDbViewTableRecord, AcDbSymbolTableRecord, L"VIEW")
ACRX_DEFINE_MEMBERS(AcDbUCSTableRecord, AcDbSymbolTableRecord, L"UCS")
ACRX_DEFINE_MEMBERS(AcDbDimStyleTableRecord, AcDbSymbolTableRecord, L"DIMSTYLE")

namespace {
bool loadingDb(const AcDbObject* o) {
    AcDbDatabase* db = o->database();
    return db && db->isLoading();
}
} // namespace

Acad::ErrorStatus acdbSNValid(const ACHAR* name, bool pipeAllowed) {
    if (!name || !*name) return Acad::eInvalidSymbolTableName;
    size_t n = std::wcslen(name);
    if (n > 255) return Acad::eInvalidSymbolTableName;
    for (size_t i = 0; i < n; ++i) {
        wchar_t c = name[i];
        if (c == L'|' && pipeAllowed) continue;
        if (std::wcschr(L"<>/\\\":;?*|,=`", c) || c < 0x20) return Acad::eInvalidSymbolTableName;
    }
    return Acad::eOk;
}

void acutDelString(ACHAR*& s) {
    delete[] s;
    s = nullptr;
}

ACHAR* acutDupString(const ACHAR* s) {
    ACHAR* out = nullptr;
    acutNewString(s ? s : L"", out);
    return out;
}

// ---------------------------------------------------------------- records

Acad::ErrorStatus AcDbSymbolTableRecord::getName(ACHAR*& name) const {
    name = acutDupString(name_.c_str());
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTableRecord::setName(const ACHAR* name) {
    if (!name || !*name) return Acad::eInvalidSymbolTableName;
    std::wstring n(name);
    // A record outside a table takes any name: the table checks it when the record is added
    // (file reading adds records under the names other programs gave them).
    if (isDatabaseResident()) {
        auto* table = AcDbSymbolTable::cast(database()->peek(ownerId()));
        if (table) return table->renameRecord(this, n);
        if (!loadingDb(this) && acdbSNValid(n.c_str()) != Acad::eOk) return Acad::eInvalidSymbolTableName;
    }
    assertWriteEnabled();
    name_ = n;
    return Acad::eOk;
}

// ---------------------------------------------------------------- iterators

AcDbIdCursor::AcDbIdCursor(std::vector<AcDbObjectId> ids, bool atBeginning, bool skipDeleted) : ids_(std::move(ids)) {
    start(atBeginning, skipDeleted);
}

void AcDbIdCursor::skip(bool forward, bool skipDeleted) {
    if (!skipDeleted) return;
    while (pos_ >= 0 && pos_ < long(ids_.size()) && (ids_[size_t(pos_)].isErased() || !ids_[size_t(pos_)].isValid()))
        pos_ += forward ? 1 : -1;
}

void AcDbIdCursor::start(bool atBeginning, bool skipDeleted) {
    pos_ = atBeginning ? 0 : long(ids_.size()) - 1;
    skip(atBeginning, skipDeleted);
}

bool AcDbIdCursor::done() const {
    return pos_ < 0 || pos_ >= long(ids_.size());
}

void AcDbIdCursor::step(bool forward, bool skipDeleted) {
    pos_ += forward ? 1 : -1;
    skip(forward, skipDeleted);
}

Acad::ErrorStatus AcDbIdCursor::currentId(AcDbObjectId& id) const {
    if (done()) return Acad::eInvalidIndex;
    id = ids_[size_t(pos_)];
    return Acad::eOk;
}

Acad::ErrorStatus AcDbIdCursor::seek(AcDbObjectId id) {
    for (size_t i = 0; i < ids_.size(); ++i)
        if (ids_[i] == id) {
            pos_ = long(i);
            return Acad::eOk;
        }
    return Acad::eInvalidInput;
}

Acad::ErrorStatus AcDbSymbolTableIterator::getRecord(AcDbSymbolTableRecord*& rec, AcDb::OpenMode mode,
                                                     bool openErased) const {
    rec = nullptr;
    AcDbObjectId id;
    Acad::ErrorStatus es = getRecordId(id);
    if (es != Acad::eOk) return es;
    return acdbOpenObject(rec, id, mode, openErased);
}

// ---------------------------------------------------------------- tables

AcDbObjectId AcDbSymbolTable::findLive(const std::wstring& name) const {
    auto rebuild = [this] {
        index_.clear();
        unresolved_ = false;
        for (AcDbObjectId id : ids_) {
            auto* r = id.stub() ? AcDbSymbolTableRecord::cast(id.stub()->object) : nullptr;
            if (r)
                index_[acdbNameKey(r->getName())].push_back(id);
            else
                unresolved_ = true;
        }
        dirty_ = false;
    };
    auto lookup = [this](const std::wstring& key) {
        auto it = index_.find(key);
        if (it == index_.end()) return AcDbObjectId();
        for (AcDbObjectId id : it->second)
            if (id.isValid() && !id.isErased()) {
                auto* r = AcDbSymbolTableRecord::cast(id.stub()->object);
                if (r && acdbSameName(r->getName(), key)) return id;
            }
        return AcDbObjectId();
    };
    if (dirty_) rebuild();
    std::wstring key = acdbNameKey(name);
    AcDbObjectId found = lookup(key);
    // Records named before they were read in join the index once they exist.
    if (found.isNull() && unresolved_) {
        rebuild();
        found = lookup(key);
    }
    return found;
}

Acad::ErrorStatus AcDbSymbolTable::getAt(const ACHAR* name, AcDbObjectId& id, bool getErased) const {
    id.setNull();
    if (!name) return Acad::eInvalidInput;
    id = findLive(name);
    if (id.isNull() && getErased) {
        for (AcDbObjectId r : ids_) {
            auto* rec = r.stub() ? AcDbSymbolTableRecord::cast(r.stub()->object) : nullptr;
            if (rec && acdbNameKey(rec->getName()) == acdbNameKey(name)) id = r;
        }
    }
    return id.isNull() ? Acad::eKeyNotFound : Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTable::getAt(const ACHAR* name, AcDbSymbolTableRecord*& rec, AcDb::OpenMode mode,
                                         bool openErased) const {
    rec = nullptr;
    AcDbObjectId id;
    Acad::ErrorStatus es = getAt(name, id, openErased);
    if (es != Acad::eOk) return es;
    return acdbOpenObject(rec, id, mode, openErased);
}

bool AcDbSymbolTable::has(const ACHAR* name) const {
    return name && !findLive(name).isNull();
}

bool AcDbSymbolTable::has(AcDbObjectId id) const {
    for (AcDbObjectId r : ids_)
        if (r == id) return !id.isErased() && id.isValid();
    return false;
}

Acad::ErrorStatus AcDbSymbolTable::checkName(std::wstring& name) const {
    if (name.empty() || acdbSNValid(name.c_str()) != Acad::eOk) return Acad::eInvalidSymbolTableName;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTable::add(AcDbSymbolTableRecord* rec) {
    AcDbObjectId id;
    return add(id, rec);
}

Acad::ErrorStatus AcDbSymbolTable::add(AcDbObjectId& id, AcDbSymbolTableRecord* rec) {
    id.setNull();
    if (!rec) return Acad::eNullObjectId;
    if (!database()) return Acad::eNotInDatabase;
    if (rec->isDatabaseResident()) return Acad::eAlreadyInDb;
    if (!acceptsRecord(rec)) return Acad::eWrongObjectType;
    AcDbDatabase* db = database();
    if (!db->isLoading()) {
        Acad::ErrorStatus es = checkName(rec->name_);
        if (es != Acad::eOk) return es;
    }
    if (!findLive(rec->name_).isNull()) return Acad::eDuplicateRecordName;
    Acad::ErrorStatus es = db->addAcDbObject(id, rec);
    if (es != Acad::eOk) return es;
    rec->setOwnerId(objectId());
    assertWriteEnabled();
    ids_.push_back(id);
    index_[acdbNameKey(rec->name_)].push_back(id);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTable::appendRecordId(AcDbObjectId id) {
    if (id.isNull()) return Acad::eNullObjectId;
    ids_.push_back(id);
    dirty_ = true;
    return Acad::eOk;
}

void AcDbSymbolTable::reindex() {
    dirty_ = true;
}

Acad::ErrorStatus AcDbSymbolTable::renameRecord(AcDbSymbolTableRecord* rec, const std::wstring& newName) {
    AcDbDatabase* db = database();
    if (!db->isLoading()) {
        std::wstring n = newName;
        if (!acdbSameName(n, rec->name_)) {
            Acad::ErrorStatus es = checkName(n);
            if (es != Acad::eOk) return es;
        }
    }
    AcDbObjectId other = findLive(newName);
    if (!other.isNull() && other != rec->objectId()) return Acad::eDuplicateRecordName;
    rec->assertWriteEnabled();
    // The index is keyed by upper-case name and look-ups check the record's current name, so a
    // rename only adds the new key: rebuilding the whole index on every rename made write-backs
    // of many spaces quadratic.
    const bool sameKey = acdbSameName(newName, rec->name_);
    rec->name_ = newName;
    if (!dirty_ && !sameKey) index_[acdbNameKey(newName)].push_back(rec->objectId());
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTable::newIterator(AcDbSymbolTableIterator*& it, bool atBeginning, bool skipDeleted) const {
    it = new AcDbSymbolTableIterator(ids_, atBeginning, skipDeleted);
    return Acad::eOk;
}

void AcDbSymbolTable::ownedObjects(AcDbObjectIdArray& ids) const {
    AcDbObject::ownedObjects(ids);
    for (AcDbObjectId id : ids_) ids.append(id);
}

void AcDbSymbolTable::collectReferences(std::vector<AcDbObjectId*>& refs) {
    AcDbObject::collectReferences(refs);
    for (auto& id : ids_) refs.push_back(&id);
    dirty_ = true;
}

#define ACDB_SYMBOL_TABLE_IMPL(TABLE, RECORD)                                                                     \
    Acad::ErrorStatus TABLE::getAt(const ACHAR* name, RECORD*& rec, AcDb::OpenMode mode, bool openErased) const { \
        rec = nullptr;                                                                                            \
        AcDbObjectId id;                                                                                          \
        Acad::ErrorStatus es = AcDbSymbolTable::getAt(name, id, openErased);                                      \
        if (es != Acad::eOk) return es;                                                                           \
        return acdbOpenObject(rec, id, mode, openErased);                                                         \
    }                                                                                                             \
    Acad::ErrorStatus TABLE::newIterator(TABLE##Iterator*& it, bool atBeginning, bool skipDeleted) const {        \
        it = new TABLE##Iterator(ids_, atBeginning, skipDeleted);                                                 \
        return Acad::eOk;                                                                                         \
    }                                                                                                             \
    bool TABLE::acceptsRecord(const AcDbSymbolTableRecord* rec) const {                                           \
        return RECORD::cast(rec) != nullptr;                                                                      \
    }

ACDB_SYMBOL_TABLE_IMPL(AcDbBlockTable, AcDbBlockTableRecord)
ACDB_SYMBOL_TABLE_IMPL(AcDbLayerTable, AcDbLayerTableRecord)
ACDB_SYMBOL_TABLE_IMPL(AcDbLinetypeTable, AcDbLinetypeTableRecord)
ACDB_SYMBOL_TABLE_IMPL(AcDbTextStyleTable, AcDbTextStyleTableRecord)
ACDB_SYMBOL_TABLE_IMPL(AcDbRegAppTable, AcDbRegAppTableRecord)
ACDB_SYMBOL_TABLE_IMPL(AcDbViewportTable, AcDbViewportTableRecord)
ACDB_SYMBOL_TABLE_IMPL(AcDbViewTable, AcDbViewTableRecord)
ACDB_SYMBOL_TABLE_IMPL(AcDbUCSTable, AcDbUCSTableRecord)
ACDB_SYMBOL_TABLE_IMPL(AcDbDimStyleTable, AcDbDimStyleTableRecord)

// Block names may start with '*': the spaces and anonymous blocks. "*U", "*D", "*X", "*T" alone ask
// for a new anonymous name.
Acad::ErrorStatus AcDbBlockTable::checkName(std::wstring& name) const {
    if (name.empty()) return Acad::eInvalidSymbolTableName;
    if (name[0] != L'*') return AcDbSymbolTable::checkName(name);
    if (name.size() == 2) {
        wchar_t kind = wchar_t(std::towupper(name[1]));
        if (std::wcschr(L"UDXTAE", kind) == nullptr) return Acad::eInvalidSymbolTableName;
        AcDbDatabase* db = database();
        do {
            name = std::wstring(L"*") + kind + std::to_wstring(db->nextAnonymousNumber(kind));
        } while (!findLive(name).isNull());
        return Acad::eOk;
    }
    std::wstring body = name.substr(1);
    return acdbSNValid(body.c_str()) == Acad::eOk ? Acad::eOk : Acad::eInvalidSymbolTableName;
}

Acad::ErrorStatus AcDbViewportTable::checkName(std::wstring& name) const {
    if (name == L"*Active" || name == L"*ACTIVE") return Acad::eOk;
    return AcDbSymbolTable::checkName(name);
}

#define ACDB_PLAIN_CHECK(TABLE)                                    \
    Acad::ErrorStatus TABLE::checkName(std::wstring& name) const { \
        return AcDbSymbolTable::checkName(name);                   \
    }
ACDB_PLAIN_CHECK(AcDbLayerTable)
ACDB_PLAIN_CHECK(AcDbLinetypeTable)
ACDB_PLAIN_CHECK(AcDbTextStyleTable)
ACDB_PLAIN_CHECK(AcDbRegAppTable)
ACDB_PLAIN_CHECK(AcDbViewTable)
ACDB_PLAIN_CHECK(AcDbUCSTable)
ACDB_PLAIN_CHECK(AcDbDimStyleTable)

// ---------------------------------------------------------------- block records

AcDbBlockTableRecord::AcDbBlockTableRecord(const AcDbBlockTableRecord& o)
    : AcDbSymbolTableRecord(o),
      origin_(o.origin_),
      comments_(o.comments_),
      path_(o.path_),
      insUnits_(o.insUnits_),
      explodable_(o.explodable_),
      scaling_(o.scaling_) {}

bool AcDbBlockTableRecord::isSpaceName() const {
    std::wstring u = acdbNameKey(name_);
    return u == L"*MODEL_SPACE" || u.rfind(L"*PAPER_SPACE", 0) == 0;
}

Acad::ErrorStatus AcDbBlockTableRecord::appendAcDbEntity(AcDbEntity* ent) {
    AcDbObjectId id;
    return appendAcDbEntity(id, ent);
}

Acad::ErrorStatus AcDbBlockTableRecord::appendAcDbEntity(AcDbObjectId& id, AcDbEntity* ent) {
    id.setNull();
    if (!ent) return Acad::eNullEntityPointer;
    if (!database()) return Acad::eNotInDatabase;
    if (ent->isDatabaseResident()) return Acad::eAlreadyInDb;
    ent->setOwnerId(objectId());
    Acad::ErrorStatus es = database()->addAcDbObject(id, ent);
    if (es != Acad::eOk) {
        ent->setOwnerId(AcDbObjectId());
        return es;
    }
    assertWriteEnabled();
    entities_.push_back(id);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::appendEntityId(AcDbObjectId id) {
    if (id.isNull()) return Acad::eNullObjectId;
    entities_.push_back(id);
    return Acad::eOk;
}

void AcDbBlockTableRecord::removeEntityId(AcDbObjectId id) {
    auto it = std::find(entities_.begin(), entities_.end(), id);
    if (it != entities_.end()) entities_.erase(it);
}

Acad::ErrorStatus AcDbBlockTableRecord::newIterator(AcDbBlockTableRecordIterator*& it, bool atBeginning,
                                                    bool skipDeleted) const {
    it = new AcDbBlockTableRecordIterator(entities_, atBeginning, skipDeleted);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::assumeOwnershipOf(const AcDbObjectIdArray& ents) {
    AcDbDatabase* db = database();
    if (!db) return Acad::eNotInDatabase;
    for (AcDbObjectId id : ents) {
        AcDbEntity* e = AcDbEntity::cast(db->peek(id));
        if (!e) return id.database() != db ? Acad::eWrongDatabase : Acad::eNotAnEntity;
        if (e->ownerId() == objectId()) return Acad::eSelfReference;
    }
    assertWriteEnabled();
    for (AcDbObjectId id : ents) {
        AcDbEntity* e = AcDbEntity::cast(db->peek(id));
        if (auto* from = AcDbBlockTableRecord::cast(db->peek(e->ownerId()))) from->removeEntityId(id);
        e->setOwnerId(objectId());
        entities_.push_back(id);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::setOrigin(const AcGePoint3d& p) {
    assertWriteEnabled();
    origin_ = p;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::setLayoutId(AcDbObjectId id) {
    layout_ = id;
    return Acad::eOk;
}

bool AcDbBlockTableRecord::hasAttributeDefinitions() const {
    AcDbDatabase* db = database();
    for (AcDbObjectId id : entities_) {
        AcDbObject* o = db ? db->peek(id) : nullptr;
        if (o && !o->isErased() && o->isKindOf(AcDbAttributeDefinition::desc())) return true;
    }
    return false;
}

Acad::ErrorStatus AcDbBlockTableRecord::setComments(const ACHAR* c) {
    assertWriteEnabled();
    comments_ = c ? c : L"";
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::setPathName(const ACHAR* p) {
    assertWriteEnabled();
    path_ = p ? p : L"";
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::getBlockReferenceIds(AcDbObjectIdArray& ids, bool, bool) const {
    ids.removeAll();
    AcDbDatabase* db = database();
    if (!db) return Acad::eNotInDatabase;
    for (AcDbObjectId id : db->allObjectIds()) {
        auto* ref = AcDbBlockReference::cast(db->peek(id));
        if (ref && !ref->isErased() && ref->blockTableRecord() == objectId()) ids.append(id);
    }
    return Acad::eOk;
}

void AcDbBlockTableRecord::ownedObjects(AcDbObjectIdArray& ids) const {
    AcDbObject::ownedObjects(ids);
    for (AcDbObjectId id : entities_) ids.append(id);
}

void AcDbBlockTableRecord::collectReferences(std::vector<AcDbObjectId*>& refs) {
    AcDbSymbolTableRecord::collectReferences(refs);
    for (auto& id : entities_) refs.push_back(&id);
    refs.push_back(&layout_);
    refs.push_back(&dynamicBlock_);
}

void AcDbBlockTableRecord::onErase(bool erasing) {
    AcDbObject::onErase(erasing);
    AcDbDatabase* db = database();
    if (!db) return;
    for (AcDbObjectId id : entities_) {
        AcDbObject* o = db->peek(id);
        if (o && o->isErased() != erasing) {
            o->onErase(erasing);
            o->setErasedFlag(erasing);
        }
    }
}

Acad::ErrorStatus AcDbBlockTableRecordIterator::getEntity(AcDbEntity*& ent, AcDb::OpenMode mode,
                                                          bool openErased) const {
    ent = nullptr;
    AcDbObjectId id;
    Acad::ErrorStatus es = getEntityId(id);
    if (es != Acad::eOk) return es;
    return acdbOpenAcDbEntity(ent, id, mode, openErased);
}

// ---------------------------------------------------------------- layers, linetypes, styles

AcDbLayerTableRecord::AcDbLayerTableRecord() {
    color_.setColorIndex(7);
}

void AcDbLayerTableRecord::setColor(const AcCmColor& c) {
    assertWriteEnabled();
    color_ = c;
}

Acad::ErrorStatus AcDbLayerTableRecord::setIsFrozen(bool v) {
    if (v && isDatabaseResident() && !loadingDb(this) && database()->clayer() == objectId()) return Acad::eInvalidLayer;
    assertWriteEnabled();
    flags_ = v ? (flags_ | 1) : (flags_ & ~1);
    return Acad::eOk;
}

void AcDbLayerTableRecord::setIsLocked(bool v) {
    assertWriteEnabled();
    flags_ = v ? (flags_ | 4) : (flags_ & ~4);
}

void AcDbLayerTableRecord::setIsOff(bool v) {
    assertWriteEnabled();
    off_ = v;
}

Acad::ErrorStatus AcDbLayerTableRecord::setIsPlottable(bool v) {
    assertWriteEnabled();
    plottable_ = v;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbLayerTableRecord::setLineWeight(AcDb::LineWeight w) {
    assertWriteEnabled();
    lineWeight_ = w;
    return Acad::eOk;
}

void AcDbLayerTableRecord::setLinetypeObjectId(AcDbObjectId id) {
    assertWriteEnabled();
    linetype_ = id;
}

Acad::ErrorStatus AcDbLayerTableRecord::setDescription(const ACHAR* d) {
    assertWriteEnabled();
    description_ = d ? d : L"";
    return Acad::eOk;
}

void AcDbLayerTableRecord::collectReferences(std::vector<AcDbObjectId*>& refs) {
    AcDbSymbolTableRecord::collectReferences(refs);
    refs.push_back(&linetype_);
    refs.push_back(&plotStyle_);
    refs.push_back(&material_);
}

void AcDbLinetypeTableRecord::setPatternLength(double v) {
    assertWriteEnabled();
    patternLength_ = v;
}

void AcDbLinetypeTableRecord::setNumDashes(int n) {
    assertWriteEnabled();
    if (n < 0) n = 0;
    dashes_.resize(size_t(n), 0.0);
    dashTags_.resize(size_t(n));
}

double AcDbLinetypeTableRecord::dashLengthAt(int i) const {
    return (i >= 0 && size_t(i) < dashes_.size()) ? dashes_[size_t(i)] : 0.0;
}

void AcDbLinetypeTableRecord::setDashLengthAt(int i, double v) {
    if (i < 0 || size_t(i) >= dashes_.size()) return;
    assertWriteEnabled();
    dashes_[size_t(i)] = v;
}

AcDbDxfTags& AcDbLinetypeTableRecord::dashExtraTags(int i) {
    if (i < 0) i = 0;
    if (size_t(i) >= dashTags_.size()) {
        dashTags_.resize(size_t(i) + 1);
        if (dashes_.size() < dashTags_.size()) dashes_.resize(dashTags_.size(), 0.0);
    }
    return dashTags_[size_t(i)];
}

Acad::ErrorStatus AcDbLinetypeTableRecord::setComments(const ACHAR* c) {
    assertWriteEnabled();
    comments_ = c ? c : L"";
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTextStyleTableRecord::setFileName(const ACHAR* f) {
    assertWriteEnabled();
    fileName_ = f ? f : L"";
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTextStyleTableRecord::setBigFontFileName(const ACHAR* f) {
    assertWriteEnabled();
    bigFont_ = f ? f : L"";
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::canErase() const {
    return isSpaceName() && (acdbNameKey(name_) == L"*MODEL_SPACE" || acdbNameKey(name_) == L"*PAPER_SPACE")
               ? Acad::eCannotBeErasedByCaller
               : Acad::eOk;
}

Acad::ErrorStatus AcDbLayerTableRecord::canErase() const {
    if (name_ == L"0") return Acad::eCannotBeErasedByCaller;
    if (isDatabaseResident() && database()->clayer() == objectId()) return Acad::eCannotBeErasedByCaller;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbLinetypeTableRecord::canErase() const {
    std::wstring u = acdbNameKey(name_);
    return (u == L"BYBLOCK" || u == L"BYLAYER" || u == L"CONTINUOUS") ? Acad::eCannotBeErasedByCaller : Acad::eOk;
}
