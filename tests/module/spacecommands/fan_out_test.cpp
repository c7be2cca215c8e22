// Drawings whose inserts place more entities than a plot or a selection takes (blocks nested eight deep,
// each placing the one below ten times; a grid of 30,000 by 30,000 cells): refused at once, with the reason.
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

TEST_F(FanOut, APlotOrASelectionPastTheInsertsBudgetIsRefusedWithTheReasonWithinSeconds) {
    const fs::path writer = fs::path(KELMO_SOURCE_DIR) / "tests" / "data" / "commands" / "fan_out.py";
    ASSERT_EQ(std::system(("/usr/bin/python3 '" + writer.string() + "' '" + (plans / "plan_mm.dxf").string() + "' '" +
                           dir.string() + "'")
                              .c_str()),
              0);
    const std::string reason = "place more than 1048576 entities (blocks nested in blocks, or a grid of many cells)";
    for (const char* drawing : {"nested.dxf", "grid.dxf"}) {
        SCOPED_TRACE(drawing);
        // The plot drew for minutes (or until memory ran out); the list of rooms with their desks selected
        // cell by cell.
        std::ofstream(dir / "test.scr") << "PLOT t.png\nmlb\n\n\n";
        Outcome r = cadhost_run::runIn(dir, "timeout " + std::to_string(kLimit) + " '" + program.string() +
                                                "' --batch --c-drive '" + (dir / "c").string() + "' --module '" +
                                                module.string() + "' --script test.scr " + drawing);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("cannot plot to t.png: the drawing's inserts " + reason + ": it is not plotted"),
                  std::string::npos)
            << r.err;
        EXPECT_FALSE(fs::exists(dir / "t.png"));
        EXPECT_TRUE(has(r, "No objects can be selected: the insert ")) << r.out;
        EXPECT_TRUE(has(r, "ROOM-101,Office 101,50.00,")) << r.out;
    }
}

} // namespace
} // namespace spacecommands
