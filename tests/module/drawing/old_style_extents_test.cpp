// The extents a space is zoomed to when its boundary is an old-style 2D polyline, as every boundary of
// an R12 drawing is: those of its lightweight form, arcs included. No command zooms to a space, so the
// toolbox is asked directly.
#include <gtest/gtest.h>

#include "DrawingTestSupport.h"
#include "drawing/AcadUtilities.h"

using drawingtest::append;
using drawingtest::defineBlock;

namespace {

// A closed 2D polyline kept as read, through (x, y, bulge of the segment that starts there).
AcDbRawEntity* oldStyle(std::initializer_list<drawingtest::Vertex> vertices, int flags = 1) {
    AcDbDxfTags tags = {{66, L"1"}, {10, L"0"}, {20, L"0"}, {30, L"0"}, {70, std::to_wstring(flags)}};
    for (const drawingtest::Vertex& v : vertices)
        tags.insert(tags.end(), {{0, L"VERTEX"},
                                 {8, L"0"},
                                 {10, std::to_wstring(v.x)},
                                 {20, std::to_wstring(v.y)},
                                 {30, L"0"},
                                 {42, std::to_wstring(v.bulge)}});
    tags.insert(tags.end(), {{0, L"SEQEND"}, {8, L"0"}});
    return new AcDbRawEntity(L"POLYLINE", tags);
}

using OldStyleExtents = drawingtest::DrawingDatabase;

TEST_F(OldStyleExtents, ASpaceWhoseBoundaryIsA2DPolylineHasItsExtents) {
    struct Case {
        const char* what;
        AcDbRawEntity* boundary;
        bool found;
        AcGePoint3d low, high; // with a margin of 10, the block scaled twice at (1000, 2000)
    };
    const Case cases[] = {
        // 100 wide and 50 high, its top a half circle rising to 100.
        {"a bowed room",
         oldStyle({{0, 0, 0}, {100, 0, 0}, {100, 50, 1.0}, {0, 50, 0}}),
         true,
         {980, 1980, 0},
         {1220, 2220, 0}},
        // A 3D polyline bounds no room: the block has nothing to zoom to.
        {"a 3D polyline", oldStyle({{0, 0, 0}, {100, 0, 0}, {100, 50, 0}}, 8), false, {1, 2, 3}, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        const std::wstring name = L"ROOM-" + std::to_wstring(&c - cases);
        AcDbObjectId room = defineBlock(db, name.c_str());
        // The first polyline is the boundary, whatever comes before it.
        append(db, new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d(0, 0, 1), 5000), name.c_str());
        append(db, c.boundary, name.c_str());
        auto* insert = new AcDbBlockReference(AcGePoint3d(1000, 2000, 0), room);
        insert->setScaleFactors(AcGeScale3d(2, 2, 1));
        AcDbObjectId insertId = append(db, insert);

        AcDbEntity* entity = nullptr;
        ASSERT_EQ(acdbOpenAcDbEntity(entity, insertId, AcDb::kForRead), Acad::eOk);
        AcGePoint3d low(1, 2, 3), high(1, 2, 3);
        EXPECT_EQ(CAcadUtilities().getBlockExtents(entity, low, high, 10.0), c.found ? TRUE : FALSE) << c.what;
        entity->close();
        EXPECT_TRUE(low.isEqualTo(c.low)) << c.what << ": " << low.x << "," << low.y;
        EXPECT_TRUE(high.isEqualTo(c.high)) << c.what << ": " << high.x << "," << high.y;
    }
    EXPECT_EQ(db.openObjectCount(), 0);
}

} // namespace
