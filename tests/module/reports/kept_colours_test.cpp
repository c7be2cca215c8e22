// Colour hatches that another program copied, and spaces deleted with "mdb": colouring a space again
// replaces only the hatch the module made for it, and a deleted space takes its colour with it; through
// cadhost on the report plan, the drawings changed and read back by ezdxf, and the plots' pixels.
#include "EditedPlans.h"

namespace reportstest {
namespace {

using KeptColours = EditedPlans;

TEST_F(KeptColours, ColouringASpaceAgainReplacesItsOwnHatchAndKeepsCopiesOfIt) {
    struct Case {
        const char* what;
        std::string copy; // the editor's arguments after the handle
        bool older;       // marks as written before they held the hatch's own handle
    };
    const Case cases[] = {
        {"the hatch copied onto the next rooms", "10000 -1000", false},
        {"the space copied with its hatch", "0 -20000 room", false},
        {"an older mark's hatch copied", "10000 -1000", true},
    };
    for (const Case& c : cases) {
        fs::create_directories(dir / "staged");
        Outcome first = run("report_plan.dxf", colour("red.xml", red, "*") + "SAVEAS red.dxf\n");
        ASSERT_EQ(first.status, 0) << first.err;
        if (c.older) edit("older red.dxf red.dxf");
        edit("copy red.dxf staged/copied.dxf " + handles.at("Office A") + " " + c.copy);
        const std::vector<std::string> copied = hatches("staged/copied.dxf");
        ASSERT_EQ(copied.size(), 5u) << c.what;

        // Office A alone in green.
        std::ofstream(dir / "again.scr") << colour("green.xml", green, handles.at("Office A")) +
                                                "PLOT again.png\nSAVEAS again.dxf\n";
        Outcome again = runFile(dir / "staged" / "copied.dxf", dir / "again.scr");
        ASSERT_EQ(again.status, 0) << again.err;
        EXPECT_TRUE(has(again, "graphic report successfully applied.")) << again.out;
        const std::vector<std::string> found = hatches("again.dxf");
        // Office A's red hatch made way for the green one; the copy stands where it was put.
        const std::string copyAt = c.copy.rfind("10000", 0) == 0 ? "|10000,-1000" : "|0,-20000";
        EXPECT_EQ(std::count(found.begin(), found.end(), std::string(green) + "|0,0"), 1) << c.what;
        EXPECT_EQ(std::count(found.begin(), found.end(), std::string(red) + "|0,0"), 0) << c.what;
        EXPECT_EQ(std::count(found.begin(), found.end(), std::string(red) + copyAt), 1) << c.what;
        EXPECT_EQ(found.size(), 5u) << c.what;
        // Office A, 50 of the 98 square metres of rooms, shows green.
        EXPECT_GT(pixelsOf(dir / "again.png", green), 10000u) << c.what;
        for (const char* file : {"red.dxf", "again.dxf", "again.png"}) fs::remove(dir / file);
    }
}

TEST_F(KeptColours, ADeletedSpaceTakesItsColourAndASpaceMadeThereAgainShowsItsOwn) {
    Outcome deleted =
        run("report_plan.dxf", colour("red.xml", red, "*") + "mdb\n" + pick("Office A") + "\nSAVEAS deleted.dxf\n");
    ASSERT_EQ(deleted.status, 0) << deleted.err;
    std::vector<std::string> left = hatches("deleted.dxf");
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{std::string(red) + "|10000,0", std::string(red) + "|16000,0",
                                              std::string(red) + "|20000,0"}));

    // A space made again on the boundary "mdb" gave back, and every room coloured blue.
    fs::create_directories(dir / "staged");
    fs::copy_file(dir / "deleted.dxf", dir / "staged" / "deleted.dxf");
    std::string boundary = edit("boundary deleted.dxf 0 0");
    boundary = boundary.substr(0, boundary.find('\n'));
    ASSERT_FALSE(boundary.empty());
    std::ofstream(dir / "again.scr") << "mbc\ndlg click 3\n#" + boundary + "\n2000,1500\n\ndlg click 2\n" +
                                            colour("blue.xml", blue, "*") + "PLOT again.png\nSAVEAS again.dxf\n";
    Outcome again = runFile(dir / "staged" / "deleted.dxf", dir / "again.scr");
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(has(again, "Block Created Successfully")) << again.out;
    const std::vector<std::string> found = hatches("again.dxf");
    EXPECT_EQ(found.size(), 4u);
    EXPECT_EQ(std::count(found.begin(), found.end(), std::string(blue) + "|0,0"), 1);
    EXPECT_EQ(pixelsOf(dir / "again.png", red), 0u);
    EXPECT_GT(pixelsOf(dir / "again.png", blue), 20000u);
}

} // namespace
} // namespace reportstest
