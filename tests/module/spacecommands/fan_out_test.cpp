// Drawings whose inserts place more entities than a plot or a selection takes (blocks nested eight deep,
// each placing the one below ten times; a grid of 30,000 by 30,000 cells; a hundred inserts of a million
// lines; a fine hatch placed 500 times): refused at once, with the reason; a large plain drawing plotted.
#include "SpaceCommandsHost.h"

namespace spacecommands {
namespace {

using FanOut = SpaceCommands;

// Seconds a run may take: a few in the normal build; the sanitizer build draws the budget's million
// entities some twenty times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kLimit = 300;
#else
constexpr int kLimit = 60;
#endif

const std::string kReason =
    "place more than 2097152 entities (blocks nested in blocks, or a grid of many cells), more than a drawing of ";

// The drawings fan_out.py writes by these names, in the test's folder.
void writeDrawings(const fs::path& plan, const fs::path& dir, const std::string& names = "") {
    const fs::path writer = fs::path(KELMO_SOURCE_DIR) / "tests" / "data" / "commands" / "fan_out.py";
    ASSERT_EQ(std::system(
                  ("/usr/bin/python3 '" + writer.string() + "' '" + plan.string() + "' '" + dir.string() + "' " + names)
                      .c_str()),
              0);
}

Outcome runWithin(const fs::path& dir, const fs::path& program, const fs::path& module, const char* drawing) {
    return cadhost_run::runIn(dir, "timeout " + std::to_string(kLimit) + " '" + program.string() +
                                       "' --batch --c-drive '" + (dir / "c").string() + "' --module '" +
                                       module.string() + "' --script test.scr " + drawing);
}

TEST_F(FanOut, APlotOrASelectionPastTheInsertsBudgetIsRefusedWithTheReasonWithinSeconds) {
    writeDrawings(plans / "plan_mm.dxf", dir);
    for (const char* drawing : {"nested.dxf", "grid.dxf"}) {
        SCOPED_TRACE(drawing);
        // The plot drew for minutes (or until memory ran out); the list of rooms with their desks selected
        // cell by cell.
        std::ofstream(dir / "test.scr") << "PLOT t.png\nmlb\n\n\n";
        Outcome r = runWithin(dir, program, module, drawing);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("cannot plot to t.png: the drawing's inserts " + kReason), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(" objects is given: it is not plotted"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir / "t.png"));
        EXPECT_TRUE(has(r, "No objects can be selected: the drawing's inserts " + kReason)) << r.out;
        // The listing stops there: no room is listed as holding no desk.
        EXPECT_FALSE(has(r, "ROOM-101,Office 101,50.00,")) << r.out;
    }
}

TEST_F(FanOut, TheWorkADrawingMayCauseGrowsWithWhatItsFileHolds) {
    // The plain drawing was refused (its inserts were counted against one total for any file); the
    // hundred inserts of a million lines each were each taken whole, the list of spaces running out of
    // memory; the hatch drew every pattern line of every insert for minutes.
    struct Case {
        const char* drawing;
        const char* script;
        bool plotted;
        const char* why; // what multiplies, before kReason's or its own words
    };
    const Case cases[] = {
        {"plain.dxf", "PLOT t.png\n", true, ""},
        {"many.dxf", "PLOT t.png\nmlb\n\n\n", false, "the drawing's inserts place more than 2097152 entities"},
        {"hatch.dxf", "PLOT t.png\n", false, "the drawing's hatch patterns draw more than "},
    };
    writeDrawings(plans / "plan_mm.dxf", dir, "plain.dxf many.dxf hatch.dxf");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.drawing);
        fs::remove(dir / "t.png");
        std::ofstream(dir / "test.scr") << c.script;
        Outcome r = runWithin(dir, program, module, c.drawing);
        EXPECT_EQ(r.status, c.plotted ? 0 : 1) << r.err;
        EXPECT_EQ(fs::exists(dir / "t.png"), c.plotted);
        EXPECT_EQ(r.err.find("more than a drawing of ") != std::string::npos, !c.plotted) << r.err;
        if (!c.plotted) {
            EXPECT_NE(r.err.find(c.why), std::string::npos) << r.err;
        }
        if (std::string(c.script).find("mlb") != std::string::npos) {
            EXPECT_TRUE(has(r, "No objects can be selected: the drawing's inserts " + kReason)) << r.out;
            EXPECT_FALSE(has(r, "ROOM-101,Office 101,50.00,")) << r.out;
        }
    }
}

} // namespace
} // namespace spacecommands
