#include <algorithm>
#include <cmath>

#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbEntity.h"
#include "cad/db/AcDbTable.h"

ACRX_DEFINE_MEMBERS(AcDbBlockReference, AcDbEntity, L"INSERT")
ACRX_DEFINE_MEMBERS(AcDbMInsertBlock, AcDbBlockReference, L"INSERT")

// ---------------------------------------------------------------- attribute iterator

void AcDbObjectIterator::skipErased() {
    while (pos_ < ids_.size() && (ids_[pos_].isErased() || !ids_[pos_].isValid())) ++pos_;
}

void AcDbObjectIterator::step(bool backwards, bool skipErasedObjects) {
    if (backwards) {
        if (pos_ == 0 || pos_ > ids_.size()) {
            pos_ = ids_.size();
            return;
        }
        --pos_;
        while (skipErasedObjects && pos_ < ids_.size() && ids_[pos_].isErased()) {
            if (pos_ == 0) {
                pos_ = ids_.size();
                return;
            }
            --pos_;
        }
        return;
    }
    ++pos_;
    if (skipErasedObjects) skipErased();
}

void AcDbObjectIterator::start(bool atEnd) {
    if (atEnd) {
        pos_ = ids_.empty() ? 0 : ids_.size() - 1;
        while (pos_ < ids_.size() && ids_[pos_].isErased()) {
            if (pos_ == 0) {
                pos_ = ids_.size();
                return;
            }
            --pos_;
        }
    } else {
        pos_ = 0;
        skipErased();
    }
}

AcDbEntity* AcDbObjectIterator::entity() {
    if (done()) return nullptr;
    AcDbObjectId id = ids_[pos_];
    return id.isValid() ? AcDbEntity::cast(id.stub()->object) : nullptr;
}

bool AcDbObjectIterator::seek(AcDbObjectId id) {
    for (size_t i = 0; i < ids_.size(); ++i)
        if (ids_[i] == id) {
            pos_ = i;
            return true;
        }
    return false;
}

// ---------------------------------------------------------------- block reference

AcDbBlockReference::AcDbBlockReference(const AcDbBlockReference& o)
    : AcDbEntity(o), block_(o.block_), position_(o.position_), rotation_(o.rotation_), rare_(o.rare_) {}

AcDbBlockReference::~AcDbBlockReference() {
    if (pending_)
        for (AcDbAttribute* a : *pending_) delete a;
}

