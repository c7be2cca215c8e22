// Reports that meet a space, a title or a category the drawing cannot take as given: the rest of the
// report is still drawn, and what was not is said, through cadhost on the ezdxf plans.
#include <cctype>

#include "ReportsHost.h"

namespace reportstest {
namespace {

class WholeReport : public ReportsHost {
protected:
    // A report in the test's folder with that title (as XML text), header elements and categories.
    std::string writeReport(const std::string& name, const std::string& title, const std::string& header,
                            const std::string& categories) {
        std::ofstream(dir / name) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                     "<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\"><grID>7</grID>"
                                     "<grTitle>"
                                  << title << "</grTitle>" << header << "<categories>" << categories
                                  << "</categories></graphicReport>\n";
        return windowsPath(name);
    }
    static std::string category(const std::string& title, const std::string& pattern, int scale,
                                const std::string& colour, const std::string& layer, const std::string& blocks) {
        return "<category><cID>1</cID><cTitle>" + title + "</cTitle><cHatchPattern>" + pattern +
               "</cHatchPattern><cHatchColour>" + colour + "</cHatchColour><cHatchScale>" + std::to_string(scale) +
               "</cHatchScale><cHatchAngle>0</cHatchAngle><cHatchLayer>" + layer + "</cHatchLayer><kelmoBlocks>" +
               blocks + "</kelmoBlocks></category>";
    }
    static std::string block(const std::string& handle, const std::string& inside = "") {
        return "<kelmoBlock><mbHandle>" + handle + "</mbHandle>" + inside + "</kelmoBlock>";
    }
    std::string offices() const { return block(handles.at("Office A")) + block(handles.at("Office B")); }
    std::string markers() const { return "mlmc\n" + pick("outline") + "\n\n\n\nmpmc\n" + pick("circle") + "\n\n\n\n"; }
    static constexpr const char* total = "<grTotalChildAreas>100</grTotalChildAreas>";
};

TEST_F(WholeReport, ASpaceWhoseHyperlinksDoNotFitIsReportedAndTheRestOfTheReportIsDrawn) {
    // Five links of 4,000 characters: more than the extended data of one entity holds.
    std::string links = "<hyperlinks>";
    for (char n = '1'; n <= '5'; ++n)
        links +=
            "<hyperlink><bhHref>http://plans/" + std::string(1, n) + std::string(4000, 'a') + "</bhHref></hyperlink>";
    links += "</hyperlinks>";
    const std::string report =
        writeReport("links.xml", "Level 1 use", total,
                    category("Offices", "SOLID", 1, "#E07020", "HATCH-OFFICES",
                             block(handles.at("Office A"), links) + block(handles.at("Office B"))) +
                        category("Service", "SOLID", 1, "#3070C0", "HATCH-SERVICE", block(handles.at("Store"))));
    Outcome r = run("report_plan.dxf", markers() + "magr\n" + report + "\nSAVE\n");
    // A sanitizer build fails the run on a leak as well.
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "\t\terror(s) occurred whilst applying kelmo block Office A - " + handles.at("Office A") +
                           ".\nCBlockDWG::applyToDWG\n"))
        << r.out;
    EXPECT_TRUE(has(r, "eXdataSizeExceeded.\n\tapplying category Service.\n")) << r.out;
    EXPECT_TRUE(has(r, "graphic report successfully applied.\n")) << r.out;
    EXPECT_FALSE(has(r, "[Error Detected.]")) << r.out;
    const std::vector<std::string> facts = dump("report_plan.dxf");
    EXPECT_EQ(starting(facts, "hatch|HATCH-OFFICES|").size(), 2u);
    EXPECT_EQ(starting(facts, "hatch|HATCH-SERVICE|").size(), 1u);
    EXPECT_EQ(starting(facts, "insert|[KELMO_LEGEND]_Level 1 use|").size(), 1u);
    EXPECT_EQ(starting(facts, "insert|[KELMO_PIECHART]_Level 1 use|").size(), 1u);
    const std::vector<std::string> legend = starting(facts, "block|[KELMO_LEGEND]_Level 1 use|ACAD_TABLE|");
    ASSERT_EQ(legend.size(), 1u);
    EXPECT_NE(legend[0].find(";Offices;block:[KELMO_LEGEND_HATCH]_Level 1 use_Offices;80.00;Service;"),
              std::string::npos)
        << legend[0];
}

} // namespace
} // namespace reportstest
