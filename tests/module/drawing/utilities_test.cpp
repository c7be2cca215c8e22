#include <cmath>
#include <limits>
#include <numbers>

#include <gtest/gtest.h>

#include "DrawingTestSupport.h"
#include "drawing/AcadUtilities.h"

using drawingtest::append;
using drawingtest::defineBlock;
using drawingtest::polyline;

namespace {

constexpr double pi = std::numbers::pi;

TEST(PlotTables, EveryIdBothWays) {
    CAcadUtilities u;
    const wchar_t* extensions[] = {L".dwf", L".pdf", L".jpg", L".png", L".dwf"};
    const wchar_t* devices[] = {L"DWF6 ePlot.pc3", L"DWG To PDF.pc3", L"PublishToWeb JPG.pc3", L"PublishToWeb PNG.pc3",
                                L"DWF6 ePlot.pc3"};
    for (int id = 0; id < 5; ++id) {
        int stored = id < 4 ? id : 7; // an unknown type is a DWF
        EXPECT_EQ(u.plotExtension(stored), extensions[id]);
        EXPECT_EQ(u.convertPlotDevice(u.convertPlotDevice(stored)), devices[id]);
        EXPECT_EQ(u.convertToPlotDeviceID(u.convertPlotDevice(stored)), id < 4 ? id : 0);
    }
    auto media = [&](int id) { return u.convertMediaSize(static_cast<CAcadUtilities::MediaSize>(id)); };
    EXPECT_EQ(media(7), L"ISO_A4_(210.00_x_297.00_MM)");
    EXPECT_EQ(media(38), L"ISO_full_bleed_4A0_(1682.00_x_2378.00_MM)");
    EXPECT_EQ(media(57), L"ANSI_full_bleed_F_(28.00_x_40.00_Inches)");
    EXPECT_EQ(media(88), L"ARCH_full_bleed_A_(9.00_x_12.00_Inches)");
    for (int id : {89, -1}) {
        EXPECT_EQ(media(id), L"ISO_A1_(841.00_x_594.00_MM)");
        EXPECT_EQ(u.convertMediaSize(id), 0);
        EXPECT_EQ(u.convertToMediaSizeID(static_cast<CAcadUtilities::MediaSize>(id)), 0);
    }
    for (int i = 0; i < CAcadUtilities::mediaCount; ++i) {
        EXPECT_EQ(u.convertToMediaSizeID(u.convertMediaSize(i)), i);
        for (int j = 0; j < i; ++j) EXPECT_NE(media(i), media(j)) << i << " " << j;
    }
    // Stored scale ids skip the host's value 19.
    for (int id = 0; id <= 33; ++id) {
        EXPECT_EQ(u.convertScale(id), id <= 18 ? id : id + 1);
        EXPECT_EQ(u.convertToScaleTypeID(u.convertScale(id)), id);
    }
    EXPECT_EQ(u.convertScale(34), 0);
    EXPECT_EQ(u.convertToScaleTypeID(19), 0);
    EXPECT_EQ(u.convertToScaleTypeID(35), 0);
    for (int id = -1; id <= 6; ++id) {
        EXPECT_EQ(u.convertPlotArea(id), id >= 0 && id <= 5 ? id : 0);
        EXPECT_EQ(u.convertToAreaTypeID(id), id >= 0 && id <= 5 ? id : 0);
    }
}

TEST(SpaceData, ValuesAreCutAndShortTextsGiveNothing) {
    CAcadUtilities u;
    EXPECT_EQ(u.extractData(CAcadUtilities::keyAreaMetric, L"AREA=12.5sq.m."), L"12.5");
    EXPECT_EQ(u.extractData(CAcadUtilities::keyAreaImperial, L"AREA=134.55sq.ft."), L"134.55");
    EXPECT_EQ(u.extractData(CAcadUtilities::keyPerimeterMetric, L"PERIMETER=14.20m."), L"14.20");
    EXPECT_EQ(u.extractData(CAcadUtilities::keyPerimeterImperial, L"PERIMETER=46.59ft."), L"46.59");
    EXPECT_EQ(u.extractData(CAcadUtilities::keyHandlesToMinus, L"HANDLESTOMINUS=2A,2B,"), L"2A,2B,");
    EXPECT_EQ(u.extractData(CAcadUtilities::keyTotalWorkstations, L"TOT_WKSTNS=12"), L"12");
    EXPECT_EQ(u.extractData(0x12345, L"AREA=12.5sq.m."), L"");
    for (const wchar_t* text : {L"", L"AREA", L"AREA=", L"AREA=12"})
        EXPECT_EQ(u.extractData(CAcadUtilities::keyAreaMetric, text), L"") << CString(text).ToUtf8();
    EXPECT_EQ(u.extractData(CAcadUtilities::keyPerimeterImperial, L"PERIMETER=ft."), L"");
}

TEST(SpaceData, HandleListsWithOrWithoutTrailingComma) {
    CAcadUtilities u;
    for (const wchar_t* text : {L"2A,1F0,", L"2A,1F0", L",2A,,1F0,"}) {
        CArray<AcDbHandle, AcDbHandle> handles;
        u.convertHandlesStringToArray(text, handles);
        ASSERT_EQ(handles.GetSize(), 2) << CString(text).ToUtf8();
        EXPECT_EQ(handles[0], AcDbHandle(0x2A));
        EXPECT_EQ(handles[1], AcDbHandle(0x1F0));
    }
    CArray<AcDbHandle, AcDbHandle> none;
    u.convertHandlesStringToArray(L"", none);
    EXPECT_EQ(none.GetSize(), 0);
}

TEST(PlotFileNames, ExtensionIsCorrectedAndEmptyNameRefused) {
    CAcadUtilities u;
    const wchar_t* cases[][3] = {{L"plan", L"1", L"plan.pdf"},
                                 {L"plan.dwf", L"1", L"plan.pdf"},
                                 {L"plan.PDF", L"1", L"plan.pdf"},
                                 {L"plan.pdf", L"1", L"plan.pdf"},
                                 {L"floor.2.v1", L"3", L"floor.2.png"}};
    for (auto& c : cases) {
        CString name = c[0];
        u.checkPlotFileExtension(name, c[1][0] - L'0');
        EXPECT_EQ(name, c[2]);
    }
    CString empty;
    EXPECT_EQ(drawingtest::innermostDescription([&] { u.checkPlotFileExtension(empty, 2); }),
              L"Invalid Plot Filename - ''");
}

TEST(Areas, MillimetreAndInchDrawingsWithBulges) {
    CAcadUtilities u;
    AcDbPolyline* square = polyline({{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}, {0, 1000, 0}});
    EXPECT_DOUBLE_EQ(u.calculatePolylinePerimeter(square, 2, 0), 4.0);
    EXPECT_DOUBLE_EQ(u.calculatePolylineArea(square, 2, 0), 1.0);
    EXPECT_DOUBLE_EQ(u.calculatePolylinePerimeter(square, 2, 1), 13.123359580052494);
    EXPECT_DOUBLE_EQ(u.calculatePolylineArea(square, 2, 1), 10.763910416709724);
    EXPECT_DOUBLE_EQ(u.calculatePolylinePerimeter(square, 4, 1), 4000.0 / 12.0);
    EXPECT_DOUBLE_EQ(u.calculatePolylineArea(square, 4, 1), 1000000.0 / 144.0);
    EXPECT_DOUBLE_EQ(u.calculatePolylinePerimeter(square, 3, 0), 4000.0 / 39.37007874015748);
    EXPECT_DOUBLE_EQ(u.calculatePolylineArea(square, 3, 0), 1000000.0 / 1550.0031000062);
    EXPECT_DOUBLE_EQ(u.calculatePolylineArea(square, 5, 0), 1.0); // fractional units are millimetres

    // A reference scaled (2, -2) doubles the perimeter; unevenly scaled it has none.
    AcDbBlockReference mirrored, stretched;
    mirrored.setScaleFactors(AcGeScale3d(2, -2, 1));
    stretched.setScaleFactors(AcGeScale3d(2, 3, 1));
    EXPECT_DOUBLE_EQ(u.recalculateBlockArea(&mirrored, square, 2, 0), 4.0);
    EXPECT_DOUBLE_EQ(u.recalculateBlockPerimeter(&mirrored, square, 2, 0), 8.0);
    EXPECT_DOUBLE_EQ(u.recalculateBlockArea(&stretched, square, 2, 0), 6.0);
    EXPECT_DOUBLE_EQ(u.recalculateBlockPerimeter(&stretched, square, 2, 0), 0.0);
    delete square;

    // The bottom side bulges out into a half circle.
    AcDbPolyline* bay = polyline({{0, 0, 1.0}, {1000, 0, 0}, {1000, 1000, 0}, {0, 1000, 0}});
    const double area = 1000000.0 + pi * 500.0 * 500.0 / 2.0;
    const double length = 3000.0 + pi * 500.0;
    EXPECT_NEAR(u.calculatePolylineArea(bay, 1, 0), area / 1e6, 1e-9);
    EXPECT_NEAR(u.calculatePolylinePerimeter(bay, 1, 0), length / 1000.0, 1e-9);
    EXPECT_NEAR(u.calculatePolylineArea(bay, 4, 1), area / 144.0, 1e-6);
    EXPECT_NEAR(u.calculatePolylinePerimeter(bay, 4, 1), length / 12.0, 1e-9);
    delete bay;
    AcDbPolyline* round = polyline({{0, 0, 1.0}, {1000, 0, 1.0}});
    EXPECT_NEAR(u.calculatePolylineArea(round, 2, 0), pi * 0.25, 1e-9);
    EXPECT_NEAR(u.calculatePolylinePerimeter(round, 2, 0), pi, 1e-9);
    delete round;
}

TEST(Areas, AStatedLengthIsMeasuredInItAndMillimetresOrInchesLeaveTheLinearUnitsRule) {
    struct Case {
        int insunits;
        Adesk::Int16 lunits;
        double side; // of a square of 10 m by 10 m, in drawing units
    };
    // Unitless, millimetres and inches: the linear units decide (architectural inches, decimal millimetres).
    const Case cases[] = {
        {0, 2, 10000.0},
        {4, 2, 10000.0},
        {1, 2, 10000.0},
        {4, 4, 10000.0 / 25.4},
        {1, 4, 10000.0 / 25.4},
        {5, 2, 1000.0},
        {6, 4, 10.0},
        {14, 2, 100.0},
        {2, 2, 10.0 / 0.3048},
        {10, 4, 10 / 0.9144},
        {21, 2, 10 * 3937.0 / 1200.0},
    };
    CAcadUtilities u;
    for (const Case& c : cases) {
        AcDbDatabase db;
        db.setInsunits(static_cast<AcDb::UnitsValue>(c.insunits));
        db.setLunits(c.lunits);
        AcDbPolyline* square = polyline({{0, 0, 0}, {c.side, 0, 0}, {c.side, c.side, 0}, {0, c.side, 0}});
        EXPECT_NEAR(u.calculatePolylineArea(square, CDrawingUnit(&db), 0), 100.0, 1e-9) << c.insunits;
        EXPECT_NEAR(u.calculatePolylinePerimeter(square, CDrawingUnit(&db), 0), 40.0, 1e-9) << c.insunits;
        EXPECT_NEAR(u.calculatePolylineArea(square, CDrawingUnit(&db), 1), 100.0 * 10.763910416709722, 1e-6)
            << c.insunits;
        delete square;
    }
}

TEST(Areas, TopLeftOfVertices) {
    CAcadUtilities u;
    AcDbPolyline* shape = polyline({{10, 5, 0}, {30, 40, 0}, {-5, 20, 0}});
    AcGeMatrix3d shift = AcGeMatrix3d::translation(AcGeVector3d(100, 200, 7));
    EXPECT_EQ(u.getPolylineTopLeft(shape), AcGePoint3d(-5, 40, 0));
    EXPECT_EQ(u.getPolylineTopLeft(shape, &shift), AcGePoint3d(95, 240, 0));
    delete shape;
    AcDbPolyline empty;
    AcGePoint3d corner = u.getPolylineTopLeft(&empty);
    EXPECT_EQ(corner.x, std::numeric_limits<double>::max());
    EXPECT_EQ(corner.y, -std::numeric_limits<double>::max());
}

using drawingtest::DrawingDatabase;

TEST_F(DrawingDatabase, BlockExtentsAreThoseOfTheBoundary) {
    CAcadUtilities u;
    AcDbObjectId room = defineBlock(db, L"ROOM-1");
    append(db, new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d(0, 0, 1), 5000), L"ROOM-1");
    append(db, polyline({{0, 0, 0}, {100, 0, 0}, {100, 50, 0}, {0, 50, 0}}), L"ROOM-1");
    append(db, polyline({{-900, -900, 0}, {900, -900, 0}, {900, 900, 0}}), L"ROOM-1");
    auto* insert = new AcDbBlockReference(AcGePoint3d(1000, 2000, 0), room);
    insert->setScaleFactors(AcGeScale3d(2, 2, 1));
    AcDbObjectId insertId = append(db, insert);
    AcDbObjectId mark = defineBlock(db, L"MARK");
    append(db, new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d(0, 0, 1), 5), L"MARK");
    AcDbObjectId markId = append(db, new AcDbBlockReference(AcGePoint3d(10, 10, 0), mark));

    AcDbEntity* entity = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(entity, insertId, AcDb::kForRead), Acad::eOk);
    AcGePoint3d low, high;
    ASSERT_TRUE(u.getBlockExtents(entity, low, high, 0.0));
    EXPECT_EQ(low, AcGePoint3d(1000, 2000, 0));
    EXPECT_EQ(high, AcGePoint3d(1200, 2100, 0));
    ASSERT_TRUE(u.getBlockExtents(entity, low, high, 10.0)); // the margin scales with the block
    EXPECT_EQ(low, AcGePoint3d(980, 1980, 0));
    entity->close();

    // Without a boundary there are no extents, and the points stay as they were.
    ASSERT_EQ(acdbOpenAcDbEntity(entity, markId, AcDb::kForRead), Acad::eOk);
    low = AcGePoint3d(1, 2, 3);
    EXPECT_FALSE(u.getBlockExtents(entity, low, high, 0.0));
    EXPECT_EQ(low, AcGePoint3d(1, 2, 3));
    entity->close();
    AcDbLine line(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0));
    EXPECT_FALSE(u.getBlockExtents(&line, low, high, 0.0));
    EXPECT_EQ(db.openObjectCount(), 0);
}

