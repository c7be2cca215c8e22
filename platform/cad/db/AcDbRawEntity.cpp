// Entities kept as read from a file: their outline and extents taken from their tags.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <memory>
#include <vector>

#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbEntity.h"

ACRX_DEFINE_MEMBERS(AcDbRawEntity, AcDbEntity, L"")

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

// The host's class of an entity type, by DXF name and, where the type holds several, its flags (70).
struct HostClass {
    const wchar_t* dxfName;
    int flagsMask, flags; // the flags that pick this class among the type's
    const wchar_t* name;
};

constexpr HostClass hostClasses[] = {
    {L"POLYLINE", 8, 8, L"AcDb3dPolyline"},
    {L"POLYLINE", 16, 16, L"AcDbPolygonMesh"},
    {L"POLYLINE", 64, 64, L"AcDbPolyFaceMesh"},
    {L"POLYLINE", 0, 0, L"AcDb2dPolyline"},
    {L"DIMENSION", 7, 1, L"AcDbAlignedDimension"},
    {L"DIMENSION", 7, 2, L"AcDb2LineAngularDimension"},
    {L"DIMENSION", 7, 3, L"AcDbDiametricDimension"},
    {L"DIMENSION", 7, 4, L"AcDbRadialDimension"},
    {L"DIMENSION", 7, 5, L"AcDb3PointAngularDimension"},
    {L"DIMENSION", 7, 6, L"AcDbOrdinateDimension"},
    {L"DIMENSION", 0, 0, L"AcDbRotatedDimension"},
    {L"ELLIPSE", 0, 0, L"AcDbEllipse"},
    {L"SPLINE", 0, 0, L"AcDbSpline"},
    {L"RAY", 0, 0, L"AcDbRay"},
    {L"XLINE", 0, 0, L"AcDbXline"},
    {L"POINT", 0, 0, L"AcDbPoint"},
    {L"SOLID", 0, 0, L"AcDbSolid"},
    {L"TRACE", 0, 0, L"AcDbTrace"},
    {L"3DFACE", 0, 0, L"AcDbFace"},
    {L"LEADER", 0, 0, L"AcDbLeader"},
    {L"MULTILEADER", 0, 0, L"AcDbMLeader"},
    {L"TOLERANCE", 0, 0, L"AcDbFcf"},
    {L"MLINE", 0, 0, L"AcDbMline"},
    {L"SHAPE", 0, 0, L"AcDbShape"},
    {L"REGION", 0, 0, L"AcDbRegion"},
    {L"3DSOLID", 0, 0, L"AcDb3dSolid"},
    {L"BODY", 0, 0, L"AcDbBody"},
    {L"IMAGE", 0, 0, L"AcDbRasterImage"},
    {L"WIPEOUT", 0, 0, L"AcDbWipeout"},
    {L"OLE2FRAME", 0, 0, L"AcDbOle2Frame"},
    {L"HELIX", 0, 0, L"AcDbHelix"},
    {L"MESH", 0, 0, L"AcDbSubDMesh"},
    {L"LIGHT", 0, 0, L"AcDbLight"},
};

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

// Where an old-style polyline's own tags end: its "0 VERTEX" records follow them.
size_t ownTagsEnd(const AcDbDxfTags& t) {
    for (size_t i = 0; i < t.size(); ++i)
        if (t[i].first == 0) return i;
    return t.size();
}

// Old-style polylines carry their vertices as "0 VERTEX" records inside their tags.
void heavyPolyline(const AcDbDxfTags& t, std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) {
    const size_t mainEnd = ownTagsEnd(t);
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
    // A multileader's 11, 13, 14 and 16 are its planes' normals, its text's direction and its block's scale.
    if (type == L"MULTILEADER") return code == 10 || code == 12 || code == 15;
    if (type == L"IMAGE" || type == L"WIPEOUT" || type == L"TOLERANCE" || type == L"OLE2FRAME" ||
        type.rfind(L"PDFUNDERLAY", 0) == 0 || type.rfind(L"DWFUNDERLAY", 0) == 0 || type.rfind(L"DGNUNDERLAY", 0) == 0)
        return code == 10;
    return true;
}
// A dimension's picture is the block its group 2 names, placed at its group 12: its outline is the
// block's. False when it has none (its points stand for it then).
bool dimensionPicture(const AcDbRawEntity& dim, std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) {
    const std::wstring& type = dim.dxfName();
    if (type != L"DIMENSION" && type != L"ARC_DIMENSION" && type != L"LARGE_RADIAL_DIMENSION") return false;
    AcDbDatabase* db = dim.database();
    const AcDbDxfTags& t = dim.tags();
    std::wstring name;
    AcGePoint3d at;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i].first == 2 && name.empty()) name = t[i].second;
        if (t[i].first == 12) at = pointAt(t, i);
    }
    AcDbObjectId block;
    AcDbBlockTable* table = nullptr;
    if (!db || name.empty() || db->getBlockTable(table, AcDb::kForRead) != Acad::eOk) return false;
    table->getAt(name.c_str(), block);
    table->close();
    if (block.isNull()) return false;
    // A picture that holds a dimension drawn by that picture again, or a layout's block, adds nothing: the
    // insert's expansion stops there as every expansion does.
    AcDbBlockReference(AcGeMatrix3d::planeToWorld(normalOf(t, 0, t.size())) * at, block).getSelectionGeometry(paths, m);
    return true;
}
} // namespace

