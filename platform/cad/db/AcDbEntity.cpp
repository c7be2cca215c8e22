#include "cad/db/AcDbEntity.h"

#include <algorithm>
#include <cmath>

#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbHyperlink.h"

ACRX_DEFINE_MEMBERS(AcDbEntity, AcDbObject, L"")
ACRX_DEFINE_MEMBERS(AcDbCurve, AcDbEntity, L"")
ACRX_DEFINE_MEMBERS(AcDbLine, AcDbCurve, L"LINE")
ACRX_DEFINE_MEMBERS(AcDbCircle, AcDbCurve, L"CIRCLE")
ACRX_DEFINE_MEMBERS(AcDbArc, AcDbCurve, L"ARC")
ACRX_DEFINE_MEMBERS(AcDbText, AcDbEntity, L"TEXT")
ACRX_DEFINE_MEMBERS(AcDbAttributeDefinition, AcDbText, L"ATTDEF")
ACRX_DEFINE_MEMBERS(AcDbAttribute, AcDbText, L"ATTRIB")
ACRX_DEFINE_MEMBERS(AcDbMText, AcDbEntity, L"MTEXT")
ACRX_DEFINE_MEMBERS(AcDbViewport, AcDbEntity, L"VIEWPORT")
ACRX_DEFINE_MEMBERS(AcDbRawEntity, AcDbEntity, L"")

