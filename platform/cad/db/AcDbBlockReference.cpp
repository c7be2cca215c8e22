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
// The definitions being expanded, outermost first, and the entities the outermost expansion (or the
// operation around it) visited: a definition that inserts itself (directly or through others) adds
// nothing again, and nesting that fans out (a definition holding many inserts of one holding many ...)
// stops at a bound. A grid's cells are one expansion together.
thread_local std::vector<AcDbObjectId> expanding;
thread_local std::size_t visited = 0;
thread_local std::size_t budget = AcDbBlockReference::kMinInstances;
thread_local bool stopped = false;
thread_local int grids = 0;
thread_local int operations = 0;

void beginWhole(const AcDbDatabase* db) {
    if (!expanding.empty() || grids > 0 || operations > 0) return;
    visited = 0;
    stopped = false;
    budget = AcDbBlockReference::instanceBudget(db);
}

bool visit(std::size_t units = 1) {
    visited += units;
    if (visited > budget) stopped = true;
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
    return std::max(kMinInstances, objects * kInstancesPerObject);
}

std::wstring AcDbBlockReference::budgetReason(const AcDbDatabase* db) {
    return L"place more than " + std::to_wstring(instanceBudget(db)) +
           L" entities (blocks nested in blocks, a grid of many cells, or a fine hatch pattern placed many "
           L"times), more than a drawing of " +
           std::to_wstring(db ? db->objectCount() : 0) + L" objects is given";
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

bool AcDbExpansionBudget::charge(std::size_t units) {
    return visit(units);
}

struct AcDbBlockReference::Bounds {
    bool any = false;
    AcGePoint2d lo, hi;
    void fold(std::vector<cadgeom::BulgePath>& paths) {
        for (const auto& p : paths) {
            if (p.vertices.empty()) continue;
            AcGePoint2d mn, mx;
            cadgeom::pathExtents(p, mn, mx);
            lo = any ? AcGePoint2d(std::min(lo.x, mn.x), std::min(lo.y, mn.y)) : mn;
            hi = any ? AcGePoint2d(std::max(hi.x, mx.x), std::max(hi.y, mx.y)) : mx;
            any = true;
        }
        paths.clear();
    }
};

void AcDbBlockReference::addDefinitionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m, int depth,
                                               AcGeMatrix3d* placed, Bounds* bounds) const {
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
        if (auto* definition = AcDbAttributeDefinition::cast(e)) {
            // A constant definition shows as text in every insert; the others only through attributes.
            if (definition->isConstant() && !definition->isInvisible()) definition->getSelectionGeometry(paths, xf);
            continue;
        }
        // A table is an insert of no block: its outline is its own.
        if (auto* ref = AcDbBlockReference::cast(e); ref && !AcDbTable::cast(e)) {
            ref->addDefinitionGeometry(paths, xf, depth + 1, nullptr, bounds);
            AcDbDatabase* rdb = ref->database();
            for (AcDbObjectId a : ref->attributeIds())
                if (auto* att = AcDbAttribute::cast(rdb ? rdb->peek(a) : nullptr))
                    if (!att->isErased()) att->getSelectionGeometry(paths, xf);
        } else {
            const std::size_t before = paths.size();
            e->getSelectionGeometry(paths, xf);
            // An outline of many points (a spline's control points, a long polyline), each read from the file's
            // text, costs as much again for every 8 of them.
            std::size_t points = 0;
            for (std::size_t k = before; k < paths.size(); ++k) points += paths[k].vertices.size();
            if (points >= 8 && !visit(points / 8)) return;
        }
        if (bounds) bounds->fold(paths);
    }
}

void AcDbBlockReference::getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const {
    beginWhole(database());
    addDefinitionGeometry(paths, m, 0);
    AcDbDatabase* db = database();
    for (AcDbObjectId id : attributes_)
        if (auto* a = AcDbAttribute::cast(db ? db->peek(id) : nullptr))
            if (!a->isErased()) a->getSelectionGeometry(paths, m);
}

bool AcDbBlockReference::definitionExtents(AcDbExtents& ext, const AcGeMatrix3d& m, int depth) const {
    std::vector<cadgeom::BulgePath> paths;
    AcGeMatrix3d placed;
    Bounds bounds;
    addDefinitionGeometry(paths, m, depth, &placed, &bounds);
    bounds.fold(paths); // what the last entities left
    if (!bounds.any) return false;
    // Paths come only from an expanded definition, which has set placed.
    const double z = (placed * AcGePoint3d::kOrigin).z;
    ext.addPoint(AcGePoint3d(bounds.lo.x, bounds.lo.y, z));
    ext.addPoint(AcGePoint3d(bounds.hi.x, bounds.hi.y, z));
    return true;
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
    GridExpansion whole(database());
    for (int r = 0; r < rows_ && !stopped; ++r)
        for (int c = 0; c < columns_ && !stopped; ++c) addDefinitionGeometry(paths, m * cellOffset(r, c), 0);
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
