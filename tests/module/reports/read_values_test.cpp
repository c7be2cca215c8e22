// Report files as other tools write them: a value is read whole or named with what it belongs to,
// never taken as another value; a room listed twice is counted once; a category's elements are read
// in any order. Through cadhost on the ezdxf plans.
#include "ReportsHost.h"

namespace reportstest {
namespace {

class ReadValues : public ReportsHost {
protected:
    // A report "Use" in the test's folder around the given elements.
    std::string writeReport(const std::string& inside) {
        std::ofstream(dir / "report.xml") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                             "<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\"><grID>7</grID>"
                                             "<grTitle>Use</grTitle><grTotalChildAreas>100</grTotalChildAreas>"
                                          << inside << "</graphicReport>\n";
        return windowsPath("report.xml");
    }
    // A category's hatch elements in the writer's order.
    static std::string look(const std::string& colour, const std::string& scale = "10",
                            const std::string& layer = "HATCH-USE") {
        return "<cHatchPattern>ANSI31</cHatchPattern><cHatchColour>" + colour + "</cHatchColour><cHatchScale>" + scale +
               "</cHatchScale><cHatchAngle>0</cHatchAngle><cHatchLayer>" + layer + "</cHatchLayer>";
    }
    static std::string category(const std::string& title, const std::string& elements) {
        return "<category><cID>1</cID><cTitle>" + title + "</cTitle>" + elements + "</category>";
    }
    static std::string blocks(const std::string& inside) { return "<kelmoBlocks>" + inside + "</kelmoBlocks>"; }
    static std::string block(const std::string& name, const std::string& inside = "") {
        return "<kelmoBlock><mbHandle>" + handles.at(name) + "</mbHandle>" + inside + "</kelmoBlock>";
    }
    std::string markers() const { return "mlmc\n" + pick("outline") + "\n\n\n\nmpmc\n" + pick("circle") + "\n\n\n\n"; }

