// Report files laid out, named or built as other tools and other people make them: what the module
// takes, what it says, and what it refuses before anything of the drawing changes. Through cadhost on
// the ezdxf plans.
#include "ReportsHost.h"

namespace reportstest {
namespace {

class ReportForms : public ReportsHost {
protected:
    // A report "Use" in the test's folder: the root element's opening tag and closing tag, and what
    // stands between them after the title.
    std::string writeReport(const std::string& inside,
                            const std::string& open = "<graphicReport xmlns=\"" + uri + "\">",
                            const std::string& close = "</graphicReport>", const std::string& doctype = "") {
        std::ofstream(dir / "report.xml")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            << doctype << open << "<grID>7</grID><grTitle>Use</grTitle>" << inside << close << "\n";
        return windowsPath("report.xml");
    }
    static std::string offices(const std::string& layer = "HATCH-USE", const std::string& handle = "") {
        return "<categories><category><cID>1</cID><cTitle>Offices</cTitle><cHatchPattern>SOLID</cHatchPattern>"
               "<cHatchColour>#E07020</cHatchColour><cHatchScale>1</cHatchScale><cHatchAngle>0</cHatchAngle>"
               "<cHatchLayer>" +
               layer + "</cHatchLayer><kelmoBlocks><kelmoBlock><mbHandle>" +
               (handle.empty() ? handles.at("Office A") : handle) +
               "</mbHandle></kelmoBlock></kelmoBlocks></category></categories>";
    }
    std::string markers() const { return "mlmc\n" + pick("outline") + "\n\n\n\nmpmc\n" + pick("circle") + "\n\n\n\n"; }
    static inline const std::string uri = "http://schemas.kelmo.net/Ostrel";
};

TEST_F(ReportForms, AReportThatDeclaresEntitiesIsRefusedAtOnceAndTheDrawingIsLeftAsItWas) {
    // 19 KB that would grow to 20 million characters wherever the title is read.
    std::string uses;
    for (int i = 0; i < 4000; ++i) uses += "&e;";
    const std::string doctype = "<!DOCTYPE graphicReport [\n<!ENTITY e \"" + std::string(5000, 'x') + "\">\n]>\n";
    for (const char* command : {"magr", "mgr"}) {
        SCOPED_TRACE(command);
        std::ofstream(dir / "grown.xml") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                         << doctype << "<graphicReport xmlns=\"" << uri << "\"><grTitle>" << uses
                                         << "</grTitle>" << offices() << "</graphicReport>\n";
        Outcome r = run("report_plan.dxf", std::string(command) + "\n" + windowsPath("grown.xml") + "\nok\nSAVE\n");
        ASSERT_EQ(r.status, 1) << r.err; // the refused report is an error
        EXPECT_TRUE(has(r, "Graphic report file is not valid XML - " + windowsPath("grown.xml") +
                               " - The document declares the entity 'e': documents that declare entities are not "
                               "read."))
            << r.out;
        EXPECT_FALSE(has(r, "applying graphic report")) << r.out;
        EXPECT_TRUE(starting(dump("report_plan.dxf"), "hatch|").empty());
        EXPECT_LT(fs::file_size(dir / "report_plan.dxf"), 1000000u);
    }
}

TEST_F(ReportForms, ValuesLaidOutForReadingAndPrefixedElementsAreTakenAsTheyAreMeant) {
    struct Case {
        std::string name;
        std::string report;
    };
    const std::string pretty =
        "<categories>\n  <category>\n    <cID> 1 </cID>\n    <cTitle>\n      Offices\n    </cTitle>"
        "\n    <cHatchPattern> SOLID </cHatchPattern>\n    <cHatchColour> #E07020 </cHatchColour>"
        "\n    <cHatchScale> 1 </cHatchScale>\n    <cHatchAngle> 0 </cHatchAngle>"
        "\n    <cHatchLayer> HATCH-USE </cHatchLayer>\n    <kelmoBlocks>\n      <kelmoBlock>"
        "\n        <mbHandle>\n          " +
        handles.at("Office A") +
        "\n        </mbHandle>\n      </kelmoBlock>\n    </kelmoBlocks>\n  </category>"
        "\n</categories>\n<layersOn>\n  <layerOn><loName> WALLS </loName></layerOn>\n</layersOn>";
    std::string prefixed = offices() + "<layersOn><layerOn><loName>WALLS</loName></layerOn></layersOn>";
    for (size_t at = prefixed.find('<'); at != std::string::npos; at = prefixed.find('<', at + 1))
        prefixed.insert(prefixed[at + 1] == '/' ? at + 2 : at + 1, "o:");
    const Case cases[] = {
        {"laid out", writeReport(pretty)},
        {"prefixed", writeReport(prefixed, "<o:graphicReport xmlns:o=\"" + uri + "\">", "</o:graphicReport>")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome r = run("report_plan.dxf", markers() + "magr\n" + c.report + "\nSAVE\n");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(has(r, "\tapplying category Offices.\n\tcategory contains 1 blocks.\n")) << r.out;
        EXPECT_FALSE(has(r, "skipped")) << r.out;
        EXPECT_FALSE(has(r, "cannot be a layer name")) << r.out;
        const std::vector<std::string> facts = dump("report_plan.dxf");
        EXPECT_EQ(starting(facts, "hatch|"), (std::vector<std::string>{"hatch|HATCH-USE|SOLID|1.000|0.000|#E07020"}));
        EXPECT_EQ(starting(facts, "layer|WALLS|"), (std::vector<std::string>{"layer|WALLS|on"}));
        EXPECT_EQ(starting(facts, "layer|NOTES|"), (std::vector<std::string>{"layer|NOTES|off"}));
    }
}

TEST_F(ReportForms, WhatAReportCannotDoAsWrittenIsSaid) {
    struct Case {
        std::string name;
        std::string inside;
        std::string said;
    };
    const Case cases[] = {
        {"layer with characters no layer holds", offices("R&lt;OPEN&gt;*?"),
         "\t\tcategory Offices: hatch layer R<OPEN>*? cannot be a layer name - its hatches are drawn on layer "
         "ROPEN.\n"},
        {"no layer", offices(""), "\t\tcategory Offices: no hatch layer - its hatches are drawn on layer 0.\n"},
        {"layers to switch on that no layer has",
         offices() + "<layersOn><layerOn><loName>WALLS</loName></layerOn><layerOn><loName>R-MEET</loName></layerOn>"
                     "<layerOn><loName>HATCH-USE</loName></layerOn></layersOn>",
         "\tlayer R-MEET of the report's layers to switch on is not in the drawing - it is made, empty.\n"},
        {"a layer to switch on that no layer can be named",
         offices() + "<layersOn><layerOn><loName>R&lt;OPEN&gt;*?</loName></layerOn></layersOn>",
         "\tlayer R<OPEN>*? of the report's layers to switch on is not in the drawing - it is made, empty, as "
         "ROPEN.\n"},
        {"another drawing",
         "<grDrawingPath>Z:\\plans\\</grDrawingPath><grDrawingFilename>level2.dxf</grDrawingFilename>" + offices(),
         "the report names the drawing Z:\\plans\\level2.dxf - it is applied to the current drawing "},
        // Its own drawing, named in other letter case, is no other.
        {"its own drawing",
         "<grDrawingPath>" + windowsPath("") +
             "</grDrawingPath><grDrawingFilename>REPORT_PLAN.DXF</grDrawingFilename>" + offices(),
         ""},
        {"a total that is no number", "<grTotalChildAreas>1,092</grTotalChildAreas>" + offices(),
         "graphic report " + windowsPath("report.xml") + ": grTotalChildAreas \"1,092\" is not a number - not read.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome r = run("report_plan.dxf", markers() + "magr\n" + writeReport(c.inside) + "\nSAVE\n");
        ASSERT_EQ(r.status, 0) << r.err;
        if (c.said.empty()) {
            EXPECT_FALSE(has(r, "the report names")) << r.out;
        } else {
            EXPECT_TRUE(has(r, c.said)) << r.out;
        }
        EXPECT_TRUE(has(r, "graphic report successfully applied.\n")) << r.out;
        // The category's hatch layer is made by its hatches, as the report meant.
        EXPECT_FALSE(has(r, "layer HATCH-USE of the report's")) << r.out;
    }
}

TEST_F(ReportForms, DefiningALegendOrPieFromAReportNamesTheCategoriesItCannotColour) {
    std::string report = offices();
    report.replace(report.find("#E07020"), 7, "red");
    const std::string path = writeReport(report);
    const std::string said =
        "category Offices: hatch colour \"red\" is not a colour written #RRGGBB - its spaces "
        "and assets are not hatched.\n";
    for (const char* command : {"mlbd", "mpbd"}) {
        SCOPED_TRACE(command);
        Outcome r = run("report_plan.dxf", std::string(command) + "\n" + path + "\n\n\n\n\n\n\n\n");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(has(r, "[Open] file name (or cancel): " + said)) << r.out;
    }
}

TEST_F(ReportForms, AReportWithNoCategoriesSaysWhichLayersItTurnedOff) {
    for (const std::string& categories : {std::string(), std::string("<categories/>")}) {
        SCOPED_TRACE(categories);
        const std::string report =
            writeReport(categories + "<layersOn><layerOn><loName>WALLS</loName></layerOn></layersOn>");
        Outcome r = run("report_plan.dxf", "magr\n" + report + "\n\n\n\n\n\n\n\nSAVE\n");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(
            has(r,
                "\tgraphic report has no categories - it turned off the layers 0, DEFPOINTS, SPACES, FURNITURE, "
                "NOTES, LOCKED.\n"))
            << r.out;
        const std::vector<std::string> facts = dump("report_plan.dxf");
        EXPECT_EQ(starting(facts, "layer|NOTES|"), (std::vector<std::string>{"layer|NOTES|off"}));
        EXPECT_EQ(starting(facts, "layer|WALLS|"), (std::vector<std::string>{"layer|WALLS|on"}));
    }
}

} // namespace
} // namespace reportstest
