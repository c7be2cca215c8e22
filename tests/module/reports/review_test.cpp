// Reports whose categories name what a planner's register should not: entities that are not spaces.
#include <cctype>

#include "ReportsHost.h"

namespace reportstest {
namespace {

class ReportInputs : public ReportsHost {
protected:
    std::string writeReport(const std::string& name, const std::vector<std::string>& listed) {
        std::string blocks;
        for (const std::string& handle : listed)
            blocks += "<kelmoBlock><mbHandle>" + handle + "</mbHandle></kelmoBlock>";
        std::ofstream(dir / name) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                     "<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\"><grID>7</grID>"
                                     "<grTitle>Level 1 use</grTitle><grTotalChildAreas>100</grTotalChildAreas>"
                                     "<categories><category><cID>1</cID><cTitle>Offices</cTitle>"
                                     "<cHatchPattern>SOLID</cHatchPattern><cHatchColour>#FF0000</cHatchColour>"
                                     "<cHatchScale>1</cHatchScale><cHatchAngle>0</cHatchAngle>"
                                     "<cHatchLayer>HATCH-OFFICES</cHatchLayer><kelmoBlocks>"
                                  << blocks << "</kelmoBlocks></category></categories></graphicReport>\n";
        return windowsPath(name);
    }
    std::string markers() const { return "mlmc\n" + pick("outline") + "\n\n\n\nmpmc\n" + pick("circle") + "\n\n\n\n"; }
};

TEST_F(ReportInputs, ADeskOrMarkerNamedAsASpaceIsLeftAsItWasAndOnlyTheRoomIsColoured) {
    // The desk, the legend marker (made by mlmc, so its handle is unknown here) and a room.
    const std::string report = writeReport("notspaces.xml", {handles.at("desk1"), handles.at("Office A")});
    Outcome r = run("report_plan.dxf", markers() + "magr\n" + report + "\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> facts = dump("report_plan.dxf");
    // One hatch, the room's; the desk keeps no space data.
    EXPECT_EQ(starting(facts, "hatch|HATCH-OFFICES|").size(), 1u);
    const std::string desk =
        capture("/usr/bin/python3 -c \"import ezdxf; d = ezdxf.readfile('" + (dir / "report_plan.dxf").string() +
                "'); print(d.entitydb['" + handles.at("desk1") + "'].has_xdata('ADE'))\"");
    EXPECT_EQ(desk, "False\n");
    const std::vector<std::string> legend = starting(facts, "block|[KELMO_LEGEND]_Level 1 use|ACAD_TABLE|");
    ASSERT_EQ(legend.size(), 1u);
    EXPECT_NE(legend[0].find(";Offices;block:[KELMO_LEGEND_HATCH]_Level 1 use_Offices;50.00"), std::string::npos)
        << legend[0];
}

TEST_F(ReportInputs, ASpaceListedTwiceInACategoryIsHatchedAndCountedOnce) {
    // Office A twice, in two spellings of its handle, and Office B: 50 + 30.
    std::string lower = handles.at("Office A");
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string report =
        writeReport("twice.xml", {handles.at("Office A"), handles.at("Office B"), lower, handles.at("Office A")});
    Outcome r = run("report_plan.dxf", markers() + "magr\n" + report + "\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> facts = dump("report_plan.dxf");
    EXPECT_EQ(starting(facts, "hatch|HATCH-OFFICES|").size(), 2u);
    const std::vector<std::string> legend = starting(facts, "block|[KELMO_LEGEND]_Level 1 use|ACAD_TABLE|");
    ASSERT_EQ(legend.size(), 1u);
    EXPECT_NE(legend[0].find(";Offices;block:[KELMO_LEGEND_HATCH]_Level 1 use_Offices;80.00"), std::string::npos)
        << legend[0];
    const std::vector<std::string> labels = starting(facts, "block|[KELMO_PIECHART]_Level 1 use|ATTDEF|Offices (");
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0].rfind("block|[KELMO_PIECHART]_Level 1 use|ATTDEF|Offices (80.00 sq.m.)|", 0), 0u) << labels[0];
}

TEST_F(ReportInputs, APieMarkerWhoseRadiusIsNoLengthDrawsNoPieAndSaysSo) {
    const std::string report = writeReport("offices.xml", {handles.at("Office A"), handles.at("Office B")});
    Outcome marked = run("report_plan.dxf", markers() + "SAVEAS marked.dxf\n");
    ASSERT_EQ(marked.status, 0) << marked.err;
    for (const char* radius : {"none", "-40", "0"}) {
        SCOPED_TRACE(radius);
        ASSERT_EQ(std::system(("/usr/bin/python3 -c \"import ezdxf; d = ezdxf.readfile('" +
                               (dir / "marked.dxf").string() + "'); [a.dxf.set('text', '" + radius +
                               "') for e in d.modelspace().query('INSERT') for a in e.attribs if a.dxf.tag == "
                               "'PIERADIUS']; d.saveas('" +
                               (dir / "edited.dxf").string() + "')\"")
                                  .c_str()),
                  0);
        Outcome r = run("report_plan.dxf", "OPEN edited.dxf\nmagr\n" + report + "\nSAVE\n");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(has(r, std::string("pie chart not drawn - the pie chart marker's PIERADIUS ") + radius +
                               " is not a length above 0.\n"))
            << r.out;
        const std::vector<std::string> facts = dump("edited.dxf");
        EXPECT_TRUE(starting(facts, "insert|[KELMO_PIECHART]_").empty());
        // The rest of the report stands: the rooms and the legend.
        EXPECT_EQ(starting(facts, "hatch|HATCH-OFFICES|").size(), 2u);
        EXPECT_EQ(starting(facts, "insert|[KELMO_LEGEND]_Level 1 use|").size(), 1u);
    }
}

TEST_F(ReportInputs, ATypedPieRadiusOfZeroOrLessDefinesNoPie) {
    const std::string report = writeReport("offices.xml", {handles.at("Office A")});
    for (const char* radius : {"0", "-2500"}) {
        SCOPED_TRACE(radius);
        Outcome r = run("report_plan.dxf", "mpbd\n" + report + "\n\n" + radius + "\n\n\n\n\nSAVE\n");
        ASSERT_EQ(r.status, 1) << r.err; // a failure line the command printed fails the line
        EXPECT_TRUE(has(r, "pie chart definition not created - the radius must be above 0.\n")) << r.out;
        EXPECT_TRUE(starting(dump("report_plan.dxf"), "block|[KELMO_PIECHART]_").empty());
    }
}

TEST_F(ReportInputs, AnAssetListedTwiceInACategoryIsOutlinedAndHatchedOnce) {
    const std::string desk = handles.at("desk1");
    std::ofstream(dir / "assets.xml")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\"><grTitle>Desks</grTitle>"
           "<categories><category><cID>1</cID><cTitle>Desks</cTitle>"
           "<cHatchPattern>SOLID</cHatchPattern><cHatchColour>#20A040</cHatchColour>"
           "<cHatchScale>1</cHatchScale><cHatchAngle>0</cHatchAngle>"
           "<cHatchLayer>HATCH-DESKS</cHatchLayer><assets><asset><handle>"
        << desk << "</handle></asset><asset><handle>" << desk
        << "</handle></asset></assets></category></categories></graphicReport>\n";
    Outcome r = run("report_plan.dxf", "magr\n" + windowsPath("assets.xml") + "\n\n\n\n\n\n\n\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> facts = dump("report_plan.dxf");
    EXPECT_EQ(starting(facts, "hatch|HATCH-DESKS|").size(), 1u);
    EXPECT_EQ(starting(facts, "polyline|HATCH-DESKS|").size(), 1u);
}

TEST_F(ReportInputs, ASpaceOnALockedLayerIsNamedInItsMessageAndCountedWithItsOwnArea) {
    const std::string report = writeReport("offices.xml", {handles.at("Office A"), handles.at("Office B")});
    ASSERT_EQ(
        std::system(("/usr/bin/python3 -c \"import ezdxf; d = ezdxf.readfile('" + (plans / "report_plan.dxf").string() +
                     "'); d.layers.get('SPACES').lock(); d.saveas('" + (dir / "locked.dxf").string() + "')\"")
                        .c_str()),
        0);
    Outcome r = run("report_plan.dxf", "OPEN locked.dxf\n" + markers() + "magr\n" + report + "\nSAVE\n");
    ASSERT_EQ(r.status, 1) << r.err; // a failure line the command printed fails the line
    EXPECT_TRUE(has(r, "Space Office A not updated: it lies on the locked layer SPACES")) << r.out;
    EXPECT_TRUE(has(r, "Space Office B not updated: it lies on the locked layer SPACES")) << r.out;
    const std::vector<std::string> facts = dump("locked.dxf");
    EXPECT_TRUE(starting(facts, "hatch|HATCH-OFFICES|").empty());
    const std::vector<std::string> legend = starting(facts, "block|[KELMO_LEGEND]_Level 1 use|ACAD_TABLE|");
    ASSERT_EQ(legend.size(), 1u);
    EXPECT_NE(legend[0].find(";Offices;block:[KELMO_LEGEND_HATCH]_Level 1 use_Offices;80.00"), std::string::npos)
        << legend[0];
}

} // namespace
} // namespace reportstest
