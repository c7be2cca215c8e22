// Drawing the entities kept as read from the file, each kind by its own rule: old-style polylines and meshes,
// solids and traces filled, faces by their visible edges, splines and multilines, endless lines, points and
// wipeouts. A kind without a rule is left out of the plot and named once.
#include "cad/plot/PlotRenderer.h"

#include "cad/editor/EdPrintf.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace plot::drawing {

namespace {

using Tags = AcDbDxfTags;

double num(const std::wstring& v) {
    const double d = std::wcstod(v.c_str(), nullptr);
    return std::isfinite(d) ? d : 0.0;
}

int integer(const std::wstring& v) {
    const double d = num(v);
    return d >= -2147483648.0 && d <= 2147483647.0 ? int(d) : 0;
}

// The point of group code c at i, with its y (c + 10) and z (c + 20) where they follow.
AcGePoint3d pointAt(const Tags& t, size_t i) {
    const int code = t[i].first;
    AcGePoint3d p(num(t[i].second), 0, 0);
    if (i + 1 < t.size() && t[i + 1].first == code + 10) p.y = num(t[i + 1].second);
    if (i + 2 < t.size() && t[i + 2].first == code + 20) p.z = num(t[i + 2].second);
    return p;
}

std::vector<AcGePoint3d> pointsOf(const Tags& t, int code, size_t from = 0, size_t to = SIZE_MAX) {
    std::vector<AcGePoint3d> points;
    for (size_t i = from; i < std::min(to, t.size()); ++i)
        if (t[i].first == code) points.push_back(pointAt(t, i));
    return points;
}

int firstInteger(const Tags& t, int code, int otherwise = 0, size_t to = SIZE_MAX) {
    for (size_t i = 0; i < std::min(to, t.size()); ++i)
        if (t[i].first == code) return integer(t[i].second);
    return otherwise;
}

// A run of world points, mapped by m, as a path (closed or not).
void addPoints(Ctx& c, const std::vector<AcGePoint3d>& points, const AcGeMatrix3d& m, bool closed) {
    for (size_t i = 0; i < points.size(); ++i) {
        const AcGePoint3d q = m * points[i];
        if (i == 0)
            cairo_move_to(c.cr, q.x, q.y);
        else
            cairo_line_to(c.cr, q.x, q.y);
    }
    if (closed && points.size() > 2) cairo_close_path(c.cr);
}

void stroke(Ctx& c, const Rgb& rgb) {
    setColour(c, rgb);
    strokeDevice(c, c.thinLine);
}

// Where an old-style polyline's own tags end: its vertex records follow.
size_t ownEnd(const Tags& t) {
    for (size_t i = 0; i < t.size(); ++i)
        if (t[i].first == 0) return i;
    return t.size();
}

struct Vertex {
    AcGePoint3d at;
    int flags = 0;
    int indices[4] = {0, 0, 0, 0}; // a polyface's face record: its corners, negative where the edge is hidden
};

std::vector<Vertex> verticesOf(const Tags& t) {
    std::vector<Vertex> vertices;
    for (size_t i = ownEnd(t); i < t.size(); ++i) {
        if (t[i].first != 0) continue;
        if (t[i].second != L"VERTEX") continue;
        Vertex v;
        for (size_t k = i + 1; k < t.size() && t[k].first != 0; ++k) {
            const int code = t[k].first;
            if (code == 10) v.at = pointAt(t, k);
            if (code == 70) v.flags = integer(t[k].second);
            if (code >= 71 && code <= 74) v.indices[code - 71] = integer(t[k].second);
        }
        vertices.push_back(v);
    }
    return vertices;
}

void drawOldPolyline(Ctx& c, AcDbRawEntity* e, const AcGeMatrix3d& m, const Rgb& rgb) {
    const Tags& t = e->tags();
    const size_t end = ownEnd(t);
    const int flags = firstInteger(t, 70, 0, end);
    if (!(flags & (8 | 16 | 64))) {
        // A 2D polyline draws as its lightweight form: bulges, widths and the polyline's default widths.
        AcDbPolyline light;
        AcDbEntity* from = e;
        if (light.convertFrom(from, Adesk::kFalse) == Acad::eOk) drawPolyline(c, &light, m, rgb);
        return;
    }
    const std::vector<Vertex> vertices = verticesOf(t);
    if (flags & 64) {
        // A polyface mesh: its corner vertices, then faces naming them; an edge whose index is negative is hidden.
        std::vector<AcGePoint3d> corners;
        for (const Vertex& v : vertices)
            if ((v.flags & 64) && (v.flags & 128)) corners.push_back(v.at);
        for (const Vertex& f : vertices) {
            if (!(f.flags & 128) || (f.flags & 64)) continue;
            int n = 0;
            while (n < 4 && f.indices[n] != 0) ++n;
            for (int k = 0; k < n; ++k) {
                // Wide enough for the magnitude of the most negative index a file can hold.
                const long long a = f.indices[k], b = std::llabs(f.indices[(k + 1) % n]);
                if (a <= 0 || size_t(a) > corners.size() || b == 0 || size_t(b) > corners.size()) continue;
                addPoints(c, {corners[size_t(a) - 1], corners[size_t(b) - 1]}, m, false);
            }
        }
    } else if (flags & 16) {
        // A polygon mesh: M rows of N vertices, each row and each column a line, closed where the flags say.
        const int rows = firstInteger(t, 71, 0, end), columns = firstInteger(t, 72, 0, end);
        if (rows > 0 && columns > 0 && size_t(rows) * size_t(columns) <= vertices.size()) {
            auto at = [&](int r, int col) { return vertices[size_t(r) * size_t(columns) + size_t(col)].at; };
            for (int r = 0; r < rows; ++r) {
                std::vector<AcGePoint3d> line;
                for (int col = 0; col < columns; ++col) line.push_back(at(r, col));
                addPoints(c, line, m, (flags & 32) != 0);
            }
            for (int col = 0; col < columns; ++col) {
                std::vector<AcGePoint3d> line;
                for (int r = 0; r < rows; ++r) line.push_back(at(r, col));
                addPoints(c, line, m, (flags & 1) != 0);
            }
        }
    } else {
        // A 3D polyline through its vertices (a spline's frame points steer it but are not on it).
        std::vector<AcGePoint3d> line;
        for (const Vertex& v : vertices)
            if (!(v.flags & 16)) line.push_back(v.at);
        addPoints(c, line, m, (flags & 1) != 0);
    }
    stroke(c, rgb);
}

// A B-spline (rational where it has weights) by its control points and knots, at so many points per span;
// a spline given only by fit points runs through them as a smooth curve.
void drawSpline(Ctx& c, const Tags& t, const AcGeMatrix3d& m, const Rgb& rgb) {
    const int degree = std::clamp(firstInteger(t, 71, 3), 1, 25);
    std::vector<double> knots, weights;
    for (const auto& [code, value] : t) {
        if (code == 40) knots.push_back(num(value));
        if (code == 41) weights.push_back(num(value));
    }
    const std::vector<AcGePoint3d> control = pointsOf(t, 10), fit = pointsOf(t, 11);
    const std::vector<AcGePoint3d> curve = cadgeom::splineCurve(degree, knots, weights, control, 64, 4000);
    // Each point worked out costs its span's control points.
    if (!charge(c, double(curve.size()) * (degree + 1) / 4, AcDbExpansionBudget::Work::kCurvePoints)) return;
    if (!curve.empty()) {
        addPoints(c, curve, m, false);
    } else if (fit.size() >= 2) {
        // Through the fit points: each piece a cubic whose tangents lean on the neighbouring points.
        std::vector<AcGePoint3d> q;
        for (const AcGePoint3d& f : fit) q.push_back(m * f);
        cairo_move_to(c.cr, q[0].x, q[0].y);
        for (size_t i = 0; i + 1 < q.size(); ++i) {
            const AcGePoint3d& a = q[i > 0 ? i - 1 : 0];
            const AcGePoint3d& d = q[std::min(i + 2, q.size() - 1)];
            const AcGePoint3d &b = q[i], &e = q[i + 1];
            cairo_curve_to(c.cr, b.x + (e.x - a.x) / 6, b.y + (e.y - a.y) / 6, e.x - (d.x - b.x) / 6,
                           e.y - (d.y - b.y) / 6, e.x, e.y);
        }
    } else {
        addPoints(c, control, m, false);
    }
    stroke(c, rgb);
}

// A multiline's element lines: at each vertex each element lies along the mitre at its own offset.
void drawMultiline(Ctx& c, const Tags& t, const AcGeMatrix3d& m, const Rgb& rgb) {
    struct Corner {
        AcGePoint3d at;
        AcGeVector3d mitre;
        std::vector<double> offsets; // each element's first parameter: its distance along the mitre
    };
    std::vector<Corner> corners;
    bool expectOffset = false;
    for (size_t i = 0; i < t.size(); ++i) {
        const int code = t[i].first;
        if (code == 11) {
            corners.push_back({pointAt(t, i), AcGeVector3d(), {}});
        } else if (corners.empty()) {
            continue;
        } else if (code == 13) {
            const AcGePoint3d v = pointAt(t, i);
            corners.back().mitre = AcGeVector3d(v.x, v.y, v.z);
        } else if (code == 74) {
            expectOffset = integer(t[i].second) > 0;
            if (!expectOffset) corners.back().offsets.push_back(0);
        } else if (code == 41 && expectOffset) {
            corners.back().offsets.push_back(num(t[i].second));
            expectOffset = false;
        }
    }
    const bool closed = (firstInteger(t, 71) & 2) != 0;
    // The elements the corners carry: the count the file gives may be anything.
    size_t elements = 0;
    for (const Corner& v : corners) elements = std::max(elements, v.offsets.size());
    for (size_t k = 0; k < elements; ++k) {
        std::vector<AcGePoint3d> line;
        for (const Corner& v : corners)
            if (k < v.offsets.size()) line.push_back(v.at + v.mitre * v.offsets[k]);
        addPoints(c, line, m, closed);
    }
    stroke(c, rgb);
}

// A construction line (both ways) or a ray (one way), drawn across what the plot shows: from the point of the line
// nearest the view's centre, each way by the view's diagonal (a ray not before its base point). Its base point
// may lie far away, where the image's own coordinates could not draw it.
void drawEndless(Ctx& c, const Tags& t, const AcGeMatrix3d& m, const Rgb& rgb, bool bothWays) {
    const std::vector<AcGePoint3d> base = pointsOf(t, 10), toward = pointsOf(t, 11);
    if (base.empty() || toward.empty()) return;
    const AcGePoint3d p = m * base[0];
    const AcGePoint3d q = m * (base[0] + AcGeVector3d(toward[0].x, toward[0].y, toward[0].z));
    const double dx = q.x - p.x, dy = q.y - p.y, len = std::hypot(dx, dy);
    if (!(len > 0)) return; // along the view: a point at most
    const double ux = dx / len, uy = dy / len;
    double x0, y0, x1, y1;
    cairo_clip_extents(c.cr, &x0, &y0, &x1, &y1);
    const double diagonal = std::hypot(x1 - x0, y1 - y0);
    const double nearest = ((x0 + x1) / 2 - p.x) * ux + ((y0 + y1) / 2 - p.y) * uy; // the centre's foot
    double from = nearest - diagonal, to = nearest + diagonal;
    if (!bothWays) from = std::max(from, 0.0);
    if (!std::isfinite(from) || !std::isfinite(to) || !(to > from)) return;
    cairo_move_to(c.cr, p.x + ux * from, p.y + uy * from);
    cairo_line_to(c.cr, p.x + ux * to, p.y + uy * to);
    stroke(c, rgb);
}

// A wipeout hides what lies under it with the paper's white, in drawing order. Its boundary is in the
// picture's pixels from the top left corner, spanned by the u and v vectors from the insertion point.
void drawWipeout(Ctx& c, const Tags& t, const AcGeMatrix3d& m) {
    const std::vector<AcGePoint3d> insert = pointsOf(t, 10), u = pointsOf(t, 11), v = pointsOf(t, 12),
                                   size = pointsOf(t, 13);
    std::vector<AcGePoint3d> boundary = pointsOf(t, 14);
    if (insert.empty() || u.empty() || v.empty() || boundary.size() < 2) return;
    if (boundary.size() == 2)
        boundary = {boundary[0], AcGePoint3d(boundary[1].x, boundary[0].y, 0), boundary[1],
                    AcGePoint3d(boundary[0].x, boundary[1].y, 0)};
    const AcGeVector3d uv(u[0].x, u[0].y, u[0].z), vv(v[0].x, v[0].y, v[0].z);
    const double height = size.empty() ? 1.0 : size[0].y;
    std::vector<AcGePoint3d> corners;
    for (const AcGePoint3d& b : boundary) corners.push_back(insert[0] + uv * (b.x + 0.5) + vv * (height - b.y - 0.5));
    cairo_new_path(c.cr);
    addPoints(c, corners, m, true);
    cairo_set_fill_rule(c.cr, CAIRO_FILL_RULE_EVEN_ODD);
    setColour(c, {1, 1, 1});
    cairo_fill(c.cr);
}

// A 3D face's edges, each but those its flags hide.
void drawFace(Ctx& c, const Tags& t, const AcGeMatrix3d& m, const Rgb& rgb) {
    std::vector<AcGePoint3d> corners;
    for (int code : {10, 11, 12, 13}) {
        const std::vector<AcGePoint3d> at = pointsOf(t, code);
        if (!at.empty()) corners.push_back(at[0]);
    }
    const int hidden = firstInteger(t, 70);
    for (size_t k = 0; k < corners.size(); ++k)
        if (!(hidden & (1 << k))) addPoints(c, {corners[k], corners[(k + 1) % corners.size()]}, m, false);
    stroke(c, rgb);
}

// A subdivision mesh by the edges of its faces, as stored (level 0): the face list runs "count, corners..." from 93.
void drawMesh(Ctx& c, const Tags& t, const AcGeMatrix3d& m, const Rgb& rgb) {
    std::vector<AcGePoint3d> vertices;
    size_t i = 0;
    for (; i < t.size() && t[i].first != 93; ++i)
        if (t[i].first == 10) vertices.push_back(pointAt(t, i));
    std::vector<int> list;
    if (i < t.size()) {
        const long size = integer(t[i].second);
        for (++i; i < t.size() && t[i].first == 90 && long(list.size()) < size; ++i)
            list.push_back(integer(t[i].second));
    }
    for (size_t at = 0; at < list.size();) {
        const size_t n = size_t(std::max(list[at], 0));
        std::vector<AcGePoint3d> face;
        for (size_t k = 1; k <= n && at + k < list.size(); ++k)
            if (list[at + k] >= 0 && size_t(list[at + k]) < vertices.size())
                face.push_back(vertices[size_t(list[at + k])]);
        addPoints(c, face, m, true);
        at += n + 1;
    }
    stroke(c, rgb);
}

} // namespace

