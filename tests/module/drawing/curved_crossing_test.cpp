// Boundaries beside a curved wall of 10 m radius: a corner a millimetre inside the wall is no
// crossing, one reaching a few millimetres through it is, wherever along the wall it comes.
#include <gtest/gtest.h>

#include <cmath>

#include "DrawingTestSupport.h"

namespace {

const double quarter = std::tan(M_PI / 8);
// Half-way between the points of sixteen chords of a quarter circle, where they stray furthest.
const double between = 42.1875 * M_PI / 180;

drawingtest::Vertex at(double radius, double angle) {
    return {radius * std::cos(angle), radius * std::sin(angle), 0};
}

// A room beyond the wall whose slot reaches towards it, its tip at that radius.
std::vector<drawingtest::Vertex> slotRoom(double tip) {
    const double slot = 0.3 * M_PI / 180;
    return {{10000, 0, 0},     {16000, 0, 0},
            {16000, 14300, 0}, at(10100, between - slot),
            at(tip, between),  at(10100, between + slot),
            {16000, 14700, 0}, {16000, 16000, 0},
            {0, 16000, 0},     {0, 10000, -quarter}};
}

TEST(CurvedWallCrossing, ACornerAMillimetreInsideTheWallIsNoCrossingAndOneThroughItIs) {
    drawingtest::expectCrossings({
        {"corner 10 mm inside", {{0, 0, 0}, {10000, 0, quarter}, {0, 10000, 0}, at(9990, between)}, false},
        {"corner 1 mm inside", {{0, 0, 0}, {10000, 0, quarter}, {0, 10000, 0}, at(9999, between)}, false},
        {"corner 1 mm inside where a coarse chord meets the wall",
         {{0, 0, 0}, {10000, 0, quarter}, {0, 10000, 0}, at(9999, M_PI / 4)},
         false},
        {"corner 1 mm outside", {{0, 0, 0}, {10000, 0, quarter}, {0, 10000, 0}, at(10001, between)}, true},
        // Touching the wall at one point is refused as a crossing is.
        {"corner on the wall", {{0, 0, 0}, {10000, 0, quarter}, {0, 10000, 0}, at(10000, M_PI / 4)}, true},
        {"room beyond the wall, a slot ending 1 mm short of it", slotRoom(10001), false},
        {"room beyond the wall, a slot 5 mm through it", slotRoom(9995), true},
        {"room beyond the wall, a slot 1 mm through it", slotRoom(9999), true},
    });
}

} // namespace
