#include "cad/db/AcDbDatabase.h"

#include <algorithm>

#include "cad/db/AcDbHyperlink.h"
#include "cad/db/AcDbTable.h"

namespace {
AcDbDatabase* g_working = nullptr;
}

AcDbDatabase* acdbWorkingDatabase() {
    return g_working;
}
void acdbSetWorkingDatabase(AcDbDatabase* db) {
    g_working = db;
}

// ---------------------------------------------------------------- id mapping

Acad::ErrorStatus AcDbIdMapping::assign(const AcDbIdPair& pair) {
    auto it = index_.find(pair.key());
    if (it != index_.end()) {
        pairs_[it->second] = pair;
    } else {
        index_[pair.key()] = pairs_.size();
        pairs_.push_back(pair);
    }
    return Acad::eOk;
}

bool AcDbIdMapping::compute(AcDbIdPair& pair) const {
    auto it = index_.find(pair.key());
    if (it == index_.end()) return false;
    pair = pairs_[it->second];
    return true;
}

bool AcDbIdMapping::del(AcDbObjectId key) {
    auto it = index_.find(key);
    if (it == index_.end()) return false;
    size_t i = it->second;
    pairs_.erase(pairs_.begin() + long(i));
    index_.clear();
    for (size_t k = 0; k < pairs_.size(); ++k) index_[pairs_[k].key()] = k;
    return true;
}

bool AcDbIdMappingIter::getMap(AcDbIdPair& pair) const {
    if (done()) return false;
    pair = map_.pairs()[pos_];
    return true;
}

// ---------------------------------------------------------------- database

AcDbDatabase::AcDbDatabase(bool buildDefaultDrawing, bool) {
    if (buildDefaultDrawing) completeDefaults();
}

AcDbDatabase::~AcDbDatabase() {
    if (g_working == this) g_working = nullptr;
    for (AcDbObjectStub& stub : stubs_) delete stub.object;
}

std::size_t AcDbDatabase::StubIndex::slotOf(std::uint64_t handle) const {
    // Handles come nearly in sequence: the multiplicative hash spreads them over the whole table.
    return static_cast<std::size_t>((handle * 0x9E3779B97F4A7C15ull) >> 32) & (slots_.size() - 1);
}

AcDbObjectStub* AcDbDatabase::StubIndex::find(std::uint64_t handle) const {
    if (slots_.empty()) return nullptr;
    for (std::size_t i = slotOf(handle);; i = (i + 1) & (slots_.size() - 1)) {
        AcDbObjectStub* stub = slots_[i];
        if (!stub || stub->handle.value() == handle) return stub;
    }
}

AcDbObjectStub& AcDbDatabase::StubIndex::add(std::uint64_t handle) {
    reserve(stubs_.size() + 1);
    AcDbObjectStub& stub = stubs_.emplace_back();
    stub.handle = AcDbHandle(handle);
    std::size_t i = slotOf(handle);
    while (slots_[i]) i = (i + 1) & (slots_.size() - 1);
    slots_[i] = &stub;
    return stub;
}

void AcDbDatabase::StubIndex::reserve(std::size_t n) {
    std::size_t slots = slots_.empty() ? 64 : slots_.size();
    while (n > slots / 4 * 3) slots *= 2;
    if (slots != slots_.size()) rehash(slots);
}

void AcDbDatabase::StubIndex::rehash(std::size_t slots) {
    slots_.assign(slots, nullptr);
    for (AcDbObjectStub& stub : stubs_) {
        std::size_t i = slotOf(stub.handle.value());
        while (slots_[i]) i = (i + 1) & (slots - 1);
        slots_[i] = &stub;
    }
}

AcDbObjectStub* AcDbDatabase::stubFor(AcDbHandle h, bool create) {
    if (AcDbObjectStub* found = stubs_.find(h.value())) return found;
    if (!create) return nullptr;
    AcDbObjectStub& stub = stubs_.add(h.value());
    stub.database = this;
    stub.handle = h;
    return &stub;
}

Acad::ErrorStatus AcDbDatabase::addAcDbObject(AcDbObjectId& id, AcDbObject* obj) {
    return addAcDbObject(id, obj, AcDbHandle());
}