void AcDbRawEntity::getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const {
    if (dxfName_ == L"POLYLINE") return heavyPolyline(tags_, paths, m);
    if (dimensionPicture(*this, paths, m)) return;
    if (dxfName_ == L"ELLIPSE") return ellipse(tags_, paths, m);
    if (dxfName_ == L"RAY" || dxfName_ == L"XLINE") return; // endless: no outline to select by
    cadgeom::BulgePath path;
    if (dxfName_ == L"SPLINE") {
        // A spline by its curve, which its control points only steer (64 points a span, as it is drawn).
        int degree = 3;
        std::vector<double> knots, weights;
        std::vector<AcGePoint3d> control;
        for (size_t i = 0; i < tags_.size(); ++i) {
            if (tags_[i].first == 71) degree = std::clamp(flagsOf(tags_[i].second), 1, 25);
            if (tags_[i].first == 40) knots.push_back(num(tags_[i].second));
            if (tags_[i].first == 41) weights.push_back(num(tags_[i].second));
            if (tags_[i].first == 10) control.push_back(pointAt(tags_, i));
        }
        const std::vector<AcGePoint3d> curve = cadgeom::splineCurve(degree, knots, weights, control, 64, 4000);
        if (!curve.empty()) {
            for (const AcGePoint3d& p : curve) path.vertices.push_back({(m * p).convert2d(), 0});
            paths.push_back(std::move(path));
            return;
        }
    }
    std::vector<AcGePoint3d> pts;
    pts.reserve(tags_.size() / 3 + 1); // a point takes three tags: one allocation for an outline expanded often
    for (size_t i = 0; i < tags_.size(); ++i)
        if (isPosition(dxfName_, tags_[i].first)) pts.push_back(pointAt(tags_, i));
    if (pts.empty()) return;
    path.vertices.reserve(pts.size());
    if (dxfName_ == L"SOLID" || dxfName_ == L"TRACE") {
        // Corners come as 1, 2, 3, 4 with the outline running 1, 2, 4, 3, in the plane of the extrusion.
        if (pts.size() == 4) std::swap(pts[2], pts[3]);
        path.closed = true;
        const AcGeVector3d normal = normalOf(tags_, 0, tags_.size());
        if (normal != AcGeVector3d::kZAxis)
            for (AcGePoint3d& p : pts) p = AcGeMatrix3d::planeToWorld(normal) * p;
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

// ---------------------------------------------------------------- lightweight form of an old-style polyline

Acad::ErrorStatus AcDbPolyline::convertFrom(AcDbEntity*& entity, Adesk::Boolean transferId) {
    const AcDbRawEntity* raw = AcDbRawEntity::cast(entity);
    if (!raw || raw->dxfName() != L"POLYLINE") return Acad::eWrongObjectType;
    // Replacing the entity in its database is no stand-in's business: only the copy is made.
    if (transferId) return Acad::eNotImplementedYet;
    const AcDbDxfTags& t = raw->tags();
    const size_t mainEnd = ownTagsEnd(t);
    int flags = 0;
    double elevation = 0, thickness = 0, startWidth = 0, endWidth = 0;
    for (size_t i = 0; i < mainEnd; ++i) {
        switch (t[i].first) {
            case 70:
                flags = flagsOf(t[i].second);
                break;
            case 30:
                elevation = num(t[i].second);
                break;
            case 39:
                thickness = num(t[i].second);
                break;
            case 40:
                startWidth = num(t[i].second);
                break;
            case 41:
                endWidth = num(t[i].second);
                break;
            default:
                break;
        }
    }
    // 3D polylines, meshes and polyface meshes have no plane of their own.
    if (flags & (8 | 16 | 64)) return Acad::eNotApplicable;
    std::vector<Vertex> vertices;
    for (size_t i = mainEnd; i < t.size(); ++i) {
        if (t[i].first != 0 || t[i].second != L"VERTEX") continue;
        size_t end = i + 1;
        while (end < t.size() && t[end].first != 0) ++end;
        Vertex v;
        v.startWidth = startWidth;
        v.endWidth = endWidth;
        int vflags = 0;
        for (size_t k = i + 1; k < end; ++k) {
            const double value = num(t[k].second);
            if (t[k].first == 10) v.pt = pointAt(t, k).convert2d();
            if (t[k].first == 40) v.startWidth = value;
            if (t[k].first == 41) v.endWidth = value;
            if (t[k].first == 42) v.bulge = value;
            if (t[k].first == 70) vflags = flagsOf(t[k].second);
        }
        // A spline's frame points steer the curve but are not on it.
        if (!(vflags & 16)) vertices.push_back(v);
        i = end - 1;
    }
    assertWriteEnabled();
    verts_ = std::move(vertices);
    closed_ = (flags & 1) != 0;
    plinegen_ = (flags & 128) != 0;
    elevation_ = elevation;
    thickness_ = thickness;
    constantWidth_ = 0;
    normal_ = normalOf(t, 0, mainEnd);
    return Acad::eOk;
}

AcRxClass* AcDbRawEntity::isA() const {
    // One class object per host class, each a kind of this one so that casts still find it; a type the
    // host has no class of its own for is a proxy there.
    static std::vector<std::unique_ptr<AcRxClass>> made(std::size(hostClasses) + 1);
    int flags = 0;
    for (size_t i = 0, end = ownTagsEnd(tags_); i < end; ++i)
        if (tags_[i].first == 70) flags = flagsOf(tags_[i].second);
    size_t found = std::size(hostClasses);
    for (size_t i = 0; i < std::size(hostClasses); ++i)
        if (dxfName_ == hostClasses[i].dxfName && (flags & hostClasses[i].flagsMask) == hostClasses[i].flags) {
            found = i;
            break;
        }
    if (!made[found])
        made[found] = std::make_unique<AcRxClass>(
            found < std::size(hostClasses) ? hostClasses[found].name : L"AcDbProxyEntity", desc(), L"");
    return made[found].get();
}
