// Old-style 2D polylines kept as read, taken into lightweight polylines as a host does when it opens
// an older drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "cad/AcDb.h"

namespace {

// A POLYLINE with its flags and main tags, then a VERTEX record per (x, y, bulge, vertex flags).
struct Corner {
    double x, y, bulge;
    int flags;
};
AcDbRawEntity* oldStyle(int flags, std::initializer_list<Corner> corners, AcDbDxfTags main = {}) {
    AcDbDxfTags tags = {{66, L"1"}, {10, L"0"}, {20, L"0"}, {30, L"0"}, {70, std::to_wstring(flags)}};
    tags.insert(tags.end(), main.begin(), main.end());
    for (const Corner& c : corners) {
        tags.insert(tags.end(), {{0, L"VERTEX"},
                                 {8, L"0"},
                                 {10, std::to_wstring(c.x)},
                                 {20, std::to_wstring(c.y)},
                                 {30, L"0"},
                                 {42, std::to_wstring(c.bulge)},
                                 {70, std::to_wstring(c.flags)}});
    }
    tags.insert(tags.end(), {{0, L"SEQEND"}, {8, L"0"}});
    return new AcDbRawEntity(L"POLYLINE", tags);
}

TEST(OldStylePolyline, AClosed2DPolylineBecomesTheLightweightOneItDraws) {
    std::unique_ptr<AcDbEntity> raw(
        oldStyle(1, {{0, 0, 0, 0}, {1, 0, 1.0, 0}, {1, 1, 0, 0}, {0, 1, 0, 0}}, {{40, L"0.5"}, {41, L"0.25"}}));
    AcDbEntity* entity = raw.get();
    AcDbPolyline polyline;
    ASSERT_EQ(polyline.convertFrom(entity, Adesk::kFalse), Acad::eOk);
    EXPECT_EQ(entity, raw.get()) << "the entity stays";
    ASSERT_EQ(polyline.numVerts(), 4u);
    EXPECT_TRUE(polyline.isClosed());
    double bulge = 0, start = 0, end = 0;
    polyline.getBulgeAt(1, bulge);
    polyline.getWidthsAt(2, start, end);
    EXPECT_EQ(bulge, 1.0);
    EXPECT_EQ(start, 0.5);
    EXPECT_EQ(end, 0.25);
    double area = 0;
    polyline.getArea(area);
    EXPECT_NEAR(area, 1 + M_PI / 8, 1e-6);
}

TEST(OldStylePolyline, OnlyA2DPolylineIsTakenAndOnlyAsACopy) {
    const struct {
        const char* what;
        AcDbEntity* entity;
        Adesk::Boolean transferId;
        Acad::ErrorStatus status;
    } cases[] = {
        {"a 3D polyline", oldStyle(8, {{0, 0, 0, 32}, {1, 0, 0, 32}}), Adesk::kFalse, Acad::eNotApplicable},
        {"a polyface mesh", oldStyle(64, {{0, 0, 0, 192}, {1, 0, 0, 192}}), Adesk::kFalse, Acad::eNotApplicable},
        {"a line", new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)), Adesk::kFalse, Acad::eWrongObjectType},
        {"the entity replaced", oldStyle(1, {{0, 0, 0, 0}, {1, 0, 0, 0}}), Adesk::kTrue, Acad::eNotImplementedYet},
    };
    for (const auto& c : cases) {
        std::unique_ptr<AcDbEntity> owned(c.entity);
        AcDbEntity* entity = c.entity;
        AcDbPolyline polyline;
        EXPECT_EQ(polyline.convertFrom(entity, c.transferId), c.status) << c.what;
        EXPECT_EQ(polyline.numVerts(), 0u) << c.what;
    }
}

TEST(OldStylePolyline, ASplineFitPolylineKeepsThePointsOnItsCurveNotItsFrame) {
    std::unique_ptr<AcDbEntity> raw(oldStyle(1 | 4, {{0, 0, 0, 16}, {5, 5, 0, 16}, {0, 1, 0, 8}, {2, 1, 0, 8}}));
    AcDbEntity* entity = raw.get();
    AcDbPolyline polyline;
    ASSERT_EQ(polyline.convertFrom(entity, Adesk::kFalse), Acad::eOk);
    ASSERT_EQ(polyline.numVerts(), 2u);
    AcGePoint2d second;
    polyline.getPointAt(1, second);
    EXPECT_EQ(second, AcGePoint2d(2, 1));
}

} // namespace
