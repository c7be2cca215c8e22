#include "cad/db/CadGeometry.h"

#include <algorithm>
#include <cmath>

namespace cadgeom {

namespace {
constexpr double kEps = 1e-12;

double normAngle(double a) {
    a = std::fmod(a, 2 * M_PI);
    return a < 0 ? a + 2 * M_PI : a;
}

template <typename F>
void forEachSegment(const BulgePath& p, F f) {
    size_t n = p.vertices.size();
    if (n < 2) return;
    size_t segs = p.closed ? n : n - 1;
    for (size_t i = 0; i < segs; ++i) {
        const BulgeVertex& v = p.vertices[i];
        const BulgeVertex& w = p.vertices[(i + 1) % n];
        f(v.pt, w.pt, v.bulge);
    }
}

double cross(const AcGePoint2d& o, const AcGePoint2d& a, const AcGePoint2d& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

bool onSegment(const AcGePoint2d& p, const AcGePoint2d& a, const AcGePoint2d& b, double tol) {
    return std::min(a.x, b.x) - tol <= p.x && p.x <= std::max(a.x, b.x) + tol && std::min(a.y, b.y) - tol <= p.y &&
           p.y <= std::max(a.y, b.y) + tol;
}
} // namespace

Arc2d arcFromBulge(const AcGePoint2d& a, const AcGePoint2d& b, double bulge) {
    Arc2d arc;
    double dx = b.x - a.x, dy = b.y - a.y, c = std::hypot(dx, dy);
    double theta = 4 * std::atan(bulge);
    if (c <= kEps || bulge == 0) {
        arc.center = a;
        return arc;
    }
    double h = c * (1 - bulge * bulge) / (4 * bulge);
    AcGePoint2d mid((a.x + b.x) / 2, (a.y + b.y) / 2);
    arc.center = AcGePoint2d(mid.x - dy / c * h, mid.y + dx / c * h);
    arc.radius = std::abs(c / (2 * std::sin(theta / 2)));
    const AcGePoint2d& from = bulge > 0 ? a : b;
    arc.startAngle = normAngle(std::atan2(from.y - arc.center.y, from.x - arc.center.x));
    arc.endAngle = arc.startAngle + std::abs(theta);
    return arc;
}

double segmentLength(const AcGePoint2d& a, const AcGePoint2d& b, double bulge) {
    double c = a.distanceTo(b);
    if (bulge == 0 || c <= kEps) return c;
    double theta = std::abs(4 * std::atan(bulge));
    double r = c / (2 * std::sin(theta / 2));
    return std::abs(r * theta);
}

double bulgeSegmentArea(const AcGePoint2d& a, const AcGePoint2d& b, double bulge) {
    double c = a.distanceTo(b);
    if (bulge == 0 || c <= kEps) return 0;
    double theta = std::abs(4 * std::atan(bulge));
    double r = c / (2 * std::sin(theta / 2));
    double area = r * r / 2 * (theta - std::sin(theta));
    return bulge > 0 ? area : -area;
}

double pathSignedArea(const BulgePath& path) {
    BulgePath p = path;
    p.closed = true;
    double s = 0;
    forEachSegment(p, [&](const AcGePoint2d& a, const AcGePoint2d& b, double bulge) {
        s += (a.x * b.y - b.x * a.y) / 2 + bulgeSegmentArea(a, b, bulge);
    });
    return s;
}

double pathLength(const BulgePath& path) {
    double s = 0;
    forEachSegment(path,
                   [&](const AcGePoint2d& a, const AcGePoint2d& b, double bulge) { s += segmentLength(a, b, bulge); });
    return s;
}

bool angleOnArc(double angle, const Arc2d& arc) {
    double sweep = arc.endAngle - arc.startAngle;
    if (sweep >= 2 * M_PI - 1e-12) return true;
    double d = normAngle(angle - arc.startAngle);
    return d <= sweep + 1e-12 || d >= 2 * M_PI - 1e-12;
}

void pathExtents(const BulgePath& path, AcGePoint2d& mn, AcGePoint2d& mx) {
    mn = AcGePoint2d(1e300, 1e300);
    mx = AcGePoint2d(-1e300, -1e300);
    auto add = [&](const AcGePoint2d& p) {
        mn.x = std::min(mn.x, p.x);
        mn.y = std::min(mn.y, p.y);
        mx.x = std::max(mx.x, p.x);
        mx.y = std::max(mx.y, p.y);
    };
    for (const BulgeVertex& v : path.vertices) add(v.pt);
    forEachSegment(path, [&](const AcGePoint2d& a, const AcGePoint2d& b, double bulge) {
        if (bulge == 0 || a.distanceTo(b) <= kEps) return;
        Arc2d arc = arcFromBulge(a, b, bulge);
        for (int k = 0; k < 4; ++k) {
            double ang = k * M_PI / 2;
            if (angleOnArc(ang, arc))
                add(AcGePoint2d(arc.center.x + arc.radius * std::cos(ang), arc.center.y + arc.radius * std::sin(ang)));
        }
    });
}

AcGePoint2d pointOnSegment(const AcGePoint2d& a, const AcGePoint2d& b, double bulge, double f) {
    if (bulge == 0 || a.distanceTo(b) <= kEps) return AcGePoint2d(a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f);
    Arc2d arc = arcFromBulge(a, b, bulge);
    double sweep = arc.endAngle - arc.startAngle;
    double ang = bulge > 0 ? arc.startAngle + sweep * f : arc.endAngle - sweep * f;
    return AcGePoint2d(arc.center.x + arc.radius * std::cos(ang), arc.center.y + arc.radius * std::sin(ang));
}

bool pointInPolygon(const AcGePoint2d& p, const std::vector<AcGePoint2d>& poly) {
    size_t n = poly.size();
    if (n < 3) return false;
    bool inside = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        const AcGePoint2d &a = poly[i], &b = poly[j];
        double scale = std::max({std::abs(a.x), std::abs(a.y), std::abs(b.x), std::abs(b.y), 1.0});
        if (std::abs(cross(a, b, p)) <= 1e-12 * scale * scale && onSegment(p, a, b, 1e-12 * scale)) return true;
        if ((a.y > p.y) != (b.y > p.y)) {
            double x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
            if (p.x < x) inside = !inside;
        }
    }
    return inside;
}

bool segmentsIntersect(const AcGePoint2d& a1, const AcGePoint2d& a2, const AcGePoint2d& b1, const AcGePoint2d& b2) {
    double d1 = cross(b1, b2, a1), d2 = cross(b1, b2, a2), d3 = cross(a1, a2, b1), d4 = cross(a1, a2, b2);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) return true;
    if (d1 == 0 && onSegment(a1, b1, b2, 0)) return true;
    if (d2 == 0 && onSegment(a2, b1, b2, 0)) return true;
    if (d3 == 0 && onSegment(b1, a1, a2, 0)) return true;
    if (d4 == 0 && onSegment(b2, a1, a2, 0)) return true;
    return false;
}

