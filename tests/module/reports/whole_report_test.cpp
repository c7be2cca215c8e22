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

// The name of the drawing's insert whose block name begins with the prefix.
std::string insertNamed(const std::vector<std::string>& facts, const std::string& prefix) {
    for (const std::string& fact : facts)
        if (fact.rfind("insert|" + prefix, 0) == 0) return fact.substr(7, fact.find('|', 7) - 7);
    return "";
}

TEST_F(WholeReport, LegendAndPieNamesFromAnyTitleAreValidBlockNames) {
    const std::string longTitle(300, 'L');
    struct Case {
        std::string title;  // as XML text
        std::string legend; // the legend's block name, or its first 246 characters when cut
        bool cut;
    };
    const Case cases[] = {
        {"Level 1 use", "[KELMO_LEGEND]_Level 1 use", false},
        {"Level 1: use (west)", "[KELMO_LEGEND]_Level 1_ use _west_", false},
        {"Level\none&#9;west`s", "[KELMO_LEGEND]_Level_one_west_s", false},
        {std::string(240, 'M'), "[KELMO_LEGEND]_" + std::string(240, 'M'), false}, // 255: the longest name
        {longTitle, ("[KELMO_LEGEND]_" + longTitle).substr(0, 246), true},
        {longTitle + "2", ("[KELMO_LEGEND]_" + longTitle).substr(0, 246), true},
    };
    std::vector<std::string> cutNames;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.substr(0, 40));
        const std::string report = writeReport("titled.xml", c.title, total,
                                               category("Offices", "SOLID", 1, "#E07020", "HATCH-OFFICES", offices()));
        Outcome r = run("report_plan.dxf", markers() + "magr\n" + report + "\nSAVE\n");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_FALSE(has(r, "[Error Detected.]")) << r.out;
        const std::vector<std::string> facts = dump("report_plan.dxf");
        const std::string legend = insertNamed(facts, "[KELMO_LEGEND]_");
        const std::string pie = insertNamed(facts, "[KELMO_PIECHART]_");
        EXPECT_FALSE(pie.empty());
        EXPECT_LE(pie.size(), 255u);
        if (!c.cut) {
            EXPECT_EQ(legend, c.legend);
            continue;
        }
        // Cut to 255 characters, ending in a mark of the whole title.
        ASSERT_EQ(legend.size(), 255u) << legend;
        EXPECT_EQ(legend.substr(0, 247), c.legend + "_");
        for (char ch : legend.substr(247)) EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(ch))) << legend;
        EXPECT_EQ(pie.size(), 255u);
        cutNames.push_back(legend);
        // The swatch, whose name adds the category's title, is cut alike and shown in the legend.
        const std::vector<std::string> table = starting(facts, "block|" + legend + "|ACAD_TABLE|");
        ASSERT_EQ(table.size(), 1u);
        EXPECT_NE(table[0].find(";Offices;block:[KELMO_LEGEND_HATCH]_LLL"), std::string::npos) << table[0];
    }
    // Titles alike in their first 300 characters keep apart.
    ASSERT_EQ(cutNames.size(), 2u);
    EXPECT_NE(cutNames[0], cutNames[1]);
}

