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

TEST(PlotTables, PlotTypesGiveExtensionAndDevice) {
    CAcadUtilities u;
    const wchar_t* extensions[] = {L".dwf", L".pdf", L".jpg", L".png"};
    const wchar_t* devices[] = {L"DWF6 ePlot.pc3", L"DWG To PDF.pc3", L"PublishToWeb JPG.pc3", L"PublishToWeb PNG.pc3"};
    for (int id = 0; id < 4; ++id) {
        EXPECT_EQ(u.plotExtension(id), extensions[id]);
        CAcadUtilities::PlotDevice device = u.convertPlotDevice(id);
        EXPECT_EQ(static_cast<int>(device), id);
        EXPECT_EQ(u.convertPlotDevice(device), devices[id]);
        EXPECT_EQ(u.convertToPlotDeviceID(device), id);
    }
    for (int id : {-1, 4, 7}) {
        EXPECT_EQ(u.plotExtension(id), L".dwf");
        EXPECT_EQ(u.convertPlotDevice(id), CAcadUtilities::plotDWF);
        EXPECT_EQ(u.convertPlotDevice(static_cast<CAcadUtilities::PlotDevice>(id)), L"DWF6 ePlot.pc3");
        EXPECT_EQ(u.convertToPlotDeviceID(static_cast<CAcadUtilities::PlotDevice>(id)), 0);
    }
}

TEST(PlotTables, MediaNamesByIdAndOutOfRange) {
    CAcadUtilities u;
    auto name = [&](int id) { return u.convertMediaSize(static_cast<CAcadUtilities::MediaSize>(id)); };
    EXPECT_EQ(name(0), L"ISO_A1_(841.00_x_594.00_MM)");
    EXPECT_EQ(name(7), L"ISO_A4_(210.00_x_297.00_MM)");
    EXPECT_EQ(name(8), L"ISO_A0_(841.00_x_1189.00_MM)");
    EXPECT_EQ(name(38), L"ISO_full_bleed_4A0_(1682.00_x_2378.00_MM)");
    EXPECT_EQ(name(39), L"ANSI_A_(11.00_x_8.50_Inches)");
    EXPECT_EQ(name(57), L"ANSI_full_bleed_F_(28.00_x_40.00_Inches)");
    EXPECT_EQ(name(67), L"ARCH_C_(24.00_x_18.00_Inches)");
    EXPECT_EQ(name(88), L"ARCH_full_bleed_A_(9.00_x_12.00_Inches)");
    EXPECT_EQ(name(89), L"ISO_A1_(841.00_x_594.00_MM)");
    EXPECT_EQ(name(-1), L"ISO_A1_(841.00_x_594.00_MM)");

    // Every name is distinct and of the canonical form.
    for (int i = 0; i < CAcadUtilities::mediaCount; ++i) {
        CString n = name(i);
        EXPECT_NE(n.Find(L"_x_"), -1) << i;
        EXPECT_TRUE(n.Right(4) == L"_MM)" || n.Right(8) == L"_Inches)") << i;
        for (int j = 0; j < i; ++j) EXPECT_NE(n, name(j)) << i << " " << j;
    }
    for (int id : {0, 45, 88}) {
        EXPECT_EQ(static_cast<int>(u.convertMediaSize(id)), id);
        EXPECT_EQ(u.convertToMediaSizeID(static_cast<CAcadUtilities::MediaSize>(id)), id);
    }
    EXPECT_EQ(static_cast<int>(u.convertMediaSize(89)), 0);
    EXPECT_EQ(static_cast<int>(u.convertMediaSize(-3)), 0);
    EXPECT_EQ(u.convertToMediaSizeID(static_cast<CAcadUtilities::MediaSize>(200)), 0);
}