bool segmentIntersectsArc(const AcGePoint2d& a, const AcGePoint2d& b, const Arc2d& arc) {
    double dx = b.x - a.x, dy = b.y - a.y;
    double fx = a.x - arc.center.x, fy = a.y - arc.center.y;
    double A = dx * dx + dy * dy, B = 2 * (fx * dx + fy * dy), C = fx * fx + fy * fy - arc.radius * arc.radius;
    if (A <= kEps) {
        if (std::abs(std::sqrt(fx * fx + fy * fy) - arc.radius) > 1e-9 * std::max(1.0, arc.radius)) return false;
        return angleOnArc(std::atan2(fy, fx), arc);
    }
    double disc = B * B - 4 * A * C;
    if (disc < 0) return false;
    double sq = std::sqrt(disc);
    for (double t : {(-B - sq) / (2 * A), (-B + sq) / (2 * A)}) {
        if (t < -1e-12 || t > 1 + 1e-12) continue;
        double px = a.x + t * dx - arc.center.x, py = a.y + t * dy - arc.center.y;
        if (angleOnArc(std::atan2(py, px), arc)) return true;
    }
    return false;
}

bool pathCrossesPolygon(const BulgePath& path, const std::vector<AcGePoint2d>& poly) {
    size_t n = poly.size();
    if (n < 2) return false;
    bool hit = false;
    forEachSegment(path, [&](const AcGePoint2d& a, const AcGePoint2d& b, double bulge) {
        if (hit) return;
        bool arc = bulge != 0 && a.distanceTo(b) > kEps;
        Arc2d ar;
        if (arc) ar = arcFromBulge(a, b, bulge);
        for (size_t i = 0; i < n && !hit; ++i) {
            const AcGePoint2d &p = poly[i], &q = poly[(i + 1) % n];
            hit = arc ? segmentIntersectsArc(p, q, ar) : segmentsIntersect(a, b, p, q);
        }
    });
    return hit;
}

bool pathInsidePolygon(const BulgePath& path, const std::vector<AcGePoint2d>& poly) {
    if (path.vertices.empty()) return false;
    if (pathCrossesPolygon(path, poly)) return false;
    return pointInPolygon(path.vertices.front().pt, poly);
}

std::vector<AcGePoint3d> splineCurve(int degree, const std::vector<double>& knots, std::vector<double> weights,
                                     const std::vector<AcGePoint3d>& control, size_t stepsPerSpan, size_t maxSteps) {
    const size_t n = control.size(), p = size_t(std::max(degree, 1));
    if (n <= p || knots.size() != n + p + 1 || !(knots[n] > knots[p])) return {};
    if (weights.size() != n) weights.assign(n, 1.0);
    const size_t steps = std::min(maxSteps, stepsPerSpan * (n - p));
    std::vector<AcGePoint3d> curve;
    std::vector<double> x(p + 1), y(p + 1), z(p + 1), w(p + 1);
    // The parameter only grows: each point's span is found on from the last one's.
    size_t span = p;
    for (size_t s = 0; s <= steps; ++s) {
        const double u = knots[p] + (knots[n] - knots[p]) * double(s) / double(steps);
        while (span + 1 < n && knots[span + 1] <= u) ++span;
        // de Boor in homogeneous coordinates.
        for (size_t j = 0; j <= p; ++j) {
            const size_t i = span - p + j;
            w[j] = weights[i];
            x[j] = control[i].x * w[j];
            y[j] = control[i].y * w[j];
            z[j] = control[i].z * w[j];
        }
        for (size_t r = 1; r <= p; ++r)
            for (size_t j = p; j >= r; --j) {
                const size_t i = span - p + j;
                const double den = knots[i + p + 1 - r] - knots[i];
                const double a = den != 0 ? (u - knots[i]) / den : 0;
                x[j] = (1 - a) * x[j - 1] + a * x[j];
                y[j] = (1 - a) * y[j - 1] + a * y[j];
                z[j] = (1 - a) * z[j - 1] + a * z[j];
                w[j] = (1 - a) * w[j - 1] + a * w[j];
            }
        if (w[p] != 0) curve.emplace_back(x[p] / w[p], y[p] / w[p], z[p] / w[p]);
    }
    return curve;
}

} // namespace cadgeom
