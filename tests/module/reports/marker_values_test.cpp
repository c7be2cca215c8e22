// A marker's settings edited by hand are read from their whole text: a number written with thousands or a
// sign is the number it means, and one that is no number falls back with a line naming it; through
// cadhost on the report plan, the charts read back by ezdxf.
#include "EditedPlans.h"

namespace reportstest {
namespace {

class MarkerValues : public EditedPlans {
protected:
    // The report plan with a legend and a pie marker, saved as "markers.dxf".
    void markBoth() {
        Outcome marked = run("report_plan.dxf", "mlmc\n" + pick("outline") + "\n\n\n\nmpmc\n" + pick("circle") +
                                                    "\n\n\n\nSAVEAS markers.dxf\n");
        ASSERT_EQ(marked.status, 0) << marked.err;
        fs::create_directories(dir / "staged");
    }
    // "magr" on "markers.dxf" with the attributes edited ("TAG 'TEXT' ..."), saved.
    Outcome applyEdited(const std::string& attributes) {
        edit("attribute markers.dxf staged/edited.dxf " + attributes);
        std::ofstream(dir / "apply.scr") << "magr\n" + writeReport("rooms.xml", green, "*") + "\nSAVE\n";
        return runFile(dir / "staged" / "edited.dxf", dir / "apply.scr");
    }
};

TEST_F(MarkerValues, MarkerSettingsAreReadWholeOrSaidWithTheDefaultUsed) {
    struct Case {
        std::string attributes;
        std::vector<std::string> said;
        std::vector<std::string> drawn; // parts of facts of the saved drawing
    };
    const std::string textSize = " is not a text size above 0 up to 1000000 - 250 is used.\n";
    const std::string precision = " is not a precision from 0 to 9 - 2 is used.\n";
    const std::string legendRows = "|ACAD_TABLE|rows=3|columns=3|heights=";
    const std::string wholePie = "|LWPOLYLINE|HATCH-ROOMS|0.000,4000.000 b-1.000;";
    const Case cases[] = {
        {"LEGENDTEXTSIZE '1,250.00' LEGENDPRECISION '+3' PIERADIUS '4,000.00' PIETEXTSIZE '1.250,00'",
         {},
         {legendRows + "1875.000,", "Area sq.m.;ROOMS;block:[KELMO_LEGEND_HATCH]_Level 1 use_ROOMS;100.000", wholePie,
          "|ATTDEF|ROOMS (100.00 sq.m.)|ROOMS (100.00 sq.m.)|HATCH-ROOMS|0.000,-5000.000|h1250.000|"}},
        {"LEGENDTEXTSIZE '1,250' PIETEXTSIZE '12,345' LEGENDPRECISION '2.5' PIEPRECISION ''",
         {"legend marker: LEGENDTEXTSIZE 1,250" + textSize, "pie chart marker: PIETEXTSIZE 12,345" + textSize,
          "legend marker: LEGENDPRECISION 2.5" + precision, "pie chart marker: PIEPRECISION " + precision},
         {legendRows + "375.000,", "Level 1 use_ROOMS;100.00",
          "|ROOMS (100.00 sq.m.)|HATCH-ROOMS|0.000,-5000.000|h250.000|"}},
        {"LEGENDTEXTSIZE '0,123,456' PIETEXTSIZE 'NaN' LEGENDPRECISION '1e1' PIEPRECISION '+9'",
         {"legend marker: LEGENDTEXTSIZE 0,123,456" + textSize, "pie chart marker: PIETEXTSIZE NaN" + textSize,
          "legend marker: LEGENDPRECISION 1e1" + precision},
         {legendRows + "375.000,", "Level 1 use_ROOMS;100.00", "|ROOMS (100.000000000 sq.m.)|"}},
        {"LEGENDUNITS '+1' PIERADIUS '+4000' PIETEXTSIZE '250mm'",
         {"pie chart marker: PIETEXTSIZE 250mm" + textSize},
         {"Area sq.ft.;", wholePie}},
        {"LEGENDUNITS 'one'", {"legend marker: LEGENDUNITS one is no units - metres are used.\n"}, {"Area sq.m.;"}},
    };
    markBoth();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attributes);
        Outcome r = applyEdited(c.attributes);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(count(r.out, " marker: "), c.said.size()) << r.out;
        for (const std::string& line : c.said) EXPECT_EQ(count(r.out, line), 1u) << line << r.out;
        EXPECT_TRUE(has(r, "graphic report successfully applied.")) << r.out;
        const std::vector<std::string> facts = dump("edited.dxf");
        for (const std::string& part : c.drawn) {
            const bool found = std::any_of(facts.begin(), facts.end(), [&](const std::string& fact) {
                return fact.find(part) != std::string::npos;
            });
            EXPECT_TRUE(found) << part;
        }
    }
}

TEST_F(MarkerValues, APieRadiusThatIsNoNumberDrawsNoPieAndIsNamed) {
    markBoth();
    for (const char* radius : {"4,000", "1e-400", "NaN", "4000 mm"}) {
        SCOPED_TRACE(radius);
        Outcome r = applyEdited(std::string("PIERADIUS '") + radius + "'");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(has(r, std::string("pie chart not drawn - the pie chart marker's PIERADIUS ") + radius +
                               " is not a length above 0.\n"))
            << r.out;
        EXPECT_TRUE(starting(dump("edited.dxf"), "insert|[KELMO_PIECHART]_").empty());
    }
}

TEST_F(MarkerValues, TheMarkerPromptsTakeOnlyADecimalWrittenWhole) {
    const struct {
        const char* typed;
        bool refused; // asked again, and Enter then keeps 250
        const char* size;
    } cases[] = {
        {"0x1A", true, "250.00"},  {"0x1p3", true, "250.00"}, {"1e-400", true, "250.00"},
        {"1,250", true, "250.00"}, {"+300", false, "300.00"}, {"3e2", false, "300.00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        Outcome r = run("report_plan.dxf", "mlmc\n" + pick("outline") + "\n\n" + c.typed + "\n" +
                                               (c.refused ? "\n" : "") + "\nSAVEAS marked.dxf\n");
        ASSERT_EQ(r.status, c.refused ? 1 : 0) << r.err; // a refused answer is a line not applied
        EXPECT_EQ(count(r.out, "Requires numeric value."), c.refused ? 1u : 0u) << r.out;
        EXPECT_TRUE(has(r, std::string("\n ") + c.size + "\n")) << r.out;
    }
}

} // namespace
} // namespace reportstest
