#include <algorithm>
#include <cmath>

#include "cad/db/AcDbEntity.h"

ACRX_DEFINE_MEMBERS(AcDbPolyline, AcDbCurve, L"LWPOLYLINE")

Acad::ErrorStatus AcDbPolyline::addVertexAt(unsigned int index, const AcGePoint2d& pt, double bulge, double startWidth,
                                            double endWidth, Adesk::Int32 vertexIdentifier) {
    if (index > verts_.size()) return Acad::eInvalidIndex;
    assertWriteEnabled();
    Vertex v;
    v.pt = pt;
    v.bulge = bulge;
    v.startWidth = startWidth < 0 ? 0 : startWidth;
    v.endWidth = endWidth < 0 ? 0 : endWidth;
    v.id = vertexIdentifier;
    verts_.insert(verts_.begin() + index, v);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::removeVertexAt(unsigned int index) {
    if (index >= verts_.size()) return Acad::eInvalidIndex;
    assertWriteEnabled();
    verts_.erase(verts_.begin() + index);
    return Acad::eOk;
}

bool AcDbPolyline::inWorldPlane() const {
    return normal_.x == 0.0 && normal_.y == 0.0 && normal_.z == 1.0;
}

AcGeMatrix3d AcDbPolyline::planeToWorld() const {
    // In the world plane the plane-to-world part is the identity.
    if (inWorldPlane()) return AcGeMatrix3d::translation(AcGeVector3d(0, 0, elevation_));
    return AcGeMatrix3d::planeToWorld(normal_) * AcGeMatrix3d::translation(AcGeVector3d(0, 0, elevation_));
}

Acad::ErrorStatus AcDbPolyline::getPointAt(unsigned int index, AcGePoint3d& pt) const {
    if (index >= verts_.size()) return Acad::eInvalidIndex;
    pt = planeToWorld() * AcGePoint3d(verts_[index].pt.x, verts_[index].pt.y, 0);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getPointAt(unsigned int index, AcGePoint2d& pt) const {
    if (index >= verts_.size()) return Acad::eInvalidIndex;
    pt = verts_[index].pt;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setPointAt(unsigned int index, const AcGePoint2d& pt) {
    if (index >= verts_.size()) return Acad::eInvalidIndex;
    assertWriteEnabled();
    verts_[index].pt = pt;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getBulgeAt(unsigned int index, double& bulge) const {
    if (index >= verts_.size()) return Acad::eInvalidIndex;
    bulge = verts_[index].bulge;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setBulgeAt(unsigned int index, double bulge) {
    if (index >= verts_.size()) return Acad::eInvalidIndex;
    assertWriteEnabled();
    verts_[index].bulge = bulge;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getWidthsAt(unsigned int index, double& s, double& e) const {
    if (index >= verts_.size()) return Acad::eInvalidIndex;
    s = verts_[index].startWidth;
    e = verts_[index].endWidth;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setWidthsAt(unsigned int index, double s, double e) {
    if (index >= verts_.size()) return Acad::eInvalidIndex;
    if (s < 0 || e < 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    verts_[index].startWidth = s;
    verts_[index].endWidth = e;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getVertexIdentifierAt(unsigned int index, Adesk::Int32& id) const {
    if (index >= verts_.size()) return Acad::eInvalidIndex;
    id = verts_[index].id;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setVertexIdentifierAt(unsigned int index, Adesk::Int32 id) {
    if (index >= verts_.size()) return Acad::eInvalidIndex;
    verts_[index].id = id;
    return Acad::eOk;
}

void AcDbPolyline::reset(bool reuse, unsigned int numVerts) {
    assertWriteEnabled();
    if (!reuse)
        verts_.clear();
    else if (numVerts < verts_.size())
        verts_.resize(numVerts);
}

void AcDbPolyline::setClosed(bool v) {
    assertWriteEnabled();
    closed_ = v;
}
void AcDbPolyline::setPlinegen(bool v) {
    assertWriteEnabled();
    plinegen_ = v;
}
void AcDbPolyline::setElevation(double e) {
    assertWriteEnabled();
    elevation_ = e;
}
void AcDbPolyline::setNormal(const AcGeVector3d& n) {
    setUnitVector(normal_, n);
} // a zero vector is ignored
Acad::ErrorStatus AcDbPolyline::setThickness(double t) {
    assertWriteEnabled();
    thickness_ = t;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbPolyline::setConstantWidth(double w) {
    if (w < 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    constantWidth_ = w;
    for (auto& v : verts_) v.startWidth = v.endWidth = w;
    return Acad::eOk;
}

bool AcDbPolyline::isOnlyLines() const {
    for (const auto& v : verts_)
        if (v.bulge != 0) return false;
    return true;
}

cadgeom::BulgePath AcDbPolyline::planePath() const {
    cadgeom::BulgePath p;
    p.closed = closed_;
    for (const auto& v : verts_) p.vertices.push_back({v.pt, v.bulge});
    return p;
}

Acad::ErrorStatus AcDbPolyline::getEndParam(double& p) const {
    if (verts_.empty()) return Acad::eDegenerateGeometry;
    p = closed_ ? double(verts_.size()) : double(verts_.size() - 1);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getDistAtParam(double param, double& dist) const {
    dist = 0;
    double end;
    if (getEndParam(end) != Acad::eOk) return Acad::eDegenerateGeometry;
    if (param < -1e-10 || param > end + 1e-10) return Acad::eInvalidInput;
    size_t n = verts_.size();
    double whole = std::floor(param);
    for (size_t i = 0; i < size_t(whole) && i < n; ++i) {
        const Vertex& a = verts_[i];
        const Vertex& b = verts_[(i + 1) % n];
        dist += cadgeom::segmentLength(a.pt, b.pt, a.bulge);
    }
    double frac = param - whole;
    if (frac > 1e-15 && size_t(whole) < n) {
        const Vertex& a = verts_[size_t(whole)];
        const Vertex& b = verts_[(size_t(whole) + 1) % n];
        // On an arc the length grows in proportion to the swept angle, as does the parameter.
        dist += cadgeom::segmentLength(a.pt, b.pt, a.bulge) * frac;
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getPointAtParam(double param, AcGePoint3d& pt) const {
    double end;
    if (getEndParam(end) != Acad::eOk) return Acad::eDegenerateGeometry;
    if (param < -1e-10 || param > end + 1e-10) return Acad::eInvalidInput;
    size_t n = verts_.size();
    size_t i = size_t(std::floor(std::max(0.0, param)));
    double frac = param - double(i);
    AcGePoint2d p;
    if (i >= n || (i == n - 1 && !closed_)) {
        p = closed_ ? verts_[0].pt : verts_[n - 1].pt;
    } else {
        const Vertex& a = verts_[i];
        const Vertex& b = verts_[(i + 1) % n];
        p = cadgeom::pointOnSegment(a.pt, b.pt, a.bulge, frac);
    }
    pt = planeToWorld() * AcGePoint3d(p.x, p.y, 0);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getArea(double& area) const {
    area = 0;
    if (verts_.size() < 2) return Acad::eOk;
    area = std::abs(cadgeom::pathSignedArea(planePath()));
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::transformBy(const AcGeMatrix3d& m) {
    // The plane must stay a plane with the same kind of arcs: transform in the plane when the
    // transform keeps circles, else only when there are no arcs.
    AcGeMatrix3d full = m * planeToWorld();
    AcGeVector3d nz = m * normal_;
    if (nz.isZeroLength()) return Acad::eCannotScaleNonUniformly;
    bool mirrored = m.det() < 0;
    AcGeVector3d newNormal = nz.normal();
    if (!isOnlyLines() && !m.isUniScaledOrtho()) {
        // A non-uniform scale within the plane keeps arcs only when x and y scale alike.
        AcGeMatrix3d inPlane = AcGeMatrix3d::worldToPlane(newNormal) * full;
        AcGeVector3d ex = inPlane * AcGeVector3d::kXAxis, ey = inPlane * AcGeVector3d::kYAxis;
        if (std::abs(ex.length() - ey.length()) > 1e-9 * std::max(ex.length(), ey.length()) ||
            std::abs(ex.dotProduct(ey)) > 1e-9 * ex.length() * ey.length())
            return Acad::eCannotScaleNonUniformly;
    }
    AcGeMatrix3d toPlane = AcGeMatrix3d::worldToPlane(newNormal);
    assertWriteEnabled();
    double z = 0;
    for (auto& v : verts_) {
        AcGePoint3d w = toPlane * (full * AcGePoint3d(v.pt.x, v.pt.y, 0));
        v.pt = AcGePoint2d(w.x, w.y);
        z = w.z;
        if (mirrored) v.bulge = -v.bulge;
    }
    if (verts_.empty()) z = (toPlane * (full * AcGePoint3d::kOrigin)).z;
    double s = std::sqrt(std::abs((AcGeMatrix3d::worldToPlane(newNormal) * full * AcGeVector3d::kXAxis).length() *
                                  (AcGeMatrix3d::worldToPlane(newNormal) * full * AcGeVector3d::kYAxis).length()));
    for (auto& v : verts_) {
        v.startWidth *= s;
        v.endWidth *= s;
    }
    constantWidth_ *= s;
    normal_ = newNormal;
    elevation_ = z;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getGeomExtents(AcDbExtents& ext) const {
    ext = AcDbExtents();
    if (verts_.empty()) return Acad::eInvalidExtents;
    AcGePoint2d mn, mx;
    cadgeom::pathExtents(planePath(), mn, mx);
    // A wide polyline covers half its width on either side of its outline.
    double half = constantWidth_ / 2;
    for (const auto& v : verts_) half = std::max({half, v.startWidth / 2, v.endWidth / 2});
    mn = AcGePoint2d(mn.x - half, mn.y - half);
    mx = AcGePoint2d(mx.x + half, mx.y + half);
    AcGeMatrix3d p2w = planeToWorld();
    if (normal_.isParallelTo(AcGeVector3d::kZAxis) && normal_.z > 0) {
        ext.addPoint(AcGePoint3d(mn.x, mn.y, elevation_));
        ext.addPoint(AcGePoint3d(mx.x, mx.y, elevation_));
        return Acad::eOk;
    }
    // A tilted plane: the plane box's corners bound the outline.
    for (int i = 0; i < 4; ++i) ext.addPoint(p2w * AcGePoint3d((i & 1) ? mx.x : mn.x, (i & 2) ? mx.y : mn.y, 0));
    return Acad::eOk;
}

void AcDbPolyline::getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const {
    const AcGeMatrix3d full = inWorldPlane() && elevation_ == 0.0 ? m : m * planeToWorld();
    AcGeVector3d nz = full * AcGeVector3d::kZAxis;
    bool exact = full.isUniScaledOrtho() && nz.isParallelTo(AcGeVector3d::kZAxis);
    double sense = (full.det() >= 0 ? 1 : -1) * (nz.z >= 0 ? 1 : -1);
    cadgeom::BulgePath out;
    out.closed = closed_;
    size_t n = verts_.size();
    out.vertices.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const Vertex& a = verts_[i];
        if (exact || a.bulge == 0 || (i == n - 1 && !closed_)) {
            AcGePoint3d w = full * AcGePoint3d(a.pt.x, a.pt.y, 0);
            out.vertices.push_back({w.convert2d(), exact ? a.bulge * sense : 0});
            continue;
        }
        // Arcs seen askew or scaled unevenly become chords.
        const Vertex& b = verts_[(i + 1) % n];
        for (int k = 0; k < 16; ++k) {
            AcGePoint2d q = cadgeom::pointOnSegment(a.pt, b.pt, a.bulge, k / 16.0);
            out.vertices.push_back({(full * AcGePoint3d(q.x, q.y, 0)).convert2d(), 0});
        }
    }
    paths.push_back(std::move(out));
}

bool AcDbPolyline::getPlanePath(cadgeom::BulgePath& path, AcGeVector3d& normal, double& elevation) const {
    path = planePath();
    normal = normal_;
    elevation = elevation_;
    return true;
}
