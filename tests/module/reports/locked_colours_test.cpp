// Colour hatches on a locked layer: the module can neither mark a hatch there as a space's colour, nor
// send it under the plan, nor erase the one it made before, so the space keeps the colour it has and the
// command line says why; "mdb" leaves a space whose colour it cannot take with it. Through cadhost on the
// report plan, the drawings locked and read back by ezdxf, and the plots' pixels.
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
    ASSERT_EQ(deleted.status, 0) << deleted.err;
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

} // namespace
} // namespace reportstest