TEST_F(WholeReport, VeryLongTitlesAreShownCutOnTheCommandLine) {
    const std::string report =
        writeReport("long.xml", std::string(100000, 'T'), total,
                    category(std::string(100000, 'C'), "SOLID", 1, "#E07020", "HATCH-OFFICES", offices()));
    Outcome r = run("report_plan.dxf", markers() + "magr\n" + report + "\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "applying graphic report " + std::string(250, 'T') + "....\n")) << r.out.substr(0, 2000);
    EXPECT_TRUE(has(r, "\tapplying category " + std::string(250, 'C') + "....\n")) << r.out.substr(0, 2000);
    EXPECT_LT(r.out.size(), 5000u);
}

TEST_F(WholeReport, APieMarkerThatGetsNoPieSaysWhy) {
    struct Case {
        std::string header, categories, reason;
    };
    const Case cases[] = {
        {"", category("Offices", "SOLID", 1, "#E07020", "HATCH-OFFICES", offices()),
         "pie chart not drawn - the report's total area is 0 or missing.\n"},
        {"<grTotalChildAreas>0</grTotalChildAreas>",
         category("Offices", "SOLID", 1, "#E07020", "HATCH-OFFICES", offices()),
         "pie chart not drawn - the report's total area is 0 or missing.\n"},
        // Spaces the drawing does not hold, and a category without any.
        {total,
         category("Offices", "SOLID", 1, "#E07020", "HATCH-OFFICES", block("FFFE")) +
             category("Service", "SOLID", 1, "#3070C0", "HATCH-SERVICE", ""),
         "pie chart not drawn - every category of the report is empty.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason + c.header);
        const std::string report = writeReport("nopie.xml", "Level 1 use", c.header, c.categories);
        Outcome r = run("report_plan.dxf", markers() + "magr\n" + report + "\nSAVE\n");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(has(r, c.reason + "graphic report successfully applied.\n")) << r.out;
        const std::vector<std::string> facts = dump("report_plan.dxf");
        EXPECT_TRUE(starting(facts, "insert|[KELMO_PIECHART]_").empty());
        EXPECT_EQ(starting(facts, "insert|[KELMO_LEGEND]_Level 1 use|").size(), 1u);
    }
}

TEST_F(WholeReport, AnUnknownPatternFillsNeitherSpacesNorSwatchNorWedgeAndEachSaysSo) {
    const std::string report =
        writeReport("unknown.xml", "Level 1 use", total,
                    category("Offices", "NOSUCHPATTERN", 1, "#E07020", "HATCH-OFFICES", offices()) +
                        category("Service", "SOLID", 1, "#3070C0", "HATCH-SERVICE", block(handles.at("Store"))));
    Outcome r = run("report_plan.dxf", markers() + "magr\n" + report + "\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string unknown =
        "The following AutoCAD error occurred on line#0: eUnknownPattern, whilst processing "
        "drawing " +
        windowsPath("report_plan.dxf") + ".\n";
    EXPECT_TRUE(has(r, "\t\terror(s) occurred whilst applying kelmo block Office A - " + handles.at("Office A") +
                           ".\nCBlockDWG::hatchObject\n\n" + unknown))
        << r.out;
    EXPECT_TRUE(has(r,
                    "\t\terror(s) occurred whilst drawing the legend swatch of Offices.\n"
                    "CLegendTable::createHatchPattern\n\n" +
                        unknown))
        << r.out;
    EXPECT_TRUE(has(r,
                    "\t\terror(s) occurred whilst drawing the pie chart segment Offices.\n"
                    "CPieSegment::hatchSegment\n\n" +
                        unknown))
        << r.out;
    const std::vector<std::string> facts = dump("report_plan.dxf");
    // Only the service room, its swatch and its wedge are filled; the offices' outlines stay.
    EXPECT_EQ(starting(facts, "hatch|"), (std::vector<std::string>{"hatch|HATCH-SERVICE|SOLID|1.000|0.000|#3070C0"}));
    EXPECT_TRUE(starting(facts, "block|[KELMO_LEGEND_HATCH]_Level 1 use_Offices|HATCH|").empty());
    EXPECT_EQ(starting(facts, "block|[KELMO_LEGEND_HATCH]_Level 1 use_Offices|LWPOLYLINE|HATCH-OFFICES|").size(), 1u);
    EXPECT_EQ(starting(facts, "block|[KELMO_PIECHART]_Level 1 use|HATCH|"),
              (std::vector<std::string>{"block|[KELMO_PIECHART]_Level 1 use|HATCH|HATCH-SERVICE|SOLID|1.000"}));
    EXPECT_EQ(starting(facts, "block|[KELMO_PIECHART]_Level 1 use|LWPOLYLINE|HATCH-OFFICES|").size(), 1u);
}

TEST_F(WholeReport, AHatchScaleThatIsNoSizeIsNamedWithItsCategory) {
    struct Case {
        std::string pattern;
        int scale;
        bool warned;
    };
    const Case cases[] = {
        {"ANSI31", -20, true},
        {"ANSI31", 0, true},
        {"ANSI31", 20, false},
        {"SOLID", -20, false}, // a solid fill has no scale
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern + " " + std::to_string(c.scale));
        const std::string report =
            writeReport("scale.xml", "Level 1 use", total,
                        category("Offices", c.pattern, c.scale, "#E07020", "HATCH-OFFICES", offices()));
        Outcome r = run("report_plan.dxf", "magr\n" + report + "\n\n\n\n\n\n\n\n");
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string line = "\tapplying category Offices.\n\t\tcategory Offices: hatch scale " +
                                 std::to_string(c.scale) + " is not above 0 - its hatches are drawn at scale 1.\n";
        EXPECT_EQ(has(r, line), c.warned) << r.out;
    }
}

} // namespace
} // namespace reportstest
