// A drawing that is open already is not opened a second time: OPEN makes it current and "mgr"
// applies its report to it, so an edit made before is saved with the report and nothing is lost.
#include "ReportsHost.h"

namespace reportstest {
namespace {

class OpenDrawing : public ReportsHost {
protected:
    // Offices hatched; the report names report_plan.dxf in the test's folder.
    std::string writeReport() {
        std::ofstream(dir / "named.xml")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\"><grID>7</grID><grTitle>Level 1 use</grTitle>"
               "<grDrawingPath>"
            << windowsPath("")
            << "</grDrawingPath><grDrawingFilename>report_plan.dxf</grDrawingFilename>"
               "<grTotalChildAreas>100</grTotalChildAreas><categories><category><cID>1</cID><cTitle>Offices</cTitle>"
               "<cHatchPattern>SOLID</cHatchPattern><cHatchColour>#E07020</cHatchColour><cHatchScale>1</cHatchScale>"
               "<cHatchAngle>0</cHatchAngle><cHatchLayer>HATCH-OFFICES</cHatchLayer><kelmoBlocks><kelmoBlock>"
               "<mbHandle>"
            << handles.at("Office A") << "</mbHandle></kelmoBlock><kelmoBlock><mbHandle>" << handles.at("Office B")
            << "</mbHandle></kelmoBlock></kelmoBlocks></category></categories></graphicReport>\n";
        return windowsPath("named.xml");
    }
    // The store renamed at the command line: an edit only the open document holds.
    static std::string rename() { return "mfrs\nStore\nArchive\n"; }
    bool renamed(const std::vector<std::string>& facts) const {
        return !starting(facts, "insert|" + std::string("ROOM-A3") + "|SPACES|16000.000,0.000|0.000|NAME=Archive|")
                    .empty();
    }
};

TEST_F(OpenDrawing, OpenOfADrawingAlreadyOpenMakesItCurrentAndSaysSo) {
    fs::copy_file(plans / "report_plan.dxf", dir / "other.dxf");
    const std::string said = " is open already: it is now the current drawing.\n";
    const struct {
        const char* what;
        std::string script;
    } cases[] = {
        {"by the name it was opened with", rename() + "OPEN report_plan.dxf\nSAVE\n"},
        {"by its full Windows name", rename() + "OPEN " + windowsPath("report_plan.dxf") + "\nSAVE\n"},
        {"written another way", rename() + "OPEN ./sub/../report_plan.dxf\nSAVE\n"},
        {"while another drawing is current", rename() + "OPEN other.dxf\nOPEN report_plan.dxf\nSAVE\n"},
    };
    fs::create_directories(dir / "sub");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Outcome r = run("report_plan.dxf", c.script);
        ASSERT_EQ(r.status, 0) << r.err << r.out;
        EXPECT_TRUE(has(r, windowsPath("report_plan.dxf") + said)) << r.out;
        EXPECT_TRUE(has(r, "Saved " + windowsPath("report_plan.dxf"))) << r.out;
        EXPECT_TRUE(renamed(dump("report_plan.dxf")));
    }
    // The other drawing opened on the way is still a drawing of its own.
    EXPECT_TRUE(starting(dump("other.dxf"), "insert|ROOM-A3|SPACES|16000.000,0.000|0.000|NAME=Store|").size() == 1u);
}

TEST_F(OpenDrawing, GraphicReportOnADrawingAlreadyOpenAppliesItThere) {
    fs::copy_file(plans / "report_plan.dxf", dir / "other.dxf");
    const std::string report = writeReport();
    const std::string answers = "\n\n\n\n\n\n\n\n";
    const struct {
        const char* what;
        std::string script;
    } cases[] = {
        {"the current drawing", rename() + "mgr\n" + report + answers + "SAVE\n"},
        {"an open drawing that is not current", rename() + "OPEN other.dxf\nmgr\n" + report + answers + "SAVE\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Outcome r = run("report_plan.dxf", c.script);
        ASSERT_EQ(r.status, 0) << r.err << r.out;
        EXPECT_TRUE(has(r, windowsPath("report_plan.dxf") + " is open already: the report is applied to it.\n"))
            << r.out;
        EXPECT_TRUE(has(r, "graphic report successfully applied.\n")) << r.out;
        EXPECT_TRUE(has(r, "Saved " + windowsPath("report_plan.dxf"))) << r.out;
        // The report and the rename made before it, together in the one drawing.
        const std::vector<std::string> facts = dump("report_plan.dxf");
        EXPECT_EQ(starting(facts, "hatch|HATCH-OFFICES|").size(), 2u);
        EXPECT_TRUE(renamed(facts));
        EXPECT_TRUE(starting(dump("other.dxf"), "hatch|").empty());
    }
}

} // namespace
} // namespace reportstest
