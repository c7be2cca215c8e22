// The pie chart: wedges clockwise from 12 o'clock in proportion to the categories' areas, their
// hatches, labels and lines, the title and the total, built from reports with several categories.
#include <functional>

#include "ChartsFixture.h"
#include "cad/db/AcDbHatch.h"
#include "reports/PieChart.h"

namespace reportstest {
namespace {

using Pie = ChartsFixture;

const std::vector<CategorySpec> quarters = {
    {L"Offices", L"SOLID", 1, 255, 0, 0, L"H-OFF", {30.0, 20.0}},
    {L"Empty", L"SOLID", 1, 0, 0, 0, L"H-EMPTY", {0.0}},
    {L"Stores", L"ANSI31", 1, 0, 0, 255, L"H-STO", {25.0}},
    {L"Kitchen", L"SOLID", 1, 0, 255, 0, L"H-KIT", {25.0}},
};

struct Label {
    std::string text, at;
    int horizontal, vertical;
};

Label label(const AcDbAttributeDefinition* definition) {
    return {CString(definition->textStringConst()).ToUtf8(), ChartsFixture::point(definition->alignmentPoint()),
            definition->horizontalMode(), definition->verticalMode()};
}

TEST_F(Pie, WedgesFollowEachOtherClockwiseFromTwelveWithLabelsLinesTitleAndTotal) {
    auto made = report(L"Floor 3", 100.0, quarters);
    std::unique_ptr<CPieChart> chart;
    locked([&] {
        chart = std::make_unique<CPieChart>(drawing.get(), made.get(), 1000.0, 0.0, 100.0, 2, L"sq.m.", 1, 1, 1, 0.0,
                                            nullptr);
    });
    EXPECT_TRUE(chart->isBuilt());
    std::vector<AcDbEntity*> entities = contents(L"[KELMO_PIECHART]_Floor 3");
    std::vector<AcDbPolyline*> wedges = only<AcDbPolyline>(entities);
    ASSERT_EQ(wedges.size(), 3u);
    // Offices: half the pie, from 12 o'clock round to 6; bulge -tan(pi/4).
    EXPECT_EQ(vertices(wedges[0]), "0.000,0.000 0.000;0.000,1000.000 -1.000;0.000,-1000.000 0.000;0.000,0.000 0.000");
    // Stores: a quarter from 6 to 9 o'clock, bulge -tan(pi/8).
    EXPECT_EQ(vertices(wedges[1]), "0.000,0.000 0.000;0.000,-1000.000 -0.414;-1000.000,0.000 0.000;0.000,0.000 0.000");
    // Kitchen: from 9 back to 12.
    EXPECT_EQ(vertices(wedges[2]), "0.000,0.000 0.000;-1000.000,0.000 -0.414;0.000,1000.000 0.000;0.000,0.000 0.000");
    EXPECT_TRUE(wedges[0]->isClosed());
    EXPECT_EQ(wedges[0]->layerName(), L"H-OFF");
    EXPECT_EQ(wedges[0]->color().red(), 255);
    // The hatches sit under the wedges, one per wedge, on the category's layer.
    std::vector<AcDbHatch*> hatches = only<AcDbHatch>(entities);
    ASSERT_EQ(hatches.size(), 3u);
    EXPECT_EQ(std::wstring(hatches[1]->patternName()), L"ANSI31");
    EXPECT_EQ(hatches[1]->layerName(), L"H-STO");
    // Lines from the centre to 0.95 of the label radius on each bisector.
    std::vector<AcDbLine*> lines = only<AcDbLine>(entities);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(point(lines[0]->startPoint()) + " " + point(lines[0]->endPoint()), "0.000,0.000 1187.500,0.000");
    EXPECT_EQ(point(lines[1]->endPoint()), "-839.689,-839.689");
    EXPECT_EQ(lines[2]->layerName(), L"H-KIT");
    // Labels at 1.25 r, left of the centre line right-aligned, low ones hanging; then title and total.
    std::vector<AcDbAttributeDefinition*> texts = only<AcDbAttributeDefinition>(entities);
    ASSERT_EQ(texts.size(), 5u);
    const Label expected[] = {
        {"Offices (50.00 sq.m.)", "1250.000,0.000", AcDb::kTextLeft, AcDb::kTextTop},
        {"Stores (25.00 sq.m.)", "-883.883,-883.883", AcDb::kTextRight, AcDb::kTextTop},
        {"Kitchen (25.00 sq.m.)", "-883.883,883.883", AcDb::kTextRight, AcDb::kTextBottom},
        {"Floor 3", "0.000,1600.000", AcDb::kTextCenter, AcDb::kTextTop},
        {"Total: 100.00sq.m.", "0.000,-1400.000", AcDb::kTextCenter, AcDb::kTextTop},
    };
    for (size_t i = 0; i < 5; ++i) {
        const Label found = label(texts[i]);
        EXPECT_EQ(found.text, expected[i].text) << i;
        EXPECT_EQ(found.at, expected[i].at) << i;
        EXPECT_EQ(found.horizontal, expected[i].horizontal) << i;
        EXPECT_EQ(found.vertical, expected[i].vertical) << i;
        EXPECT_TRUE(texts[i]->isConstant()) << i;
        EXPECT_DOUBLE_EQ(texts[i]->height(), 100.0) << i;
    }
    EXPECT_EQ(texts[0]->layerName(), L"H-OFF");
    closeAll(entities);
}

TEST_F(Pie, AnOffsetMovesWedgesLinesAndLabelsOutAlongTheBisectorAndImperialTotalsSaySo) {
    auto made = report(L"Feet", 100.0, quarters);
    locked([&] { CPieChart(drawing.get(), made.get(), 1000.0, 50.0, 100.0, 1, L"sq.ft.", 1, 1, 1, 0.0, nullptr); });
    std::vector<AcDbEntity*> entities = contents(L"[KELMO_PIECHART]_Feet");
    std::vector<AcDbPolyline*> wedges = only<AcDbPolyline>(entities);
    ASSERT_EQ(wedges.size(), 3u);
    EXPECT_EQ(vertices(wedges[0]),
              "50.000,0.000 0.000;50.000,1000.000 -1.000;50.000,-1000.000 0.000;50.000,0.000 0.000");
    std::vector<AcDbLine*> lines = only<AcDbLine>(entities);
    EXPECT_EQ(point(lines[0]->startPoint()) + " " + point(lines[0]->endPoint()), "50.000,0.000 1237.500,0.000");
    std::vector<AcDbAttributeDefinition*> texts = only<AcDbAttributeDefinition>(entities);
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(label(texts[0]).text, "Offices (50.0 sq.ft.)");
    EXPECT_EQ(label(texts[0]).at, "1300.000,0.000");
    EXPECT_EQ(label(texts[4]).text, "Total: 100.0sq.ft.");
    closeAll(entities);
}

TEST_F(Pie, OneCategoryOfTheWholeIsAFullCircleLabelledAtSixOClock) {
    auto made = report(L"Whole", 80.0, {{L"All", L"SOLID", 1, 9, 9, 9, L"H", {80.0}}});
    locked([&] { CPieChart(drawing.get(), made.get(), 1000.0, 0.0, 100.0, 2, L"sq.m.", 1, 1, 0, 0.0, nullptr); });
    std::vector<AcDbEntity*> entities = contents(L"[KELMO_PIECHART]_Whole");
    std::vector<AcDbPolyline*> wedges = only<AcDbPolyline>(entities);
    ASSERT_EQ(wedges.size(), 1u);
    EXPECT_EQ(vertices(wedges[0]), "0.000,1000.000 -1.000;0.000,-1000.000 -1.000;0.000,1000.000 0.000");
    EXPECT_TRUE(only<AcDbLine>(entities).empty()) << "label lines were not asked for";
    std::vector<AcDbAttributeDefinition*> texts = only<AcDbAttributeDefinition>(entities);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(label(texts[0]).at, "0.000,-1250.000");
    EXPECT_EQ(label(texts[0]).horizontal, AcDb::kTextLeft); // the sine of pi is a hair above 0
    EXPECT_EQ(label(texts[0]).vertical, AcDb::kTextTop);
    closeAll(entities);
}

TEST_F(Pie, EmptyCategoriesDuplicateTitlesAndHiddenLabelsChangeWhatIsDrawn) {
    // Kept empty category: a zero wedge with its label on the ray of its start; the second "Offices"
    // is not charted.
    auto made = report(L"Kept", 100.0,
                       {{L"Offices", L"SOLID", 1, 1, 1, 1, L"H", {50.0}},
                        {L"Empty", L"SOLID", 1, 2, 2, 2, L"H", {}},
                        {L"Offices", L"SOLID", 1, 3, 3, 3, L"H", {25.0}}});
    locked([&] { CPieChart(drawing.get(), made.get(), 1000.0, 0.0, 100.0, 2, L"sq.m.", 0, 1, 1, 0.0, nullptr); });
    std::vector<AcDbEntity*> entities = contents(L"[KELMO_PIECHART]_Kept");
    EXPECT_EQ(only<AcDbPolyline>(entities).size(), 2u);
    std::vector<AcDbAttributeDefinition*> texts = only<AcDbAttributeDefinition>(entities);
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(label(texts[1]).text, "Empty (0.00 sq.m.)");
    EXPECT_EQ(label(texts[1]).at, "0.000,-1250.000");
    closeAll(entities);

    auto quiet = report(L"Quiet", 100.0, quarters);
    locked([&] { CPieChart(drawing.get(), quiet.get(), 1000.0, 0.0, 100.0, 2, L"sq.m.", 1, 0, 1, 0.0, nullptr); });
    entities = contents(L"[KELMO_PIECHART]_Quiet");
    EXPECT_TRUE(only<AcDbLine>(entities).empty());
    EXPECT_EQ(only<AcDbAttributeDefinition>(entities).size(), 2u) << "title and total only";
    closeAll(entities);
}

TEST_F(Pie, NoCategoriesOrNoTotalBuildNothingAndSaySo) {
    struct Case {
        const char* name;
        double total;
        bool withList;
        std::vector<CategorySpec> specs;
    };
    const Case cases[] = {
        {"no total", 0.0, true, quarters},
        {"negative total", -5.0, true, quarters},
        {"no category list", 100.0, false, {}},
        {"only empty categories", 100.0, true, {{L"Empty", L"SOLID", 1, 0, 0, 0, L"H", {0.0}}}},
    };
    for (const Case& c : cases) {
        auto made = report(L"Nothing", c.total, c.specs, c.withList);
        std::unique_ptr<CPieChart> chart;
        locked([&] {
            chart = std::make_unique<CPieChart>(drawing.get(), made.get(), 1000.0, 0.0, 100.0, 2, L"sq.m.", 1, 1, 1,
                                                0.0, nullptr);
        });
        EXPECT_FALSE(chart->isBuilt()) << c.name;
        EXPECT_TRUE(db()->blockId(L"[KELMO_PIECHART]_Nothing").isNull()) << c.name;
    }
}

TEST_F(Pie, SegmentsAboveTheTotalAreRefusedBeforeAnythingIsDrawn) {
    struct Case {
        double area, total;
        bool refused;
    };
    // The whole numbers of 100.9 and 100.4 are equal, yet the wedges would overlap: refused too.
    const Case cases[] = {
        {100.2, 99.9, true}, {100.9, 100.4, true}, {100.0 + 1e-9, 100.0, false}, {99.0, 100.0, false}};
    for (const Case& c : cases) {
        auto made = report(L"Over", c.total, {{L"All", L"SOLID", 1, 0, 0, 0, L"H", {c.area}}});
        CString message;
        locked([&] {
            message = innermostDescription(
                [&] { CPieChart(drawing.get(), made.get(), 1000.0, 0.0, 100.0, 2, L"sq.m.", 1, 1, 1, 0.0, nullptr); });
        });
        if (c.refused) {
            char expected[200];
            std::snprintf(expected, sizeof expected,
                          "Unable to calculate pie chart percentages the total segment area (%.2f) is greater than "
                          "the specified total area (%.2f).",
                          c.area, c.total);
            EXPECT_EQ(message.ToUtf8(), expected);
            EXPECT_TRUE(db()->blockId(L"[KELMO_PIECHART]_Over").isNull());
        } else {
            EXPECT_EQ(message, L"") << c.area;
        }
    }
}

TEST_F(Pie, AHatchTooDenseForItsWedgeIsReportedAndTheChartStillDrawn) {
    auto made =
        report(L"Dense", 100.0,
               {{L"Grate", L"GRATE", 1, 0, 0, 0, L"H", {60.0}}, {L"Solid", L"SOLID", 1, 0, 0, 0, L"H", {40.0}}});
    host->clearCommandLine();
    locked([&] { CPieChart(drawing.get(), made.get(), 5000.0, 0.0, 100.0, 2, L"sq.m.", 1, 1, 1, 0.0, nullptr); });
    EXPECT_NE(host->commandLine().find(
                  L"Unable to hatch piechart segment. GRATE set at scale 1.00is too dense to be displayed."),
              std::wstring::npos)
        << CString(host->commandLine().c_str()).ToUtf8();
    std::vector<AcDbEntity*> entities = contents(L"[KELMO_PIECHART]_Dense");
    EXPECT_EQ(only<AcDbPolyline>(entities).size(), 2u);
    EXPECT_EQ(only<AcDbHatch>(entities).size(), 2u) << "the dense hatch stays in place";
    closeAll(entities);
}

TEST_F(Pie, RebuildingKeepsTheDefinitionAndEarlierInserts) {
    auto made = report(L"Again", 100.0, quarters);
    AcGePoint3d centre(5000, 5000, 0);
    locked([&] { CPieChart(drawing.get(), made.get(), 1000.0, 0.0, 100.0, 2, L"sq.m.", 1, 1, 1, 0.5, &centre); });
    const AcDbObjectId first = db()->blockId(L"[KELMO_PIECHART]_Again");
    auto again = report(L"Again", 100.0, {{L"All", L"SOLID", 1, 0, 0, 0, L"H", {100.0}}});
    locked([&] { CPieChart(drawing.get(), again.get(), 1000.0, 0.0, 100.0, 2, L"sq.m.", 1, 1, 1, 0.5, &centre); });
    EXPECT_EQ(db()->blockId(L"[KELMO_PIECHART]_Again"), first);
    std::vector<AcDbEntity*> entities = contents(L"[KELMO_PIECHART]_Again");
    EXPECT_EQ(only<AcDbPolyline>(entities).size(), 1u);
    closeAll(entities);
    const auto inserts = insertsOf(first);
    EXPECT_EQ(inserts.size(), 2u);
    for (const auto& [position, rotation] : inserts) {
        EXPECT_TRUE(position.isEqualTo(centre));
        EXPECT_NEAR(rotation, 0.5, 1e-12);
    }
}

// Each step of rebuilding the definition that the drawing refuses names its own line, and an old
// wedge that cannot be erased stops the rebuild rather than staying under the new ones.
TEST_F(Pie, ARefusedStepOfTheRebuildNamesItsLineAndLeavesNoOldWedgeUnderTheNew) {
    host->addLayer(L"H-LOCKED");
    auto built = report(L"Old", 100.0, {{L"All", L"SOLID", 1, 0, 0, 0, L"H-LOCKED", {100.0}}});
    locked([&] { CPieChart(drawing.get(), built.get(), 1000.0, 0.0, 100.0, 2, L"sq.m.", 1, 1, 1, 0.0, nullptr); });
    const auto writesRefused = [this] { db()->setLockCheck([] { return false; }); };
    const auto lockLayer = [this] {
        AcDbLayerTableRecord* layer = nullptr;
        ASSERT_EQ(acdbOpenObject(layer, db()->layerId(L"H-LOCKED"), AcDb::kForWrite), Acad::eOk);
        layer->setIsLocked(true);
        layer->close();
    };
    struct Case {
        const wchar_t* title;
        std::function<void()> before;
        const char* line;
    };
    const Case cases[] = {
        {L"New", writesRefused, "line#220: "},
        {L"Old", writesRefused, "line#195: "},
        {L"Old", lockLayer, "line#195: "},
    };
    for (const Case& c : cases) {
        auto made = report(c.title, 100.0, quarters);
        CString message;
        locked([&] {
            c.before();
            message = innermostDescription(
                [&] { CPieChart(drawing.get(), made.get(), 1000.0, 0.0, 100.0, 2, L"sq.m.", 1, 1, 1, 0.0, nullptr); });
            db()->setLockCheck([document = doc()] { return document->isWriteLocked(); });
        });
        EXPECT_NE(message.ToUtf8().find(c.line), std::string::npos) << message.ToUtf8();
        EXPECT_EQ(modeltest::openObjects(db()), 0u) << CString(c.title).ToUtf8();
    }
    std::vector<AcDbEntity*> entities = contents(L"[KELMO_PIECHART]_Old");
    EXPECT_EQ(only<AcDbPolyline>(entities).size(), 1u) << "the old wedge alone";
    closeAll(entities);
    EXPECT_TRUE(db()->blockId(L"[KELMO_PIECHART]_New").isNull());
}

} // namespace
} // namespace reportstest
