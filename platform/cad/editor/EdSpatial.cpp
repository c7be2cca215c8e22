#include "cad/editor/EdSpatial.h"

// Boost.Geometry's rescaling policy trips a false maybe-uninitialized warning at -O2.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <boost/geometry.hpp>
#include <boost/geometry/geometries/box.hpp>
#include <boost/geometry/geometries/linestring.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>
#include <boost/geometry/index/rtree.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;

namespace ed {
namespace {

using BPoint = bg::model::d2::point_xy<double>;
using BBox = bg::model::box<BPoint>;
using BLine = bg::model::linestring<BPoint>;
using BPolygon = bg::model::polygon<BPoint>;
using Entry = std::pair<BBox, size_t>;

struct Shape {
    std::vector<BLine> lines;
    std::vector<BPoint> points; // paths of a single point
};

Shape toShape(const Outline& o) {
    Shape s;
    for (const auto& path : o.paths) {
        if (path.empty()) continue;
        bool degenerate =
            std::all_of(path.begin(), path.end(), [&](const Pt2& p) { return p.x == path[0].x && p.y == path[0].y; });
        if (degenerate) {
            s.points.emplace_back(path[0].x, path[0].y);
            continue;
        }
        BLine l;
        for (const Pt2& p : path) l.emplace_back(p.x, p.y);
        s.lines.push_back(std::move(l));
    }
    return s;
}

bool hitsCrossing(const Shape& s, const BPolygon& poly) {
    for (const BPoint& p : s.points)
        if (bg::covered_by(p, poly)) return true;
    for (const BLine& l : s.lines)
        if (bg::intersects(l, poly)) return true;
    return false;
}

bool insideWindow(const Shape& s, const BPolygon& poly) {
    if (s.points.empty() && s.lines.empty()) return false;
    for (const BPoint& p : s.points)
        if (!bg::covered_by(p, poly)) return false;
    for (const BLine& l : s.lines)
        if (!bg::covered_by(l, poly)) return false;
    return true;
}

} // namespace

bool Outline::empty() const {
    for (const auto& p : paths)
        if (!p.empty()) return false;
    return true;
}

void Outline::bounds(double& minX, double& minY, double& maxX, double& maxY) const {
    minX = minY = std::numeric_limits<double>::max();
    maxX = maxY = std::numeric_limits<double>::lowest();
    for (const auto& path : paths)
        for (const Pt2& p : path) {
            minX = std::min(minX, p.x);
            minY = std::min(minY, p.y);
            maxX = std::max(maxX, p.x);
            maxY = std::max(maxY, p.y);
        }
}

struct SpatialIndex::Impl {
    std::vector<Shape> shapes;
    bgi::rtree<Entry, bgi::rstar<16>> tree;
};

SpatialIndex::SpatialIndex() : impl_(std::make_unique<Impl>()) {}
SpatialIndex::~SpatialIndex() = default;

void SpatialIndex::build(std::vector<Outline> outlines) {
    impl_->shapes.clear();
    impl_->shapes.reserve(outlines.size());
    std::vector<Entry> entries;
    entries.reserve(outlines.size());
    for (size_t i = 0; i < outlines.size(); ++i) {
        impl_->shapes.push_back(toShape(outlines[i]));
        if (outlines[i].empty()) continue;
        double x0, y0, x1, y1;
        outlines[i].bounds(x0, y0, x1, y1);
        if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) continue;
        entries.emplace_back(BBox(BPoint(x0, y0), BPoint(x1, y1)), i);
    }
    // Packing construction: one bulk load, far faster than inserting one by one.
    impl_->tree = bgi::rtree<Entry, bgi::rstar<16>>(entries.begin(), entries.end());
}

size_t SpatialIndex::size() const {
    return impl_->shapes.size();
}

bool SpatialIndex::select(const std::vector<Pt2>& polygon, PolygonMode mode, std::vector<size_t>& out) const {
    std::vector<Pt2> pts;
    for (const Pt2& p : polygon) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return false;
        if (pts.empty() || pts.back().x != p.x || pts.back().y != p.y) pts.push_back(p);
    }
    while (pts.size() > 1 && pts.back().x == pts.front().x && pts.back().y == pts.front().y) pts.pop_back();
    if (pts.size() < 3) return false;
    BPolygon poly;
    for (const Pt2& p : pts) bg::append(poly.outer(), BPoint(p.x, p.y));
    bg::append(poly.outer(), BPoint(pts[0].x, pts[0].y));
    bg::correct(poly);
    if (!bg::is_valid(poly)) return false;
    BBox env;
    bg::envelope(poly, env);
    std::vector<Entry> candidates;
    if (mode == PolygonMode::kWindow)
        impl_->tree.query(bgi::covered_by(env), std::back_inserter(candidates));
    else
        impl_->tree.query(bgi::intersects(env), std::back_inserter(candidates));
    std::vector<size_t> chosen;
    for (const Entry& e : candidates) {
        const Shape& s = impl_->shapes[e.second];
        bool hit = mode == PolygonMode::kCrossing ? hitsCrossing(s, poly) : insideWindow(s, poly);
        if (hit) chosen.push_back(e.second);
    }
    std::sort(chosen.begin(), chosen.end());
    out.insert(out.end(), chosen.begin(), chosen.end());
    return true;
}

void SpatialIndex::selectBox(Pt2 a, Pt2 b, PolygonMode mode, std::vector<size_t>& out) const {
    double x0 = std::min(a.x, b.x), x1 = std::max(a.x, b.x), y0 = std::min(a.y, b.y), y1 = std::max(a.y, b.y);
    if (x0 == x1 || y0 == y1) return;
    select({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, mode, out);
}

} // namespace ed
