// The legend table and the pie chart show every space's area in the units their labels name, whatever
// units the space is stored in: "magr" and the typed units of the definitions through cadhost, read back
// by ezdxf.
#include "ReportsHost.h"

namespace reportstest {
namespace {

class ChartUnits : public ReportsHost {
protected:
    // Offices A and B (50 and 30 sq.m. as the plan stores them) and the store and kitchen (12 and 8),
    // with the report's total as the register gives it.
    std::string writeReport(const std::string& total) {
        auto category = [](const std::string& title, const std::string& colour, const std::string& layer,
                           const std::vector<std::string>& spaces) {
            std::string text = "<category><cID>1</cID><cTitle>" + title +
                               "</cTitle><cHatchPattern>SOLID</cHatchPattern><cHatchColour>" + colour +
                               "</cHatchColour><cHatchScale>1</cHatchScale><cHatchAngle>0</cHatchAngle><cHatchLayer>" +
                               layer + "</cHatchLayer><kelmoBlocks>";
            for (const std::string& space : spaces)
                text += "<kelmoBlock><mbHandle>" + handles.at(space) + "</mbHandle></kelmoBlock>";
            return text + "</kelmoBlocks></category>";
        };
        std::ofstream(dir / "report.xml") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                             "<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\"><grID>7</grID>"
                                             "<grTitle>Level 1 use</grTitle><grTotalChildAreas>"
                                          << total << "</grTotalChildAreas><categories>"
                                          << category("Offices", "#E07020", "HATCH-OFFICES", {"Office A", "Office B"})
                                          << category("Service", "#3070C0", "HATCH-SERVICE", {"Store", "Kitchen"})
                                          << "</categories></graphicReport>\n";
        return windowsPath("report.xml");
    }
    std::string markers() const { return "mlmc\n" + pick("outline") + "\n\n\n\nmpmc\n" + pick("circle") + "\n\n\n\n"; }

    // The legend's cells, row by row, and the pie's texts (the wedges' labels, then title and total).
    struct Charts {
        std::string legend;
        std::vector<std::string> pie;
    };
    Charts charts() const {
        const std::vector<std::string> facts = dump("report_plan.dxf");
        Charts found;
        for (const std::string& fact : starting(facts, "block|[KELMO_LEGEND]_Level 1 use|ACAD_TABLE|"))
            found.legend = fact.substr(fact.rfind('|') + 1);
        for (const std::string& fact : starting(facts, "block|[KELMO_PIECHART]_Level 1 use|ATTDEF|")) {
            const size_t text = fact.find('|', fact.find("|ATTDEF|") + 8) + 1;
            found.pie.push_back(fact.substr(text, fact.find('|', text) - text));
        }
        return found;
    }
    static std::string legend(const std::string& units, const std::string& offices, const std::string& service) {
        return "Level 1 use;;;Description;Hatch;Area " + units +
               ";Offices;block:[KELMO_LEGEND_HATCH]_Level 1 use_Offices;" + offices +
               ";Service;block:[KELMO_LEGEND_HATCH]_Level 1 use_Service;" + service;
    }
};

TEST_F(ChartUnits, TheLegendAndThePieShowTheSpacesAreasInTheUnitsTheyName) {
    const std::string toFeet = "mprefs\ndlg radio 289\ndlg enter\n";
    const std::string toMetres = "mprefs\ndlg radio 288\ndlg enter\n";
    const struct Case {
        const char* what;
        const char* total;
        std::string script; // before the report is applied at the markers
        std::string legend;
        std::vector<std::string> pie;
    } cases[] = {
        // 80 sq.m. are 861.11 sq.ft., 20 sq.m. 215.28 sq.ft. and the total of 100 sq.m. 1076.39 sq.ft.
        {"spaces in square metres under imperial preferences",
         "100",
         toFeet,
         legend("sq.ft.", "861.11", "215.28"),
         {"Offices (861.11 sq.ft.)", "Service (215.28 sq.ft.)", "Level 1 use", "Total: 1076.39sq.ft."}},
        // Updated in feet, the spaces hold 538.20 + 322.92 and 129.17 + 86.11 sq.ft.; the register's
        // total is theirs.
        {"spaces in square feet under metric preferences",
         "1076.4",
         toFeet + "mus\n" + toMetres,
         legend("sq.m.", "80.00", "20.00"),
         {"Offices (80.00 sq.m.)", "Service (20.00 sq.m.)", "Level 1 use", "Total: 100.00sq.m."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writePrefs({});
        const std::string report = writeReport(c.total);
        Outcome r = run("report_plan.dxf", c.script + markers() + "magr\n" + report + "\nSAVE\n");
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_TRUE(has(r, "graphic report successfully applied.\n")) << r.out;
        const Charts shown = charts();
        EXPECT_EQ(shown.legend, c.legend);
        EXPECT_EQ(shown.pie, c.pie);
    }
}

// Without markers the units are typed: a label that names units gets the areas in them; any other
// text names none, and the areas are shown as the spaces hold them.
TEST_F(ChartUnits, TypedUnitsThatNameSquareFeetGetTheAreasInSquareFeet) {
    const struct Case {
        const char* units;
        std::string legend;
        std::vector<std::string> pie;
    } cases[] = {
        {"sq.ft.",
         legend("sq.ft.", "861.11", "215.28"),
         {"Offices (861.11 sq.ft.)", "Service (215.28 sq.ft.)", "Level 1 use", "Total: 1076.39sq.ft."}},
        {"m2",
         legend("m2", "80.00", "20.00"),
         {"Offices (80.00 m2)", "Service (20.00 m2)", "Level 1 use", "Total: 100.00m2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.units);
        const std::string report = writeReport("100");
        Outcome r = run("report_plan.dxf", "magr\n" + report + "\n\n\n\n\n" + c.units + "\n\nSAVE\n");
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_TRUE(has(r, "pie chart definition successfully created.\n")) << r.out;
        const Charts shown = charts();
        EXPECT_EQ(shown.legend, c.legend);
        EXPECT_EQ(shown.pie, c.pie);
    }
}

} // namespace
} // namespace reportstest
