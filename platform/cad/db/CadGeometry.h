#pragma once
// Plane geometry for polygon selection and polyline measures: bulged paths (straight and arc
// segments), point-in-polygon, segment and arc crossing tests.
#include <vector>

#include "cad/db/AcGe.h"

namespace cadgeom {

// One vertex of a path: the bulge is tan(sweep / 4) of the arc to the next vertex (0: straight,
// positive: counter-clockwise).
struct BulgeVertex {
    AcGePoint2d pt;
    double bulge = 0;
};

// A path in world X-Y: an outline, a curve, or a single point (one vertex).
struct BulgePath {
    std::vector<BulgeVertex> vertices;
    bool closed = false;
};

// An arc of a circle in the plane; angles in radians, counter-clockwise from start to end.
struct Arc2d {
    AcGePoint2d center;
    double radius = 0;
    double startAngle = 0;
    double endAngle = 0; // > startAngle; endAngle - startAngle is the sweep (up to 2 pi)
};

// The arc of a bulged segment from a to b (bulge non-zero).
Arc2d arcFromBulge(const AcGePoint2d& a, const AcGePoint2d& b, double bulge);
double segmentLength(const AcGePoint2d& a, const AcGePoint2d& b, double bulge);
// Signed area enclosed between the chord a-b and its arc (positive for positive bulge).
double bulgeSegmentArea(const AcGePoint2d& a, const AcGePoint2d& b, double bulge);
// Signed area of a closed bulged path (counter-clockwise positive).
double pathSignedArea(const BulgePath& path);
// Length of a path, the closing segment included when closed.
double pathLength(const BulgePath& path);
// Extents of a path, arc extremes included.
void pathExtents(const BulgePath& path, AcGePoint2d& mn, AcGePoint2d& mx);
// The point at a distance along one segment.
AcGePoint2d pointOnSegment(const AcGePoint2d& a, const AcGePoint2d& b, double bulge, double fraction);

// Polygon given by its corners (closed implicitly). Points on the boundary count as inside.
bool pointInPolygon(const AcGePoint2d& p, const std::vector<AcGePoint2d>& polygon);
// Closed segments touching or crossing.
bool segmentsIntersect(const AcGePoint2d& a1, const AcGePoint2d& a2, const AcGePoint2d& b1, const AcGePoint2d& b2);
bool segmentIntersectsArc(const AcGePoint2d& a, const AcGePoint2d& b, const Arc2d& arc);
bool angleOnArc(double angle, const Arc2d& arc);
// True when a segment of the path (arcs included) crosses or touches an edge of the polygon.
bool pathCrossesPolygon(const BulgePath& path, const std::vector<AcGePoint2d>& polygon);
// True when the whole path lies inside the polygon (no crossing, a vertex inside).
bool pathInsidePolygon(const BulgePath& path, const std::vector<AcGePoint2d>& polygon);

// A B-spline of the degree (rational where the weights are not all one; no weights is all one) by its
// control points and knots, at stepsPerSpan points a span and at most maxSteps in all; empty where the
// knots do not fit the control points.
std::vector<AcGePoint3d> splineCurve(int degree, const std::vector<double>& knots, std::vector<double> weights,
                                     const std::vector<AcGePoint3d>& control, size_t stepsPerSpan, size_t maxSteps);

} // namespace cadgeom
