// "magr", "mgr", "mlbd" and "mpbd" through cadhost on ezdxf plans, with report files written here,
// and the saved drawings read back by ezdxf.
#include "ReportsHost.h"

namespace reportstest {
namespace {

class ApplyCommands : public ReportsHost {
protected:
    // A report in the test's folder; the categories and layers are the given XML.
    std::string writeReport(const std::string& name, const std::string& body, const std::string& drawing = "",
                            const std::string& extra = "") {
        const std::string drawingElements = drawing.empty() ? ""
                                                            : "<grDrawingPath>" + windowsPath("") +
                                                                  "</grDrawingPath><grDrawingFilename>" + drawing +
                                                                  "</grDrawingFilename>";
        std::ofstream(dir / name) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                     "<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\"><grID>7</grID>"
                                     "<grTitle>Level 1 use</grTitle>"
                                  << drawingElements << "<grTotalChildAreas>100</grTotalChildAreas>" << extra << body
                                  << "</graphicReport>\n";
        return windowsPath(name);
    }
    static std::string category(const std::string& title, const std::string& pattern, const std::string& colour,
                                const std::string& layer, const std::string& contents) {
        return "<category><cID>1</cID><cTitle>" + title + "</cTitle><cHatchPattern>" + pattern +
               "</cHatchPattern><cHatchColour>" + colour +
               "</cHatchColour><cHatchScale>10</cHatchScale>"
               "<cHatchAngle>0</cHatchAngle><cHatchLayer>" +
               layer + "</cHatchLayer>" + contents + "</category>";
    }
    static std::string blocks(const std::vector<std::string>& handles) {
        std::string text = "<kelmoBlocks>";
        for (const std::string& handle : handles)
            text += "<kelmoBlock><mbHandle>" + handle + "</mbHandle></kelmoBlock>";
        return text + "</kelmoBlocks>";
    }
    // Offices by handle, service rooms by handle (one handle that is not in the drawing), desks as
    // assets, and the walls and spaces layers on.
    std::string byHandle() {
        return writeReport(
            "byhandle.xml",
            "<categories>" +
                category("Offices", "ANSI31", "#E07020", "HATCH-OFFICES",
                         blocks({handles.at("Office A"), handles.at("Office B")})) +
                category("Service", "SOLID", "#3070C0", "HATCH-SERVICE",
                         blocks({handles.at("Store"), handles.at("Kitchen"), "FFFF"})) +
                category("Desks", "SOLID", "#20A040", "HATCH-DESKS",
                         "<assets><asset><handle>" + handles.at("desk1") + "</handle></asset><asset><handle>" +
                             handles.at("desk2") + "</handle></asset></assets>") +
                "</categories><layersOn><layerOn><loName>WALLS</loName></layerOn><layerOn><loName>SPACES</loName>"
                "</layerOn></layersOn>");
    }
    std::string markers() const { return "mlmc\n" + pick("outline") + "\n\n\n\nmpmc\n" + pick("circle") + "\n\n\n\n"; }
};

TEST_F(ApplyCommands, AReportByHandleHatchesSetsLayersAndFillsTheLegendAndPieAtTheMarkers) {
    const std::string report = byHandle();
    Outcome r = run("report_plan.dxf", markers() + "magr\n" + report + "\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r,
                    "Command: magr\n[Open] file name (or cancel): applying graphic report Level 1 use.\n"
                    "\tgraphic report contains 3 categories.\n\tapplying category Offices.\n"
                    "\tcategory contains 2 blocks.\n\tapplying category Service.\n\tcategory contains 3 blocks.\n"
                    "\t\tkelmo block FFFF names nothing in the drawing - skipped.\n"
                    "\tapplying category Desks.\ngraphic report successfully applied.\n\n\nCommand: SAVE"))
        << r.out;
    const std::vector<std::string> facts = dump("report_plan.dxf");
    // The spaces keep their own areas (the report gives none); each hatch in its category's look. The
    // file lists them in draw order: each space's hatch is sent to the bottom as it is made, so the last
    // made comes first, and the desks' hatches lie over the spaces'.
    EXPECT_EQ(starting(facts, "hatch|"),
              (std::vector<std::string>{
                  "hatch|HATCH-SERVICE|SOLID|1.000|0.000|#3070C0", "hatch|HATCH-SERVICE|SOLID|1.000|0.000|#3070C0",
                  "hatch|HATCH-OFFICES|ANSI31|10.000|0.000|#E07020", "hatch|HATCH-OFFICES|ANSI31|10.000|0.000|#E07020",
                  "hatch|HATCH-DESKS|SOLID|1.000|0.000|#20A040", "hatch|HATCH-DESKS|SOLID|1.000|0.000|#20A040"}));
    // The report's layers, the layers of what it wrote and the charts' layer on; the others off.
    EXPECT_EQ(starting(facts, "layer|"),
              (std::vector<std::string>{"layer|0|on", "layer|Defpoints|off", "layer|WALLS|on", "layer|SPACES|on",
                                        "layer|FURNITURE|on", "layer|NOTES|off", "layer|LOCKED|off",
                                        "layer|KELMO_LEGEND_MARKER|off", "layer|KELMO_PIECHART_MARKER|off",
                                        "layer|HATCH-OFFICES|on", "layer|HATCH-SERVICE|on", "layer|HATCH-DESKS|on"}));
    // The legend at the legend marker: rows 1.5 text sizes high, columns from the longest texts.
    EXPECT_EQ(starting(facts, "block|[KELMO_LEGEND]_Level 1 use|ACAD_TABLE|"),
              (std::vector<std::string>{
                  "block|[KELMO_LEGEND]_Level 1 use|ACAD_TABLE|rows=5|columns=3|heights=375.000,375.000,375.000,"
                  "375.000,375.000|widths=3000.000,1500.000,2750.000|Level 1 use;;;Description;Hatch;Area sq.m.;"
                  "Offices;block:[KELMO_LEGEND_HATCH]_Level 1 use_Offices;80.00;Service;"
                  "block:[KELMO_LEGEND_HATCH]_Level 1 use_Service;20.00;Desks;"
                  "block:[KELMO_LEGEND_HATCH]_Level 1 use_Desks;0.00"}));
    EXPECT_EQ(starting(facts, "insert|[KELMO_"),
              (std::vector<std::string>{"insert|[KELMO_LEGEND]_Level 1 use|0|30000.000,6000.000|0.000",
                                        "insert|[KELMO_PIECHART]_Level 1 use|0|8000.000,-9000.000|0.000"}));
    // The pie: Offices 80 of 100 from 12 o'clock (bulge -tan 72 degrees), then Service 20; desks
    // have no area and are left out. Bulges are -tan of a quarter of the sweep.
    EXPECT_EQ(starting(facts, "block|[KELMO_PIECHART]_Level 1 use|LWPOLYLINE|"),
              (std::vector<std::string>{
                  "block|[KELMO_PIECHART]_Level 1 use|LWPOLYLINE|HATCH-OFFICES|0.000,0.000 b0.000;0.000,4000.000 "
                  "b-3.078;-3804.226,1236.068 b0.000;0.000,0.000 b0.000",
                  "block|[KELMO_PIECHART]_Level 1 use|LWPOLYLINE|HATCH-SERVICE|0.000,0.000 b0.000;-3804.226,1236.068 "
                  "b-0.325;0.000,4000.000 b0.000;0.000,0.000 b0.000"}));
    const std::vector<std::string> labels = starting(facts, "block|[KELMO_PIECHART]_Level 1 use|ATTDEF|");
    ASSERT_EQ(labels.size(), 4u);
    EXPECT_EQ(labels[0].substr(0, labels[0].find("|HATCH")),
              "block|[KELMO_PIECHART]_Level 1 use|ATTDEF|Offices (80.00 sq.m.)|Offices (80.00 sq.m.)");
    EXPECT_NE(labels[3].find("|Total: 100.00sq.m.|"), std::string::npos) << labels[3];
    // The spaces' labels are as they were: their own names and areas.
    EXPECT_EQ(starting(facts, "insert|ROOM-A1|")[0],
              "insert|ROOM-A1|SPACES|0.000,0.000|0.000|NAME=Office A|"
              "AREA=50.00sq.m.|AUX=");
}

// A pie marker carries no units: under imperial preferences its pie is labelled in square feet, as
// the legend made at the same time is, and shows the spaces' square metres in square feet.
TEST_F(ApplyCommands, EachHandleThatNamesNoSpaceIsNamedWithALineAndTheOthersAreColoured) {
    const std::string report = writeReport(
        "unknown.xml", "<categories>" +
                           category("Rooms", "SOLID", "#3070C0", "HATCH-ROOMS",
                                    blocks({"FFFF", "0", "ZZ", handles.at("desk1"), handles.at("Office A")}) +
                                        "<assets><asset><handle>FFFF</handle></asset></assets>") +
                           "</categories>");
    Outcome r = run("report_plan.dxf", markers() + "magr\n" + report + "\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r,
                    "\tapplying category Rooms.\n\t\tasset FFFF names nothing in the drawing - skipped.\n"
                    "\tcategory contains 5 blocks.\n"
                    "\t\tkelmo block FFFF names nothing in the drawing - skipped.\n"
                    "\t\tkelmo block 0 names nothing in the drawing - skipped.\n"
                    "\t\tkelmo block ZZ names nothing in the drawing - skipped.\n"
                    "\t\tkelmo block " +
                        handles.at("desk1") + " names no space - skipped.\ngraphic report successfully applied.\n"))
        << r.out;
    EXPECT_EQ(starting(dump("report_plan.dxf"), "hatch|"),
              (std::vector<std::string>{"hatch|HATCH-ROOMS|SOLID|1.000|0.000|#3070C0"}));
}

