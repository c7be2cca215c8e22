// What every entity shares (layer, colour, linetype, visibility, transformed copies), and paper space viewports.
#include "cad/db/AcDbEntity.h"

#include <algorithm>
#include <cmath>

#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbHyperlink.h"

ACRX_DEFINE_MEMBERS(AcDbEntity, AcDbObject, L"")
ACRX_DEFINE_MEMBERS(AcDbViewport, AcDbEntity, L"VIEWPORT")

namespace {
AcDbDatabase* dbOf(const AcDbObject* o) {
    return o->database() ? o->database() : acdbWorkingDatabase();
}
} // namespace

// ---------------------------------------------------------------- entity

ACHAR* AcDbEntity::layer() const {
    return acutDupString(layerName_.c_str());
}
ACHAR* AcDbEntity::linetype() const {
    return acutDupString(linetypeName_.c_str());
}

Acad::ErrorStatus AcDbEntity::setLayer(const ACHAR* name, bool, bool) {
    if (!name) return Acad::eInvalidInput;
    AcDbDatabase* db = dbOf(this);
    if (db && !db->isLoading()) {
        AcDbObjectId id = db->layerId(name);
        if (id.isNull()) return Acad::eKeyNotFound;
        return setLayer(id);
    }
    assertWriteEnabled();
    layerName_ = name;
    layerId_.setNull();
    layerExplicit_ = true;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setLayer(AcDbObjectId id, bool, bool) {
    auto* rec = AcDbLayerTableRecord::cast(id.database() ? id.database()->peek(id) : nullptr);
    if (!rec || rec->isErased()) return Acad::eInvalidInput;
    assertWriteEnabled();
    layerId_ = id;
    layerName_ = rec->getName();
    layerExplicit_ = true;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setColor(const AcCmColor& c, bool) {
    assertWriteEnabled();
    color_ = c;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setColorIndex(Adesk::UInt16 i, bool) {
    AcCmColor c;
    Acad::ErrorStatus es = c.setColorIndex(i);
    if (es != Acad::eOk) return es;
    assertWriteEnabled();
    color_ = c;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setLinetype(const ACHAR* name, bool) {
    if (!name) return Acad::eInvalidInput;
    AcDbDatabase* db = dbOf(this);
    if (db && !db->isLoading()) {
        AcDbObjectId id = db->linetypeId(name);
        if (id.isNull()) return Acad::eKeyNotFound;
        return setLinetype(id);
    }
    assertWriteEnabled();
    linetypeName_ = name;
    linetypeId_.setNull();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setLinetype(AcDbObjectId id, bool) {
    auto* rec = AcDbLinetypeTableRecord::cast(id.database() ? id.database()->peek(id) : nullptr);
    if (!rec || rec->isErased()) return Acad::eInvalidInput;
    assertWriteEnabled();
    linetypeId_ = id;
    linetypeName_ = rec->getName();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setLinetypeScale(double s, bool) {
    if (s <= 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    rare_.change([&](Rare& r) { r.linetypeScale = s; });
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setLineWeight(AcDb::LineWeight w, bool) {
    assertWriteEnabled();
    rare_.change([&](Rare& r) { r.lineWeight = w; });
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setVisibility(AcDb::Visibility v, bool) {
    assertWriteEnabled();
    rare_.change([&](Rare& r) { r.visibility = v; });
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setPropertiesFrom(const AcDbEntity* o, bool) {
    if (!o) return Acad::eNullEntityPointer;
    assertWriteEnabled();
    layerName_ = o->layerName_;
    layerId_ = o->layerId_;
    layerExplicit_ = true;
    linetypeName_ = o->linetypeName_;
    linetypeId_ = o->linetypeId_;
    color_ = o->color_;
    rare_ = o->rare_;
    return Acad::eOk;
}

void AcDbEntity::setDatabaseDefaults(AcDbDatabase* db) {
    if (!db) db = dbOf(this);
    if (!db) return;
    assertWriteEnabled();
    if (auto* l = AcDbLayerTableRecord::cast(db->peek(db->clayer()))) {
        layerId_ = db->clayer();
        layerName_ = l->getName();
        layerExplicit_ = true;
    }
    if (auto* lt = AcDbLinetypeTableRecord::cast(db->peek(db->celtype()))) {
        linetypeId_ = db->celtype();
        linetypeName_ = lt->getName();
    }
    color_ = db->cecolor();
    const AcDb::LineWeight w = db->celweight();
    rare_.change([&](Rare& r) { r.lineWeight = w; });
}

void AcDbEntity::onAddedToDatabase(AcDbDatabase* db) {
    if (!layerExplicit_ && !db->isLoading()) {
        if (auto* l = AcDbLayerTableRecord::cast(db->peek(db->clayer()))) layerName_ = l->getName();
    }
    if (layerId_.isNull() || layerId_.database() != db) layerId_ = db->layerId(layerName_);
    if (linetypeId_.isNull() || linetypeId_.database() != db) linetypeId_ = db->linetypeId(linetypeName_);
}

Acad::ErrorStatus AcDbEntity::transformBy(const AcGeMatrix3d&) {
    return Acad::eNotApplicable;
}
Acad::ErrorStatus AcDbEntity::getGeomExtents(AcDbExtents&) const {
    return Acad::eInvalidExtents;
}
void AcDbEntity::getSelectionGeometry(std::vector<cadgeom::BulgePath>&, const AcGeMatrix3d&) const {}

Acad::ErrorStatus AcDbEntity::getTransformedCopy(const AcGeMatrix3d& m, AcDbEntity*& copy) const {
    copy = AcDbEntity::cast(cloneData());
    if (!copy) return Acad::eNotApplicable;
    Acad::ErrorStatus es = copy->transformBy(m);
    if (es != Acad::eOk) {
        delete copy;
        copy = nullptr;
    }
    return es;
}

Acad::ErrorStatus AcDbEntity::setUnitVector(AcGeVector3d& field, const AcGeVector3d& v) {
    if (v.isZeroLength()) return Acad::eInvalidInput;
    assertWriteEnabled();
    field = v.normal();
    return Acad::eOk;
}

void AcDbEntity::collectReferences(std::vector<AcDbObjectId*>& refs) {
    AcDbObject::collectReferences(refs);
    refs.push_back(&layerId_);
    refs.push_back(&linetypeId_);
}

// ---------------------------------------------------------------- viewport

void AcDbViewport::setCenterPoint(const AcGePoint3d& p) {
    assertWriteEnabled();
    center_ = p;
}
void AcDbViewport::setWidth(double w) {
    assertWriteEnabled();
    width_ = w;
}
void AcDbViewport::setHeight(double h) {
    assertWriteEnabled();
    height_ = h;
}
void AcDbViewport::setViewCenter(const AcGePoint2d& p) {
    assertWriteEnabled();
    viewCenter_ = p;
}
void AcDbViewport::setViewHeight(double h) {
    assertWriteEnabled();
    viewHeight_ = h;
}
void AcDbViewport::setViewTarget(const AcGePoint3d& p) {
    assertWriteEnabled();
    viewTarget_ = p;
}
void AcDbViewport::setViewDirection(const AcGeVector3d& v) {
    assertWriteEnabled();
    viewDirection_ = v;
}
void AcDbViewport::setTwistAngle(double a) {
    assertWriteEnabled();
    twist_ = a;
}
Acad::ErrorStatus AcDbViewport::setOn() {
    assertWriteEnabled();
    on_ = true;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbViewport::setOff() {
    assertWriteEnabled();
    on_ = false;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbViewport::freezeLayersInViewport(const AcDbObjectIdArray& layers) {
    assertWriteEnabled();
    for (AcDbObjectId id : layers)
        if (!id.isNull() && !frozen_.contains(id)) frozen_.append(id);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbViewport::thawLayersInViewport(const AcDbObjectIdArray& layers) {
    assertWriteEnabled();
    for (AcDbObjectId id : layers) frozen_.remove(id);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbViewport::thawAllLayersInViewport() {
    assertWriteEnabled();
    frozen_.removeAll();
    return Acad::eOk;
}

bool AcDbViewport::isLayerFrozenInViewport(AcDbObjectId layer) const {
    return frozen_.contains(layer);
}

Acad::ErrorStatus AcDbViewport::getFrozenLayerList(AcDbObjectIdArray& ids) const {
    ids = frozen_;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbViewport::transformBy(const AcGeMatrix3d& m) {
    if (!m.isUniScaledOrtho()) return Acad::eCannotScaleNonUniformly;
    assertWriteEnabled();
    center_ = m * center_;
    width_ *= m.scale();
    height_ *= m.scale();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbViewport::getGeomExtents(AcDbExtents& ext) const {
    ext = AcDbExtents();
    ext.addPoint(center_ - AcGeVector3d(width_ / 2, height_ / 2, 0));
    ext.addPoint(center_ + AcGeVector3d(width_ / 2, height_ / 2, 0));
    return Acad::eOk;
}

void AcDbViewport::getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const {
    cadgeom::BulgePath p;
    p.closed = true;
    for (auto [sx, sy] : {std::pair{-1, -1}, {1, -1}, {1, 1}, {-1, 1}})
        p.vertices.push_back({(m * (center_ + AcGeVector3d(sx * width_ / 2, sy * height_ / 2, 0))).convert2d(), 0});
    paths.push_back(p);
}

void AcDbViewport::collectReferences(std::vector<AcDbObjectId*>& refs) {
    AcDbEntity::collectReferences(refs);
    for (auto& id : frozen_) refs.push_back(&id);
}