TEST(PlotTables, ScaleIdsSkipHostValueNineteen) {
    CAcadUtilities u;
    for (int id = 0; id <= 18; ++id) EXPECT_EQ(u.convertScale(id), id);
    for (int id = 19; id <= 33; ++id) EXPECT_EQ(u.convertScale(id), id + 1);
    EXPECT_EQ(u.convertScale(34), 0);
    EXPECT_EQ(u.convertScale(-1), 0);
    for (int value = 0; value <= 18; ++value) EXPECT_EQ(u.convertToScaleTypeID(value), value);
    EXPECT_EQ(u.convertToScaleTypeID(19), 0);
    for (int value = 20; value <= 34; ++value) EXPECT_EQ(u.convertToScaleTypeID(value), value - 1);
    EXPECT_EQ(u.convertToScaleTypeID(35), 0);
    // Every stored id survives the trip to the host and back.
    for (int id = 0; id <= 33; ++id) EXPECT_EQ(u.convertToScaleTypeID(u.convertScale(id)), id);
}

TEST(PlotTables, PlotAreas) {
    CAcadUtilities u;
    for (int id = 0; id <= 5; ++id) {
        EXPECT_EQ(u.convertPlotArea(id), id);
        EXPECT_EQ(u.convertToAreaTypeID(id), id);
    }
    EXPECT_EQ(u.convertPlotArea(6), 0);
    EXPECT_EQ(u.convertPlotArea(-1), 0);
    EXPECT_EQ(u.convertToAreaTypeID(6), 0);
}

TEST(ExtractData, CutsKeyAndUnit) {
    CAcadUtilities u;
    EXPECT_EQ(u.extractData(CAcadUtilities::keyAreaMetric, L"AREA=12.5sq.m."), L"12.5");
    EXPECT_EQ(u.extractData(CAcadUtilities::keyAreaImperial, L"AREA=134.55sq.ft."), L"134.55");
    EXPECT_EQ(u.extractData(CAcadUtilities::keyPerimeterMetric, L"PERIMETER=14.20m."), L"14.20");
    EXPECT_EQ(u.extractData(CAcadUtilities::keyPerimeterImperial, L"PERIMETER=46.59ft."), L"46.59");
    EXPECT_EQ(u.extractData(CAcadUtilities::keyName, L"NAME=Office 1"), L"Office 1");
    EXPECT_EQ(u.extractData(CAcadUtilities::keyHandlesToMinus, L"HANDLESTOMINUS=2A,2B,"), L"2A,2B,");
    EXPECT_EQ(u.extractData(CAcadUtilities::keyHandlesToAdd, L"HANDLESTOADD=3C,"), L"3C,");
    EXPECT_EQ(u.extractData(CAcadUtilities::keyTotalWorkstations, L"TOT_WKSTNS=12"), L"12");
    EXPECT_EQ(u.extractData(CAcadUtilities::keyVolume, L"VOLUME=30.5"), L"30.5");
    EXPECT_EQ(u.extractData(0x12345, L"AREA=12.5sq.m."), L"");
}

TEST(ExtractData, ShortAndForeignTextsGiveNothing) {
    CAcadUtilities u;
    EXPECT_EQ(u.extractData(CAcadUtilities::keyAreaMetric, L""), L"");
    EXPECT_EQ(u.extractData(CAcadUtilities::keyAreaMetric, L"AREA"), L"");
    EXPECT_EQ(u.extractData(CAcadUtilities::keyAreaMetric, L"AREA="), L"");
    EXPECT_EQ(u.extractData(CAcadUtilities::keyAreaMetric, L"AREA=12"), L""); // shorter than the unit
    EXPECT_EQ(u.extractData(CAcadUtilities::keyPerimeterImperial, L"PERIMETER=ft."), L"");
    EXPECT_EQ(u.extractData(CAcadUtilities::keyHandlesToMinus, L"HANDLES"), L"");
    EXPECT_EQ(u.extractData(CAcadUtilities::keyName, L"NAME=X"), L"X");
}

