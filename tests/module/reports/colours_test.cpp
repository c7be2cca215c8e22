// Colours given again through cadhost: a later colour replaces the earlier one, a report applied twice
// leaves the drawing as applied once, and asset colours lie over room colours and under the drawing's
// own entities; the saved drawings read back by ezdxf in their draw order, and the plots' pixels.
#include "ReportsHost.h"
#include "module/PlotPixels.h"

namespace reportstest {
namespace {

struct Colour {
    const char* text; // as a report gives it
    std::uint32_t rgb;
};
const Colour red{"#C03030", 0xC03030};
const Colour green{"#30C030", 0x30C030};
const Colour blue{"#3030C0", 0x3030C0};
const Colour yellow{"#FFFF00", 0xFFFF00}; // what "msc_has" gives
const Colour amber{"#E0A000", 0xE0A000};

using plot_pixels::pixelsOf;

class Colours : public ReportsHost {
protected:
    // A report of the given categories, each a title, a colour and the XML of its blocks or assets.
    std::string writeReport(const std::string& name, const std::vector<std::string>& categories,
                            const std::string& title = "Level 1 use") {
        std::string body;
        for (const std::string& category : categories) body += category;
        std::ofstream(dir / name) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                     "<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\"><grID>7</grID>"
                                     "<grTitle>"
                                  << title
                                  << "</grTitle><grTotalChildAreas>100</grTotalChildAreas>"
                                     "<categories>"
                                  << body << "</categories></graphicReport>\n";
        return windowsPath(name);
    }
    static std::string category(const std::string& title, const Colour& colour, const std::string& contents) {
        return "<category><cID>1</cID><cTitle>" + title + "</cTitle><cHatchPattern>SOLID</cHatchPattern>" +
               "<cHatchColour>" + colour.text + "</cHatchColour><cHatchScale>1</cHatchScale><cHatchAngle>0" +
               "</cHatchAngle><cHatchLayer>HATCH-" + title + "</cHatchLayer>" + contents + "</category>";
    }
    static std::string everyRoom(const Colour& colour) {
        return category("ROOMS", colour, "<kelmoBlocks><kelmoBlock><mbHandle>*</mbHandle></kelmoBlock></kelmoBlocks>");
    }
    std::string desks(const Colour& colour) const {
        return category("DESKS", colour,
                        "<assets><asset><handle>" + handles.at("desk1") + "</handle></asset><asset><handle>" +
                            handles.at("desk2") + "</handle></asset></assets>");
    }
    std::string markers() const { return "mlmc\n" + pick("outline") + "\n\n\n\nmpmc\n" + pick("circle") + "\n\n\n\n"; }

