// Colour hatches on a locked layer: the module can neither mark a hatch there as a space's colour, nor
// send it under the plan, nor erase the one it made before, so the space keeps the colour it has and the
// command line says why; "mdb" leaves a space whose colour it cannot take with it. Through cadhost on the
// report plan, the drawings locked and read back by ezdxf, and the plots' pixels. Likewise a legend or
// pie chart whose old chart has a part on a locked layer is not drawn over it, and the command line
// names the old chart and the layer.
#include "EditedPlans.h"

namespace reportstest {
namespace {

class LockedColours : public EditedPlans {
protected:
    // The drawing of the test's folder saved again with the layer (made when missing) locked.
    void lockLayer(const std::string& in, const std::string& out, const std::string& layer) const {
        capture("cd '" + dir.string() + "' && /usr/bin/python3 -c \"import ezdxf; d = ezdxf.readfile('" + in +
                "'); n = '" + layer + "'; (d.layers.get(n) if n in d.layers else d.layers.add(n)).lock(); d.saveas('" +
                out + "')\"");
    }
    // Saved again with the charts a report placed at its markers on a layer of their own, locked.
    void lockCharts(const std::string& in, const std::string& out) const {
        capture("cd '" + dir.string() + "' && /usr/bin/python3 -c \"import ezdxf; d = ezdxf.readfile('" + in +
                "'); d.layers.add('CHARTS').lock(); [setattr(e.dxf, 'layer', 'CHARTS') for e in "
                "d.modelspace().query('INSERT') if e.dxf.name.startswith('[KELMO_')]; d.saveas('" +
                out + "')\"");
    }
    std::vector<std::string> spaces(const std::string& drawing) const {
        std::vector<std::string> names;
        for (const std::string& fact : starting(dump(drawing), "insert|ROOM-A"))
            names.push_back(fact.substr(fact.find("NAME=") + 5, fact.find("|AREA") - fact.find("NAME=") - 5));
        return names;
    }
};

TEST_F(LockedColours, ASpaceWhoseColourCannotBeReplacedOnALockedLayerKeepsItAndSaysWhy) {
    const std::string everyRoomRed =
        std::string(red) + "|0,0 " + red + "|10000,0 " + red + "|16000,0 " + red + "|20000,0";
    const struct Case {
        const char* what;
        bool colouredFirst; // red on every room before the layer is locked
        std::string line;
        std::string left; // the hatches after, sorted
    } cases[] = {
        {"the red hatches' layer locked", true,
         "\nSpace Office A not coloured: its colour hatch lies on the locked layer HATCH-ROOMS\n", everyRoomRed},
        {"the report's hatch layer locked before any colour", false,
         "\nSpace Office A not coloured: its hatch layer HATCH-ROOMS is locked\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::create_directories(dir / "staged");
        Outcome first = run("report_plan.dxf",
                            (c.colouredFirst ? colour("red.xml", red, "*") : std::string()) + "SAVEAS first.dxf\n");
        ASSERT_EQ(first.status, 0) << first.err;
        lockLayer("first.dxf", "staged/locked.dxf", "HATCH-ROOMS");

        std::ofstream(dir / "again.scr") << colour("green.xml", green, handles.at("Office A")) +
                                                "PLOT again.png\nSAVEAS again.dxf\n";
        Outcome again = runFile(dir / "staged" / "locked.dxf", dir / "again.scr");
        ASSERT_EQ(again.status, 0) << again.err;
        EXPECT_TRUE(has(again, c.line)) << again.out;
        std::vector<std::string> found = hatches("again.dxf");
        std::sort(found.begin(), found.end());
        std::string left;
        for (const std::string& hatch : found) left += (left.empty() ? "" : " ") + hatch;
        EXPECT_EQ(left, c.left);
        // No green under or over the plan, and no colour hiding its walls and labels.
        EXPECT_EQ(pixelsOf(dir / "again.png", green), 0u);
        for (const char* file : {"first.dxf", "again.dxf", "again.png"}) fs::remove(dir / file);
    }
}

TEST_F(LockedColours, ASpaceWhoseColourHatchLiesOnALockedLayerIsNotDeleted) {
    Outcome first = run("report_plan.dxf", colour("red.xml", red, "*") + "SAVEAS red.dxf\n");
    ASSERT_EQ(first.status, 0) << first.err;
    fs::create_directories(dir / "staged");
    lockLayer("red.dxf", "staged/locked.dxf", "HATCH-ROOMS");

    std::ofstream(dir / "delete.scr") << "mdb\n" + pick("Office A") + "\nSAVEAS deleted.dxf\n";
    Outcome deleted = runFile(dir / "staged" / "locked.dxf", dir / "delete.scr");
    ASSERT_EQ(deleted.status, 1) << deleted.err; // a failure line the command printed fails the line
    EXPECT_TRUE(has(deleted, "\nSpace Office A not deleted: its colour hatch lies on the locked layer HATCH-ROOMS\n"))
        << deleted.out;
    EXPECT_TRUE(has(deleted, "Block Delete Failed - the block is left as it was")) << deleted.out;
    // The space and its colour stay together.
    EXPECT_EQ(spaces("deleted.dxf"), (std::vector<std::string>{"Office A", "Office B", "Store", "Kitchen"}));
    EXPECT_EQ(hatches("deleted.dxf").size(), 4u);
}

TEST_F(LockedColours, HatchingEverySpaceCountsNoneWhoseColourALockedLayerKeeps) {
    Outcome first = run("report_plan.dxf", colour("red.xml", red, "*") + "SAVEAS red.dxf\n");
    ASSERT_EQ(first.status, 0) << first.err;
    fs::create_directories(dir / "staged");
    lockLayer("red.dxf", "staged/locked.dxf", "HATCH-ROOMS");
    std::ofstream(dir / "hatch.scr") << "msc_has\nSAVEAS hatched.dxf\n";
    Outcome r = runFile(dir / "staged" / "locked.dxf", dir / "hatch.scr");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, " not coloured: its colour hatch lies on the locked layer"), 4u) << r.out;
    EXPECT_TRUE(has(r, "\n0 block(s) hatched in ")) << r.out;
    EXPECT_EQ(hatches("hatched.dxf").size(), 4u);
}

TEST_F(LockedColours, AnAssetWhoseHatchLayerIsLockedIsNotColoured) {
    fs::create_directories(dir / "staged");
    fs::copy_file(plans / "report_plan.dxf", dir / "plan.dxf");
    lockLayer("plan.dxf", "staged/locked.dxf", "HATCH-DESKS");
    std::ofstream(dir / "desks.xml") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                        "<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\"><grID>7</grID>"
                                        "<grTitle>Level 1 use</grTitle><grTotalChildAreas>100</grTotalChildAreas>"
                                        "<categories><category><cID>1</cID><cTitle>Desks</cTitle>"
                                        "<cHatchPattern>SOLID</cHatchPattern><cHatchColour>"
                                     << green
                                     << "</cHatchColour><cHatchScale>1</cHatchScale><cHatchAngle>0</cHatchAngle>"
                                        "<cHatchLayer>HATCH-DESKS</cHatchLayer><assets><asset><handle>"
                                     << handles.at("desk1")
                                     << "</handle></asset></assets></category></categories></graphicReport>\n";
    std::ofstream(dir / "desks.scr") << "magr\n" + windowsPath("desks.xml") +
                                            "\n\n\n\n\n\n\n\nPLOT desks.png\nSAVEAS desks.dxf\n";
    Outcome r = runFile(dir / "staged" / "locked.dxf", dir / "desks.scr");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "\nAsset " + handles.at("desk1") + " not coloured: its hatch layer HATCH-DESKS is locked\n"))
        << r.out;
    EXPECT_TRUE(hatches("desks.dxf").empty());
    EXPECT_EQ(pixelsOf(dir / "desks.png", green), 0u);
}

