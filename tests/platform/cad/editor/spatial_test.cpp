#include "cad/editor/EdSpatial.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ed;

namespace {

Outline square(double x, double y, double size) {
    return Outline{{{{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}, {x, y}}}};
}

std::vector<size_t> pick(const SpatialIndex& idx, const std::vector<Pt2>& poly, PolygonMode m) {
    std::vector<size_t> out;
    EXPECT_TRUE(idx.select(poly, m, out));
    return out;
}

} // namespace

TEST(SpatialIndex, CrossingTakesInsideAndCrossingWindowOnlyInside) {
    SpatialIndex idx;
    // 0 inside, 1 crossing the right edge, 2 outside, 3 a point inside, 4 a frame around the
    // polygon: it neither lies inside nor crosses an edge.
    idx.build({square(1, 1, 1), square(9, 1, 2), square(20, 20, 1), Outline{{{{5, 5}}}}, square(-5, -5, 30)});
    std::vector<Pt2> poly{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    EXPECT_EQ(pick(idx, poly, PolygonMode::kCrossing), (std::vector<size_t>{0, 1, 3}));
    EXPECT_EQ(pick(idx, poly, PolygonMode::kWindow), (std::vector<size_t>{0, 3}));
}

TEST(SpatialIndex, ConcavePolygonLeavesTheNotchOut) {
    SpatialIndex idx;
    // An L-shaped room: the square at (7,7) lies in the notch, inside the bounding box only.
    idx.build({square(7, 7, 1), square(1, 7, 1)});
    std::vector<Pt2> ell{{0, 0}, {10, 0}, {10, 5}, {5, 5}, {5, 10}, {0, 10}};
    EXPECT_EQ(pick(idx, ell, PolygonMode::kCrossing), (std::vector<size_t>{1}));
    EXPECT_EQ(pick(idx, ell, PolygonMode::kWindow), (std::vector<size_t>{1}));
}

TEST(SpatialIndex, OpenPathsAndClockwisePolygons) {
    SpatialIndex idx;
    // A line passing through without an end inside is still crossing.
    idx.build({Outline{{{{-5, 5}, {15, 5}}}}, Outline{{{{2, 2}, {3, 3}}}}});
    std::vector<Pt2> clockwise{{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}};
    EXPECT_EQ(pick(idx, clockwise, PolygonMode::kCrossing), (std::vector<size_t>{0, 1}));
    EXPECT_EQ(pick(idx, clockwise, PolygonMode::kWindow), (std::vector<size_t>{1}));
}

TEST(SpatialIndex, DegenerateAndSelfCrossingPolygonsAreRefused) {
    SpatialIndex idx;
    idx.build({square(0, 0, 1)});
    std::vector<size_t> out;
    EXPECT_FALSE(idx.select({{0, 0}, {1, 1}}, PolygonMode::kCrossing, out));
    EXPECT_FALSE(idx.select({{0, 0}, {0, 0}, {0, 0}, {1, 1}}, PolygonMode::kCrossing, out));
    EXPECT_FALSE(idx.select({{0, 0}, {2, 2}, {2, 0}, {0, 2}}, PolygonMode::kCrossing, out));
    EXPECT_FALSE(idx.select({{0, 0}, {NAN, 1}, {1, 1}}, PolygonMode::kCrossing, out));
    EXPECT_TRUE(out.empty());
}

TEST(SpatialIndex, ManyItemsMatchABruteForceCount) {
    std::vector<Outline> items;
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) items.push_back(square(i * 2.0, j * 2.0, 1.0));
    SpatialIndex idx;
    idx.build(items);
    // Squares at even coordinates 10..28 fit inside (9.5, 29.5); 10 x 10 of them.
    std::vector<Pt2> window{{9.5, 9.5}, {29.5, 9.5}, {29.5, 29.5}, {9.5, 29.5}};
    EXPECT_EQ(pick(idx, window, PolygonMode::kWindow).size(), 100u);
    // The squares at 10 are crossed by the edge at 10.5; those at 8 end at 9 and stay out.
    std::vector<Pt2> crossing{{10.5, 10.5}, {29.5, 10.5}, {29.5, 29.5}, {10.5, 29.5}};
    EXPECT_EQ(pick(idx, crossing, PolygonMode::kCrossing).size(), 100u);
}