    // Applies the categories with markers in place and saves.
    Outcome apply(const std::string& categories) {
        return run("report_plan.dxf",
                   markers() + "magr\n" + writeReport("<categories>" + categories + "</categories>") + "\nSAVE\n");
    }
    // The legend's cells after its title and header, as "title;swatch;area;..."
    std::string legendRows() const {
        const std::vector<std::string> table =
            starting(dump("report_plan.dxf"), "block|[KELMO_LEGEND]_Use|ACAD_TABLE|");
        if (table.size() != 1) return "no legend";
        const std::string header = "Area sq.m.;";
        return table[0].substr(table[0].find(header) + header.size());
    }
    // The area a room of the saved plan stores.
    std::string storedArea(const std::string& definition) const {
        const std::string data = read("report_plan.dxf")[definition].data;
        const size_t at = data.find("AREA=");
        return at == std::string::npos ? "no area" : data.substr(at + 5, data.find(';', at) - at - 5);
    }
};

TEST_F(ReadValues, AReportAreaIsReadWholeOrTheRoomKeepsItsOwnWithALineNamingItAndTheText) {
    struct Case {
        std::string written;
        std::string label; // Office A holds 50 sq.m. of its own
        bool named;
    };
    const Case cases[] = {
        {"1,092.50", "1092.50sq.m.", false}, {"1.092,50", "1092.50sq.m.", false}, {" 42,5 ", "42.50sq.m.", false},
        {"1,092", "50.00sq.m.", true}, // a thousand and ninety-two, or one and a bit
        {"12 sq.m.", "50.00sq.m.", true},    {"0x1A", "50.00sq.m.", true},        {"1e999", "50.00sq.m.", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        Outcome r = apply(
            category("Offices", look("#E07020") + blocks(block("Office A", "<mbArea>" + c.written + "</mbArea>"))));
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string line = "\t\tthe report's area \"" + std::string(c.written == " 42,5 " ? "42,5" : c.written) +
                                 "\" for kelmo block Office A - " + handles.at("Office A") +
                                 " is not a number: the space keeps its own area.\n";
        EXPECT_EQ(has(r, line), c.named) << r.out;
        EXPECT_TRUE(has(r, "graphic report successfully applied.\n")) << r.out;
        EXPECT_EQ(storedArea("ROOM-A1"), c.label);
        const std::string counted = c.label.substr(0, c.label.find('s'));
        EXPECT_EQ(legendRows().find("Offices;block:[KELMO_LEGEND_HATCH]_Use_Offices;" + counted), 0u) << legendRows();
    }
}

TEST_F(ReadValues, HatchColoursAndScalesAreTakenOnlyAsWrittenAndACategoryOfNoColourIsNamedAndNotHatched) {
    struct Case {
        std::string colour; // as the file holds it; "-" leaves the element out
        std::string scale;
        std::string hatch; // the offices' hatches; empty when none
        std::string line;  // after "category Offices: "
    };
    const std::string unread = "\" is not a colour written #RRGGBB - its spaces and assets are not hatched.\n";
    const Case cases[] = {
        {"#E07020", "10", "hatch|HATCH-USE|ANSI31|10.000|0.000|#E07020", ""},
        {" #D9822B ", "10", "hatch|HATCH-USE|ANSI31|10.000|0.000|#D9822B", ""},
        {"FF0000", "10", "hatch|HATCH-USE|ANSI31|10.000|0.000|#FF0000", ""}, // as the batch reads it
        {"red", "10", "", "hatch colour \"red" + unread},
        {"0xFF0000", "10", "", "hatch colour \"0xFF0000" + unread},
        {"rgb(255,0,0)", "10", "", "hatch colour \"rgb(255,0,0)" + unread},
        {"#GGHHII", "10", "", "hatch colour \"#GGHHII" + unread},
        {"1", "10", "", "hatch colour \"1" + unread},
        {"", "10", "", "hatch colour \"" + unread},
        {"-", "10", "", "no hatch colour - its spaces and assets are not hatched.\n"},
        {"#E07020", "0.5", "hatch|HATCH-USE|ANSI31|1.000|0.000|#E07020",
         "hatch scale \"0.5\" is not a whole number - its hatches are drawn at scale 1.\n"},
        {"#E07020", "2,5", "hatch|HATCH-USE|ANSI31|1.000|0.000|#E07020",
         "hatch scale \"2,5\" is not a whole number - its hatches are drawn at scale 1.\n"},
        {"#E07020", " 20 ", "hatch|HATCH-USE|ANSI31|20.000|0.000|#E07020", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.colour + " " + c.scale);
        std::string elements = look(c.colour, c.scale);
        if (c.colour == "-")
            elements.erase(elements.find("<cHatchColour>"), std::string("<cHatchColour>-</cHatchColour>").size());
        Outcome r = apply(category("Offices", elements + blocks(block("Office A"))));
        ASSERT_EQ(r.status, 0) << r.err;
        if (!c.line.empty()) {
            EXPECT_TRUE(has(r, "\tapplying category Offices.\n\t\tcategory Offices: " + c.line)) << r.out;
        }
        EXPECT_FALSE(has(r, "scale 0 ")) << r.out;
        const std::vector<std::string> hatches = starting(dump("report_plan.dxf"), "hatch|");
        EXPECT_EQ(hatches, c.hatch.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.hatch});
    }
}

TEST_F(ReadValues, ARoomInTwoCategoriesIsCountedOnceInTheCategoryWhoseColourItShows) {
    struct Case {
        std::string meetingColour;
        std::string rows; // the legend's rows
        std::string line;
    };
    const std::string counted = "\tkelmo block Office A - ";
    const Case cases[] = {
        // The later category colours it: it counts there.
        {"#3070C0",
         "Offices;block:[KELMO_LEGEND_HATCH]_Use_Offices;30.00;Meeting;block:[KELMO_LEGEND_HATCH]_Use_Meeting;50.00",
         " is in categories Offices and Meeting: it is counted in Meeting, whose colour it shows.\n"},
        // The later one has no colour to give it: it keeps the offices' colour and counts there.
        {"red", "Offices;block:[KELMO_LEGEND_HATCH]_Use_Offices;80.00;Meeting;;0.00",
         " is in categories Meeting and Offices: it is counted in Offices, whose colour it shows.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.meetingColour);
        Outcome r = apply(category("Offices", look("#E07020") + blocks(block("Office A") + block("Office B"))) +
                          category("Meeting", look(c.meetingColour) + blocks(block("Office A"))));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(count(r.out, counted), 1u) << r.out;
        EXPECT_TRUE(has(r, counted + handles.at("Office A") + c.line)) << r.out;
        EXPECT_EQ(legendRows(), c.rows);
    }
}

TEST_F(ReadValues, ACategorysElementsInAnyOrderGiveItsSpacesTheSameHatch) {
    const std::string rooms = blocks(block("Office A") + block("Office B"));
    const std::string pattern = "<cHatchPattern>ANSI31</cHatchPattern>";
    const std::string settings =
        "<cHatchColour>#E07020</cHatchColour><cHatchScale>10</cHatchScale>"
        "<cHatchAngle>0</cHatchAngle><cHatchLayer>HATCH-USE</cHatchLayer>";
    const std::string orders[] = {
        pattern + settings + rooms, // the writer's
        settings + pattern + rooms, // settings first
        rooms + settings + pattern, // the spaces first
        rooms + pattern + settings,
    };
    for (const std::string& order : orders) {
        SCOPED_TRACE(order);
        Outcome r = apply(category("Offices", order));
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<std::string> hatches = starting(dump("report_plan.dxf"), "hatch|");
        EXPECT_EQ(hatches, std::vector<std::string>(2, "hatch|HATCH-USE|ANSI31|10.000|0.000|#E07020"));
        EXPECT_EQ(legendRows(), "Offices;block:[KELMO_LEGEND_HATCH]_Use_Offices;80.00");
    }
}

} // namespace
} // namespace reportstest