TEST(HandleLists, EveryHandleIsTakenWithOrWithoutTrailingComma) {
    CAcadUtilities u;
    CArray<AcDbHandle, AcDbHandle> handles;
    u.convertHandlesStringToArray(L"2A,1F0,", handles);
    ASSERT_EQ(handles.GetSize(), 2);
    EXPECT_EQ(handles[0], AcDbHandle(0x2A));
    EXPECT_EQ(handles[1], AcDbHandle(0x1F0));

    CArray<AcDbHandle, AcDbHandle> bare;
    u.convertHandlesStringToArray(L"2A,1F0", bare);
    ASSERT_EQ(bare.GetSize(), 2);
    EXPECT_EQ(bare[1], AcDbHandle(0x1F0));

    CArray<AcDbHandle, AcDbHandle> single;
    u.convertHandlesStringToArray(L"7B", single);
    ASSERT_EQ(single.GetSize(), 1);
    EXPECT_EQ(single[0], AcDbHandle(0x7B));

    CArray<AcDbHandle, AcDbHandle> none;
    u.convertHandlesStringToArray(L"", none);
    u.convertHandlesStringToArray(L",,", none);
    EXPECT_EQ(none.GetSize(), 0);
}

TEST(PlotFileNames, ExtensionIsCorrected) {
    CAcadUtilities u;
    CString name = L"plan";
    u.checkPlotFileExtension(name, 1);
    EXPECT_EQ(name, L"plan.pdf");
    name = L"plan.dwf";
    u.checkPlotFileExtension(name, 1);
    EXPECT_EQ(name, L"plan.pdf");
    name = L"plan.PDF";
    u.checkPlotFileExtension(name, 1);
    EXPECT_EQ(name, L"plan.pdf");
    name = L"plan.pdf";
    u.checkPlotFileExtension(name, 1);
    EXPECT_EQ(name, L"plan.pdf");
    name = L"floor.2.v1";
    u.checkPlotFileExtension(name, 3);
    EXPECT_EQ(name, L"floor.2.png");
}

TEST(PlotFileNames, EmptyNameIsRefused) {
    CAcadUtilities u;
    CString name;
    bool thrown = false;
    CString description = drawingtest::innermostDescription([&] { u.checkPlotFileExtension(name, 2); }, &thrown);
    EXPECT_TRUE(thrown);
    EXPECT_EQ(description, L"Invalid Plot Filename - ''");
}

// A square of side 1000 whose bottom side bulges out into a half circle.
AcDbPolyline* roomWithBay() {
    return polyline({{0, 0, 1.0}, {1000, 0, 0}, {1000, 1000, 0}, {0, 1000, 0}});
}

TEST(Areas, SquareInMillimetresAndInches) {
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
    // Fractional units are millimetres, not inches.
    EXPECT_DOUBLE_EQ(u.calculatePolylineArea(square, 5, 0), 1.0);
    delete square;
}

TEST(Areas, BulgedSidesCount) {
    CAcadUtilities u;
    AcDbPolyline* room = roomWithBay();
    const double area = 1000000.0 + pi * 500.0 * 500.0 / 2.0;
    const double length = 3000.0 + pi * 500.0;
    EXPECT_NEAR(u.calculatePolylineArea(room, 1, 0), area / 1e6, 1e-9);
    EXPECT_NEAR(u.calculatePolylinePerimeter(room, 1, 0), length / 1000.0, 1e-9);
    EXPECT_NEAR(u.calculatePolylineArea(room, 4, 1), area / 144.0, 1e-6);
    EXPECT_NEAR(u.calculatePolylinePerimeter(room, 4, 1), length / 12.0, 1e-9);
    EXPECT_NEAR(u.calculatePolylineArea(room, 2, 1), area / 92903.04, 1e-9);
    delete room;

    // A circle of two half arcs.
    AcDbPolyline* round = polyline({{0, 0, 1.0}, {1000, 0, 1.0}});
    EXPECT_NEAR(u.calculatePolylineArea(round, 2, 0), pi * 0.25, 1e-9);
    EXPECT_NEAR(u.calculatePolylinePerimeter(round, 2, 0), pi, 1e-9);
    delete round;
}