Acad::ErrorStatus AcDbBlockReference::setBlockTableRecord(AcDbObjectId id) {
    assertWriteEnabled();
    block_ = id;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbBlockReference::setPosition(const AcGePoint3d& p) {
    assertWriteEnabled();
    position_ = p;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbBlockReference::setRotation(double r) {
    assertWriteEnabled();
    rotation_ = r;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbBlockReference::setScaleFactors(const AcGeScale3d& s) {
    if (s.sx == 0 || s.sy == 0 || s.sz == 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    rare_.change([&](Rare& r) { r.scale = s; });
    return Acad::eOk;
}
Acad::ErrorStatus AcDbBlockReference::setNormal(const AcGeVector3d& n) {
    AcGeVector3d normal = rare_->normal;
    Acad::ErrorStatus es = setUnitVector(normal, n);
    if (es == Acad::eOk) rare_.change([&](Rare& r) { r.normal = normal; });
    return es;
}

AcGeMatrix3d AcDbBlockReference::blockTransform() const {
    AcGePoint3d origin;
    AcDbDatabase* db = block_.database();
    if (auto* btr = db ? AcDbBlockTableRecord::cast(db->peek(block_)) : nullptr) origin = btr->origin();
    // Placed, turned, scaled, from the definition's origin; a part that is the identity (the world
    // plane, no turn, unit scale, origin at zero: most inserts) is not multiplied in.
    const AcGeVector3d& normal = rare_->normal;
    const AcGeScale3d& scale = rare_->scale;
    AcGeMatrix3d m = AcGeMatrix3d::translation(position_.asVector());
    if (normal.x != 0.0 || normal.y != 0.0 || normal.z != 1.0) m = m * AcGeMatrix3d::planeToWorld(normal);
    if (rotation_ != 0.0) m = m * AcGeMatrix3d::rotation(rotation_, AcGeVector3d::kZAxis);
    if (scale.sx != 1.0 || scale.sy != 1.0 || scale.sz != 1.0) m = m * AcGeMatrix3d::scaling(scale);
    if (origin.x != 0.0 || origin.y != 0.0 || origin.z != 0.0) m = m * AcGeMatrix3d::translation(-origin.asVector());
    return m;
}

Acad::ErrorStatus AcDbBlockReference::setBlockTransform(const AcGeMatrix3d& m) {
    if (!m.isScaledOrtho()) return Acad::eCannotScaleNonUniformly;
    AcGeVector3d ex = m * AcGeVector3d::kXAxis, ey = m * AcGeVector3d::kYAxis, ez = m * AcGeVector3d::kZAxis;
    AcGeVector3d n = ez.normal();
    AcGeMatrix3d w2p = AcGeMatrix3d::worldToPlane(n);
    AcGeVector3d lx = w2p * ex, ly = w2p * ey;
    double sx = lx.length(), sy = ly.length(), sz = ez.length();
    if (lx.crossProduct(ly).z < 0) sy = -sy;
    AcGePoint3d origin;
    AcDbDatabase* db = block_.database();
    if (auto* btr = db ? AcDbBlockTableRecord::cast(db->peek(block_)) : nullptr) origin = btr->origin();
    assertWriteEnabled();
    rare_.put(Rare{AcGeScale3d(sx, sy, sz), n});
    rotation_ = std::atan2(lx.y, lx.x);
    if (rotation_ < 0) rotation_ += 2 * M_PI;
    position_ = m * origin;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockReference::transformBy(const AcGeMatrix3d& m) {
    AcGeMatrix3d next = m * blockTransform();
    if (!next.isScaledOrtho()) return Acad::eCannotScaleNonUniformly;
    Acad::ErrorStatus es = setBlockTransform(next);
    if (es != Acad::eOk) return es;
    AcDbDatabase* db = database();
    for (AcDbObjectId id : attributes_)
        if (auto* a = AcDbAttribute::cast(db ? db->peek(id) : nullptr)) a->transformBy(m);
    if (pending_)
        for (AcDbAttribute* a : *pending_) a->transformBy(m);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockReference::appendAttribute(AcDbAttribute* attr) {
    AcDbObjectId id;
    return appendAttribute(id, attr);
}

Acad::ErrorStatus AcDbBlockReference::appendAttribute(AcDbObjectId& id, AcDbAttribute* attr) {
    id.setNull();
    if (!attr) return Acad::eNullEntityPointer;
    if (attr->isDatabaseResident()) return Acad::eAlreadyInDb;
    if (pending_ && std::find(pending_->begin(), pending_->end(), attr) != pending_->end()) return Acad::eAlreadyInDb;
    assertWriteEnabled();
    if (!database()) {
        if (!pending_) pending_ = std::make_unique<std::vector<AcDbAttribute*>>();
        pending_->push_back(attr);
        return Acad::eOk;
    }
    attr->setOwnerId(objectId());
    Acad::ErrorStatus es = database()->addAcDbObject(id, attr);
    if (es != Acad::eOk) return es;
    attributes_.push_back(id);
    return Acad::eOk;
}

void AcDbBlockReference::onAddedToDatabase(AcDbDatabase* db) {
    AcDbEntity::onAddedToDatabase(db);
    std::vector<AcDbAttribute*> pending;
    if (pending_) pending.swap(*pending_);
    pending_.reset();
    bool was = db->isLoading();
    db->setLoading(true); // attributes joining with their insert are not left open
    for (AcDbAttribute* a : pending) {
        AcDbObjectId id;
        a->setOwnerId(objectId());
        if (db->addAcDbObject(id, a) == Acad::eOk)
            attributes_.push_back(id);
        else
            delete a;
    }
    db->setLoading(was);
}

Acad::ErrorStatus AcDbBlockReference::openAttribute(AcDbAttribute*& attr, AcDbObjectId id, AcDb::OpenMode mode,
                                                    bool openErased) {
    attr = nullptr;
    if (std::find(attributes_.begin(), attributes_.end(), id) == attributes_.end()) return Acad::eInvalidInput;
    return acdbOpenObject(attr, id, mode, openErased);
}

AcDbObjectIterator* AcDbBlockReference::attributeIterator() const {
    return new AcDbObjectIterator(attributes_);
}

void AcDbBlockReference::collectReferences(std::vector<AcDbObjectId*>& refs) {
    AcDbEntity::collectReferences(refs);
    refs.push_back(&block_);
    for (auto& id : attributes_) refs.push_back(&id);
}

void AcDbBlockReference::ownedObjects(AcDbObjectIdArray& ids) const {
    AcDbObject::ownedObjects(ids);
    for (AcDbObjectId id : attributes_) ids.append(id);
}

void AcDbBlockReference::onErase(bool erasing) {
    AcDbObject::onErase(erasing);
    AcDbDatabase* db = database();
    for (AcDbObjectId id : attributes_)
        if (AcDbObject* a = db ? db->peek(id) : nullptr) a->setErasedFlag(erasing);
}

namespace {

using Work = AcDbExpansionBudget::Work;
constexpr std::size_t kWorkKinds = 5;

// The floor every drawing has and what each object of its file adds, in units of an entity placed: a
// unit is a few microseconds of drawing, so the floor is done within seconds, and a drawing whose blocks
// place a thousand entities for each object it holds (trees, furniture) is done whole.
constexpr std::size_t kMinUnits = std::size_t(1) << 21;
constexpr std::size_t kUnitsPerObject = 1024;

// How much of each kind of work a unit pays for: each costs about what an entity placed does.
constexpr double kPerUnit[kWorkKinds] = {
    1,   // entities placed, cells of a grid
    4,   // points a curve is worked out at
    0.5, // pattern lines, in lengths of 32 dots of their ink
    2,   // dashes drawn
    16,  // characters set
};

// The definitions being expanded, outermost first, and the work the outermost expansion (or the
// operation around it) did: a definition that inserts itself (directly or through others) adds nothing
// again, and nesting that fans out (a definition holding many inserts of one holding many ...) stops at
// a bound. A grid's cells are one expansion together.
thread_local std::vector<AcDbObjectId> expanding;
thread_local double spent = 0;
thread_local double spentOn[kWorkKinds] = {};
thread_local std::size_t budget = kMinUnits;
thread_local bool stopped = false;
thread_local int grids = 0;
thread_local int operations = 0;

void beginWhole(const AcDbDatabase* db) {
    if (!expanding.empty() || grids > 0 || operations > 0) return;
    spent = 0;
    std::fill(std::begin(spentOn), std::end(spentOn), 0.0);
    stopped = false;
    budget = AcDbBlockReference::instanceBudget(db);
}

bool visit(double amount = 1, Work kind = Work::kPlaced) {
    const double units = amount / kPerUnit[size_t(kind)];
    spent += units;
    spentOn[size_t(kind)] += units;
    if (!(spent <= double(budget))) stopped = true;
    return !stopped;
}

struct GridExpansion {
    explicit GridExpansion(const AcDbDatabase* db) {
        beginWhole(db);
        ++grids;
    }
    ~GridExpansion() { --grids; }
    GridExpansion(const GridExpansion&) = delete;
    GridExpansion& operator=(const GridExpansion&) = delete;
};

// The extents the outlines being made are folded into, and the matrix whose origin gives their height
// (set once the outermost definition is expanded): none while outlines are gathered whole.
struct Fold {
    AcDbExtents* ext = nullptr;
    const AcGeMatrix3d* placed = nullptr;
    bool any = false;
};
thread_local Fold fold;

struct Folding {
    Folding(AcDbExtents& ext, const AcGeMatrix3d& placed) : outer(fold) { fold = Fold{&ext, &placed, false}; }
    ~Folding() { fold = outer; }
    bool any() const { return fold.any; }
    Folding(const Folding&) = delete;
    Folding& operator=(const Folding&) = delete;
    Fold outer;
};

struct NotFolding {
    NotFolding() : outer(fold) { fold = Fold{}; }
    ~NotFolding() { fold = outer; }
    NotFolding(const NotFolding&) = delete;
    NotFolding& operator=(const NotFolding&) = delete;
    Fold outer;
};

void foldInto(std::vector<cadgeom::BulgePath>& paths) {
    if (!fold.ext || paths.empty()) return;
    const double z = (*fold.placed * AcGePoint3d::kOrigin).z;
    for (const auto& p : paths) {
        if (p.vertices.empty()) continue;
        AcGePoint2d mn, mx;
        cadgeom::pathExtents(p, mn, mx);
        fold.ext->addPoint(AcGePoint3d(mn.x, mn.y, z));
        fold.ext->addPoint(AcGePoint3d(mx.x, mx.y, z));
        fold.any = true;
    }
    paths.clear();
}

// A path's points cost what a curve worked out at them does.
void chargePoints(const std::vector<cadgeom::BulgePath>& paths, size_t from) {
    double points = 0;
    for (size_t i = from; i < paths.size(); ++i) points += double(paths[i].vertices.size());
    if (points > 16) visit(points, Work::kCurvePoints);
}

} // namespace

AcDbBlockExpansion::AcDbBlockExpansion(AcDbObjectId block, bool asSpace) {
    if (expanding.size() > std::size_t(kMaxNesting)) return;
    if (std::find(expanding.begin(), expanding.end(), block) != expanding.end()) return;
    if (!asSpace && isLayoutBlock(block)) return;
    beginWhole(block.database());
    expanding.push_back(block);
    entered_ = true;
}

AcDbBlockExpansion::~AcDbBlockExpansion() {
    if (entered_) expanding.pop_back();
}

bool AcDbBlockExpansion::isLayoutBlock(AcDbObjectId block) {
    AcDbDatabase* db = block.database();
    auto* btr = db ? AcDbBlockTableRecord::cast(db->peek(block)) : nullptr;
    return btr && (btr->isLayout() || btr->isSpaceName());
}

std::size_t AcDbBlockReference::instanceBudget(const AcDbDatabase* db) {
    const std::size_t objects = db ? db->objectCount() : 0;
    return std::max(kMinUnits, objects * kUnitsPerObject);
}

std::wstring AcDbBlockReference::budgetReason(const AcDbDatabase* db) {
    // The work that spent most of the budget is named, in its own measure.
    size_t most = 0;
    for (size_t k = 1; k < kWorkKinds; ++k)
        if (spentOn[k] > spentOn[most]) most = k;
    const std::wstring amount = std::to_wstring(std::size_t(double(instanceBudget(db)) * kPerUnit[most]));
    std::wstring what;
    switch (Work(most)) {
        case Work::kPlaced:
            what = L"the drawing's inserts place more than " + amount +
                   L" entities (blocks nested in blocks, or a grid of many cells)";
            break;
        case Work::kCurvePoints:
            what = L"the drawing's curves are worked out at more than " + amount +
                   L" points (splines of many spans, or placed many times)";
            break;
        case Work::kPatternLines:
            what = L"the drawing's hatch patterns draw more than " + amount +
                   L" lengths of line (patterns whose lines the page shows, over large areas or placed many times)";
            break;
        case Work::kDashes:
            what = L"the drawing's linetypes draw more than " + amount +
                   L" dashes (fine dashes on long lines, or placed many times)";
            break;
        case Work::kCharacters:
            what = L"the drawing's texts set more than " + amount + L" characters (long texts placed many times)";
            break;
    }
    return what + L", more than a drawing of " + std::to_wstring(db ? db->objectCount() : 0) + L" objects is given";
}

bool AcDbBlockReference::expansionStopped() {
    return stopped;
}

AcDbExpansionBudget::AcDbExpansionBudget(const AcDbDatabase* db) {
    beginWhole(db);
    ++operations;
}

AcDbExpansionBudget::~AcDbExpansionBudget() {
    --operations;
}

bool AcDbExpansionBudget::charge(double amount, Work kind) {
    return visit(amount, kind);
}

void AcDbBlockReference::addDefinitionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m, int depth,
                                               AcGeMatrix3d* placed) const {
    if (depth > AcDbBlockExpansion::kMaxNesting) return;
    AcDbDatabase* db = block_.database();
    auto* btr = db ? AcDbBlockTableRecord::cast(db->peek(block_)) : nullptr;
    if (!btr) return;
    AcDbBlockExpansion expansion(block_);
    if (!expansion.entered()) return;
    AcGeMatrix3d xf = m * blockTransform();
    if (placed) *placed = xf;
    for (AcDbObjectId id : btr->entityIds()) {
        if (!visit()) return;
        auto* e = AcDbEntity::cast(db->peek(id));
        if (!e || e->isErased()) continue;
        size_t before = paths.size();
        if (auto* definition = AcDbAttributeDefinition::cast(e)) {
            // A constant definition shows as text in every insert; the others only through attributes.
            if (definition->isConstant() && !definition->isInvisible()) definition->getSelectionGeometry(paths, xf);
        } else if (auto* ref = AcDbBlockReference::cast(e); ref && !AcDbTable::cast(e)) {
            // A table is an insert of no block: its outline is its own.
            ref->addDefinitionGeometry(paths, xf, depth + 1);
            before = paths.size(); // the definition's own were charged as it was expanded
            AcDbDatabase* rdb = ref->database();
            for (AcDbObjectId a : ref->attributeIds())
                if (auto* att = AcDbAttribute::cast(rdb ? rdb->peek(a) : nullptr))
                    if (!att->isErased()) att->getSelectionGeometry(paths, xf);
        } else {
            e->getSelectionGeometry(paths, xf);
        }
        chargePoints(paths, before);
        foldInto(paths);
    }
}

void AcDbBlockReference::getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const {
    const NotFolding whole; // the caller's own outlines
    beginWhole(database());
    addDefinitionGeometry(paths, m, 0);
    AcDbDatabase* db = database();
    for (AcDbObjectId id : attributes_)
        if (auto* a = AcDbAttribute::cast(db ? db->peek(id) : nullptr))
            if (!a->isErased()) a->getSelectionGeometry(paths, m);
}

bool AcDbBlockReference::definitionExtents(AcDbExtents& ext, const AcGeMatrix3d& m, int depth) const {
    // Each entity's outline is folded into the extents as soon as it is made: a definition placing many
    // is never held whole.
    std::vector<cadgeom::BulgePath> paths;
    AcGeMatrix3d placed;
    Folding folding(ext, placed);
    addDefinitionGeometry(paths, m, depth, &placed);
    foldInto(paths);
    return folding.any();
}

Acad::ErrorStatus AcDbBlockReference::getGeomExtents(AcDbExtents& ext) const {
    ext = AcDbExtents();
    definitionExtents(ext, AcGeMatrix3d::kIdentity, 0);
    AcDbDatabase* db = database();
    for (AcDbObjectId id : attributes_)
        if (auto* a = AcDbAttribute::cast(db ? db->peek(id) : nullptr)) {
            AcDbExtents ae;
            if (!a->isErased() && a->getGeomExtents(ae) == Acad::eOk) ext.addExt(ae);
        }
    if (ext.isEmpty()) return Acad::eInvalidExtents;
    return Acad::eOk;
}

// ---------------------------------------------------------------- multiple insert

AcDbMInsertBlock::AcDbMInsertBlock(const AcGePoint3d& position, AcDbObjectId block, Adesk::UInt16 columns,
                                   Adesk::UInt16 rows, double colSpacing, double rowSpacing)
    : AcDbBlockReference(position, block),
      columns_(columns),
      rows_(rows),
      colSpacing_(colSpacing),
      rowSpacing_(rowSpacing) {}

Acad::ErrorStatus AcDbMInsertBlock::setColumns(Adesk::UInt16 n) {
    if (n == 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    columns_ = n;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbMInsertBlock::setRows(Adesk::UInt16 n) {
    if (n == 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    rows_ = n;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbMInsertBlock::setColumnSpacing(double d) {
    assertWriteEnabled();
    colSpacing_ = d;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbMInsertBlock::setRowSpacing(double d) {
    assertWriteEnabled();
    rowSpacing_ = d;
    return Acad::eOk;
}

// Moves a copy from the first cell to (row, col): along the insert's rotated axes, unscaled.
AcGeMatrix3d AcDbMInsertBlock::cellOffset(int row, int col) const {
    AcGeMatrix3d frame =
        AcGeMatrix3d::planeToWorld(normal()) * AcGeMatrix3d::rotation(rotation(), AcGeVector3d::kZAxis);
    return AcGeMatrix3d::translation(frame * AcGeVector3d(col * colSpacing_, row * rowSpacing_, 0));
}

void AcDbMInsertBlock::getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const {
    const NotFolding own; // the caller's own outlines
    GridExpansion whole(database());
    // Every cell is charged, a cell of an empty block too.
    for (int r = 0; r < rows_ && !stopped; ++r)
        for (int c = 0; c < columns_ && visit(); ++c) addDefinitionGeometry(paths, m * cellOffset(r, c), 0);
    AcDbDatabase* db = database();
    for (AcDbObjectId id : attributeIds())
        if (auto* a = AcDbAttribute::cast(db ? db->peek(id) : nullptr))
            if (!a->isErased()) a->getSelectionGeometry(paths, m);
}

Acad::ErrorStatus AcDbMInsertBlock::getGeomExtents(AcDbExtents& ext) const {
    ext = AcDbExtents();
    // Every cell is the first one moved, and the moves grow evenly with row and column: the
    // first cell's box moved to the four corner cells bounds them all (a grid may hold 65535
    // by 65535 cells).
    AcDbExtents cell;
    if (rows_ > 0 && columns_ > 0 && definitionExtents(cell, AcGeMatrix3d::kIdentity, 0))
        for (int r : {0, rows_ - 1})
            for (int c : {0, columns_ - 1}) {
                AcGeMatrix3d move = cellOffset(r, c);
                ext.addPoint(move * cell.minPoint());
                ext.addPoint(move * cell.maxPoint());
            }
    AcDbDatabase* db = database();
    for (AcDbObjectId id : attributeIds())
        if (auto* a = AcDbAttribute::cast(db ? db->peek(id) : nullptr)) {
            AcDbExtents ae;
            if (!a->isErased() && a->getGeomExtents(ae) == Acad::eOk) ext.addExt(ae);
        }
    return ext.isEmpty() ? Acad::eInvalidExtents : Acad::eOk;
}
