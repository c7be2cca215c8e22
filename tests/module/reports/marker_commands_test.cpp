// "mlmc" and "mpmc" through cadhost on ezdxf plans, under the world and a rotated UCS, and every command
// that makes a picked outline a block on an outline drawn on a paper layout.
#include "ReportsHost.h"

namespace reportstest {
namespace {

using MarkerCommands = ReportsHost;

TEST_F(MarkerCommands, LegendOnAClosedPolylineAndPieOnACircleWithTypedValues) {
    Outcome r =
        run("report_plan.dxf", "mlmc\n" + pick("outline") + "\n3\n100\n90\nmpmc\n" + pick("circle") + "\n\n\n\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(
        has(r, "Command: mlmc\nKelmo Create Legend Marker Block 64.04.00.01\n\n\nPlease select a polyline:\n\n" +
                   pick("outline") +
                   "\n\nenter legend precision <2>:3\n 3\n\nenter legend text size <250.00>:100\n 100.00\n\n"
                   "specify legend rotation (in degrees) <0.00>:90\n 90.00\nBlock Created Successfully\n"))
        << r.out;
    EXPECT_TRUE(
        has(r, "Command: mpmc\nKelmo Create Pie Chart Marker Block 64.04.00.01\n\n\nPlease select a circle:\n\n" +
                   pick("circle") + "\n\nenter pie chart precision <2>:\n 2\n"))
        << r.out;
    EXPECT_EQ(count(r.out, "Block Created Successfully\n"), 2u) << r.out;
    const std::vector<std::string> facts = dump("report_plan.dxf");
    EXPECT_EQ(starting(facts, "insert|MARKER-"),
              (std::vector<std::string>{
                  "insert|MARKER-LEGEND|KELMO_LEGEND_MARKER|30000.000,6000.000|90.000|LEGENDTITLE=LEGEND BLOCK|"
                  "LEGENDTEXTSIZE=100.000|LEGENDPRECISION=3|LEGENDROTATION=0.000|LEGENDUNITS=0",
                  "insert|MARKER-PIECHART|KELMO_PIECHART_MARKER|8000.000,-9000.000|0.000|PIETITLE=PIE BLOCK|"
                  "PIETEXTSIZE=250.00|PIEPRECISION=2|PIERADIUS=4000.00|PIEXYOFFSETVALUE=500.00"}));
    EXPECT_EQ(starting(facts, "outline|MARKER-PIECHART"),
              (std::vector<std::string>{"outline|MARKER-PIECHART|8000.000,-9000.000 r4000.000"}));
    EXPECT_EQ(starting(facts, "layer|KELMO_"),
              (std::vector<std::string>{"layer|KELMO_LEGEND_MARKER|off", "layer|KELMO_PIECHART_MARKER|off"}));
    // The picked entities moved into the definitions: model space holds neither any more.
    EXPECT_TRUE(starting(facts, "circle|0|8000.000,-9000.000").empty());
    EXPECT_TRUE(starting(facts, "polyline|0|closed").empty());
}

TEST_F(MarkerCommands, UnderARotatedUcsTheOutlineStaysWhereItWasDrawn) {
    // The UCS is turned by 30 degrees about (1000, 500): the inserts carry that turn and the typed one.
    Outcome r = run("report_plan_ucs.dxf",
                    "mlmc\n" + pick("outline") + "\n2\n250\n0\nmpmc\n" + pick("circle") + "\n1\n200\n45\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, "Block Created Successfully\n"), 2u) << r.out;
    const std::vector<std::string> facts = dump("report_plan_ucs.dxf");
    // The outline's UCS top-left corner, back in world coordinates.
    const std::vector<std::string> legend = starting(facts, "insert|MARKER-LEGEND|KELMO_LEGEND_MARKER|");
    ASSERT_EQ(legend.size(), 1u);
    EXPECT_EQ(legend[0].substr(0, legend[0].find("|LEGENDTITLE")),
              "insert|MARKER-LEGEND|KELMO_LEGEND_MARKER|27401.924,4500.000|30.000");
    EXPECT_EQ(starting(facts, "outline|MARKER-LEGEND"),
              (std::vector<std::string>{
                  "outline|MARKER-LEGEND|30000.000,0.000;30000.000,6000.000;42000.000,0.000;42000.000,6000.000"}));
    const std::vector<std::string> pie = starting(facts, "insert|MARKER-PIECHART|");
    ASSERT_EQ(pie.size(), 1u);
    EXPECT_EQ(pie[0].substr(0, pie[0].find("|PIETITLE")),
              "insert|MARKER-PIECHART|KELMO_PIECHART_MARKER|8000.000,-9000.000|75.000");
    EXPECT_NE(pie[0].find("PIETEXTSIZE=200.0|PIEPRECISION=1|PIERADIUS=4000.0"), std::string::npos) << pie[0];
}

TEST_F(MarkerCommands, ASecondMarkerOfAKindIsRefusedWithoutAQuestion) {
    Outcome r = run("report_plan.dxf",
                    "mlmc\n" + pick("outline") + "\n\n\n\nmlmc\nmpmc\n" + pick("circle") + "\n\n\n\nmpmc\nSAVE\n");
    ASSERT_EQ(r.status, 1) << r.err; // a failure line the command printed fails the line
    EXPECT_TRUE(has(r,
                    "Command: mlmc\nKelmo Create Legend Marker Block 64.04.00.01\n\n\nLegend Marker Block Already "
                    "Exists\n\nCommand: mpmc"))
        << r.out;
    EXPECT_TRUE(has(r,
                    "Command: mpmc\nKelmo Create Pie Chart Marker Block 64.04.00.01\n\n\n Pie Chart Marker Block "
                    "Already Exists\n\nCommand: SAVE"))
        << r.out;
    const std::vector<std::string> facts = dump("report_plan.dxf");
    EXPECT_EQ(starting(facts, "insert|MARKER-").size(), 2u);
}

// A definition named "marker-legend" is not the legend marker's (letter case counts), so the values
// are asked for; the drawing then takes no second definition of that name and says so.
TEST_F(MarkerCommands, ADefinitionNamedInLowerCaseIsNoMarkerYetTheDrawingTakesNoSecondOfThatName) {
    Outcome r =
        run("report_plan_lower.dxf", "mlmc\n" + pick("outline") + "\n\n\n\nmpmc\n" + pick("circle") + "\n\n\n\nSAVE\n");
    ASSERT_EQ(r.status, 1) << r.err; // a failure line the command printed fails the line
    EXPECT_FALSE(has(r, "Already Exists")) << r.out;
    EXPECT_TRUE(has(r, "specify legend rotation (in degrees) <0.00>:\n 0.00\nBlock Creation Failed - Error Code 95\n"))
        << r.out;
    EXPECT_TRUE(
        has(r, "specify pie chart rotation (in degrees) <0.00>:\n 0.00\nBlock Creation Failed - Error Code 95\n"))
        << r.out;
    const std::vector<std::string> facts = dump("report_plan_lower.dxf");
    EXPECT_TRUE(starting(facts, "insert|MARKER-").empty());
    EXPECT_TRUE(starting(facts, "insert|marker-").empty());
    // The picked outline and circle stay in model space.
    EXPECT_EQ(starting(facts, "polyline|0|closed").size(), 1u);
    EXPECT_EQ(starting(facts, "circle|0|8000.000,-9000.000").size(), 1u);
}

TEST_F(MarkerCommands, OpenPolylinesWrongPicksAndLockedLayersAreRefused) {
    Outcome r = run("report_plan.dxf", "mlmc\n" + pick("line") + "\n" + pick("open") + "\nmpmc\n" + pick("outline") +
                                           "\n" + pick("lockedcircle") + "\nmlmc\n*Cancel*\nSAVE\n");
    ASSERT_EQ(r.status, 1) << r.err; // the wrong picks are refused lines
    EXPECT_TRUE(has(r, "Please select a polyline:\n\n" + pick("line") + "\nInvalid selection - AcDbLine.\n")) << r.out;
    EXPECT_TRUE(has(r, pick("open") + "\n\nInvalid Selection - Polyline is not closed\n\n")) << r.out;
    EXPECT_TRUE(has(r, pick("outline") + "\nInvalid selection - AcDbPolyline.\n")) << r.out;
    EXPECT_TRUE(has(r, pick("lockedcircle") + "\n\nCircle On Locked Layer - Pie Chart Marker Block Creation Failed\n"))
        << r.out;
    EXPECT_TRUE(has(r, "Cancelled by User.\n")) << r.out;
    EXPECT_EQ(count(r.out, "enter "), 0u) << "no value is asked after a refused pick";
    const std::vector<std::string> facts = dump("report_plan.dxf");
    EXPECT_TRUE(starting(facts, "insert|MARKER-").empty());
    EXPECT_TRUE(starting(facts, "layer|KELMO_").empty());
    EXPECT_EQ(
        starting(facts, "polyline|0|"),
        (std::vector<std::string>{"polyline|0|closed|30000.000,6000.000;42000.000,6000.000;42000.000,0.000;"
                                  "30000.000,0.000",
                                  "polyline|0|open|30000.000,-2000.000;42000.000,-2000.000;42000.000,-3000.000"}));
}

// Blocks are made in model space: an outline picked by handle on a paper layout is refused by every
// command that would make it a block, whichever space is current, and stays on its sheet.
TEST_F(MarkerCommands, AnOutlineOnAPaperLayoutIsRefusedByEveryCommandThatMakesABlockAndStaysThere) {
    const std::string onSheet = "lies on layout Layout1: blocks are made in model space\n\n";
    const struct Case {
        const char* what;
        std::string script;
        std::string refusal;
    } cases[] = {
        {"gross area", "mgabc\n" + pick("outline") + "\n", "Polyline " + onSheet},
        {"legend marker", "mlmc\n" + pick("outline") + "\n", "Polyline " + onSheet},
        {"pie marker", "mpmc\n" + pick("circle") + "\n", "Circle " + onSheet},
        {"space", "mbc\ndlg click 3\n" + pick("outline") + "\n\ndlg click 2\n", "Polyline " + onSheet},
    };
    for (const char* plan : {"report_plan_sheet.dxf", "report_plan_sheet_current.dxf"}) {
        for (const Case& c : cases) {
            Outcome r = run(plan, c.script + "SAVEAS saved.dxf\n");
            ASSERT_EQ(r.status, 1) << c.what << r.err << r.out; // a failure line the command printed fails the line
            EXPECT_TRUE(has(r, "\nInvalid Selection - " + c.refusal)) << c.what << " on " << plan << r.out;
            EXPECT_FALSE(has(r, "Block Created Successfully")) << c.what << " on " << plan << r.out;
            EXPECT_EQ(count(r.out, "enter "), 0u) << c.what << " on " << plan << ": nothing asked after the pick";
            EXPECT_EQ(drawn("saved.dxf", "Layout1"), (std::vector<std::string>{"lwpolyline", "circle"}))
                << c.what << " on " << plan;
            EXPECT_EQ(drawn("saved.dxf", "Model"), drawn(plan, "Model")) << c.what << " on " << plan;
        }
    }
    // With the sheet current, an outline of model space is still made a block where it lies.
    Outcome r = run("report_plan_layout.dxf", "mlmc\n" + pick("outline") + "\n\n\n\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "Block Created Successfully")) << r.out;
    const std::vector<std::string> model = drawn("saved.dxf", "Model");
    EXPECT_EQ(std::count(model.begin(), model.end(), "insert|MARKER-LEGEND"), 1);
}

TEST_F(MarkerCommands, AHostOtherThanFullAutoCadOrBricsCadCannotRunThem) {
    Outcome r = run("report_plan.dxf", "mlmc\n", "--product 'AutoCAD LT 2015'");
    EXPECT_NE(r.status, 0) << "the command is not registered";
    EXPECT_FALSE(has(r, "Create Legend Marker Block")) << r.out;
}

} // namespace
} // namespace reportstest
