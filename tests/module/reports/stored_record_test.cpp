// Colouring by a report writes into a space's stored record only what the report changes: keys the
// module does not know, values it cannot read and handle lists stay as they were, and an area no
// space can hold is refused with a line naming the space.
#include "ReportsHost.h"

namespace reportstest {
namespace {

// Office A's record as another program left it: an unknown key, more decimals than the area's, a
// height that is no number and a handle list without its last comma.
const std::vector<std::string> stored = {
    "AREA=50.00sq.m.",  "PERIMETER=30.0004m.",   "NAME=Office A",   "CUSTOM_KEY=keep me",    "TAGTYPE=Office",
    "AREA_TYPE=NIA",    "COST_CENTRE=CC-7",      "DATE=2024-01-02", "DATE_L_MOVE=<Not Set>", "DEPT_CHARGE=Finance",
    "ROOM_HEIGHT=tall", "SPECIAL_REQ=<Not Set>", "TOT_STAFF=4",     "TOT_WKSTNS=5",          "VOLUME=135.00cu.m.",
    "HANDLESTOMINUS=",  "HANDLESTOADD=1,2,3"};

std::vector<std::string> withArea(const std::string& area) {
    std::vector<std::string> record = stored;
    record[0] = "AREA=" + area;
    return record;
}

class StoredRecord : public ReportsHost {
protected:
    void SetUp() override {
        ReportsHost::SetUp();
        if (IsSkipped()) return;
        std::string strings;
        for (const std::string& text : stored) strings += "(1000, '" + text + "'), ";
        const std::string edit = "import ezdxf; d = ezdxf.readfile('" + (plans / "report_plan.dxf").string() +
                                 "'); d.entitydb['" + handles.at("Office A") + "'].set_xdata('ADE', [(1002, '{'), " +
                                 strings + "(1002, '}')]); d.saveas('" + (plans / "report_custom.dxf").string() + "')";
        ASSERT_EQ(std::system(("/usr/bin/python3 -c \"" + edit + "\"").c_str()), 0);
    }
    // A report of one category holding the given blocks.
    std::string writeReport(const std::string& blocks) {
        std::ofstream(dir / "use.xml")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\"><grTitle>Use</grTitle>"
               "<categories><category><cID>1</cID><cTitle>Offices</cTitle>"
               "<cHatchPattern>SOLID</cHatchPattern><cHatchColour>#FF0000</cHatchColour>"
               "<cHatchScale>1</cHatchScale><cHatchAngle>0</cHatchAngle>"
               "<cHatchLayer>HATCH-OFFICES</cHatchLayer><kelmoBlocks>"
            << blocks << "</kelmoBlocks></category></categories></graphicReport>\n";
        return windowsPath("use.xml");
    }
    static std::string block(const std::string& handle, const std::string& area) {
        return "<kelmoBlock><mbHandle>" + handle + "</mbHandle>" +
               (area.empty() ? "" : "<mbArea>" + area + "</mbArea>") + "</kelmoBlock>";
    }
    // The space's "ADE" strings as ezdxf reads them from the saved drawing.
    std::vector<std::string> record(const std::string& drawing, const std::string& handle) const {
        const std::string text = capture(
            "/usr/bin/python3 -c \"import ezdxf; d = ezdxf.readfile('" + (dir / drawing).string() +
            "'); print('\\n'.join(str(v) for c, v in d.entitydb['" + handle + "'].get_xdata('ADE') if c == 1000))\"");
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    std::string markers() const { return "mlmc\n" + pick("outline") + "\n\n\n\nmpmc\n" + pick("circle") + "\n\n\n\n"; }
};

TEST_F(StoredRecord, ColouringChangesOnlyTheValuesTheReportGives) {
    const std::string office = handles.at("Office A");
    const struct {
        const char* what;
        std::string blocks;
        std::vector<std::string> expected;
    } cases[] = {
        {"an area given", block(office, "48.5"), withArea("48.50sq.m.")},
        {"no area given", block(office, ""), stored},
        {"every room", block("*", ""), stored},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Outcome r = run("report_custom.dxf", markers() + "magr\n" + writeReport(c.blocks) + "\nSAVE\n");
        ASSERT_EQ(r.status, 0) << r.err << r.out;
        EXPECT_EQ(record("report_custom.dxf", office), c.expected);
        EXPECT_EQ(starting(dump("report_custom.dxf"), "hatch|HATCH-OFFICES|").empty(), false);
    }
}

TEST_F(StoredRecord, AReportAreaNoSpaceCanHoldIsRefusedAndTheSpaceKeepsItsOwn) {
    const std::string office = handles.at("Office A");
    const std::string refused = "\t\tthe report's area for kelmo block Office A - " + office +
                                " is refused (below 0, not a number or too large for its AREA text): the space keeps "
                                "its own area.\n";
    // 1e300 is finite but needs 300 digits; 1e200 still fits one string.
    for (const char* area : {"-5", "1e300"}) {
        SCOPED_TRACE(area);
        Outcome r = run("report_custom.dxf", markers() + "magr\n" + writeReport(block(office, area)) + "\nSAVE\n");
        ASSERT_EQ(r.status, 0) << r.err << r.out;
        EXPECT_TRUE(has(r, refused)) << r.out;
        EXPECT_EQ(record("report_custom.dxf", office), stored);
        // The legend counts the area the space keeps.
        const std::vector<std::string> legend =
            starting(dump("report_custom.dxf"), "block|[KELMO_LEGEND]_Use|ACAD_TABLE|");
        ASSERT_EQ(legend.size(), 1u);
        EXPECT_NE(legend[0].find(";Offices;block:[KELMO_LEGEND_HATCH]_Use_Offices;50.00"), std::string::npos)
            << legend[0];
    }
    Outcome r = run("report_custom.dxf", markers() + "magr\n" + writeReport(block(office, "0.25")) + "\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_FALSE(has(r, "is refused")) << r.out;
    EXPECT_EQ(record("report_custom.dxf", office), withArea("0.25sq.m."));
}

} // namespace
} // namespace reportstest