    // Model space of a saved drawing, bottom first.
    std::vector<std::string> drawOrder(const std::string& drawing) const {
        const fs::path reader = fs::path(KELMO_SOURCE_DIR) / "tests" / "module" / "reports" / "read_colours.py";
        std::vector<std::string> lines;
        std::istringstream text(
            capture("/usr/bin/python3 '" + reader.string() + "' '" + (dir / drawing).string() + "'"));
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }
    static std::vector<std::string> hatches(const std::vector<std::string>& order) { return starting(order, "hatch|"); }
};

TEST_F(Colours, ASpaceColouredAgainShowsOnlyItsLatestColour) {
    struct Case {
        std::vector<const Colour*> colourings; // a report of every room in that colour; null: "msc_has"
        const Colour* shown;
    };
    const Case cases[] = {
        {{&red, &green, &blue}, &blue},
        {{&red, nullptr}, &yellow},
        {{nullptr, &green}, &green},
    };
    for (const Case& c : cases) {
        // No markers: the legend and pie are only defined (Enter to each question), so the plot's
        // colours are the rooms'.
        std::string script;
        for (size_t i = 0; i < c.colourings.size(); ++i)
            script += c.colourings[i]
                          ? "magr\n" + writeReport("r" + std::to_string(i) + ".xml", {everyRoom(*c.colourings[i])}) +
                                "\n\n\n\n\n\n\n"
                          : "msc_has\n";
        Outcome r = run("report_plan.dxf", script + "PLOT plot.png\nSAVE\n");
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string latest = std::string("|") + c.shown->text;
        const std::vector<std::string> found = hatches(drawOrder("report_plan.dxf"));
        // One hatch for each of the four rooms, in the latest colour.
        EXPECT_EQ(found.size(), 4u) << c.shown->text;
        for (const std::string& hatch : found) EXPECT_NE(hatch.find(latest), std::string::npos) << hatch;
        EXPECT_GT(pixelsOf(dir / "plot.png", c.shown->rgb), 10000u) << c.shown->text;
        for (const Colour* earlier : c.colourings) {
            if (earlier && earlier != c.shown) {
                EXPECT_EQ(pixelsOf(dir / "plot.png", earlier->rgb), 0u) << earlier->text;
            }
        }
    }
}

TEST_F(Colours, AReportAppliedTwiceLeavesTheDrawingAsAppliedOnce) {
    const fs::path samples = fs::path(KELMO_SOURCE_DIR) / "samples";
    fs::copy_file(samples / "floorplan_report.xml", dir / "floorplan_report.xml");
    // The sample plan with its report (markers on its outline and circle), and the report plan
    // coloured by rooms and desks.
    const std::string sampleMarkers = "mlmc\n#107\n\n\n\nmpmc\n#108\n\n\n\n";
    const std::string roomsAndDesks = writeReport("both.xml", {everyRoom(green), desks(amber)});
    struct Case {
        fs::path plan;
        std::string markers, report;
        size_t hatches;
    };
    const Case cases[] = {
        {samples / "floorplan.dxf", sampleMarkers, "floorplan_report.xml", 5}, // the plan's own hatch and four rooms
        {plans / "report_plan.dxf", markers(), roomsAndDesks, 6},
    };
    for (const Case& c : cases) {
        const std::string apply = "magr\n" + c.report + "\n";
        std::ofstream(dir / "twice.scr") << c.markers + apply + "SAVEAS once.dxf\nPLOT once.png\n" + apply +
                                                "SAVEAS twice.dxf\nPLOT twice.png\n";
        Outcome r = runFile(c.plan, dir / "twice.scr");
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<std::string> once = drawOrder("once.dxf");
        EXPECT_EQ(hatches(once).size(), c.hatches) << c.plan;
        EXPECT_EQ(starting(once, "insert|[KELMO_").size(), 2u) << c.plan;
        // Hatches, outlines, legend and pie: the same entities, in the same order.
        EXPECT_EQ(drawOrder("twice.dxf"), once) << c.plan;
        EXPECT_TRUE(slurpText(dir / "twice.png") == slurpText(dir / "once.png")) << "the plots differ: " << c.plan;
    }
}

TEST_F(Colours, AssetColoursLieOverRoomColoursAndUnderTheDrawingsOwnEntities) {
    struct Case {
        std::vector<std::vector<std::string>> reports; // each applied in turn: its categories
    };
    const Case cases[] = {
        {{{everyRoom(green), desks(amber)}}},
        {{{desks(amber), everyRoom(green)}}},
        {{{desks(amber)}, {everyRoom(green)}}},
        {{{everyRoom(red), desks(amber)}, {everyRoom(green)}}},
    };
    for (const Case& c : cases) {
        std::string script = markers();
        for (size_t i = 0; i < c.reports.size(); ++i)
            script += "magr\n" + writeReport("r" + std::to_string(i) + ".xml", c.reports[i]) + "\n";
        Outcome r = run("report_plan.dxf", script + "PLOT plot.png\nSAVE\n");
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<std::string> order = drawOrder("report_plan.dxf");
        const size_t at = &c - cases;
        // The four room hatches at the bottom, the two desk hatches over them, then the drawing's own.
        ASSERT_GT(order.size(), 6u) << at;
        for (size_t i = 0; i < 4; ++i) EXPECT_EQ(order[i], "hatch|HATCH-ROOMS|#30C030") << at << " " << i;
        for (size_t i = 4; i < 6; ++i) EXPECT_EQ(order[i], "hatch|HATCH-DESKS|#E0A000") << at << " " << i;
        EXPECT_EQ(hatches(order).size(), 6u) << at;
        EXPECT_GT(pixelsOf(dir / "plot.png", amber.rgb), 1000u) << at;
        EXPECT_GT(pixelsOf(dir / "plot.png", green.rgb), 10000u) << at;
    }
}

TEST_F(Colours, AReportOverAnotherTakesItsPlaceAtTheLegendAndPieMarkers) {
    const std::string first = writeReport("first.xml", {everyRoom(red)}, "Level 1 use");
    const std::string second = writeReport("second.xml", {everyRoom(green)}, "Level 1 audit");
    Outcome r = run("report_plan.dxf", markers() + "magr\n" + first + "\nmagr\n" + second + "\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> order = drawOrder("report_plan.dxf");
    EXPECT_EQ(starting(order, "insert|[KELMO_"), (std::vector<std::string>{"insert|[KELMO_LEGEND]_Level 1 audit",
                                                                           "insert|[KELMO_PIECHART]_Level 1 audit"}));
}

} // namespace
} // namespace reportstest
