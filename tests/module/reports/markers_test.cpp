// Legend and pie-chart markers: their definitions and inserts made from a picked outline, the values
// read back from them, and a legend and a pie placed at them and plotted.
#include <filesystem>

#include "ChartsFixture.h"
#include "commands/BrenvikReports.h"
#include "cad/plot/PlotEngine.h"
#include "drawing/Layer.h"
#include "reports/LegendTable.h"
#include "reports/MarkerBlockLegend.h"
#include "reports/MarkerBlockPie.h"
#include "reports/PieChart.h"
#include "win/Encoding.h"
#include "win/Paths.h"

namespace reportstest {
namespace {

class Markers : public ChartsFixture {
protected:
    // The outline open for write, moved into the current UCS, as the marker commands hand it over.
    template <class T>
    T* picked(AcDbObjectId id) {
        T* outline = nullptr;
        EXPECT_EQ(acdbOpenObject(outline, id, AcDb::kForWrite), Acad::eOk);
        AcGeMatrix3d ucs;
        acdbUcsMatrix(ucs, db());
        outline->transformBy(ucs.inverse());
        return outline;
    }
    Acad::ErrorStatus legendOn(AcDbObjectId outline, int units, int precision, double textSize, double rotation) {
        drawing->lock();
        CMarkerBlockLegend marker;
        Acad::ErrorStatus status = marker.insertMarkerBlock(drawing.get(), picked<AcDbPolyline>(outline), units,
                                                            precision, textSize, rotation);
        drawing->unlock(0);
        return status;
    }
    Acad::ErrorStatus pieOn(AcDbObjectId circle, int precision, double textSize, double rotation) {
        drawing->lock();
        CMarkerBlockPie marker;
        Acad::ErrorStatus status =
            marker.insertMarkerBlock(drawing.get(), picked<AcDbCircle>(circle), 0, precision, textSize, rotation);
        drawing->unlock(0);
        return status;
    }
    static AcDbPolyline* modeltestRectangle() {
        auto* polyline = new AcDbPolyline(4);
        polyline->addVertexAt(0, AcGePoint2d(0, -1000));
        polyline->addVertexAt(1, AcGePoint2d(3000, -1000));
        polyline->addVertexAt(2, AcGePoint2d(3000, 0));
        polyline->addVertexAt(3, AcGePoint2d(0, 0));
        polyline->setClosed(true);
        return polyline;
    }
    static AcDbAttributeDefinition* definitionOf(const wchar_t* tag) {
        auto* definition = new AcDbAttributeDefinition(AcGePoint3d(0, 0, 0), L"", tag, tag);
        definition->setHeight(250);
        return definition;
    }
    AcDbObjectId circle(double x, double y, double radius) {
        return host->addEntity(new AcDbCircle(AcGePoint3d(x, y, 0), AcGeVector3d::kZAxis, radius));
    }
    // The one insert of the definition in model space, open for read; null when there is none.
    AcDbBlockReference* insertOf(const std::wstring& name) {
        AcDbObjectId definition = db()->blockId(name);
        AcDbBlockTableRecord* modelSpace = nullptr;
        acdbOpenObject(modelSpace, db()->modelSpaceId(), AcDb::kForRead);
        AcDbBlockReference* found = nullptr;
        for (const AcDbObjectId& id : modelSpace->entityIds()) {
            AcDbBlockReference* reference = nullptr;
            if (acdbOpenObject(reference, id, AcDb::kForRead) != Acad::eOk) continue;
            if (!found && !definition.isNull() && reference->blockTableRecord() == definition) {
                found = reference;
                continue;
            }
            reference->close();
        }
        modelSpace->close();
        return found;
    }
    std::vector<std::string> attributes(AcDbBlockReference* reference) {
        std::vector<std::string> texts;
        for (const AcDbObjectId& id : reference->attributeIds()) {
            AcDbAttribute* attribute = nullptr;
            if (acdbOpenObject(attribute, id, AcDb::kForRead) != Acad::eOk) continue;
            texts.push_back(CString(attribute->tagConst()).ToUtf8() + "=" +
                            CString(attribute->textStringConst()).ToUtf8() + "@" + point(attribute->position()));
            attribute->close();
        }
        return texts;
    }
};

TEST_F(Markers, ALegendMarkerHoldsTheOutlineFromItsTopLeftCornerAndFiveAttributes) {
    AcDbObjectId outline = host->addRectangle(10, 5, 40, 25);
    ASSERT_EQ(legendOn(outline, 1, 2, 250.0, 0.0), Acad::eOk);
    std::vector<AcDbEntity*> entities = contents(L"MARKER-LEGEND");
    ASSERT_EQ(entities.size(), 6u);
    auto* moved = AcDbPolyline::cast(entities[0]);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->objectId(), outline) << "the picked outline itself moves into the definition";
    EXPECT_EQ(vertices(moved), "0.000,-20.000 0.000;30.000,-20.000 0.000;30.000,0.000 0.000;0.000,0.000 0.000");
    const char* expected[] = {"LEGENDTITLE=LEGEND BLOCK@0.000,-250.000", "LEGENDTEXTSIZE=250.00@0.000,-500.000",
                              "LEGENDPRECISION=2@0.000,-750.000", "LEGENDROTATION=0.00@0.000,-1000.000",
                              "LEGENDUNITS=1@0.000,-1250.000"};
    std::vector<AcDbAttributeDefinition*> definitions = only<AcDbAttributeDefinition>(entities);
    ASSERT_EQ(definitions.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        AcDbAttributeDefinition* definition = definitions[i];
        EXPECT_EQ(CString(definition->tagConst()).ToUtf8() + "=" + CString(definition->textStringConst()).ToUtf8() +
                      "@" + point(definition->position()),
                  expected[i]);
        EXPECT_EQ(definition->layerName(), L"KELMO_LEGEND_MARKER");
        EXPECT_FALSE(definition->isConstant());
        EXPECT_DOUBLE_EQ(definition->height(), 250.0);
        EXPECT_EQ(definition->fieldLength(), static_cast<int>(std::wcslen(definition->textStringConst())) + 1);
    }
    EXPECT_EQ(CString(definitions[1]->promptConst()), L"Enter legend text size");
    closeAll(entities);

