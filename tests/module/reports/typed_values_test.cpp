// The values typed for markers, legends and pie charts: out-of-range answers are asked for again,
// and nothing is drawn from them.
#include "ReportsHost.h"

namespace reportstest {
namespace {

class TypedValues : public ReportsHost {
protected:
    // A report of one category, the offices, in the test's folder.
    std::string officesReport() {
        std::ofstream(dir / "offices.xml")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\"><grID>7</grID><grTitle>Use</grTitle>"
               "<grTotalChildAreas>100</grTotalChildAreas><categories><category><cID>1</cID><cTitle>Offices"
               "</cTitle><cHatchPattern>SOLID</cHatchPattern><cHatchColour>#E07020</cHatchColour><cHatchScale>10"
               "</cHatchScale><cHatchAngle>0</cHatchAngle><cHatchLayer>HATCH-OFFICES</cHatchLayer><kelmoBlocks>"
               "<kelmoBlock><mbHandle>"
            << handles.at("Office A") << "</mbHandle></kelmoBlock></kelmoBlocks></category></categories>"
            << "</graphicReport>\n";
        return windowsPath("offices.xml");
    }
};

// What a refused answer shows: the answer as typed, the host's line, and the question again.
std::string refused(const std::string& answer, const std::string& why) {
    return answer + "\n\nRequires " + why + ".\n";
}
const std::string textSize = "a value above 0 and no more than 1000000";
const std::string precision = "an integer from 0 to 9";
const std::string rotation = "a value from -360 to 360";

TEST_F(TypedValues, MarkersAskAgainForAPrecisionTextSizeOrRotationOutOfRange) {
    Outcome r =
        run("report_plan.dxf", "mlmc\n" + pick("outline") + "\n1000\n-5\n3\n-100\n0\n2000000\n100\n1e20\n-361\n" +
                                   "-90\nmpmc\n" + pick("circle") + "\n10\n9\n0\n360\n360\nSAVE\n");
    ASSERT_EQ(r.status, 1) << r.err; // each value out of range is a refused line
    EXPECT_TRUE(has(r, "enter legend precision <2>:" + refused("1000", precision) + "enter legend precision <2>:" +
                           refused("-5", precision) + "enter legend precision <2>:3\n 3\n"))
        << r.out;
    EXPECT_TRUE(has(r, "enter legend text size <250.00>:" + refused("-100", textSize) +
                           "enter legend text size <250.00>:" + refused("0", textSize) +
                           "enter legend text size <250.00>:" + refused("2000000", textSize) +
                           "enter legend text size <250.00>:100\n 100.00\n"))
        << r.out;
    EXPECT_TRUE(has(r, "(in degrees) <0.00>:" + refused("1e20", rotation) +
                           "specify legend rotation (in degrees) <0.00>:" + refused("-361", rotation) +
                           "specify legend rotation (in degrees) <0.00>:-90\n -90.00\n"))
        << r.out;
    // The bounds themselves are taken.
    EXPECT_TRUE(
        has(r, "enter pie chart precision <2>:" + refused("10", precision) + "enter pie chart precision <2>:9\n 9\n"))
        << r.out;
    EXPECT_TRUE(has(r, "enter pie chart text size <250.00>:" + refused("0", textSize))) << r.out;
    EXPECT_TRUE(has(r, "(in degrees) <0.00>:360\n 360.00\n")) << r.out;
    EXPECT_EQ(count(r.out, "Block Created Successfully\n"), 2u) << r.out;
    const std::vector<std::string> facts = dump("report_plan.dxf");
    const std::vector<std::string> legend = starting(facts, "insert|MARKER-LEGEND|");
    ASSERT_EQ(legend.size(), 1u);
    EXPECT_NE(legend[0].find("LEGENDTEXTSIZE=100.000|LEGENDPRECISION=3|"), std::string::npos) << legend[0];
    const std::vector<std::string> pie = starting(facts, "insert|MARKER-PIECHART|");
    ASSERT_EQ(pie.size(), 1u);
    EXPECT_NE(pie[0].find("PIETEXTSIZE=360.000000000|PIEPRECISION=9|"), std::string::npos) << pie[0];
}

TEST_F(TypedValues, AnOutOfRangePreferenceIsNotTakenByEnterAndACancelMakesNoMarker) {
    writePrefs({{"textSize", "5000000"}});
    Outcome r = run("report_plan.dxf", "mlmc\n" + pick("outline") + "\n\n\n*Cancel*\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "enter legend text size <5000000.00>:" + refused("", textSize) +
                           "enter legend text size <5000000.00>:*Cancel*\n\nCommand: SAVE"))
        << r.out;
    const std::vector<std::string> facts = dump("report_plan.dxf");
    EXPECT_TRUE(starting(facts, "insert|MARKER-").empty());
    EXPECT_FALSE(starting(facts, "polyline|0|closed|30000.000,6000.000").empty()) << "the outline stays where it was";
}

TEST_F(TypedValues, LegendAndPieDefinitionsAskAgainForValuesOutOfRange) {
    const std::string report = officesReport();
    Outcome r =
        run("report_plan.dxf", "magr\n" + report + "\n-100\n100\n\n1e20\n90\nno\n\n1000\n1\n" + "mlbd\n" + report +
                                   "\n0\n\n720\n\n\n\n-5\n2\n" + "mpbd\n" + report + "\n\n\n\n\n\n12\n0\nSAVE\n");
    ASSERT_EQ(r.status, 1) << r.err; // each value out of range is a refused line
    EXPECT_TRUE(
        has(r, "specify text size <250.00>:" + refused("-100", textSize) + "specify text size <250.00>:100\n 100.00\n"))
        << r.out;
    EXPECT_TRUE(has(r, "specify rotation (in degrees) <0.00>:" + refused("1e20", rotation))) << r.out;
    EXPECT_TRUE(has(r, "specify precision <2>:" + refused("1000", precision) + "specify precision <2>:1\n 1\n"))
        << r.out;
    EXPECT_TRUE(
        has(r, "specify text size <250.00>:" + refused("0", textSize) + "specify text size <250.00>:\n 250.00\n"))
        << r.out;
    EXPECT_TRUE(has(r, "specify rotation (in degrees) <0.00>:" + refused("720", rotation))) << r.out;
    EXPECT_TRUE(has(r, "specify precision <2>:" + refused("12", precision) + "specify precision <2>:0\n 0\n")) << r.out;
    EXPECT_EQ(count(r.out, "legend definition successfully created.\n"), 2u) << r.out;
    const std::vector<std::string> facts = dump("report_plan.dxf");
    const std::vector<std::string> legend = starting(facts, "block|[KELMO_LEGEND]_Use|ACAD_TABLE|");
    ASSERT_EQ(legend.size(), 1u);
    // The last definition wins: rows one and a half text sizes of 250 high.
    EXPECT_NE(legend[0].find("|heights=375.000,375.000|"), std::string::npos) << legend[0];
}

} // namespace
} // namespace reportstest