Acad::ErrorStatus AcDbDatabase::addAcDbObject(AcDbObjectId& id, AcDbObject* obj, AcDbHandle handle) {
    id.setNull();
    if (!obj) return Acad::eNullObjectId;
    if (obj->isDatabaseResident()) return Acad::eAlreadyInDb;
    if (handle.isNull()) {
        // A handle something already names (even an object that never came) is not given out again.
        while (stubFor(seed_, false)) ++seed_;
        handle = seed_;
    }
    AcDbObjectStub* stub = stubFor(handle, true);
    if (stub->object) return Acad::eHandleInUse;
    stub->object = obj;
    obj->attach(stub);
    ++objectCount_;
    if (!(handle < seed_)) seed_ = AcDbHandle(handle.value() + 1);
    id = AcDbObjectId(stub);
    if (!loading_) {
        // A new object stays open for write until its creator closes it.
        obj->setOpen(AcDb::kForWrite, 1);
        open_.insert(obj);
        modified_ = true;
    }
    obj->onAddedToDatabase(this);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::getAcDbObjectId(AcDbObjectId& id, bool createIfNotFound, const AcDbHandle& handle,
                                                Adesk::UInt32) {
    id.setNull();
    if (handle.isNull()) return Acad::eNullHandle;
    AcDbObjectStub* stub = stubFor(handle, createIfNotFound);
    if (!stub) return Acad::eUnknownHandle;
    if (!stub->object && !createIfNotFound) return Acad::eUnknownHandle;
    id = AcDbObjectId(stub);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::setHandseed(const AcDbHandle& h) {
    // The seed is always above every object's handle, so a seed at or above it needs no search (a
    // file's own seed, as a rule).
    if (!(h < seed_)) {
        seed_ = h;
        return Acad::eOk;
    }
    std::uint64_t maxUsed = 0;
    for (const AcDbObjectStub& stub : stubs_)
        if (stub.object) maxUsed = std::max(maxUsed, stub.handle.value());
    seed_ = AcDbHandle(std::max(h.value(), maxUsed + 1));
    return Acad::eOk;
}

std::vector<AcDbObjectId> AcDbDatabase::allObjectIds() const {
    return objectIdsWhere([](const AcDbObject*) { return true; });
}

std::vector<AcDbObjectId> AcDbDatabase::objectIdsWhere(const std::function<bool(const AcDbObject*)>& keep) const {
    std::vector<std::pair<std::uint64_t, AcDbObjectStub*>> v;
    // Ids give access to the objects the database holds; the stubs themselves are never const.
    for (const AcDbObjectStub& stub : stubs_)
        if (stub.object && keep(stub.object)) v.push_back({stub.handle.value(), const_cast<AcDbObjectStub*>(&stub)});
    std::sort(v.begin(), v.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<AcDbObjectId> out;
    out.reserve(v.size());
    for (const auto& p : v) out.push_back(AcDbObjectId(p.second));
    return out;
}

AcDbObject* AcDbDatabase::peek(AcDbObjectId id) const {
    if (id.isNull() || id.database() != this) return nullptr;
    return id.stub()->object;
}

// ---------------------------------------------------------------- opening

Acad::ErrorStatus AcDbDatabase::openObject(AcDbObject*& obj, AcDbObjectId id, AcDb::OpenMode mode, bool openErased) {
    obj = nullptr;
    if (id.isNull()) return Acad::eNullObjectId;
    if (id.database() != this) return Acad::eWrongDatabase;
    AcDbObject* o = id.stub()->object;
    if (!o) return Acad::eUnknownHandle;
    if (o->isErased() && !openErased) return Acad::eUnknownHandle;
    if (mode == AcDb::kForWrite) {
        if (!isWriteAllowed()) return Acad::eLockViolation;
        if (!loading_) {
            if (auto* ent = AcDbEntity::cast(o)) {
                auto* layer = AcDbLayerTableRecord::cast(peek(ent->layerId()));
                if (layer && layer->isLocked()) return Acad::eOnLockedLayer;
            }
            noteWriting(o);
        }
    }
    AcDb::OpenMode m = o->openMode();
    if (mode == AcDb::kForWrite || m == AcDb::kForWrite)
        m = AcDb::kForWrite;
    else
        m = AcDb::kForRead;
    o->setOpen(m, o->openCount() + 1);
    open_.insert(o);
    obj = o;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::closeObject(AcDbObject* obj) {
    if (obj->openCount() <= 0) return Acad::eNotOpenForRead;
    int n = obj->openCount() - 1;
    obj->setOpen(n == 0 ? AcDb::kNotOpen : obj->openMode(), n);
    if (n == 0) {
        open_.erase(obj);
        if (writing_.count(obj)) noteWritten(obj);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::upgradeObject(AcDbObject* obj) {
    if (obj->openCount() <= 0) return Acad::eNotOpenForRead;
    if (obj->openMode() == AcDb::kForWrite) return Acad::eOk;
    if (!isWriteAllowed()) return Acad::eLockViolation;
    if (!loading_) {
        if (auto* ent = AcDbEntity::cast(obj)) {
            auto* layer = AcDbLayerTableRecord::cast(peek(ent->layerId()));
            if (layer && layer->isLocked()) return Acad::eOnLockedLayer;
        }
        noteWriting(obj);
    }
    obj->setOpen(AcDb::kForWrite, obj->openCount());
    return Acad::eOk;
}

std::vector<AcDbObjectId> AcDbDatabase::openedObjects() const {
    std::vector<AcDbObjectId> out;
    for (AcDbObject* o : open_) out.push_back(o->objectId());
    std::sort(out.begin(), out.end(),
              [](const AcDbObjectId& a, const AcDbObjectId& b) { return a.handle() < b.handle(); });
    return out;
}

void AcDbDatabase::noteWriteViolation(const AcDbObject* obj) {
    ++writeViolations_;
    lastViolation_ = std::wstring(obj->isA()->name()) + L" " + obj->handle().text();
}

void AcDbDatabase::objectErased(AcDbObject*, bool) {}

// ---------------------------------------------------------------- change tracking

namespace {
// An object's fingerprint with whether it is erased, which no writer of it says.
std::optional<std::uint64_t> withErased(std::optional<std::uint64_t> fingerprint, const AcDbObject* obj) {
    if (fingerprint && obj->isErased()) *fingerprint ^= 0x9E3779B97F4A7C15ull;
    return fingerprint;
}
} // namespace

void AcDbDatabase::setModified(bool v) {
    modified_ = v;
    if (v) return;
    // What is now saved is what later writes are compared with.
    before_.clear();
    differing_.clear();
    headerChanged_ = false;
    writing_.clear();
    if (fingerprint_) {
        header_ = headerState();
        for (AcDbObject* o : open_)
            if (o->openMode() == AcDb::kForWrite) {
                before_[o] = withErased(fingerprint_(o), o);
                writing_.insert(o);
            }
    }
}

void AcDbDatabase::trackChanges(std::function<std::optional<std::uint64_t>(const AcDbObject*)> fingerprint) {
    fingerprint_ = std::move(fingerprint);
    header_ = headerState();
}

void AcDbDatabase::noteChange() {
    if (loading_) return;
    if (header_)
        headerChanged_ = !(headerState() == *header_);
    else
        modified_ = true;
}

AcDbDatabase::HeaderState AcDbDatabase::headerState() const {
    HeaderState h;
    h.lunits = lunits_;
    h.luprec = luprec_;
    h.insunits = insunits_;
    h.measurement = measurement_;
    h.clayer = clayer_;
    h.celtype = celtype_;
    h.textstyle = textstyle_;
    h.tablestyle = tablestyle_;
    h.cecolor = cecolor_;
    h.celweight = celweight_;
    h.textsize = textsize_;
    h.sortents = sortents_;
    h.tilemode = tilemode_;
    const double ucs[9] = {ucsOrg_.x, ucsOrg_.y, ucsOrg_.z, ucsX_.x, ucsX_.y, ucsX_.z, ucsY_.x, ucsY_.y, ucsY_.z};
    std::copy(std::begin(ucs), std::end(ucs), h.ucs);
    return h;
}

void AcDbDatabase::noteWriting(AcDbObject* obj) {
    if (!fingerprint_) {
        modified_ = true;
        return;
    }
    // A drawing changed for good (an object added) until it is saved needs no comparing.
    if (modified_) return;
    if (!before_.count(obj)) before_.emplace(obj, withErased(fingerprint_(obj), obj));
    writing_.insert(obj);
}

void AcDbDatabase::noteWritten(AcDbObject* obj) {
    writing_.erase(obj);
    if (modified_) return;
    const std::optional<std::uint64_t> now = withErased(fingerprint_(obj), obj);
    const std::optional<std::uint64_t>& was = before_[obj];
    if (now && was && *now == *was)
        differing_.erase(obj);
    else
        differing_.insert(obj);
}

void AcDbDatabase::forgetObject(AcDbObject* obj) {
    open_.erase(obj);
    // An object gone from under the tracking changed the drawing, whatever it was.
    if (before_.erase(obj) + writing_.erase(obj) + differing_.erase(obj) > 0) modified_ = true;
    AcDbObjectStub* stub = obj->objectId().stub();
    if (stub && stub->object == obj) {
        stub->object = nullptr;
        --objectCount_;
    }
}

// ---------------------------------------------------------------- tables and dictionaries

template <typename T>
Acad::ErrorStatus AcDbDatabase::getTable(AcDbObjectId id, T*& t, AcDb::OpenMode mode) {
    t = nullptr;
    if (id.isNull()) return Acad::eNullObjectId;
    return acdbOpenObject(t, id, mode);
}

Acad::ErrorStatus AcDbDatabase::getBlockTable(AcDbBlockTable*& t, AcDb::OpenMode m) {
    return getTable(blockTable_, t, m);
}
Acad::ErrorStatus AcDbDatabase::getLayerTable(AcDbLayerTable*& t, AcDb::OpenMode m) {
    return getTable(layerTable_, t, m);
}
Acad::ErrorStatus AcDbDatabase::getLinetypeTable(AcDbLinetypeTable*& t, AcDb::OpenMode m) {
    return getTable(linetypeTable_, t, m);
}
Acad::ErrorStatus AcDbDatabase::getTextStyleTable(AcDbTextStyleTable*& t, AcDb::OpenMode m) {
    return getTable(textStyleTable_, t, m);
}
Acad::ErrorStatus AcDbDatabase::getRegAppTable(AcDbRegAppTable*& t, AcDb::OpenMode m) {
    return getTable(regAppTable_, t, m);
}
Acad::ErrorStatus AcDbDatabase::getViewportTable(AcDbViewportTable*& t, AcDb::OpenMode m) {
    return getTable(viewportTable_, t, m);
}
Acad::ErrorStatus AcDbDatabase::getViewTable(AcDbViewTable*& t, AcDb::OpenMode m) {
    return getTable(viewTable_, t, m);
}
Acad::ErrorStatus AcDbDatabase::getUCSTable(AcDbUCSTable*& t, AcDb::OpenMode m) {
    return getTable(ucsTable_, t, m);
}
Acad::ErrorStatus AcDbDatabase::getDimStyleTable(AcDbDimStyleTable*& t, AcDb::OpenMode m) {
    return getTable(dimStyleTable_, t, m);
}
Acad::ErrorStatus AcDbDatabase::getNamedObjectsDictionary(AcDbDictionary*& d, AcDb::OpenMode m) {
    return getTable(nod_, d, m);
}
Acad::ErrorStatus AcDbDatabase::getLayoutDictionary(AcDbDictionary*& d, AcDb::OpenMode m) {
    return getTable(layoutDictionaryId(), d, m);
}
Acad::ErrorStatus AcDbDatabase::getTableStyleDictionary(AcDbDictionary*& d, AcDb::OpenMode m) {
    return getTable(tableStyleDictionaryId(), d, m);
}
Acad::ErrorStatus AcDbDatabase::getGroupDictionary(AcDbDictionary*& d, AcDb::OpenMode m) {
    return getTable(groupDictionaryId(), d, m);
}
Acad::ErrorStatus AcDbDatabase::getPlotSettingsDictionary(AcDbDictionary*& d, AcDb::OpenMode m) {
    return getTable(plotSettingsDictionaryId(), d, m);
}

AcDbObjectId AcDbDatabase::nodEntry(const wchar_t* key) const {
    auto* nod = AcDbDictionary::cast(peek(nod_));
    AcDbObjectId id;
    if (nod) nod->getAt(key, id);
    return id;
}

namespace {
AcDbObjectId recordIn(const AcDbDatabase* db, AcDbObjectId table, const std::wstring& name) {
    auto* t = AcDbSymbolTable::cast(db->peek(table));
    AcDbObjectId id;
    if (t) t->getAt(name.c_str(), id);
    return id;
}
} // namespace

AcDbObjectId AcDbDatabase::modelSpaceId() const {
    return recordIn(this, blockTable_, ACDB_MODEL_SPACE);
}
AcDbObjectId AcDbDatabase::paperSpaceId() const {
    return recordIn(this, blockTable_, ACDB_PAPER_SPACE);
}
AcDbObjectId AcDbDatabase::layerId(const std::wstring& n) const {
    return recordIn(this, layerTable_, n);
}
AcDbObjectId AcDbDatabase::linetypeId(const std::wstring& n) const {
    return recordIn(this, linetypeTable_, n);
}
AcDbObjectId AcDbDatabase::textStyleId(const std::wstring& n) const {
    return recordIn(this, textStyleTable_, n);
}
AcDbObjectId AcDbDatabase::blockId(const std::wstring& n) const {
    return recordIn(this, blockTable_, n);
}

AcDbObjectId AcDbDatabase::addDefault(AcDbObject* obj) {
    AcDbObjectId id;
    bool was = loading_;
    loading_ = true;
    addAcDbObject(id, obj);
    loading_ = was;
    return id;
}

void AcDbDatabase::completeDefaults() {
    bool was = loading_;
    loading_ = true;
    auto table = [&](AcDbObjectId& id, AcDbSymbolTable* t) {
        if (id.isNull() || !peek(id)) {
            id = addDefault(t);
            t->setOwnerId(AcDbObjectId());
        } else {
            delete t;
        }
        return AcDbSymbolTable::cast(peek(id));
    };
    AcDbSymbolTable* blocks = table(blockTable_, new AcDbBlockTable);
    AcDbSymbolTable* layers = table(layerTable_, new AcDbLayerTable);
    AcDbSymbolTable* ltypes = table(linetypeTable_, new AcDbLinetypeTable);
    AcDbSymbolTable* styles = table(textStyleTable_, new AcDbTextStyleTable);
    AcDbSymbolTable* apps = table(regAppTable_, new AcDbRegAppTable);
    AcDbSymbolTable* vports = table(viewportTable_, new AcDbViewportTable);
    table(viewTable_, new AcDbViewTable);
    table(ucsTable_, new AcDbUCSTable);
    AcDbSymbolTable* dims = table(dimStyleTable_, new AcDbDimStyleTable);

    auto ensure = [&](AcDbSymbolTable* t, const wchar_t* name, AcDbSymbolTableRecord* rec) {
        AcDbObjectId id;
        if (t->getAt(name, id) == Acad::eOk) {
            delete rec;
            return id;
        }
        rec->setName(name);
        t->add(id, rec);
        return id;
    };
    for (const wchar_t* lt : {L"ByBlock", L"ByLayer", L"Continuous"}) {
        auto* r = new AcDbLinetypeTableRecord;
        if (std::wstring(lt) == L"Continuous") r->setComments(L"Solid line");
        ensure(ltypes, lt, r);
    }
    AcDbObjectId layer0 = ensure(layers, L"0", new AcDbLayerTableRecord);
    if (auto* l0 = AcDbLayerTableRecord::cast(peek(layer0))) {
        if (l0->linetypeObjectId().isNull()) l0->setLinetypeObjectId(linetypeId(L"Continuous"));
    }
    AcDbObjectId standard = ensure(styles, L"Standard", new AcDbTextStyleTableRecord);
    ensure(apps, L"ACAD", new AcDbRegAppTableRecord);
    ensure(dims, L"Standard", new AcDbDimStyleTableRecord);
    ensure(vports, L"*Active", new AcDbViewportTableRecord);
    AcDbObjectId ms = ensure(blocks, ACDB_MODEL_SPACE, new AcDbBlockTableRecord);
    AcDbObjectId ps = ensure(blocks, ACDB_PAPER_SPACE, new AcDbBlockTableRecord);

    if (nod_.isNull() || !peek(nod_)) {
        auto* nod = new AcDbDictionary;
        nod->setTreatElementsAsHard(true);
        nod_ = addDefault(nod);
    }
    auto* nod = AcDbDictionary::cast(peek(nod_));
    auto sub = [&](const wchar_t* key) {
        AcDbObjectId id;
        if (nod->getAt(key, id) == Acad::eOk) return AcDbDictionary::cast(peek(id));
        auto* d = new AcDbDictionary;
        nod->setAt(key, d, id);
        return d;
    };
    sub(L"ACAD_GROUP");
    AcDbDictionary* layouts = sub(L"ACAD_LAYOUT");
    AcDbDictionary* tstyles = sub(L"ACAD_TABLESTYLE");
    sub(L"ACAD_PLOTSETTINGS");
    AcDbObjectId tsId;
    if (tstyles->getAt(L"Standard", tsId) != Acad::eOk) {
        auto* ts = new AcDbTableStyle;
        ts->setDescription(L"Standard");
        for (AcDb::RowType t : {AcDb::kDataRow, AcDb::kTitleRow, AcDb::kHeaderRow}) ts->setTextStyle(standard, t);
        tstyles->setAt(L"Standard", ts, tsId);
    }
    auto layout = [&](const wchar_t* name, AcDbObjectId block, int tab) {
        auto* btr = AcDbBlockTableRecord::cast(peek(block));
        if (!btr || !btr->getLayoutId().isNull()) return;
        // A layout that already names this block (a file's) is linked, whatever it is called.
        for (const auto& [lname, lid] : layouts->entries()) {
            auto* l = AcDbLayout::cast(peek(lid));
            if (l && !l->isErased() && l->getBlockTableRecordId() == block) {
                btr->setLayoutId(lid);
                return;
            }
        }
        AcDbObjectId id;
        if (layouts->getAt(name, id) == Acad::eOk) {
            btr->setLayoutId(id);
            return;
        }
        auto* l = new AcDbLayout;
        l->setLayoutName(name);
        l->setTabOrder(tab);
        l->setModelType(tab == 0);
        l->setBlockTableRecordId(block);
        layouts->setAt(name, l, id);
        btr->setLayoutId(id);
    };
    layout(L"Model", ms, 0);
    layout(L"Layout1", ps, 1);

    if (clayer_.isNull()) clayer_ = layer0;
    if (textstyle_.isNull()) textstyle_ = standard;
    if (tablestyle_.isNull()) tablestyle_ = tsId;
    if (celtype_.isNull()) celtype_ = linetypeId(L"ByLayer");
    loading_ = was;
}

// ---------------------------------------------------------------- header variables

Acad::ErrorStatus AcDbDatabase::setLunits(Adesk::Int16 v) {
    if (v < 1 || v > 5) return Acad::eInvalidInput;
    lunits_ = v;
    noteChange();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbDatabase::setLuprec(Adesk::Int16 v) {
    if (v < 0 || v > 8) return Acad::eInvalidInput;
    luprec_ = v;
    noteChange();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbDatabase::setInsunits(AcDb::UnitsValue v) {
    if (int(v) < 0 || int(v) > 24) return Acad::eInvalidInput;
    insunits_ = v;
    noteChange();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbDatabase::setMeasurement(int v) {
    if (v != 0 && v != 1) return Acad::eInvalidInput;
    measurement_ = v;
    noteChange();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbDatabase::setClayer(AcDbObjectId id) {
    auto* l = AcDbLayerTableRecord::cast(peek(id));
    if (!l || l->isErased()) return Acad::eInvalidInput;
    if (l->isFrozen()) return Acad::eInvalidLayer;
    clayer_ = id;
    noteChange();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbDatabase::setCeltype(AcDbObjectId id) {
    if (!AcDbLinetypeTableRecord::cast(peek(id))) return Acad::eInvalidInput;
    celtype_ = id;
    noteChange();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbDatabase::setCecolor(const AcCmColor& c) {
    cecolor_ = c;
    noteChange();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbDatabase::setCelweight(AcDb::LineWeight w) {
    celweight_ = w;
    noteChange();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbDatabase::setTextstyle(AcDbObjectId id) {
    if (!AcDbTextStyleTableRecord::cast(peek(id))) return Acad::eInvalidInput;
    textstyle_ = id;
    noteChange();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbDatabase::setTablestyle(AcDbObjectId id) {
    if (!AcDbTableStyle::cast(peek(id))) return Acad::eInvalidInput;
    tablestyle_ = id;
    noteChange();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbDatabase::setTextsize(double v) {
    if (v <= 0) return Acad::eInvalidInput;
    textsize_ = v;
    noteChange();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbDatabase::setSortents(Adesk::UInt8 v) {
    sortents_ = v;
    noteChange();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbDatabase::setTilemode(bool v) {
    tilemode_ = v;
    noteChange();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbDatabase::setUcs(const AcGePoint3d& o, const AcGeVector3d& x, const AcGeVector3d& y) {
    if (x.isZeroLength() || y.isZeroLength() || x.isParallelTo(y)) return Acad::eInvalidInput;
    ucsOrg_ = o;
    ucsX_ = x.normal();
    // Keep the axes orthogonal: y is the part of the given y across x.
    ucsY_ = (y - ucsX_ * y.dotProduct(ucsX_)).normal();
    noteChange();
    return Acad::eOk;
}

AcDbExtents AcDbDatabase::modelSpaceExtents() const {
    AcDbExtents ext;
    auto* ms = AcDbBlockTableRecord::cast(peek(modelSpaceId()));
    if (!ms) return ext;
    AcDbExpansionBudget budget(this); // every insert's together
    for (AcDbObjectId id : ms->entityIds()) {
        auto* e = AcDbEntity::cast(peek(id));
        if (!e || e->isErased()) continue;
        AcDbExtents x;
        if (e->getGeomExtents(x) == Acad::eOk) ext.addExt(x);
    }
    return ext;
}

// ---------------------------------------------------------------- deep clone

Acad::ErrorStatus AcDbDatabase::cloneOne(AcDbObjectId src, AcDbObjectId owner, AcDbIdMapping& map, bool primary,
                                         std::vector<AcDbObject*>& clones) {
    AcDbIdPair existing(src, AcDbObjectId(), false);
    if (map.compute(existing) && existing.isCloned()) return Acad::eOk;
    AcDbObject* o = peek(src);
    if (!o) return Acad::eUnknownHandle;
    if (o->isErased()) return Acad::eUnknownHandle;
    AcDbObject* c = o->cloneData();
    AcDbObjectId cid;
    bool was = loading_;
    loading_ = true; // clones are not left open
    Acad::ErrorStatus es = addAcDbObject(cid, c);
    loading_ = was;
    if (es != Acad::eOk) {
        delete c;
        return es;
    }
    c->setOwnerId(owner);
    map.assign(AcDbIdPair(src, cid, true, primary, true));
    clones.push_back(c);
    // What the source owns is cloned along with it.
    if (!o->extensionDictionary().isNull()) {
        AcDbObjectId dictSrc = o->extensionDictionary();
        es = cloneOne(dictSrc, cid, map, false, clones);
        AcDbIdPair p(dictSrc, AcDbObjectId(), false);
        if (es == Acad::eOk && map.compute(p)) c->setExtensionDictionary(p.value());
    }
    if (auto* dict = AcDbDictionary::cast(o)) {
        auto* cd = AcDbDictionary::cast(c);
        for (const auto& [name, id] : dict->entries()) {
            AcDbObject* e = peek(id);
            if (!e || e->isErased() || e->ownerId() != src) continue;
            if (cloneOne(id, cid, map, false, clones) != Acad::eOk) continue;
            AcDbIdPair p(id, AcDbObjectId(), false);
            if (map.compute(p)) cd->setAtId(name.c_str(), p.value());
        }
    }
    if (auto* ref = AcDbBlockReference::cast(o)) {
        auto* cref = AcDbBlockReference::cast(c);
        for (AcDbObjectId a : ref->attributeIds()) {
            if (cloneOne(a, cid, map, false, clones) != Acad::eOk) continue;
            AcDbIdPair p(a, AcDbObjectId(), false);
            if (map.compute(p)) cref->appendAttributeId(p.value());
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::deepCloneObjects(const AcDbObjectIdArray& ids, AcDbObjectId owner, AcDbIdMapping& idMap,
                                                 bool) {
    idMap.setOrigDb(this);
    idMap.setDestDb(this);
    AcDbObject* ownerObj = peek(owner);
    if (!ownerObj || ownerObj->isErased()) return Acad::eInvalidInput;
    auto* space = AcDbBlockTableRecord::cast(ownerObj);
    for (AcDbObjectId id : ids)
        if (id.database() != this || !peek(id)) return Acad::eWrongDatabase;
    std::vector<AcDbObject*> clones;
    for (AcDbObjectId id : ids) {
        Acad::ErrorStatus es = cloneOne(id, owner, idMap, true, clones);
        if (es != Acad::eOk) return es;
        AcDbIdPair p(id, AcDbObjectId(), false);
        idMap.compute(p);
        if (space && AcDbEntity::cast(peek(p.value()))) space->appendEntityId(p.value());
    }
    // Translate references among the clones: what was cloned points to its clone.
    for (AcDbObject* c : clones) {
        std::vector<AcDbObjectId*> refs;
        c->collectReferences(refs);
        for (AcDbObjectId* r : refs) {
            AcDbIdPair p(*r, AcDbObjectId(), false);
            if (!r->isNull() && idMap.compute(p) && p.isCloned()) *r = p.value();
        }
    }
    return Acad::eOk;
}

// ---------------------------------------------------------------- global functions

Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity*& ent, AcDbObjectId id, AcDb::OpenMode mode, bool openErased) {
    ent = nullptr;
    AcDbObject* o = nullptr;
    Acad::ErrorStatus es = acdbOpenObject(o, id, mode, openErased);
    if (es != Acad::eOk) return es;
    ent = AcDbEntity::cast(o);
    if (!ent) {
        o->close();
        return Acad::eNotAnEntity;
    }
    return Acad::eOk;
}

Acad::ErrorStatus acdbGetObjectId(AcDbObjectId& id, const ads_name name) {
    id.setNull();
    if (!name || name[0] == 0) return Acad::eNullObjectId;
    id.setFromOldId(name[0]);
    return Acad::eOk;
}

Acad::ErrorStatus acdbGetAdsName(ads_name& name, AcDbObjectId id) {
    name[0] = id.asOldId();
    name[1] = 0;
    return id.isNull() ? Acad::eNullObjectId : Acad::eOk;
}

int acdbHandEnt(const ACHAR* handle, ads_name name) {
    name[0] = name[1] = 0;
    AcDbDatabase* db = acdbWorkingDatabase();
    AcDbHandle h(handle);
    if (!db || h.isNull()) return RTERROR;
    AcDbObjectId id;
    if (db->getAcDbObjectId(id, false, h) != Acad::eOk || id.isErased()) return RTERROR;
    name[0] = id.asOldId();
    return RTNORM;
}

int acdbRegApp(const ACHAR* appName) {
    AcDbDatabase* db = acdbWorkingDatabase();
    if (!db || !appName || acdbSNValid(appName) != Acad::eOk) return RTERROR;
    auto* t = AcDbRegAppTable::cast(db->peek(db->regAppTableId()));
    if (!t) return RTERROR;
    if (t->has(appName)) return RTNORM;
    auto* r = new AcDbRegAppTableRecord;
    if (r->setName(appName) != Acad::eOk) {
        delete r;
        return RTERROR;
    }
    AcDbObjectId id;
    bool was = db->isLoading();
    db->setLoading(true); // registering needs no lock and leaves nothing open
    Acad::ErrorStatus es = t->add(id, r);
    db->setLoading(was);
    if (es != Acad::eOk) {
        delete r;
        return RTERROR;
    }
    return RTNORM;
}

bool acdbUcsMatrix(AcGeMatrix3d& mat, AcDbDatabase* db) {
    if (!db) db = acdbWorkingDatabase();
    if (!db) {
        mat.setToIdentity();
        return false;
    }
    AcGeVector3d x = db->ucsxdir(), y = db->ucsydir();
    mat.setCoordSystem(db->ucsorg(), x, y, x.crossProduct(y).normal());
    return true;
}
