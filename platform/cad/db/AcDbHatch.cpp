#include "cad/db/AcDbHatch.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "cad/db/AcDbDatabase.h"

ACRX_DEFINE_MEMBERS(AcDbHatch, AcDbEntity, L"HATCH")

namespace {
constexpr double kMaxLines = 100000.0;

// One edge as a run of path vertices plus the point where it ends.
struct EdgeRun {
    std::vector<cadgeom::BulgeVertex> vertices;
    AcGePoint2d end;
};

// A spline edge along its curve: the B-spline (rational where it has weights) of its control points and knots,
// at as many points a span as a spline entity is drawn with; its control points as they stand when the knots
// do not fit them.
std::vector<AcGePoint2d> splineCurve(const AcDbHatchEdge& e) {
    int degree = 3;
    std::vector<double> knots, weights;
    for (const auto& [code, value] : e.splineTags) {
        const double v = std::wcstod(value.c_str(), nullptr);
        if (!std::isfinite(v)) return e.splinePoints;
        if (code == 94) degree = int(std::clamp(v, 1.0, 25.0));
        if (code == 40) knots.push_back(v);
        if (code == 42) weights.push_back(v);
    }
    std::vector<AcGePoint3d> control;
    for (const AcGePoint2d& pt : e.splinePoints) control.emplace_back(pt.x, pt.y, 0.0);
    std::vector<AcGePoint2d> curve;
    for (const AcGePoint3d& pt : cadgeom::splineCurve(degree, knots, weights, control, 64, 4000))
        curve.emplace_back(pt.x, pt.y);
    return curve.size() >= 2 ? curve : e.splinePoints;
}

EdgeRun edgeRun(const AcDbHatchEdge& e) {
    EdgeRun r;
    switch (e.type) {
        case AcDbHatchEdge::kLine:
            r.vertices.push_back({e.start, 0});
            r.end = e.end;
            break;
        case AcDbHatchEdge::kCirArc: {
            if (std::fabs(e.endAngle - e.startAngle) >= 2 * M_PI - 1e-9) {
                // A whole circle (0 to 360): two half circles, since one vertex cannot carry it.
                const double sign = e.ccw ? 1 : -1, s = e.ccw ? e.startAngle : -e.startAngle;
                const AcGePoint2d from(e.center.x + e.radius * std::cos(s), e.center.y + e.radius * std::sin(s));
                r.vertices.push_back({from, sign});
                r.vertices.push_back({AcGePoint2d(2 * e.center.x - from.x, 2 * e.center.y - from.y), sign});
                r.end = from;
                break;
            }
            double sweep = std::fmod(e.endAngle - e.startAngle, 2 * M_PI);
            if (sweep <= 0) sweep += 2 * M_PI;
            double sign = e.ccw ? 1 : -1;
            // Clockwise arcs keep their angles measured clockwise.
            double s = e.ccw ? e.startAngle : -e.startAngle;
            double t = s + sign * sweep;
            r.vertices.push_back({AcGePoint2d(e.center.x + e.radius * std::cos(s), e.center.y + e.radius * std::sin(s)),
                                  sign * std::tan(sweep / 4)});
            r.end = AcGePoint2d(e.center.x + e.radius * std::cos(t), e.center.y + e.radius * std::sin(t));
            break;
        }
        case AcDbHatchEdge::kEllArc: {
            // The edge's angles are true angles from the major axis; the curve is traced by parameter.
            auto param = [&](double angle) {
                return e.minorRatio > 0 ? std::atan2(std::sin(angle) / e.minorRatio, std::cos(angle)) : angle;
            };
            const double p0 = param(e.startAngle);
            double sweep = std::fmod(param(e.endAngle) - p0, 2 * M_PI);
            if (sweep <= 1e-12) sweep += 2 * M_PI;
            AcGeVector2d major = e.majorAxis, minor(-major.y * e.minorRatio, major.x * e.minorRatio);
            auto at = [&](int k) {
                double t = p0 + sweep * k / 32.0;
                if (!e.ccw) t = -t;
                return AcGePoint2d(e.center.x + major.x * std::cos(t) + minor.x * std::sin(t),
                                   e.center.y + major.y * std::cos(t) + minor.y * std::sin(t));
            };
            for (int k = 0; k < 32; ++k) r.vertices.push_back({at(k), 0});
            r.end = at(32);
            break;
        }
        case AcDbHatchEdge::kSpline:
            for (const AcGePoint2d& q : splineCurve(e)) r.vertices.push_back({q, 0});
            if (!r.vertices.empty()) {
                r.end = r.vertices.back().pt;
                r.vertices.pop_back();
            }
            break;
    }
    return r;
}

void reverseRun(EdgeRun& r) {
    if (r.vertices.empty()) return;
    std::vector<cadgeom::BulgeVertex> out;
    AcGePoint2d from = r.end;
    for (size_t i = r.vertices.size(); i-- > 0;) {
        out.push_back({from, -r.vertices[i].bulge});
        from = r.vertices[i].pt;
    }
    r.end = from;
    r.vertices = std::move(out);
}

double gap(const AcGePoint2d& a, const AcGePoint2d& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

} // namespace

cadgeom::BulgePath AcDbHatchLoop::path() const {
    cadgeom::BulgePath p;
    p.closed = true;
    if (isPolyline) {
        p.vertices = vertices;
        return p;
    }
    // Files store a loop's edges in any order and direction: chain each to the one whose end lies
    // nearest, so the outline is followed rather than jumping between edges.
    std::vector<EdgeRun> runs;
    for (const AcDbHatchEdge& e : edges) {
        EdgeRun r = edgeRun(e);
        if (!r.vertices.empty()) runs.push_back(std::move(r));
    }
    if (runs.empty()) return p;
    std::vector<bool> used(runs.size(), false);
    size_t current = 0;
    for (size_t n = 0; n < runs.size(); ++n) {
        used[current] = true;
        const EdgeRun& r = runs[current];
        p.vertices.insert(p.vertices.end(), r.vertices.begin(), r.vertices.end());
        size_t best = runs.size();
        double bestGap = 0;
        bool reverse = false;
        for (size_t k = 0; k < runs.size(); ++k) {
            if (used[k]) continue;
            double toStart = gap(r.end, runs[k].vertices.front().pt), toEnd = gap(r.end, runs[k].end);
            if (best == runs.size() || std::min(toStart, toEnd) < bestGap) {
                best = k;
                bestGap = std::min(toStart, toEnd);
                reverse = toEnd < toStart;
            }
        }
        if (best == runs.size()) break;
        if (reverse) reverseRun(runs[best]);
        current = best;
    }
    return p;
}

Acad::ErrorStatus AcDbHatch::setPattern(HatchPatternType type, const ACHAR* name) {
    if (!name) return Acad::eInvalidInput;
    if (type == kPreDefined && !acdbFindHatchPattern(name)) return Acad::eUnknownPattern;
    if (type == kCustomDefined) return Acad::eUnknownPattern; // no pattern files here
    assertWriteEnabled();
    patternType_ = type;
    patternName_ = type == kPreDefined ? acdbFindHatchPattern(name)->name : name;
    rebuildPatternLines();
    return Acad::eOk;
}

void AcDbHatch::setPatternFields(HatchPatternType type, const ACHAR* name, double angle, double scale, bool isDouble) {
    patternType_ = type;
    patternName_ = name ? name : L"";
    angle_ = angle;
    scale_ = scale;
    double_ = isDouble;
}

bool AcDbHatch::isSolidFill() const {
    return acdbSameName(patternName_, L"SOLID");
}

Acad::ErrorStatus AcDbHatch::setPatternAngle(double a) {
    assertWriteEnabled();
    angle_ = a;
    rebuildPatternLines();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::setPatternScale(double s) {
    if (s <= 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    scale_ = s;
    rebuildPatternLines();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::setPatternSpace(double s) {
    if (s <= 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    space_ = s;
    rebuildPatternLines();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::setPatternDouble(bool v) {
    assertWriteEnabled();
    double_ = v;
    rebuildPatternLines();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::setHatchStyle(HatchStyle s) {
    assertWriteEnabled();
    style_ = s;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbHatch::setAssociative(bool v) {
    assertWriteEnabled();
    associative_ = v;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbHatch::setElevation(double e) {
    assertWriteEnabled();
    elevation_ = e;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbHatch::setNormal(const AcGeVector3d& n) {
    return setUnitVector(normal_, n);
}

void AcDbHatch::rebuildPatternLines() {
    lines_.clear();
    std::vector<AcDbHatchPatternLine> base;
    double unit = 1.0;
    if (patternType_ == kUserDefined) {
        AcDbHatchPatternLine line;
        line.offset = AcGeVector2d(0, space_);
        base.push_back(line);
        line.angle = M_PI / 2;
        if (double_) base.push_back(line);
    } else if (const AcDbHatchPattern* p = acdbFindHatchPattern(patternName_.c_str())) {
        base = p->lines;
        AcDbDatabase* db = database() ? database() : acdbWorkingDatabase();
        if (db && db->measurement() == 1) unit = 25.4;
    } else {
        return;
    }
    double s = patternType_ == kUserDefined ? 1.0 : scale_ * unit;
    double c = std::cos(angle_), sn = std::sin(angle_);
    for (const AcDbHatchPatternLine& b : base) {
        AcDbHatchPatternLine l;
        l.angle = b.angle + angle_;
        l.base = AcGePoint2d((b.base.x * c - b.base.y * sn) * s, (b.base.x * sn + b.base.y * c) * s);
        // Offsets stored as the drawing format does: in world axes, scaled.
        double oc = std::cos(b.angle + angle_), os = std::sin(b.angle + angle_);
        l.offset = AcGeVector2d((b.offset.x * oc - b.offset.y * os) * s, (b.offset.x * os + b.offset.y * oc) * s);
        for (double d : b.dashes) l.dashes.push_back(d * s);
        lines_.push_back(l);
    }
}

Acad::ErrorStatus AcDbHatch::getPatternDefinitionAt(int index, double& angle, double& baseX, double& baseY,
                                                    double& offsetX, double& offsetY, AcGeDoubleArray& dashes) const {
    if (index < 0 || size_t(index) >= lines_.size()) return Acad::eInvalidIndex;
    const AcDbHatchPatternLine& l = lines_[size_t(index)];
    angle = l.angle;
    baseX = l.base.x;
    baseY = l.base.y;
    offsetX = l.offset.x;
    offsetY = l.offset.y;
    dashes.removeAll();
    for (double d : l.dashes) dashes.append(d);
    return Acad::eOk;
}

AcGeMatrix3d AcDbHatch::planeToWorld() const {
    return AcGeMatrix3d::planeToWorld(normal_) * AcGeMatrix3d::translation(AcGeVector3d(0, 0, elevation_));
}

Acad::ErrorStatus AcDbHatch::loopFromIds(Adesk::Int32 loopType, const AcDbObjectIdArray& ids,
                                         AcDbHatchLoop& loop) const {
    loop = AcDbHatchLoop();
    loop.type = loopType;
    if (ids.isEmpty()) return Acad::eInvalidInput;
    AcGeMatrix3d toHatch = AcGeMatrix3d::worldToPlane(normal_);
    std::vector<cadgeom::BulgePath> pieces;
    for (AcDbObjectId id : ids) {
        AcDbDatabase* db = id.database();
        auto* curve = AcDbCurve::cast(db ? db->peek(id) : nullptr);
        if (!curve || curve->isErased()) return Acad::eInvalidInput;
        cadgeom::BulgePath path;
        AcGeVector3d n;
        double elev = 0;
        if (!curve->getPlanePath(path, n, elev)) return Acad::eInvalidInput;
        if (!n.isParallelTo(normal_)) return Acad::eNonPlanarEntity;
        // Into the hatch's plane; a curve facing the other way runs the other way round.
        AcGeMatrix3d m = toHatch * AcGeMatrix3d::planeToWorld(n) * AcGeMatrix3d::translation(AcGeVector3d(0, 0, elev));
        bool flipped = n.dotProduct(normal_) < 0;
        for (auto& v : path.vertices) {
            AcGePoint3d q = m * AcGePoint3d(v.pt.x, v.pt.y, 0);
            v.pt = AcGePoint2d(q.x, q.y);
            if (flipped) v.bulge = -v.bulge;
        }
        pieces.push_back(path);
        loop.sourceIds.push_back(id);
    }
    if (pieces.size() == 1) {
        cadgeom::BulgePath& p = pieces.front();
        if (p.vertices.size() < 2) return Acad::eDegenerateGeometry;
        bool closed = p.closed || p.vertices.front().pt.isEqualTo(p.vertices.back().pt, AcGeTol());
        if (!closed) return Acad::eNotClosedPath;
        if (!p.closed) p.vertices.pop_back();
        loop.isPolyline = true;
        loop.vertices = p.vertices;
    } else {
        // A chain: each curve must start where the last one ended, and the chain must close.
        std::vector<cadgeom::BulgeVertex> verts;
        AcGePoint2d first = pieces.front().vertices.front().pt, last = first;
        for (const auto& p : pieces) {
            if (p.closed || p.vertices.empty()) return Acad::eNotClosedPath;
            if (!p.vertices.front().pt.isEqualTo(last, AcGeTol())) return Acad::eNotClosedPath;
            for (size_t i = 0; i + 1 < p.vertices.size(); ++i) verts.push_back(p.vertices[i]);
            last = p.vertices.back().pt;
        }
        AcGeTol tol;
        tol.setEqualPoint(1e-8);
        if (!last.isEqualTo(first, tol)) return Acad::eNotClosedPath;
        loop.isPolyline = true;
        loop.vertices = verts;
    }
    loop.type |= kPolyline;
    if (!associative_) loop.sourceIds.clear();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::appendLoop(Adesk::Int32 loopType, const AcDbObjectIdArray& ids) {
    AcDbHatchLoop loop;
    Acad::ErrorStatus es = loopFromIds(loopType, ids, loop);
    if (es != Acad::eOk) return es;
    assertWriteEnabled();
    loops_.push_back(std::move(loop));
    return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::insertLoopAt(int index, Adesk::Int32 loopType, const AcDbObjectIdArray& ids) {
    if (index < 0 || size_t(index) > loops_.size()) return Acad::eInvalidIndex;
    AcDbHatchLoop loop;
    Acad::ErrorStatus es = loopFromIds(loopType, ids, loop);
    if (es != Acad::eOk) return es;
    assertWriteEnabled();
    loops_.insert(loops_.begin() + index, std::move(loop));
    return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::appendLoop(Adesk::Int32 loopType, const AcGePoint2dArray& vertices,
                                        const AcGeDoubleArray& bulges) {
    if (vertices.length() < 2) return Acad::eDegenerateGeometry;
    if (bulges.length() != 0 && bulges.length() != vertices.length()) return Acad::eInvalidInput;
    AcDbHatchLoop loop;
    loop.type = loopType | kPolyline;
    loop.isPolyline = true;
    for (int i = 0; i < vertices.length(); ++i)
        loop.vertices.push_back({vertices[i], bulges.isEmpty() ? 0 : bulges[i]});
    // A repeated first point closes the loop; drop the copy.
    if (loop.vertices.size() > 2 && loop.vertices.front().pt.isEqualTo(loop.vertices.back().pt))
        loop.vertices.pop_back();
    assertWriteEnabled();
    loops_.push_back(std::move(loop));
    return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::appendLoop(const AcDbHatchLoop& loop) {
    loops_.push_back(loop);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::removeLoopAt(int index) {
    if (index < 0 || size_t(index) >= loops_.size()) return Acad::eInvalidIndex;
    assertWriteEnabled();
    loops_.erase(loops_.begin() + index);
    return Acad::eOk;
}

Adesk::Int32 AcDbHatch::loopTypeAt(int index) const {
    return (index >= 0 && size_t(index) < loops_.size()) ? loops_[size_t(index)].type : 0;
}

Acad::ErrorStatus AcDbHatch::getLoopAt(int index, Adesk::Int32& loopType, AcGePoint2dArray& vertices,
                                       AcGeDoubleArray& bulges) const {
    if (index < 0 || size_t(index) >= loops_.size()) return Acad::eInvalidIndex;
    const AcDbHatchLoop& l = loops_[size_t(index)];
    loopType = l.type;
    vertices.removeAll();
    bulges.removeAll();
    for (const auto& v : l.path().vertices) {
        vertices.append(v.pt);
        bulges.append(v.bulge);
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::getAssocObjIdsAt(int index, AcDbObjectIdArray& ids) const {
    if (index < 0 || size_t(index) >= loops_.size()) return Acad::eInvalidIndex;
    ids.removeAll();
    for (AcDbObjectId id : loops_[size_t(index)].sourceIds) ids.append(id);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::appendSeedPoint(const AcGePoint2d& p) {
    assertWriteEnabled();
    seeds_.push_back(p);
    return Acad::eOk;
}

double AcDbHatch::estimatedLineCount() const {
    AcGePoint2d mn(1e300, 1e300), mx(-1e300, -1e300);
    bool any = false;
    for (const AcDbHatchLoop& l : loops_) {
        cadgeom::BulgePath p = l.path();
        if (p.vertices.empty()) continue;
        AcGePoint2d a, b;
        cadgeom::pathExtents(p, a, b);
        mn.x = std::min(mn.x, a.x);
        mn.y = std::min(mn.y, a.y);
        mx.x = std::max(mx.x, b.x);
        mx.y = std::max(mx.y, b.y);
        any = true;
    }
    if (!any) return 0;
    double total = 0;
    for (const AcDbHatchPatternLine& l : lines_) {
        // Spacing between lines: the offset's part across the line direction.
        AcGeVector2d dir(std::cos(l.angle), std::sin(l.angle));
        double spacing = std::abs(dir.crossProduct(l.offset));
        if (spacing <= 1e-300) continue;
        AcGeVector2d across(-dir.y, dir.x);
        double lo = 1e300, hi = -1e300;
        for (int i = 0; i < 4; ++i) {
            AcGeVector2d corner((i & 1) ? mx.x : mn.x, (i & 2) ? mx.y : mn.y);
            double d = corner.dotProduct(across);
            lo = std::min(lo, d);
            hi = std::max(hi, d);
        }
        total += (hi - lo) / spacing;
    }
    return total;
}

Acad::ErrorStatus AcDbHatch::evaluateHatch(bool) {
    if (isSolidFill()) return Acad::eOk;
    double n = estimatedLineCount();
    if (n > kMaxLines) return Acad::eHatchTooDense;
    if (n < 1) return Acad::eAmbiguousOutput;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::transformBy(const AcGeMatrix3d& m) {
    AcGeMatrix3d full = m * planeToWorld();
    AcGeVector3d nz = m * normal_;
    if (nz.isZeroLength()) return Acad::eCannotScaleNonUniformly;
    bool mirrored = m.det() < 0;
    AcGeVector3d n = nz.normal();
    AcGeMatrix3d inPlane = AcGeMatrix3d::worldToPlane(n) * full;
    if (!inPlane.isUniScaledOrtho()) return Acad::eCannotScaleNonUniformly;
    double s = inPlane.scale();
    assertWriteEnabled();
    auto map = [&](AcGePoint2d& p) {
        AcGePoint3d q = inPlane * AcGePoint3d(p.x, p.y, 0);
        p = AcGePoint2d(q.x, q.y);
    };
    for (AcDbHatchLoop& l : loops_) {
        for (auto& v : l.vertices) {
            map(v.pt);
            if (mirrored) v.bulge = -v.bulge;
        }
        for (AcDbHatchEdge& e : l.edges) {
            // Clockwise arcs store their angles negated; carry the arc's ends through the transform.
            AcGePoint2d from, to;
            if (e.type == AcDbHatchEdge::kCirArc) {
                double a0 = e.ccw ? e.startAngle : -e.startAngle, a1 = e.ccw ? e.endAngle : -e.endAngle;
                from = AcGePoint2d(e.center.x + e.radius * std::cos(a0), e.center.y + e.radius * std::sin(a0));
                to = AcGePoint2d(e.center.x + e.radius * std::cos(a1), e.center.y + e.radius * std::sin(a1));
                map(from);
                map(to);
            }
            map(e.start);
            map(e.end);
            map(e.center);
            e.radius *= s;
            for (auto& q : e.splinePoints) map(q);
            AcGeVector3d ax = inPlane * AcGeVector3d(e.majorAxis.x, e.majorAxis.y, 0);
            e.majorAxis = AcGeVector2d(ax.x, ax.y);
            if (e.type == AcDbHatchEdge::kCirArc) {
                if (mirrored) e.ccw = !e.ccw;
                double a0 = std::atan2(from.y - e.center.y, from.x - e.center.x);
                double a1 = std::atan2(to.y - e.center.y, to.x - e.center.x);
                e.startAngle = e.ccw ? a0 : -a0;
                e.endAngle = e.ccw ? a1 : -a1;
            }
        }
    }
    for (auto& p : seeds_) map(p);
    elevation_ = (inPlane * AcGePoint3d::kOrigin).z;
    normal_ = n;
    AcGeVector3d x = inPlane * AcGeVector3d::kXAxis;
    angle_ += std::atan2(x.y, x.x);
    if (patternType_ != kUserDefined)
        scale_ *= s;
    else
        space_ *= s;
    rebuildPatternLines();
    return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::getGeomExtents(AcDbExtents& ext) const {
    ext = AcDbExtents();
    AcGeMatrix3d p2w = planeToWorld();
    for (const AcDbHatchLoop& l : loops_) {
        cadgeom::BulgePath p = l.path();
        if (p.vertices.empty()) continue;
        AcGePoint2d mn, mx;
        cadgeom::pathExtents(p, mn, mx);
        for (int i = 0; i < 4; ++i) ext.addPoint(p2w * AcGePoint3d((i & 1) ? mx.x : mn.x, (i & 2) ? mx.y : mn.y, 0));
    }
    return ext.isEmpty() ? Acad::eInvalidExtents : Acad::eOk;
}

void AcDbHatch::getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const {
    AcGeMatrix3d full = m * planeToWorld();
    AcGeVector3d nz = full * AcGeVector3d::kZAxis;
    bool exact = full.isUniScaledOrtho() && nz.isParallelTo(AcGeVector3d::kZAxis);
    double sense = (full.det() >= 0 ? 1 : -1) * (nz.z >= 0 ? 1 : -1);
    for (const AcDbHatchLoop& l : loops_) {
        cadgeom::BulgePath p = l.path(), out;
        out.closed = true;
        size_t n = p.vertices.size();
        for (size_t i = 0; i < n; ++i) {
            const auto& a = p.vertices[i];
            if (exact || a.bulge == 0) {
                out.vertices.push_back(
                    {(full * AcGePoint3d(a.pt.x, a.pt.y, 0)).convert2d(), exact ? a.bulge * sense : 0});
                continue;
            }
            const auto& b = p.vertices[(i + 1) % n];
            for (int k = 0; k < 16; ++k) {
                AcGePoint2d q = cadgeom::pointOnSegment(a.pt, b.pt, a.bulge, k / 16.0);
                out.vertices.push_back({(full * AcGePoint3d(q.x, q.y, 0)).convert2d(), 0});
            }
        }
        paths.push_back(std::move(out));
    }
}

void AcDbHatch::collectReferences(std::vector<AcDbObjectId*>& refs) {
    AcDbEntity::collectReferences(refs);
    for (auto& l : loops_)
        for (auto& id : l.sourceIds) refs.push_back(&id);
}