TEST(Areas, BlockScaleAppliesToAreaAndEvenPerimeter) {
    CAcadUtilities u;
    AcDbPolyline* square = polyline({{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}, {0, 1000, 0}});
    AcDbBlockReference mirrored;
    mirrored.setScaleFactors(AcGeScale3d(2, -2, 1));
    EXPECT_DOUBLE_EQ(u.recalculateBlockArea(&mirrored, square, 2, 0), 4.0);
    EXPECT_DOUBLE_EQ(u.recalculateBlockPerimeter(&mirrored, square, 2, 0), 8.0);
    AcDbBlockReference stretched;
    stretched.setScaleFactors(AcGeScale3d(2, 3, 1));
    EXPECT_DOUBLE_EQ(u.recalculateBlockArea(&stretched, square, 2, 0), 6.0);
    EXPECT_DOUBLE_EQ(u.recalculateBlockPerimeter(&stretched, square, 2, 0), 0.0);
    delete square;
}

TEST(Areas, TopLeftOfVertices) {
    CAcadUtilities u;
    AcDbPolyline* shape = polyline({{10, 5, 0}, {30, 40, 0}, {-5, 20, 0}});
    AcGePoint3d corner = u.getPolylineTopLeft(shape);
    EXPECT_DOUBLE_EQ(corner.x, -5.0);
    EXPECT_DOUBLE_EQ(corner.y, 40.0);
    EXPECT_DOUBLE_EQ(corner.z, 0.0);
    AcGeMatrix3d shift = AcGeMatrix3d::translation(AcGeVector3d(100, 200, 7));
    corner = u.getPolylineTopLeft(shape, &shift);
    EXPECT_DOUBLE_EQ(corner.x, 95.0);
    EXPECT_DOUBLE_EQ(corner.y, 240.0);
    EXPECT_DOUBLE_EQ(corner.z, 0.0);
    delete shape;

    AcDbPolyline empty;
    corner = u.getPolylineTopLeft(&empty);
    EXPECT_EQ(corner.x, std::numeric_limits<double>::max());
    EXPECT_EQ(corner.y, -std::numeric_limits<double>::max());
}

class DrawingDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        previous = acdbWorkingDatabase();
        acdbSetWorkingDatabase(&db);
    }
    void TearDown() override { acdbSetWorkingDatabase(previous); }

    AcDbDatabase db;
    AcDbDatabase* previous = nullptr;
};

TEST_F(DrawingDatabase, BlockExtentsOfTheBoundary) {
    CAcadUtilities u;
    AcDbObjectId room = defineBlock(db, L"ROOM-1");
    append(db, new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d(0, 0, 1), 5000), L"ROOM-1");
    append(db, polyline({{0, 0, 0}, {100, 0, 0}, {100, 50, 0}, {0, 50, 0}}), L"ROOM-1");
    append(db, polyline({{-900, -900, 0}, {900, -900, 0}, {900, 900, 0}}), L"ROOM-1");
    auto* insert = new AcDbBlockReference(AcGePoint3d(1000, 2000, 0), room);
    insert->setScaleFactors(AcGeScale3d(2, 2, 1));
    AcDbObjectId insertId = append(db, insert);

    AcDbEntity* entity = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(entity, insertId, AcDb::kForRead), Acad::eOk);
    AcGePoint3d low, high;
    ASSERT_TRUE(u.getBlockExtents(entity, low, high, 0.0));
    EXPECT_NEAR(low.x, 1000, 1e-9);
    EXPECT_NEAR(low.y, 2000, 1e-9);
    EXPECT_NEAR(high.x, 1200, 1e-9);
    EXPECT_NEAR(high.y, 2100, 1e-9);
    // The margin widens the boundary before the block's scale.
    ASSERT_TRUE(u.getBlockExtents(entity, low, high, 10.0));
    EXPECT_NEAR(low.x, 980, 1e-9);
    EXPECT_NEAR(high.y, 2120, 1e-9);
    entity->close();
    EXPECT_EQ(db.openObjectCount(), 0);
}