    AcDbBlockReference* insert = insertOf(L"MARKER-LEGEND");
    ASSERT_NE(insert, nullptr);
    EXPECT_EQ(point(insert->position()), "10.000,25.000");
    EXPECT_EQ(insert->layerName(), L"KELMO_LEGEND_MARKER");
    EXPECT_EQ(attributes(insert).size(), 5u);
    EXPECT_EQ(attributes(insert)[4], "LEGENDUNITS=1@10.000,-1225.000");
    insert->close();
    CLayer layer;
    ASSERT_EQ(layer.getDWGLayer(drawing.get(), L"KELMO_LEGEND_MARKER"), 1);
    EXPECT_EQ(layer.getOff(), 1) << "the marker layer is switched off";

    CBlocks legends;
    legends.getLegendBlock_SS(drawing.get());
    ASSERT_EQ(legends.getCount(), 1);
    auto* marker = static_cast<CMarkerBlockLegend*>(legends.getAt(0));
    EXPECT_EQ(marker->getTextSize(), 250.0);
    EXPECT_EQ(marker->getPrecision(), 2);
    EXPECT_EQ(marker->getUnits(), 1);
    EXPECT_EQ(point(marker->getPosition()), "10.000,25.000");
}

TEST_F(Markers, APieMarkerStandsAtTheCircleCentreWithItsRadius) {
    ASSERT_EQ(pieOn(circle(100, 200, 12.5), 2, 250.0, 1.5707963267948966), Acad::eOk);
    std::vector<AcDbEntity*> entities = contents(L"MARKER-PIECHART");
    ASSERT_EQ(entities.size(), 6u);
    auto* moved = AcDbCircle::cast(entities[0]);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(point(moved->center()), "0.000,0.000");
    std::vector<AcDbAttributeDefinition*> definitions = only<AcDbAttributeDefinition>(entities);
    ASSERT_EQ(definitions.size(), 5u);
    EXPECT_EQ(CString(definitions[3]->textStringConst()), L"12.50");
    EXPECT_EQ(CString(definitions[4]->tagConst()), L"PIEXYOFFSETVALUE");
    EXPECT_EQ(CString(definitions[4]->textStringConst()), L"500.00");
    closeAll(entities);
    AcDbBlockReference* insert = insertOf(L"MARKER-PIECHART");
    ASSERT_NE(insert, nullptr);
    EXPECT_EQ(point(insert->position()), "100.000,200.000");
    EXPECT_NEAR(insert->rotation(), 1.5707963267948966, 1e-12);
    EXPECT_EQ(insert->layerName(), L"KELMO_PIECHART_MARKER");
    insert->close();
    CBlocks pies;
    pies.getPieBlock_SS(drawing.get());
    ASSERT_EQ(pies.getCount(), 1);
    auto* marker = static_cast<CMarkerBlockPie*>(pies.getAt(0));
    EXPECT_EQ(marker->getRadius(), 12.5);
    EXPECT_NEAR(marker->getRotation(), 1.5707963267948966, 1e-12);
    EXPECT_EQ(point(marker->getCentre()), "100.000,200.000");
}

TEST_F(Markers, UnderARotatedUcsTheMarkerKeepsTheOutlineWhereItWasDrawn) {
    const double c = std::cos(3.141592653589793 / 6), s = std::sin(3.141592653589793 / 6);
    db()->setUcs(AcGePoint3d(1000, 500, 0), AcGeVector3d(c, s, 0), AcGeVector3d(-s, c, 0));
    AcDbObjectId outline = host->addRectangle(2000, 1000, 5000, 3000);
    ASSERT_EQ(legendOn(outline, 0, 1, 100.0, 0.25), Acad::eOk);
    // The outline, seen through the insert, is where it was drawn.
    AcDbBlockReference* insert = insertOf(L"MARKER-LEGEND");
    ASSERT_NE(insert, nullptr);
    const AcGeMatrix3d placed = insert->blockTransform();
    insert->close();
    std::vector<AcDbEntity*> entities = contents(L"MARKER-LEGEND");
    auto* moved = AcDbPolyline::cast(entities[0]);
    ASSERT_NE(moved, nullptr);
    // The UCS top-left corner of the rectangle lies at the definition's origin; the insert turns it
    // by the UCS and by the quarter radian given.
    std::vector<std::string> world;
    for (unsigned i = 0; i < moved->numVerts(); ++i) {
        AcGePoint3d at;
        moved->getPointAt(i, at);
        const AcGeMatrix3d undo = AcGeMatrix3d::rotation(-0.25, AcGeVector3d::kZAxis, AcGePoint3d::kOrigin);
        world.push_back(point(placed * (undo * at)));
    }
    closeAll(entities);
    std::sort(world.begin(), world.end());
    EXPECT_EQ(world, (std::vector<std::string>{"2000.000,1000.000", "2000.000,3000.000", "5000.000,1000.000",
                                               "5000.000,3000.000"}));
    CBlocks legends;
    legends.getLegendBlock_SS(drawing.get());
    ASSERT_EQ(legends.getCount(), 1);
    auto* marker = static_cast<CMarkerBlockLegend*>(legends.getAt(0));
    EXPECT_NEAR(marker->getRotation(), 0.25, 1e-9);
    EXPECT_EQ(marker->getPrecision(), 1);
    EXPECT_EQ(marker->getTextSize(), 100.0);
}

TEST_F(Markers, ASecondDefinitionIsRefusedAndTheOutlineStaysWhereItWas) {
    host->defineBlock(L"MARKER-LEGEND", {new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 1)});
    db()->setUcs(AcGePoint3d(100, 0, 0), AcGeVector3d(0, 1, 0), AcGeVector3d(-1, 0, 0));
    AcDbObjectId outline = host->addRectangle(10, 5, 40, 25);
    EXPECT_EQ(legendOn(outline, 0, 2, 250.0, 0.0), Acad::eDuplicateRecordName);
    AcDbPolyline* rectangle = nullptr;
    ASSERT_EQ(acdbOpenObject(rectangle, outline, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(rectangle->ownerId(), db()->modelSpaceId());
    rectangle->close();
    EXPECT_EQ(insertOf(L"MARKER-LEGEND"), nullptr);
    std::vector<AcDbEntity*> held = contents(L"MARKER-LEGEND");
    EXPECT_EQ(held.size(), 1u) << "the definition held is untouched";
    closeAll(held);
}

TEST_F(Markers, AMarkerMadeWhileTheValuesWereAskedLeavesThePickedOutlineInPlace) {
    const double c = std::cos(0.5), s = std::sin(0.5);
    db()->setUcs(AcGePoint3d(100, 50, 0), AcGeVector3d(c, s, 0), AcGeVector3d(-s, c, 0));
    AcDbObjectId outline = host->addRectangle(10, 5, 40, 25);
    host->answers({L"2", L"250", L"0"});
    locked([&] {
        host->defineBlock(L"MARKER-LEGEND", {new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 1)});
        createLegendMarkerBlock(drawing.get(), outline);
    });
    EXPECT_NE(host->commandLine().find(L"\n\nLegend Marker Block Already Exists\n"), std::wstring::npos);
    AcDbPolyline* rectangle = nullptr;
    ASSERT_EQ(acdbOpenObject(rectangle, outline, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(vertices(rectangle), "10.000,5.000 0.000;40.000,5.000 0.000;40.000,25.000 0.000;10.000,25.000 0.000");
    EXPECT_EQ(rectangle->ownerId(), db()->modelSpaceId());
    rectangle->close();
}

// The outline's corner is taken before the matrix carries it, and only the pie's centre goes on from
// the UCS into the world: a moved and a turned UCS, with a matrix that turns a quarter and moves.
TEST_F(Markers, PositionAndCentreFromAnOutlineFollowTheMatrixAndOnlyTheCentreTheUcs) {
    const double quarter = 1.5707963267948966;
    const AcGeMatrix3d matrix = AcGeMatrix3d::translation(AcGeVector3d(5, 0, 0)) *
                                AcGeMatrix3d::rotation(quarter, AcGeVector3d::kZAxis, AcGePoint3d::kOrigin);
    struct Case {
        const char* ucs;
        AcGePoint3d origin;
        AcGeVector3d xAxis, yAxis;
        const char *position, *centre;
    };
    const Case cases[] = {
        // Corner (10,25) turned to (-25,10), moved to (-20,10); the world UCS leaves it there.
        {"world", AcGePoint3d(0, 0, 0), AcGeVector3d(1, 0, 0), AcGeVector3d(0, 1, 0), "-20.000,10.000",
         "-15.000,100.000"},
        {"moved", AcGePoint3d(1000, 500, 0), AcGeVector3d(1, 0, 0), AcGeVector3d(0, 1, 0), "-20.000,10.000",
         "985.000,600.000"},
        // Centre (100,20) turned to (-20,100), moved to (-15,100), then read in a UCS turned a quarter.
        {"turned", AcGePoint3d(1000, 500, 0), AcGeVector3d(0, 1, 0), AcGeVector3d(-1, 0, 0), "-20.000,10.000",
         "900.000,485.000"},
    };
    AcDbPolyline* outline = modeltestRectangle();
    outline->transformBy(AcGeMatrix3d::translation(AcGeVector3d(10, 25, 0)));
    const AcDbCircle circle(AcGePoint3d(100, 20, 0), AcGeVector3d::kZAxis, 50);
    for (const Case& c : cases) {
        db()->setUcs(c.origin, c.xAxis, c.yAxis);
        CMarkerBlockLegend legend;
        legend.setPositionFromPolyline(matrix, outline);
        EXPECT_EQ(point(legend.getPosition()), c.position) << c.ucs;
        CMarkerBlockPie pie;
        pie.setCentreFromCircle(matrix, &circle);
        EXPECT_EQ(point(pie.getCentre()), c.centre) << c.ucs;
        EXPECT_EQ(pie.getCentre().z, 0.0) << c.ucs;
    }
    delete outline;
}

TEST_F(Markers, ValuesNoChartCanUseFallBackToTheDefaults) {
    host->defineBlock(L"MARKER-LEGEND", {modeltestRectangle(), definitionOf(L"LEGENDTEXTSIZE"),
                                         definitionOf(L"LEGENDPRECISION"), definitionOf(L"LEGENDUNITS")});
    host->defineBlock(L"MARKER-PIECHART", {new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 10),
                                           definitionOf(L"PIERADIUS"), definitionOf(L"PIETEXTSIZE")});
    struct Case {
        std::wstring textSize, precision, radius;
        double expectedSize;
        int expectedPrecision;
        double expectedRadius;
    };
    const Case cases[] = {
        {L"125.5", L"3", L"40", 125.5, 3, 40.0}, {L"0", L"-1", L"-3", 250.0, 2, 0.0},
        {L"abc", L"99", L"abc", 250.0, 2, 0.0},  {L"-250", L"two", L"1e400", 250.0, 2, 0.0},
        {L"12mm", L"0", L"0", 250.0, 0, 0.0},
    };
    for (const Case& c : cases) {
        AcDbObjectId legend = host->insertBlock(L"MARKER-LEGEND", AcGePoint3d(0, 0, 0), 1.0, 0.0,
                                                {{L"LEGENDTEXTSIZE", c.textSize}, {L"LEGENDPRECISION", c.precision}});
        AcDbObjectId pie = host->insertBlock(L"MARKER-PIECHART", AcGePoint3d(0, 0, 0), 1.0, 0.0,
                                             {{L"PIERADIUS", c.radius}, {L"PIETEXTSIZE", c.textSize}});
        AcDbBlockReference* reference = nullptr;
        ASSERT_EQ(acdbOpenObject(reference, legend, AcDb::kForRead), Acad::eOk);
        CMarkerBlockLegend readLegend(reference, doc());
        reference->close();
        ASSERT_EQ(acdbOpenObject(reference, pie, AcDb::kForRead), Acad::eOk);
        CMarkerBlockPie readPie(reference, doc());
        reference->close();
        const std::string row = CString(c.textSize.c_str()).ToUtf8() + "/" + CString(c.precision.c_str()).ToUtf8();
        EXPECT_EQ(readLegend.getTextSize(), c.expectedSize) << row;
        EXPECT_EQ(readLegend.getPrecision(), c.expectedPrecision) << row;
        EXPECT_EQ(readLegend.getUnits(), 0) << row;
        EXPECT_EQ(readPie.getTextSize(), c.expectedSize) << row;
        EXPECT_EQ(readPie.getPrecision(), 2) << "no precision attribute";
        EXPECT_EQ(readPie.getRadius(), c.expectedRadius) << row;
    }
    CMarkerBlockPie fresh;
    EXPECT_EQ(fresh.getTextSize(), 250.0);
    EXPECT_EQ(fresh.getRadius(), 0.0);
    EXPECT_EQ(fresh.getRotation(), 0.0);
}

TEST_F(Markers, ALegendAndAPieAtTheirMarkersArePlotted) {
    // Three rooms hatched in their categories' colours, the markers beside them, the charts filled.
    const std::vector<CategorySpec> specs = {
        {L"Offices", L"SOLID", 1, 230, 120, 40, L"HATCH-OFFICES", {60.0, 40.0}},
        {L"Meeting rooms", L"ANSI31", 400, 40, 110, 200, L"HATCH-MEETING", {50.0}},
        {L"Stores", L"ANSI37", 400, 60, 160, 60, L"HATCH-STORES", {30.0}},
        {L"Empty category", L"SOLID", 1, 0, 0, 0, L"HATCH-EMPTY", {}},
    };
    auto made = report(L"Level 2 occupancy", 200.0, specs);
    // A sheet border around plan and charts: the plot takes the drawing's extents.
    host->addRectangle(-1000, -6000, 38000, 12000);
    host->addRectangle(0, 0, 10000, 10000);
    host->addRectangle(10000, 0, 15000, 10000);
    host->addRectangle(15000, 0, 18000, 10000);
    AcDbObjectId legendOutline = host->addRectangle(20000, 10000, 32000, 6000);
    AcDbObjectId pieCircle = circle(26000, 0, 3000);
    ASSERT_EQ(legendOn(legendOutline, 0, 2, 250.0, 0.0), Acad::eOk);
    ASSERT_EQ(pieOn(pieCircle, 1, 250.0, 0.0), Acad::eOk);

    locked([&] {
        CBlocks legends;
        legends.getLegendBlock_SS(drawing.get());
        CBlocks pies;
        pies.getPieBlock_SS(drawing.get());
        ASSERT_EQ(legends.getCount(), 1);
        ASSERT_EQ(pies.getCount(), 1);
        auto* legend = static_cast<CMarkerBlockLegend*>(legends.getAt(0));
        auto* pie = static_cast<CMarkerBlockPie*>(pies.getAt(0));
        AcGePoint3d position = legend->getPosition();
        AcGePoint3d centre = pie->getCentre();
        CLegendTable(drawing.get(), legend->getTextSize(), legend->getPrecision(), L"sq.m.", 0, made.get(),
                     legend->getRotation(), &position);
        CPieChart(drawing.get(), made.get(), pie->getRadius(), 100.0, pie->getTextSize(), pie->getPrecision(), L"sq.m.",
                  1, 1, 1, pie->getRotation(), &centre);
    });
    const std::filesystem::path folder = std::filesystem::path(KELMO_BINARY_DIR) / "plots";
    std::filesystem::create_directories(folder);
    std::wstring why;
    ASSERT_EQ(plot::plotCurrentLayout(doc(), win::nativeToWindows((folder / "legend_and_pie.png").string()), why),
              Acad::eOk)
        << win::toUtf8(why);
    EXPECT_GT(std::filesystem::file_size(folder / "legend_and_pie.png"), 1000u);
}

} // namespace
} // namespace reportstest