TEST_F(ApplyCommands, UnderImperialPreferencesThePieIsLabelledInSquareFeetAsTheLegendIs) {
    writePrefs({{"units", "1"}});
    const std::string report = byHandle();
    Outcome r = run("report_plan.dxf", markers() + "magr\n" + report + "\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> facts = dump("report_plan.dxf");
    const std::vector<std::string> legend = starting(facts, "block|[KELMO_LEGEND]_Level 1 use|ACAD_TABLE|");
    ASSERT_EQ(legend.size(), 1u);
    EXPECT_NE(legend[0].find(";Area sq.ft.;"), std::string::npos) << legend[0];
    const std::vector<std::string> labels = starting(facts, "block|[KELMO_PIECHART]_Level 1 use|ATTDEF|");
    ASSERT_EQ(labels.size(), 4u);
    EXPECT_EQ(labels[0].substr(0, labels[0].find("|HATCH")),
              "block|[KELMO_PIECHART]_Level 1 use|ATTDEF|Offices (861.11 sq.ft.)|Offices (861.11 sq.ft.)");
    EXPECT_NE(labels[3].find("|Total: 1076.39sq.ft.|"), std::string::npos) << labels[3];
}

TEST_F(ApplyCommands, EveryRoomByStarKeepsItsOwnAreaAndGrossAreasStayOut) {
    const std::string report =
        writeReport("star.xml", "<categories>" +
                                    category("All rooms", "SOLID", "#808080", "HATCH-ALL",
                                             "<kelmoBlocks><kelmoBlock><mbHandle>*</mbHandle></kelmoBlock>"
                                             "<kelmoBlock><mbHandle>*</mbHandle></kelmoBlock></kelmoBlocks>") +
                                    "</categories>");
    Outcome r = run("report_plan.dxf", markers() + "magr\n" + report + "\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> facts = dump("report_plan.dxf");
    // Four rooms, each hatched once though "*" is listed twice; the gross area is not.
    EXPECT_EQ(starting(facts, "hatch|HATCH-ALL|").size(), 4u);
    const std::vector<std::string> legend = starting(facts, "block|[KELMO_LEGEND]_Level 1 use|ACAD_TABLE|");
    ASSERT_EQ(legend.size(), 1u);
    EXPECT_NE(legend[0].find(";All rooms;block:[KELMO_LEGEND_HATCH]_Level 1 use_All rooms;100.00"), std::string::npos)
        << legend[0];
    EXPECT_EQ(starting(facts, "insert|ROOM-A4|")[0],
              "insert|ROOM-A4|SPACES|20000.000,0.000|0.000|NAME=Kitchen|"
              "AREA=8.00sq.m.|AUX=");
    // No layer list: the layers keep their state.
    EXPECT_EQ(starting(facts, "layer|NOTES|"), (std::vector<std::string>{"layer|NOTES|on"}));
}

TEST_F(ApplyCommands, ListedRoomsBesideStarAreFormattedOnceAndCarryTheReportsHyperlinks) {
    const std::string report = writeReport(
        "mixed.xml", "<categories>" +
                         category("Rooms", "SOLID", "#808080", "HATCH-ROOMS",
                                  "<kelmoBlocks><kelmoBlock><mbHandle>" + handles.at("Office A") +
                                      "</mbHandle><hyperlinks><hyperlink><bhHref>http://plans/office-a</bhHref>"
                                      "<bhDescription>Office A</bhDescription></hyperlink></hyperlinks></kelmoBlock>"
                                      "<kelmoBlock><mbHandle>*</mbHandle></kelmoBlock></kelmoBlocks>") +
                         "</categories>");
    Outcome r = run("report_plan.dxf", markers() + "magr\n" + report + "\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> facts = dump("report_plan.dxf");
    EXPECT_EQ(starting(facts, "hatch|HATCH-ROOMS|").size(), 4u);
    const std::vector<std::string> legend = starting(facts, "block|[KELMO_LEGEND]_Level 1 use|ACAD_TABLE|");
    ASSERT_EQ(legend.size(), 1u);
    // Office A is counted once: 50 + 30 + 12 + 8.
    EXPECT_NE(legend[0].find(";Rooms;block:[KELMO_LEGEND_HATCH]_Level 1 use_Rooms;100.00"), std::string::npos)
        << legend[0];
    const std::vector<std::string> links = starting(facts, "hyperlink|ROOM-A1|");
    ASSERT_EQ(links.size(), 1u);
    EXPECT_NE(links[0].find("http://plans/office-a"), std::string::npos) << links[0];
    EXPECT_TRUE(starting(facts, "hyperlink|ROOM-A2|").empty());
}

TEST_F(ApplyCommands, OnAutoCadLtBothBlocksAreDefinedAfterEveryReport) {
    const std::string report = byHandle();
    Outcome r = run("report_plan.dxf", "magr\n" + report + "\n\n\n\n\n\n\nSAVE\n", "--product 'AutoCAD LT 2015'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "graphic report successfully applied.\n\nspecify text size <250.00>:")) << r.out;
    EXPECT_TRUE(has(r, "specify pie chart radius <2500.00>:")) << r.out;
    EXPECT_TRUE(has(r, "legend definition successfully created.\npie chart definition successfully created.\n"))
        << r.out;
    const std::vector<std::string> facts = dump("report_plan.dxf");
    EXPECT_EQ(starting(facts, "hatch|").size(), 6u);
    EXPECT_TRUE(starting(facts, "insert|[KELMO_").empty());
}

TEST_F(ApplyCommands, WithoutMarkersTheQuestionsAreAskedAndBothBlocksDefined) {
    const std::string report = byHandle();
    Outcome r = run("report_plan.dxf", "magr\n" + report + "\n100\n\n90\nno\nsq.ft.\n1\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r,
                    "graphic report successfully applied.\n\nspecify text size <250.00>:100\n 100.00\n\n"
                    "specify pie chart radius <1000.00>:\n 1000.00\n\nspecify rotation (in degrees) <0.00>:90\n"
                    " 90.00\n"))
        << r.out;
    EXPECT_TRUE(has(r,
                    "legend definition successfully created.\npie chart definition successfully created.\n\n\n"
                    "Command: SAVE"))
        << r.out;
    const std::vector<std::string> facts = dump("report_plan.dxf");
    EXPECT_TRUE(starting(facts, "insert|[KELMO_").empty()) << "defined, not inserted";
    const std::vector<std::string> legend = starting(facts, "block|[KELMO_LEGEND]_Level 1 use|ACAD_TABLE|");
    ASSERT_EQ(legend.size(), 1u);
    // Empty categories kept (the answer was no), areas at one decimal, in the typed units.
    EXPECT_NE(legend[0].find("heights=150.000,150.000,150.000,150.000,150.000|widths=1200.000,600.000,1200.000|"),
              std::string::npos)
        << legend[0];
    EXPECT_NE(legend[0].find("Area sq.ft.;Offices;"), std::string::npos) << legend[0];
    EXPECT_NE(legend[0].find(";Desks;block:[KELMO_LEGEND_HATCH]_Level 1 use_Desks;0.0"), std::string::npos)
        << legend[0];
    EXPECT_FALSE(starting(facts, "block|[KELMO_PIECHART]_Level 1 use|ATTDEF|Desks (0.0 sq.ft.)").empty());
}

TEST_F(ApplyCommands, LegendAndPieDefinitionsAloneAskOnlyWhatTheyNeed) {
    const std::string report = byHandle();
    Outcome legend = run("report_plan.dxf", "mlbd\n" + report + "\n\n\n\n\n\nSAVE\n");
    ASSERT_EQ(legend.status, 0) << legend.err;
    EXPECT_TRUE(has(legend, "Command: mlbd\nKelmo Legend Block Define 64.04.00.01\n")) << legend.out;
    EXPECT_FALSE(has(legend, "radius")) << legend.out;
    EXPECT_TRUE(has(legend, "legend definition successfully created.\n")) << legend.out;
    std::vector<std::string> facts = dump("report_plan.dxf");
    EXPECT_FALSE(starting(facts, "block|[KELMO_LEGEND]_Level 1 use|").empty());
    EXPECT_TRUE(starting(facts, "block|[KELMO_PIECHART]_").empty());
    EXPECT_TRUE(starting(facts, "hatch|").empty()) << "nothing is applied";

    Outcome pie = run("report_plan.dxf", "mpbd\n" + report + "\n250\n\n\n\n\n\nSAVE\n");
    ASSERT_EQ(pie.status, 0) << pie.err;
    EXPECT_TRUE(has(pie, "Command: mpbd\nKelmo Pie Chart Block Define 64.04.00.01\n")) << pie.out;
    EXPECT_TRUE(has(pie, "specify pie chart radius <2500.00>:")) << pie.out;
    // The report's blocks hold no areas until it is applied: no wedge, and it says so.
    EXPECT_TRUE(has(pie, "pie chart definition not created - the report has no category areas or no total area.\n"))
        << pie.out;
    facts = dump("report_plan.dxf");
    EXPECT_TRUE(starting(facts, "block|[KELMO_PIECHART]_").empty());
}

TEST_F(ApplyCommands, GraphicReportOpensTheDrawingTheReportNamesAndLeavesItOpen) {
    fs::copy_file(plans / "report_plan.dxf", dir / "named.dxf");
    const std::string report = writeReport(
        "named.xml",
        "<categories>" + category("Offices", "SOLID", "#E07020", "HATCH-OFFICES", blocks({handles.at("Office A")})) +
            "</categories>",
        "named.dxf");
    // The named drawing becomes current: SAVE saves it, while the plan the host opened stays as it was.
    Outcome r = run("report_plan.dxf", "mgr\n" + report + "\n\n\n\n\n\n\n\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "graphic report successfully applied.\n")) << r.out;
    EXPECT_TRUE(has(r, "Saved " + windowsPath("named.dxf"))) << r.out;
    EXPECT_EQ(starting(dump("named.dxf"), "hatch|HATCH-OFFICES|").size(), 1u);
    EXPECT_TRUE(starting(dump("report_plan.dxf"), "hatch|").empty());
}

TEST_F(ApplyCommands, MissingOrMalformedReportsAreRefusedAndCancellingDoesNothing) {
    struct Case {
        std::string name, text, message;
    };
    const Case cases[] = {
        {"missing.xml", "", "Graphic report file not found - "},
        {"broken.xml", "<graphicReport><categories>", "Graphic report file is not valid XML - "},
        {"other.xml", "<?xml version=\"1.0\"?><plan/>", "Not a graphic report file - "},
    };
    for (const Case& c : cases) {
        if (!c.text.empty()) std::ofstream(dir / c.name) << c.text;
        Outcome r = run("report_plan.dxf", "magr\n" + windowsPath(c.name) + "\nok\nSAVE\n");
        ASSERT_EQ(r.status, 1) << r.err; // the missing or malformed report is an error
        EXPECT_TRUE(has(r, "[Error Detected.] ")) << r.out;
        EXPECT_TRUE(has(r, c.message + windowsPath(c.name))) << r.out;
        EXPECT_FALSE(has(r, "applying graphic report")) << r.out;
        const std::vector<std::string> facts = dump("report_plan.dxf");
        EXPECT_TRUE(starting(facts, "hatch|").empty()) << c.name;
        EXPECT_EQ(starting(facts, "layer|NOTES|"), (std::vector<std::string>{"layer|NOTES|on"})) << c.name;
    }
    Outcome cancelled = run("report_plan.dxf", "magr\ncancel\nmgr\ncancel\nmlbd\ncancel\nmpbd\ncancel\n");
    ASSERT_EQ(cancelled.status, 0) << cancelled.err;
    EXPECT_TRUE(has(cancelled,
                    "Command: magr\n[Open] file name (or cancel): \n\nCommand: mgr\n"
                    "[Open] file name (or cancel): \n\nCommand: mlbd\nKelmo Legend Block Define 64.04.00.01\n"
                    "[Open] file name (or cancel): \nCommand: mpbd\nKelmo Pie Chart Block Define "
                    "64.04.00.01\n[Open] file name (or cancel): \n"))
        << cancelled.out;
}

TEST_F(ApplyCommands, SegmentsAboveTheTotalSkipOnlyThePie) {
    const std::string report = writeReport(
        "over.xml",
        "<categories>" +
            category(
                "Offices", "SOLID", "#E07020", "HATCH-OFFICES",
                blocks({handles.at("Office A"), handles.at("Office B"), handles.at("Store"), handles.at("Kitchen")})) +
            "</categories><layersOn><layerOn><loName>WALLS</loName></layerOn></layersOn>",
        "", "<grTotalChildAreas>90</grTotalChildAreas>");
    Outcome r = run("report_plan.dxf", markers() + "magr\n" + report + "\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r,
                    "Unable to calculate pie chart percentages the total segment area (100.00) is greater than the "
                    "specified total area (90.00).\n"))
        << r.out;
    EXPECT_TRUE(has(r, "graphic report successfully applied.\n")) << r.out;
    const std::vector<std::string> facts = dump("report_plan.dxf");
    EXPECT_EQ(starting(facts, "hatch|HATCH-OFFICES|").size(), 4u);
    EXPECT_EQ(starting(facts, "insert|[KELMO_LEGEND]_").size(), 1u);
    EXPECT_TRUE(starting(facts, "insert|[KELMO_PIECHART]_").empty());
    EXPECT_EQ(starting(facts, "layer|WALLS|"), (std::vector<std::string>{"layer|WALLS|on"}));
    EXPECT_EQ(starting(facts, "layer|NOTES|"), (std::vector<std::string>{"layer|NOTES|off"}));
}

} // namespace
} // namespace reportstest