TEST_F(DrawingDatabase, BlockWithoutBoundaryHasNoExtents) {
    CAcadUtilities u;
    AcDbObjectId block = defineBlock(db, L"MARK");
    append(db, new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d(0, 0, 1), 5), L"MARK");
    AcDbObjectId insertId = append(db, new AcDbBlockReference(AcGePoint3d(10, 10, 0), block));
    AcDbEntity* entity = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(entity, insertId, AcDb::kForRead), Acad::eOk);
    AcGePoint3d low(1, 2, 3), high(4, 5, 6);
    EXPECT_FALSE(u.getBlockExtents(entity, low, high, 0.0));
    EXPECT_EQ(low, AcGePoint3d(1, 2, 3));
    EXPECT_EQ(high, AcGePoint3d(4, 5, 6));
    entity->close();

    AcDbLine line(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0));
    EXPECT_FALSE(u.getBlockExtents(&line, low, high, 0.0));
    EXPECT_EQ(db.openObjectCount(), 0);
}

TEST_F(DrawingDatabase, MoveToBottomMakesTheDrawOrderTableOnce) {
    CAcadUtilities u;
    db.setSortents(0);
    AcDbObjectId first = append(db, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
    AcDbObjectId second = append(db, new AcDbLine(AcGePoint3d(0, 1, 0), AcGePoint3d(1, 1, 0)));
    AcDbObjectId hatchLike = append(db, new AcDbLine(AcGePoint3d(0, 2, 0), AcGePoint3d(1, 2, 0)));

    AcDbEntity* entity = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(entity, hatchLike, AcDb::kForWrite), Acad::eOk);
    u.moveToBottom(entity);
    entity->close();
    EXPECT_EQ(db.sortents() & 127, 127);

    AcDbBlockTableRecord* model = nullptr;
    ASSERT_EQ(acdbOpenObject(model, db.modelSpaceId(), AcDb::kForRead), Acad::eOk);
    AcDbObjectId dictionaryId = model->extensionDictionary();
    model->close();
    ASSERT_FALSE(dictionaryId.isNull());
    AcDbDictionary* dictionary = nullptr;
    ASSERT_EQ(acdbOpenObject(dictionary, dictionaryId, AcDb::kForRead), Acad::eOk);
    AcDbObjectId tableId;
    ASSERT_EQ(dictionary->getAt(L"ACAD_SORTENTS", tableId), Acad::eOk);
    dictionary->close();

    AcDbSortentsTable* table = nullptr;
    ASSERT_EQ(acdbOpenObject(table, tableId, AcDb::kForRead), Acad::eOk);
    AcDbObjectIdArray order;
    table->getFullDrawOrder(order);
    EXPECT_EQ(table->blockId(), db.modelSpaceId());
    table->close();
    ASSERT_EQ(order.length(), 3);
    EXPECT_EQ(order[0], hatchLike);
    EXPECT_EQ(order[1], first);
    EXPECT_EQ(order[2], second);

    // A second move finds the same table.
    ASSERT_EQ(acdbOpenAcDbEntity(entity, second, AcDb::kForWrite), Acad::eOk);
    u.moveToBottom(entity);
    entity->close();
    ASSERT_EQ(acdbOpenObject(dictionary, dictionaryId, AcDb::kForRead), Acad::eOk);
    AcDbObjectId again;
    dictionary->getAt(L"ACAD_SORTENTS", again);
    dictionary->close();
    EXPECT_EQ(again, tableId);
    ASSERT_EQ(acdbOpenObject(table, tableId, AcDb::kForRead), Acad::eOk);
    table->getFullDrawOrder(order);
    table->close();
    EXPECT_EQ(order[0], second);
    EXPECT_EQ(order[1], hatchLike);
    EXPECT_EQ(db.openObjectCount(), 0);
}

TEST_F(DrawingDatabase, HandlesToObjectIds) {
    CAcadUtilities u;
    AcDbObjectId line = append(db, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
    CString handle = line.handle().text().c_str();
    EXPECT_EQ(u.convertHandleToObjectId(handle), line);
    EXPECT_TRUE(u.convertHandleToObjectId(L"FFFFFF").isNull());
    EXPECT_TRUE(u.convertHandleToObjectId(L"not a handle").isNull());
}

} // namespace
