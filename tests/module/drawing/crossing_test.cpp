// Which closed boundaries count as crossing themselves: those whose edges, arcs included, cross or
// touch another edge, so that their lobes' areas offset each other.
#include <gtest/gtest.h>

#include "DrawingTestSupport.h"

namespace {

TEST(BoundaryCrossing, OnlyEdgesThatCrossOrTouchAnotherEdgeCount) {
    drawingtest::expectCrossings({
        {"square", {{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}, {0, 1000, 0}}, false},
        {"square drawn clockwise", {{0, 0, 0}, {0, 1000, 0}, {1000, 1000, 0}, {1000, 0, 0}}, false},
        {"bow tie of equal lobes", {{0, 0, 0}, {8000, 5000, 0}, {8000, 0, 0}, {0, 5000, 0}}, true},
        {"bow tie of unequal lobes", {{0, 0, 0}, {8000, 5000, 0}, {8000, 0, 0}, {0, 8000, 0}}, true},
        {"corner touching an edge", {{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}, {500, 0, 0}, {0, 1000, 0}}, true},
        // Turns one way at every corner, but through two whole turns.
        {"star of five points in one stroke",
         {{0, 1000, 0}, {588, -809, 0}, {-951, 309, 0}, {951, 309, 0}, {-588, -809, 0}},
         true},
        {"all points on one line", {{0, 0, 0}, {4000, 0, 0}, {2000, 0, 0}}, false},
        {"two points", {{0, 0, 0}, {1000, 0, 0}}, false},
        {"side bowed outwards", {{0, 0, 1.0}, {1000, 0, 0}, {1000, 200, 0}, {0, 200, 0}}, false},
        {"side bowed inwards through the opposite one",
         {{0, 0, -1.0}, {1000, 0, 0}, {1000, 200, 0}, {0, 200, 0}},
         true},
        {"circle of two arcs", {{0, 0, 1.0}, {1000, 0, 1.0}}, false},
    });
}

} // namespace
