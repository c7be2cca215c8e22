#pragma once
// Plan geometry for polygon selection: each entity is reduced to an outline (open or closed
// paths in world XY), indexed in an R-tree by its extents, and then tested exactly.
#include <cstddef>
#include <memory>
#include <vector>

namespace ed {

struct Pt2 {
    double x = 0, y = 0;
};

struct Outline {
    // Each path is a run of points; a closed shape repeats its first point at the end.
    std::vector<std::vector<Pt2>> paths;
    bool empty() const;
    void bounds(double& minX, double& minY, double& maxX, double& maxY) const;
};

enum class PolygonMode { kCrossing, kWindow };

class SpatialIndex {
public:
    SpatialIndex();
    ~SpatialIndex();
    SpatialIndex(const SpatialIndex&) = delete;
    SpatialIndex& operator=(const SpatialIndex&) = delete;

    // Replaces the contents: item i has outline outlines[i].
    void build(std::vector<Outline> outlines);
    size_t size() const;
    // Items chosen by the polygon (in the order they were given). Crossing: inside or crossing
    // an edge; window: entirely inside. False when the polygon is not a simple polygon of at
    // least three distinct points.
    bool select(const std::vector<Pt2>& polygon, PolygonMode mode, std::vector<size_t>& out) const;
    // Items chosen by a rectangle given by two corners.
    void selectBox(Pt2 a, Pt2 b, PolygonMode mode, std::vector<size_t>& out) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace ed