namespace {
AcDbDatabase* dbOf(const AcDbObject* o) {
    return o->database() ? o->database() : acdbWorkingDatabase();
}

// World points of a circle or arc in the plane of normal n.
AcGePoint3d planePoint(const AcGePoint3d& center, const AcGeVector3d& n, double r, double angle) {
    AcGeMatrix3d m = AcGeMatrix3d::planeToWorld(n);
    AcGeVector3d v = m * AcGeVector3d(r * std::cos(angle), r * std::sin(angle), 0);
    return center + v;
}

// A transformed circle/arc stays a circle/arc only under a uniform-scale orthogonal matrix.
bool keepsCircles(const AcGeMatrix3d& m) {
    return m.isUniScaledOrtho();
}

void addArcPath(std::vector<cadgeom::BulgePath>& paths, const AcGePoint3d& c, const AcGeVector3d& n, double r,
                double a0, double sweep, bool closed, const AcGeMatrix3d& m) {
    cadgeom::BulgePath p;
    p.closed = closed;
    bool exact = keepsCircles(m) && (m * n).normal().isParallelTo(AcGeVector3d::kZAxis);
    int pieces = exact ? (closed ? 2 : 1) : std::max(8, int(std::ceil(sweep / (M_PI / 32))));
    double ccwSign = 1;
    if (exact) {
        // A linear map keeps the arc counter-clockwise about sign(det) * M n.
        ccwSign = (m.det() >= 0 ? 1 : -1) * ((m * n).z >= 0 ? 1 : -1);
    }
    for (int i = 0; i <= pieces; ++i) {
        if (closed && i == pieces) break;
        double a = a0 + sweep * i / pieces;
        AcGePoint3d w = m * planePoint(c, n, r, a);
        double bulge = (exact && i < pieces) ? ccwSign * std::tan(sweep / pieces / 4) : 0;
        p.vertices.push_back({w.convert2d(), bulge});
    }
    paths.push_back(std::move(p));
}

// Extents and selection outline of a text box given by its four world corners.
Acad::ErrorStatus boxExtents(const AcGePoint3d (&c)[4], AcDbExtents& ext) {
    ext = AcDbExtents();
    for (auto& p : c) ext.addPoint(p);
    return Acad::eOk;
}

void addBoxPath(std::vector<cadgeom::BulgePath>& paths, const AcGePoint3d (&c)[4], const AcGeMatrix3d& m) {
    cadgeom::BulgePath p;
    p.closed = true;
    for (auto& q : c) p.vertices.push_back({(m * q).convert2d(), 0});
    paths.push_back(p);
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
    linetypeScale_ = s;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setLineWeight(AcDb::LineWeight w, bool) {
    assertWriteEnabled();
    lineWeight_ = w;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setVisibility(AcDb::Visibility v, bool) {
    assertWriteEnabled();
    visibility_ = v;
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
    linetypeScale_ = o->linetypeScale_;
    lineWeight_ = o->lineWeight_;
    visibility_ = o->visibility_;
    transparency_ = o->transparency_;
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
    lineWeight_ = db->celweight();
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

// ---------------------------------------------------------------- curve

Acad::ErrorStatus AcDbCurve::getArea(double& area) const {
    area = 0;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbCurve::getStartPoint(AcGePoint3d& pt) const {
    double p;
    getStartParam(p);
    return getPointAtParam(p, pt);
}

Acad::ErrorStatus AcDbCurve::getEndPoint(AcGePoint3d& pt) const {
    double p;
    getEndParam(p);
    return getPointAtParam(p, pt);
}

bool AcDbCurve::getPlanePath(cadgeom::BulgePath&, AcGeVector3d&, double&) const {
    return false;
}

// ---------------------------------------------------------------- line

Acad::ErrorStatus AcDbLine::setStartPoint(const AcGePoint3d& p) {
    assertWriteEnabled();
    start_ = p;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbLine::setEndPoint(const AcGePoint3d& p) {
    assertWriteEnabled();
    end_ = p;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbLine::setNormal(const AcGeVector3d& n) {
    return setUnitVector(normal_, n);
}
Acad::ErrorStatus AcDbLine::setThickness(double t) {
    assertWriteEnabled();
    thickness_ = t;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbLine::getEndParam(double& p) const {
    p = start_.distanceTo(end_);
    return Acad::eOk;
}
Acad::ErrorStatus AcDbLine::getDistAtParam(double param, double& dist) const {
    double len = start_.distanceTo(end_);
    if (param < -1e-10 || param > len + 1e-10) return Acad::eInvalidInput;
    dist = param;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbLine::getPointAtParam(double param, AcGePoint3d& pt) const {
    double len = start_.distanceTo(end_);
    if (param < -1e-10 || param > len + 1e-10) return Acad::eInvalidInput;
    pt = len > 0 ? start_ + (end_ - start_) * (param / len) : start_;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbLine::transformBy(const AcGeMatrix3d& m) {
    assertWriteEnabled();
    start_ = m * start_;
    end_ = m * end_;
    AcGeVector3d n = m * normal_;
    if (!n.isZeroLength()) normal_ = n.normal();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbLine::getGeomExtents(AcDbExtents& ext) const {
    ext = AcDbExtents();
    ext.addPoint(start_);
    ext.addPoint(end_);
    return Acad::eOk;
}
void AcDbLine::getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const {
    cadgeom::BulgePath p;
    p.vertices = {{(m * start_).convert2d(), 0}, {(m * end_).convert2d(), 0}};
    paths.push_back(p);
}

bool AcDbLine::getPlanePath(cadgeom::BulgePath& path, AcGeVector3d& normal, double& elevation) const {
    // A line lies in any plane containing it: take the one of its normal when it fits, else the world plane.
    normal = normal_;
    AcGeMatrix3d w2p = AcGeMatrix3d::worldToPlane(normal);
    AcGePoint3d a = w2p * start_, b = w2p * end_;
    if (std::abs(a.z - b.z) > 1e-9 * std::max(1.0, start_.distanceTo(end_))) return false;
    path.closed = false;
    path.vertices = {{AcGePoint2d(a.x, a.y), 0}, {AcGePoint2d(b.x, b.y), 0}};
    elevation = a.z;
    return true;
}

// ---------------------------------------------------------------- circle

Acad::ErrorStatus AcDbCircle::setCenter(const AcGePoint3d& c) {
    assertWriteEnabled();
    center_ = c;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbCircle::setRadius(double r) {
    if (r <= 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    radius_ = r;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbCircle::setNormal(const AcGeVector3d& n) {
    return setUnitVector(normal_, n);
}
Acad::ErrorStatus AcDbCircle::setThickness(double t) {
    assertWriteEnabled();
    thickness_ = t;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbCircle::getEndParam(double& p) const {
    p = 2 * M_PI;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbCircle::getDistAtParam(double param, double& dist) const {
    if (param < -1e-10 || param > 2 * M_PI + 1e-10) return Acad::eInvalidInput;
    dist = param * radius_;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbCircle::getPointAtParam(double param, AcGePoint3d& pt) const {
    pt = planePoint(center_, normal_, radius_, param);
    return Acad::eOk;
}
Acad::ErrorStatus AcDbCircle::getArea(double& area) const {
    area = M_PI * radius_ * radius_;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbCircle::transformBy(const AcGeMatrix3d& m) {
    if (!keepsCircles(m)) return Acad::eCannotScaleNonUniformly;
    assertWriteEnabled();
    center_ = m * center_;
    radius_ *= m.scale();
    normal_ = (m * normal_).normal();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbCircle::getGeomExtents(AcDbExtents& ext) const {
    ext = AcDbExtents();
    AcGeVector3d n = normal_.normal();
    // Half extent along each world axis: r * sqrt(1 - n_i^2).
    AcGeVector3d d(radius_ * std::sqrt(std::max(0.0, 1 - n.x * n.x)), radius_ * std::sqrt(std::max(0.0, 1 - n.y * n.y)),
                   radius_ * std::sqrt(std::max(0.0, 1 - n.z * n.z)));
    ext.addPoint(center_ - d);
    ext.addPoint(center_ + d);
    return Acad::eOk;
}
void AcDbCircle::getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const {
    addArcPath(paths, center_, normal_, radius_, 0, 2 * M_PI, true, m);
}
bool AcDbCircle::getPlanePath(cadgeom::BulgePath& path, AcGeVector3d& normal, double& elevation) const {
    AcGePoint3d c = AcGeMatrix3d::worldToPlane(normal_) * center_;
    path.closed = true;
    path.vertices = {{AcGePoint2d(c.x + radius_, c.y), 1.0}, {AcGePoint2d(c.x - radius_, c.y), 1.0}};
    normal = normal_;
    elevation = c.z;
    return true;
}

// ---------------------------------------------------------------- arc

Acad::ErrorStatus AcDbArc::setCenter(const AcGePoint3d& c) {
    assertWriteEnabled();
    center_ = c;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbArc::setRadius(double r) {
    if (r <= 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    radius_ = r;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbArc::setStartAngle(double a) {
    assertWriteEnabled();
    start_ = a;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbArc::setEndAngle(double a) {
    assertWriteEnabled();
    end_ = a;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbArc::setNormal(const AcGeVector3d& n) {
    return setUnitVector(normal_, n);
}
Acad::ErrorStatus AcDbArc::setThickness(double t) {
    assertWriteEnabled();
    thickness_ = t;
    return Acad::eOk;
}
double AcDbArc::sweep() const {
    double s = std::fmod(end_ - start_, 2 * M_PI);
    if (s <= 1e-15) s += 2 * M_PI;
    return s;
}
Acad::ErrorStatus AcDbArc::getEndParam(double& p) const {
    p = start_ + sweep();
    return Acad::eOk;
}
Acad::ErrorStatus AcDbArc::getDistAtParam(double param, double& dist) const {
    double d = param - start_;
    if (d < -1e-10 || d > sweep() + 1e-10) return Acad::eInvalidInput;
    dist = d * radius_;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbArc::getPointAtParam(double param, AcGePoint3d& pt) const {
    pt = planePoint(center_, normal_, radius_, param);
    return Acad::eOk;
}
Acad::ErrorStatus AcDbArc::getArea(double& area) const {
    double s = sweep();
    area = radius_ * radius_ / 2 * (s - std::sin(s));
    return Acad::eOk;
}
Acad::ErrorStatus AcDbArc::transformBy(const AcGeMatrix3d& m) {
    if (!keepsCircles(m)) return Acad::eCannotScaleNonUniformly;
    AcGePoint3d p0, p1;
    getPointAtParam(start_, p0);
    getPointAtParam(start_ + sweep(), p1);
    double s = sweep();
    // A mirror keeps the normal's image and reverses the arc: the old end becomes the new start.
    AcGeVector3d n = m * normal_;
    bool mirrored = m.det() < 0;
    assertWriteEnabled();
    center_ = m * center_;
    radius_ *= m.scale();
    normal_ = n.normal();
    // Mirroring reverses the arc's direction: the old end becomes the new start.
    AcGePoint3d from = m * (mirrored ? p1 : p0);
    AcGePoint3d local = AcGeMatrix3d::worldToPlane(normal_) * from;
    AcGePoint3d c = AcGeMatrix3d::worldToPlane(normal_) * center_;
    start_ = std::atan2(local.y - c.y, local.x - c.x);
    if (start_ < 0) start_ += 2 * M_PI;
    end_ = start_ + s;
    if (end_ >= 2 * M_PI) end_ -= 2 * M_PI;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbArc::getGeomExtents(AcDbExtents& ext) const {
    ext = AcDbExtents();
    double s = sweep();
    AcGePoint3d p;
    getPointAtParam(start_, p);
    ext.addPoint(p);
    getPointAtParam(start_ + s, p);
    ext.addPoint(p);
    // Extremes: where a world coordinate is stationary along the arc.
    AcGeMatrix3d m = AcGeMatrix3d::planeToWorld(normal_);
    for (int axis = 0; axis < 3; ++axis) {
        double a = m.entry[axis][0], b = m.entry[axis][1];
        if (std::abs(a) < 1e-15 && std::abs(b) < 1e-15) continue;
        double t0 = std::atan2(b, a);
        for (double t : {t0, t0 + M_PI}) {
            double d = std::fmod(t - start_, 2 * M_PI);
            if (d < 0) d += 2 * M_PI;
            if (d <= s + 1e-12) {
                getPointAtParam(t, p);
                ext.addPoint(p);
            }
        }
    }
    return Acad::eOk;
}
void AcDbArc::getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const {
    addArcPath(paths, center_, normal_, radius_, start_, sweep(), false, m);
}
bool AcDbArc::getPlanePath(cadgeom::BulgePath& path, AcGeVector3d& normal, double& elevation) const {
    AcGeMatrix3d w2p = AcGeMatrix3d::worldToPlane(normal_);
    AcGePoint3d c = w2p * center_;
    double s = sweep();
    path.closed = false;
    path.vertices = {{AcGePoint2d(c.x + radius_ * std::cos(start_), c.y + radius_ * std::sin(start_)), std::tan(s / 4)},
                     {AcGePoint2d(c.x + radius_ * std::cos(start_ + s), c.y + radius_ * std::sin(start_ + s)), 0}};
    normal = normal_;
    elevation = c.z;
    return true;
}

// ---------------------------------------------------------------- text

AcDbText::AcDbText(const AcGePoint3d& position, const ACHAR* text, AcDbObjectId style, double height, double rotation)
    : position_(position), height_(height), rotation_(rotation), text_(text ? text : L""), style_(style) {}

Acad::ErrorStatus AcDbText::setPosition(const AcGePoint3d& p) {
    assertWriteEnabled();
    position_ = p;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setAlignmentPoint(const AcGePoint3d& p) {
    assertWriteEnabled();
    rare_.change([&](Rare& r) { r.alignment = p; });
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setHeight(double h) {
    if (h < 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    height_ = h;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setWidthFactor(double w) {
    if (w <= 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    rare_.change([&](Rare& r) { r.widthFactor = w; });
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setRotation(double r) {
    assertWriteEnabled();
    rotation_ = r;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setOblique(double a) {
    assertWriteEnabled();
    rare_.change([&](Rare& r) { r.oblique = a; });
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setThickness(double t) {
    assertWriteEnabled();
    rare_.change([&](Rare& r) { r.thickness = t; });
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setNormal(const AcGeVector3d& n) {
    AcGeVector3d normal = rare_->normal;
    Acad::ErrorStatus es = setUnitVector(normal, n);
    if (es == Acad::eOk) rare_.change([&](Rare& r) { r.normal = normal; });
    return es;
}
ACHAR* AcDbText::textString() const {
    return acutDupString(text_.c_str());
}
Acad::ErrorStatus AcDbText::setTextString(const ACHAR* s) {
    if (!s) return Acad::eInvalidInput;
    assertWriteEnabled();
    text_ = s;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setHorizontalMode(AcDb::TextHorzMode m) {
    assertWriteEnabled();
    hmode_ = m;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setVerticalMode(AcDb::TextVertMode m) {
    assertWriteEnabled();
    vmode_ = m;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setTextStyle(AcDbObjectId id) {
    assertWriteEnabled();
    style_ = id;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::mirrorInX(bool v) {
    assertWriteEnabled();
    genFlags_ = v ? (genFlags_ | 2) : (genFlags_ & ~2);
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::mirrorInY(bool v) {
    assertWriteEnabled();
    genFlags_ = v ? (genFlags_ | 4) : (genFlags_ & ~4);
    return Acad::eOk;
}

void AcDbText::onAddedToDatabase(AcDbDatabase* db) {
    AcDbEntity::onAddedToDatabase(db);
    if (style_.isNull() && !db->isLoading()) style_ = db->textstyle();
    if (height_ == 0 && !db->isLoading()) height_ = db->textsize();
}

Acad::ErrorStatus AcDbText::transformBy(const AcGeMatrix3d& m) {
    // The text's X direction in world coordinates, transformed, gives the new rotation.
    Rare r = rare_.get();
    AcGeMatrix3d p2w = AcGeMatrix3d::planeToWorld(r.normal);
    AcGeVector3d dir = p2w * AcGeVector3d(std::cos(rotation_), std::sin(rotation_), 0);
    AcGeVector3d up = p2w * AcGeVector3d(-std::sin(rotation_), std::cos(rotation_), 0);
    AcGeVector3d ndir = m * dir, nup = m * up, nn = m * r.normal;
    if (ndir.isZeroLength() || nup.isZeroLength()) return Acad::eCannotScaleNonUniformly;
    bool mirrored = m.det() < 0;
    assertWriteEnabled();
    position_ = m * position_;
    r.alignment = m * r.alignment;
    r.normal = nn.normal();
    double sx = ndir.length(), sy = nup.length();
    height_ *= sy;
    if (sy > 0) r.widthFactor *= sx / sy;
    rare_.put(r);
    AcGeVector3d local = AcGeMatrix3d::worldToPlane(r.normal) * (mirrored ? -ndir : ndir);
    rotation_ = std::atan2(local.y, local.x);
    if (rotation_ < 0) rotation_ += 2 * M_PI;
    if (mirrored) genFlags_ ^= 2;
    return Acad::eOk;
}

void AcDbText::boxCorners(AcGePoint3d c[4]) const {
    const Rare& r = rare_.get();
    double w = 0.8 * height_ * r.widthFactor * double(text_.size()), h = height_;
    AcGePoint3d base = isDefaultAlignment() ? position_ : r.alignment;
    double x0 = 0, y0 = 0;
    switch (hmode_) {
        case AcDb::kTextCenter:
        case AcDb::kTextMid:
            x0 = -w / 2;
            break;
        case AcDb::kTextRight:
            x0 = -w;
            break;
        case AcDb::kTextAlign:
        case AcDb::kTextFit:
            base = position_;
            break;
        default:
            break;
    }
    switch (vmode_) {
        case AcDb::kTextVertMid:
            y0 = -h / 2;
            break;
        case AcDb::kTextTop:
            y0 = -h;
            break;
        default:
            break;
    }
    if (hmode_ == AcDb::kTextMid) y0 = -h / 2;
    AcGeMatrix3d p2w = AcGeMatrix3d::planeToWorld(r.normal);
    AcGeVector3d dx = p2w * AcGeVector3d(std::cos(rotation_), std::sin(rotation_), 0);
    AcGeVector3d dy = p2w * AcGeVector3d(-std::sin(rotation_), std::cos(rotation_), 0);
    if (hmode_ == AcDb::kTextAlign || hmode_ == AcDb::kTextFit) w = position_.distanceTo(r.alignment);
    c[0] = base + dx * x0 + dy * y0;
    c[1] = c[0] + dx * w;
    c[2] = c[1] + dy * h;
    c[3] = c[0] + dy * h;
}

Acad::ErrorStatus AcDbText::getGeomExtents(AcDbExtents& ext) const {
    AcGePoint3d c[4];
    boxCorners(c);
    return boxExtents(c, ext);
}

void AcDbText::getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const {
    AcGePoint3d c[4];
    boxCorners(c);
    addBoxPath(paths, c, m);
}

void AcDbText::collectReferences(std::vector<AcDbObjectId*>& refs) {
    AcDbEntity::collectReferences(refs);
    refs.push_back(&style_);
}

// ---------------------------------------------------------------- attribute definitions and attributes

AcDbAttributeDefinition::AcDbAttributeDefinition(const AcGePoint3d& position, const ACHAR* text, const ACHAR* tag,
                                                 const ACHAR* prompt, AcDbObjectId style)
    : AcDbText(position, text, style), tag_(tag ? tag : L""), prompt_(prompt ? prompt : L"") {}

ACHAR* AcDbAttributeDefinition::tag() const {
    return acutDupString(tag_.c_str());
}
ACHAR* AcDbAttributeDefinition::prompt() const {
    return acutDupString(prompt_.c_str());
}

// Tags are kept as given (labels of constant definitions may hold blanks).
Acad::ErrorStatus AcDbAttributeDefinition::setTag(const ACHAR* t) {
    if (!t || !*t) return Acad::eInvalidInput;
    assertWriteEnabled();
    tag_ = t;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbAttributeDefinition::setPrompt(const ACHAR* p) {
    assertWriteEnabled();
    prompt_ = p ? p : L"";
    return Acad::eOk;
}
#define ATT_FLAG(CLS, FN, BIT)                         \
    Acad::ErrorStatus CLS::FN(bool v) {                \
        assertWriteEnabled();                          \
        flags_ = v ? (flags_ | BIT) : (flags_ & ~BIT); \
        return Acad::eOk;                              \
    }
ATT_FLAG(AcDbAttributeDefinition, setInvisible, 1)
ATT_FLAG(AcDbAttributeDefinition, setConstant, 2)
ATT_FLAG(AcDbAttributeDefinition, setVerifiable, 4)
ATT_FLAG(AcDbAttributeDefinition, setPreset, 8)
ATT_FLAG(AcDbAttribute, setInvisible, 1)
#undef ATT_FLAG
Acad::ErrorStatus AcDbAttributeDefinition::setFieldLength(Adesk::UInt16 n) {
    assertWriteEnabled();
    fieldLength_ = n;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbAttributeDefinition::setLockPositionInBlock(bool v) {
    assertWriteEnabled();
    lockPosition_ = v;
    return Acad::eOk;
}

AcDbAttribute::AcDbAttribute(const AcGePoint3d& position, const ACHAR* text, const ACHAR* tag, AcDbObjectId style)
    : AcDbText(position, text, style), tag_(tag ? tag : L"") {}

ACHAR* AcDbAttribute::tag() const {
    return acutDupString(tag_.c_str());
}
Acad::ErrorStatus AcDbAttribute::setTag(const ACHAR* t) {
    if (!t || !*t) return Acad::eInvalidInput;
    assertWriteEnabled();
    tag_ = t;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbAttribute::setFieldLength(Adesk::UInt16 n) {
    assertWriteEnabled();
    fieldLength_ = n;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbAttribute::setLockPositionInBlock(bool v) {
    assertWriteEnabled();
    lockPosition_ = v;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbAttribute::setAttributeFromBlock(const AcDbAttributeDefinition* def, const AcGeMatrix3d& xform) {
    if (!def) return Acad::eNullEntityPointer;
    setPropertiesFrom(def);
    setPosition(def->position());
    setAlignmentPoint(def->alignmentPoint());
    setHeight(def->height());
    setWidthFactor(def->widthFactor());
    setRotation(def->rotation());
    setOblique(def->oblique());
    setNormal(def->normal());
    setHorizontalMode(def->horizontalMode());
    setVerticalMode(def->verticalMode());
    setTextStyle(def->textStyle());
    setTextString(def->textStringConst());
    setGenerationFlags(def->generationFlags());
    tag_ = def->tagConst();
    flags_ = def->attributeFlags();
    fieldLength_ = def->fieldLength();
    lockPosition_ = def->lockPositionInBlock();
    return transformBy(xform);
}

// ---------------------------------------------------------------- mtext

Acad::ErrorStatus AcDbMText::setLocation(const AcGePoint3d& p) {
    assertWriteEnabled();
    location_ = p;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbMText::setNormal(const AcGeVector3d& n) {
    return setUnitVector(normal_, n);
}
Acad::ErrorStatus AcDbMText::setDirection(const AcGeVector3d& d) {
    return setUnitVector(direction_, d);
}
double AcDbMText::rotation() const {
    AcGeVector3d local = AcGeMatrix3d::worldToPlane(normal_) * direction_;
    double r = std::atan2(local.y, local.x);
    return r < 0 ? r + 2 * M_PI : r;
}
Acad::ErrorStatus AcDbMText::setRotation(double r) {
    assertWriteEnabled();
    direction_ = AcGeMatrix3d::planeToWorld(normal_) * AcGeVector3d(std::cos(r), std::sin(r), 0);
    return Acad::eOk;
}
Acad::ErrorStatus AcDbMText::setWidth(double w) {
    assertWriteEnabled();
    width_ = w;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbMText::setTextHeight(double h) {
    if (h <= 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    height_ = h;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbMText::setAttachment(AttachmentPoint a) {
    assertWriteEnabled();
    attachment_ = a;
    return Acad::eOk;
}
ACHAR* AcDbMText::contents() const {
    return acutDupString(contents_.c_str());
}
int AcDbMText::setContents(const ACHAR* s) {
    assertWriteEnabled();
    contents_ = s ? s : L"";
    return int(contents_.size());
}
Acad::ErrorStatus AcDbMText::setTextStyle(AcDbObjectId id) {
    assertWriteEnabled();
    style_ = id;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbMText::setLineSpacingFactor(double f) {
    assertWriteEnabled();
    lineSpacing_ = f;
    return Acad::eOk;
}

std::wstring AcDbMText::text() const {
    // Drop formatting: \P is a new paragraph, \X...; codes end at ';', braces group, \\ \{ \} escape.
    std::wstring out;
    const std::wstring& s = contents_;
    for (size_t i = 0; i < s.size(); ++i) {
        wchar_t c = s[i];
        if (c == L'{' || c == L'}') continue;
        if (c != L'\\' || i + 1 >= s.size()) {
            out += c;
            continue;
        }
        wchar_t k = s[++i];
        if (k == L'\\' || k == L'{' || k == L'}')
            out += k;
        else if (k == L'P' || k == L'n')
            out += L'\n';
        else if (k == L'~')
            out += L' ';
        else if (std::wstring(L"LlOoKk").find(k) != std::wstring::npos)
            continue;
        else {
            size_t e = s.find(L';', i);
            if (e == std::wstring::npos) break;
            i = e;
        }
    }
    return out;
}

void AcDbMText::onAddedToDatabase(AcDbDatabase* db) {
    AcDbEntity::onAddedToDatabase(db);
    if (style_.isNull() && !db->isLoading()) style_ = db->textstyle();
}

Acad::ErrorStatus AcDbMText::transformBy(const AcGeMatrix3d& m) {
    AcGeVector3d d = m * direction_, n = m * normal_;
    if (d.isZeroLength() || n.isZeroLength()) return Acad::eCannotScaleNonUniformly;
    double s = d.length();
    assertWriteEnabled();
    location_ = m * location_;
    direction_ = d.normal();
    normal_ = n.normal();
    height_ *= s;
    width_ *= s;
    return Acad::eOk;
}

void AcDbMText::boxCorners(AcGePoint3d c[4]) const {
    int lines = 1;
    size_t longest = 0, cur = 0;
    for (wchar_t ch : text()) {
        if (ch == L'\n') {
            ++lines;
            longest = std::max(longest, cur);
            cur = 0;
        } else {
            ++cur;
        }
    }
    longest = std::max(longest, cur);
    double w = width_ > 0 ? width_ : 0.8 * height_ * double(longest);
    double h = height_ * (1 + (lines - 1) * 1.667 * lineSpacing_);
    int a = int(attachment_) - 1;
    double x0 = -(a % 3) * w / 2, y0 = (a / 3 == 0) ? -h : (a / 3 == 1 ? -h / 2 : 0);
    AcGeVector3d dx = direction_, dy = normal_.crossProduct(direction_).normal();
    c[0] = location_ + dx * x0 + dy * y0;
    c[1] = c[0] + dx * w;
    c[2] = c[1] + dy * h;
    c[3] = c[0] + dy * h;
}

Acad::ErrorStatus AcDbMText::getGeomExtents(AcDbExtents& ext) const {
    AcGePoint3d c[4];
    boxCorners(c);
    return boxExtents(c, ext);
}

void AcDbMText::getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const {
    AcGePoint3d c[4];
    boxCorners(c);
    addBoxPath(paths, c, m);
}

void AcDbMText::collectReferences(std::vector<AcDbObjectId*>& refs) {
    AcDbEntity::collectReferences(refs);
    refs.push_back(&style_);
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

// ---------------------------------------------------------------- raw entity

namespace {
double num(const std::wstring& v) {
    return std::wcstod(v.c_str(), nullptr);
}

// Flags of a kept record: a number beyond any flag word (damage) sets none.
int flagsOf(const std::wstring& v) {
    double d = num(v);
    return d >= -2147483648.0 && d <= 2147483647.0 ? int(d) : 0;
}

// The point of group code c (x) with its y (c + 10) and z (c + 20) following.
AcGePoint3d pointAt(const AcDbDxfTags& t, size_t i) {
    int c = t[i].first;
    AcGePoint3d p(num(t[i].second), 0, 0);
    if (i + 1 < t.size() && t[i + 1].first == c + 10) p.y = num(t[i + 1].second);
    if (i + 2 < t.size() && t[i + 2].first == c + 20) p.z = num(t[i + 2].second);
    return p;
}

AcGeVector3d normalOf(const AcDbDxfTags& t, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
        if (t[i].first == 210) {
            AcGePoint3d n = pointAt(t, i);
            AcGeVector3d v(n.x, n.y, n.z);
            if (!v.isZeroLength()) return v.normal();
        }
    return AcGeVector3d::kZAxis;
}

// Old-style polylines carry their vertices as "0 VERTEX" records inside their tags.
void heavyPolyline(const AcDbDxfTags& t, std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) {
    size_t mainEnd = t.size();
    for (size_t i = 0; i < t.size(); ++i)
        if (t[i].first == 0) {
            mainEnd = i;
            break;
        }
    int flags = 0;
    double elevation = 0;
    for (size_t i = 0; i < mainEnd; ++i) {
        if (t[i].first == 70) flags = flagsOf(t[i].second);
        if (t[i].first == 30) elevation = num(t[i].second);
    }
    bool threeD = (flags & (8 | 16 | 64)) != 0;
    AcGeMatrix3d toWorld = m * AcGeMatrix3d::planeToWorld(normalOf(t, 0, mainEnd)) *
                           AcGeMatrix3d::translation(AcGeVector3d(0, 0, elevation));
    bool exact =
        !threeD && toWorld.isUniScaledOrtho() && (toWorld * AcGeVector3d::kZAxis).isParallelTo(AcGeVector3d::kZAxis);
    double sense = (toWorld.det() >= 0 ? 1 : -1) * ((toWorld * AcGeVector3d::kZAxis).z >= 0 ? 1 : -1);
    cadgeom::BulgePath path;
    path.closed = (flags & 1) != 0 && !(flags & (16 | 64));
    for (size_t i = mainEnd; i < t.size(); ++i) {
        if (t[i].first != 0 || t[i].second != L"VERTEX") continue;
        size_t end = i + 1;
        while (end < t.size() && t[end].first != 0) ++end;
        AcGePoint3d p;
        double bulge = 0;
        int vflags = 0;
        bool hasPoint = false;
        for (size_t k = i + 1; k < end; ++k) {
            if (t[k].first == 10) {
                p = pointAt(t, k);
                hasPoint = true;
            }
            if (t[k].first == 42) bulge = num(t[k].second);
            if (t[k].first == 70) vflags = flagsOf(t[k].second);
        }
        // Polyface face records carry no position.
        if (!hasPoint || ((vflags & 128) && !(vflags & 64))) continue;
        AcGePoint3d w = threeD ? m * p : toWorld * AcGePoint3d(p.x, p.y, 0);
        path.vertices.push_back({w.convert2d(), exact ? bulge * sense : 0});
        i = end - 1;
    }
    if (!path.vertices.empty()) paths.push_back(std::move(path));
}

void ellipse(const AcDbDxfTags& t, std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) {
    AcGePoint3d c;
    AcGeVector3d major(1, 0, 0);
    double ratio = 1, p0 = 0, p1 = 2 * M_PI;
    for (size_t i = 0; i < t.size(); ++i) {
        switch (t[i].first) {
            case 10:
                c = pointAt(t, i);
                break;
            case 11: {
                AcGePoint3d a = pointAt(t, i);
                major = AcGeVector3d(a.x, a.y, a.z);
                break;
            }
            case 40:
                ratio = num(t[i].second);
                break;
            case 41:
                p0 = num(t[i].second);
                break;
            case 42:
                p1 = num(t[i].second);
                break;
            default:
                break;
        }
    }
    AcGeVector3d n = normalOf(t, 0, t.size());
    AcGeVector3d minor = n.crossProduct(major) * ratio;
    double sweep = p1 - p0;
    // Parameters of any size come from files: fold them once rather than step by turns.
    if (!std::isfinite(sweep)) sweep = 2 * M_PI;
    if (sweep <= 0) sweep = std::fmod(sweep, 2 * M_PI) + 2 * M_PI;
    bool full = sweep >= 2 * M_PI - 1e-9;
    cadgeom::BulgePath path;
    path.closed = full;
    int pieces = 64;
    for (int k = 0; k <= pieces; ++k) {
        if (full && k == pieces) break;
        double a = p0 + sweep * k / pieces;
        path.vertices.push_back({(m * (c + major * std::cos(a) + minor * std::sin(a))).convert2d(), 0});
    }
    paths.push_back(std::move(path));
}

// Which point codes of a type are positions (others are directions, sizes or tangents).
bool isPosition(const std::wstring& type, int code) {
    if (code < 10 || code > 18) return false;
    if (type == L"SPLINE" || type == L"MLINE") return code == 10 || code == 11;
    if (type == L"IMAGE" || type == L"WIPEOUT" || type == L"TOLERANCE" || type == L"OLE2FRAME" ||
        type.rfind(L"PDFUNDERLAY", 0) == 0 || type.rfind(L"DWFUNDERLAY", 0) == 0 || type.rfind(L"DGNUNDERLAY", 0) == 0)
        return code == 10;
    return true;
}
} // namespace

void AcDbRawEntity::getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const {
    if (dxfName_ == L"POLYLINE") return heavyPolyline(tags_, paths, m);
    if (dxfName_ == L"ELLIPSE") return ellipse(tags_, paths, m);
    if (dxfName_ == L"RAY" || dxfName_ == L"XLINE") return; // endless: no outline to select by
    cadgeom::BulgePath path;
    std::vector<AcGePoint3d> pts;
    for (size_t i = 0; i < tags_.size(); ++i)
        if (isPosition(dxfName_, tags_[i].first)) pts.push_back(pointAt(tags_, i));
    if (pts.empty()) return;
    if (dxfName_ == L"SOLID" || dxfName_ == L"TRACE") {
        // Corners come as 1, 2, 3, 4 with the outline running 1, 2, 4, 3.
        if (pts.size() == 4) std::swap(pts[2], pts[3]);
        path.closed = true;
    } else if (dxfName_ == L"3DFACE") {
        path.closed = true;
    }
    for (const AcGePoint3d& p : pts) path.vertices.push_back({(m * p).convert2d(), 0});
    paths.push_back(std::move(path));
}

Acad::ErrorStatus AcDbRawEntity::getGeomExtents(AcDbExtents& ext) const {
    ext = AcDbExtents();
    std::vector<cadgeom::BulgePath> paths;
    getSelectionGeometry(paths, AcGeMatrix3d::kIdentity);
    double z = 0;
    for (size_t i = 0; i < tags_.size(); ++i)
        if (tags_[i].first == 30) {
            z = num(tags_[i].second);
            break;
        }
    for (const auto& p : paths) {
        if (p.vertices.empty()) continue;
        AcGePoint2d mn, mx;
        cadgeom::pathExtents(p, mn, mx);
        ext.addPoint(AcGePoint3d(mn.x, mn.y, z));
        ext.addPoint(AcGePoint3d(mx.x, mx.y, z));
    }
    return ext.isEmpty() ? Acad::eInvalidExtents : Acad::eOk;
}
