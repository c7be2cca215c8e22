// Curves: lines, circles and arcs, their parameters, extents and selection outlines.
#include <algorithm>
#include <cmath>

#include "cad/db/AcDbEntity.h"

ACRX_DEFINE_MEMBERS(AcDbCurve, AcDbEntity, L"")
ACRX_DEFINE_MEMBERS(AcDbLine, AcDbCurve, L"LINE")
ACRX_DEFINE_MEMBERS(AcDbCircle, AcDbCurve, L"CIRCLE")
ACRX_DEFINE_MEMBERS(AcDbArc, AcDbCurve, L"ARC")

namespace {
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
} // namespace

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