TEST_F(DrawingDatabase, BlockExtentsOfASpaceInsertedFaceDownAreWhereItLies) {
    // Extrusion (0, 0, -1): the definition's x runs the other way, so its lowest corner lands highest.
    CAcadUtilities u;
    AcDbObjectId room = defineBlock(db, L"ROOM-T");
    append(db, polyline({{0, 0, 0}, {5000, 0, 0}, {5000, 4000, 0}, {0, 4000, 0}}), L"ROOM-T");
    auto* insert = new AcDbBlockReference(AcGePoint3d(20000, 0, 0), room);
    insert->setNormal(AcGeVector3d(0, 0, -1));
    AcDbObjectId insertId = append(db, insert);
    AcDbEntity* entity = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(entity, insertId, AcDb::kForRead), Acad::eOk);
    AcGePoint3d low, high;
    EXPECT_TRUE(u.getBlockExtents(entity, low, high, 0.0));
    entity->close();
    EXPECT_TRUE(low.isEqualTo(AcGePoint3d(15000, 0, 0))) << low.x << "," << low.y;
    EXPECT_TRUE(high.isEqualTo(AcGePoint3d(20000, 4000, 0))) << high.x << "," << high.y;
}

TEST_F(DrawingDatabase, MoveToBottomMakesTheDrawOrderTableOnce) {
    CAcadUtilities u;
    db.setSortents(0);
    AcDbObjectId first = append(db, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
    AcDbObjectId second = append(db, new AcDbLine(AcGePoint3d(0, 1, 0), AcGePoint3d(1, 1, 0)));
    AcDbObjectId third = append(db, new AcDbLine(AcGePoint3d(0, 2, 0), AcGePoint3d(1, 2, 0)));
    auto moveDown = [&](AcDbObjectId id) {
        AcDbEntity* entity = nullptr;
        ASSERT_EQ(acdbOpenAcDbEntity(entity, id, AcDb::kForWrite), Acad::eOk);
        u.moveToBottom(entity);
        entity->close();
    };
    auto drawOrder = [&](AcDbObjectId& tableId) {
        AcDbBlockTableRecord* model = nullptr;
        acdbOpenObject(model, db.modelSpaceId(), AcDb::kForRead);
        AcDbDictionary* dictionary = nullptr;
        acdbOpenObject(dictionary, model->extensionDictionary(), AcDb::kForRead);
        model->close();
        dictionary->getAt(L"ACAD_SORTENTS", tableId);
        dictionary->close();
        AcDbSortentsTable* table = nullptr;
        AcDbObjectIdArray order;
        if (acdbOpenObject(table, tableId, AcDb::kForRead) == Acad::eOk) {
            EXPECT_EQ(table->blockId(), db.modelSpaceId());
            table->getFullDrawOrder(order);
            table->close();
        }
        return order;
    };
    moveDown(third);
    EXPECT_EQ(db.sortents() & 127, 127);
    AcDbObjectId tableId, again;
    AcDbObjectIdArray order = drawOrder(tableId);
    ASSERT_EQ(order.length(), 3);
    EXPECT_EQ(order[0], third);
    EXPECT_EQ(order[1], first);
    moveDown(second);
    order = drawOrder(again);
    EXPECT_EQ(again, tableId);
    EXPECT_EQ(order[0], second);
    EXPECT_EQ(order[1], third);
    EXPECT_EQ(db.openObjectCount(), 0);
}

TEST_F(DrawingDatabase, HandlesToObjectIds) {
    CAcadUtilities u;
    AcDbObjectId line = append(db, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
    EXPECT_EQ(u.convertHandleToObjectId(line.handle().text().c_str()), line);
    EXPECT_TRUE(u.convertHandleToObjectId(L"FFFFFF").isNull());
    EXPECT_TRUE(u.convertHandleToObjectId(L"not a handle").isNull());
}

} // namespace