void leaveOut(Ctx& c, const std::wstring& kind) {
    if (c.leftOut.insert(kind).second)
        acutPrintf(L"The plot leaves out the drawing's %s entities: it has no way to draw them.\n", kind.c_str());
}

void drawKept(Ctx& c, AcDbRawEntity* e, const AcGeMatrix3d& m, const Rgb& rgb) {
    const std::wstring& kind = e->dxfName();
    const Tags& t = e->tags();
    if (kind == L"POLYLINE") {
        drawOldPolyline(c, e, m, rgb);
    } else if (kind == L"SOLID" || kind == L"TRACE") {
        // Filled: corners 1, 2, 4, 3 in the plane of the extrusion, a triangle when the last two meet.
        std::vector<cadgeom::BulgePath> outline;
        e->getSelectionGeometry(outline, m);
        for (const cadgeom::BulgePath& p : outline) addPath(c, p, AcGeMatrix3d::kIdentity);
        setColour(c, rgb);
        cairo_set_fill_rule(c.cr, CAIRO_FILL_RULE_WINDING);
        cairo_fill_preserve(c.cr);
        c.dashes.clear();
        strokeDevice(c, c.thinLine);
    } else if (kind == L"3DFACE") {
        drawFace(c, t, m, rgb);
    } else if (kind == L"SPLINE" || kind == L"HELIX") {
        // A helix is a spline with its axis after it.
        const auto axis = std::find(t.begin(), t.end(), std::pair<int, std::wstring>(100, L"AcDbHelix"));
        drawSpline(c, axis == t.end() ? t : Tags(t.begin(), axis), m, rgb);
    } else if (kind == L"MESH") {
        drawMesh(c, t, m, rgb);
    } else if (kind == L"MLINE") {
        drawMultiline(c, t, m, rgb);
    } else if (kind == L"XLINE" || kind == L"RAY") {
        drawEndless(c, t, m, rgb, kind == L"XLINE");
    } else if (kind == L"WIPEOUT") {
        drawWipeout(c, t, m);
    } else if (kind == L"POINT") {
        c.dashes.clear();
        const std::vector<AcGePoint3d> at = pointsOf(t, 10);
        if (!at.empty()) addPoints(c, {at[0], at[0]}, m, false);
        stroke(c, rgb);
    } else if (kind == L"ELLIPSE" || kind == L"LEADER") {
        // An ellipse by its curve, a leader along its vertices.
        std::vector<cadgeom::BulgePath> paths;
        e->getSelectionGeometry(paths, m);
        for (const cadgeom::BulgePath& p : paths) addPath(c, p, AcGeMatrix3d::kIdentity);
        stroke(c, rgb);
    } else {
        leaveOut(c, kind);
    }
}

} // namespace plot::drawing