TEST_F(LockedColours, AChartWhoseOldChartCannotBeErasedIsNotDrawnOverItAndTheOldIsNamed) {
    const std::string legend = "insert|[KELMO_LEGEND]_";
    const std::string pie = "insert|[KELMO_PIECHART]_";
    const std::string first = "Level 1 use";
    const struct Case {
        const char* what;
        bool chartsLocked;               // else the report's hatch layer, which the swatch and the wedge lie on
        std::string title;               // of the second report
        std::string legendLine, pieLine; // empty: that chart is drawn, the old one gone
    } cases[] = {
        {"another report over locked charts", true, "Level 2 use",
         "legend not drawn - the earlier legend [KELMO_LEGEND]_Level 1 use lies on the locked layer CHARTS.\n",
         "pie chart not drawn - the earlier pie chart [KELMO_PIECHART]_Level 1 use lies on the locked layer "
         "CHARTS.\n"},
        {"the same report over locked charts", true, first,
         "legend not drawn - the earlier legend [KELMO_LEGEND]_Level 1 use lies on the locked layer CHARTS.\n",
         "pie chart not drawn - the earlier pie chart [KELMO_PIECHART]_Level 1 use lies on the locked layer "
         "CHARTS.\n"},
        {"the same report, its swatch and wedge locked", false, first,
         "legend not drawn - the earlier legend [KELMO_LEGEND_HATCH]_Level 1 use_ROOMS has a part on the locked "
         "layer HATCH-ROOMS.\n",
         "pie chart not drawn - the earlier pie chart [KELMO_PIECHART]_Level 1 use has a part on the locked layer "
         "HATCH-ROOMS.\n"},
        // Another report's chart builds no old definition again: the old inserts simply go.
        {"another report, the old swatch and wedge locked", false, "Level 2 use", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::create_directories(dir / "staged");
        Outcome made =
            run("report_plan.dxf", "mlmc\n" + pick("outline") + "\n\n\n\nmpmc\n" + pick("circle") + "\n\n\n\nmagr\n" +
                                       writeReport("first.xml", red, "*") + "\nSAVEAS first.dxf\n");
        ASSERT_EQ(made.status, 0) << made.err << made.out;
        ASSERT_EQ(starting(dump("first.dxf"), legend + first + "|").size(), 1u) << made.out;
        if (c.chartsLocked)
            lockCharts("first.dxf", "staged/locked.dxf");
        else
            lockLayer("first.dxf", "staged/locked.dxf", "HATCH-ROOMS");

        std::ofstream(dir / "again.scr") << "magr\n" + writeReport("again.xml", green, "*", "HATCH-ROOMS", c.title) +
                                                "\nSAVEAS again.dxf\n";
        Outcome again = runFile(dir / "staged" / "locked.dxf", dir / "again.scr");
        ASSERT_EQ(again.status, 0) << again.err << again.out;
        EXPECT_TRUE(has(again, "graphic report successfully applied.\n")) << again.out;
        const std::vector<std::string> facts = dump("again.dxf");
        for (const auto& [kind, line] : {std::pair{legend, c.legendLine}, std::pair{pie, c.pieLine}}) {
            const std::vector<std::string> charts = starting(facts, kind);
            ASSERT_EQ(charts.size(), 1u) << kind << again.out;
            EXPECT_EQ(charts[0].rfind(kind + (line.empty() ? c.title : first) + "|", 0), 0u) << charts[0];
            EXPECT_TRUE(line.empty() || has(again, line)) << line << again.out;
        }
        EXPECT_EQ(again.out.find("not drawn") == std::string::npos, c.legendLine.empty()) << again.out;
        fs::remove_all(dir / "staged");
    }
}

// Without markers a chart is only defined; a definition with a part on a locked layer (the legend's
// table and the pie's title lie on layer 0) is not built again over that part.
TEST_F(LockedColours, AChartDefinitionWithAPartOnALockedLayerIsNotBuiltAgainOverIt) {
    Outcome made = run("report_plan.dxf", colour("first.xml", red, "*") + "SAVEAS first.dxf\n");
    ASSERT_EQ(made.status, 0) << made.err << made.out;
    fs::create_directories(dir / "staged");
    lockLayer("first.dxf", "staged/locked.dxf", "0");
    std::ofstream(dir / "again.scr") << colour("again.xml", green, "*") + "SAVEAS again.dxf\n";
    Outcome again = runFile(dir / "staged" / "locked.dxf", dir / "again.scr");
    ASSERT_EQ(again.status, 1) << again.err << again.out; // a failure line the command printed fails the line
    EXPECT_TRUE(has(again,
                    "legend definition not created - the earlier legend [KELMO_LEGEND]_Level 1 use has a part "
                    "on the locked layer 0.\n"))
        << again.out;
    EXPECT_TRUE(has(again,
                    "pie chart definition not created - the earlier pie chart [KELMO_PIECHART]_Level 1 use has "
                    "a part on the locked layer 0.\n"))
        << again.out;
    EXPECT_FALSE(has(again, "successfully created")) << again.out;
    const std::vector<std::string> facts = dump("again.dxf");
    EXPECT_EQ(starting(facts, "block|[KELMO_LEGEND]_Level 1 use|ACAD_TABLE|").size(), 1u);
    EXPECT_EQ(starting(facts, "block|[KELMO_PIECHART]_Level 1 use|HATCH|").size(), 1u);
}

} // namespace
} // namespace reportstest
