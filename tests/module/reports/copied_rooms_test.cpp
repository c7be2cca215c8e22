// A room that another program copied together with its colour hatch: colouring the copy shows the new
// colour over the hatch copied with it, which stays in the drawing; through cadhost on the report plan,
// the copy made by ezdxf, the drawings read back by ezdxf and the plots' pixels.
#include "EditedPlans.h"

namespace reportstest {
namespace {

using CopiedRooms = EditedPlans;

constexpr const char* yellow = "#FFFF00"; // what "msc_has" and "msc_hs" give
constexpr const char* amber = "#E0A000";

TEST_F(CopiedRooms, AColouredCopyOfARoomShowsItsNewColourOverTheHatchCopiedWithIt) {
    enum Colouring { report, reportTwice, everySpace, pickedSpace, roomsAndDesks };
    struct Case {
        const char* what;
        Colouring colouring;
        bool older;         // marks as written before they held the hatch's own handle
        const char* shown;  // over the copied room
        const char* hidden; // nowhere on the plot; null: shown elsewhere still
    };
    const Case cases[] = {
        {"a report on the copy", report, false, green, nullptr},
        {"a report on the copy, older marks", report, true, green, nullptr},
        {"two reports on the copy: the later colour", reportTwice, false, green, blue},
        {"msc_has", everySpace, false, yellow, red},
        {"msc_hs on the copy", pickedSpace, false, yellow, nullptr},
        // The desks' hatches go under the space hatches' group and back: the copy stays beneath.
        {"a report on every room and the desks", roomsAndDesks, false, green, red},
    };
    for (const Case& c : cases) {
        fs::create_directories(dir / "staged");
        Outcome first = run("report_plan.dxf", colour("red.xml", red, "*") + "SAVEAS red.dxf\n");
        ASSERT_EQ(first.status, 0) << first.err;
        if (c.older) edit("older red.dxf red.dxf");
        // Office A and its red hatch copied 20 m down; the copied hatch names Office A.
        std::istringstream copies(edit("copy red.dxf staged/copied.dxf " + handles.at("Office A") + " 0 -20000 room"));
        std::string copiedHatch, copiedRoom;
        copies >> copiedHatch >> copiedRoom;
        ASSERT_FALSE(copiedRoom.empty()) << c.what;

        std::string script;
        switch (c.colouring) {
            case report:
                script = colour("green.xml", green, copiedRoom);
                break;
            case reportTwice:
                script = colour("blue.xml", blue, copiedRoom) + colour("green.xml", green, copiedRoom);
                break;
            case everySpace:
                script = "msc_has\n";
                break;
            case pickedSpace:
                script = "msc_hs\n#" + copiedRoom + "\n";
                break;
            case roomsAndDesks:
                script = magr(writeRoomsAndDesk("both.xml", green, "*", amber, handles.at("desk1")));
                break;
        }
        std::ofstream(dir / "again.scr") << script + "PLOT again.png\nSAVEAS again.dxf\n";
        Outcome again = runFile(dir / "staged" / "copied.dxf", dir / "again.scr");
        ASSERT_EQ(again.status, 0) << again.err << again.out;
        EXPECT_EQ(again.out.find("error(s) occurred"), std::string::npos) << again.out;
        // The red hatch copied with the room stays, under the room's own.
        const std::vector<std::string> found = hatches("again.dxf");
        const auto at = [&](const std::string& hatch) {
            return std::find(found.begin(), found.end(), hatch + "|0,-20000") - found.begin();
        };
        const auto copy = at(red);
        const auto own = at(c.shown);
        ASSERT_LT(own, static_cast<std::ptrdiff_t>(found.size())) << c.what;
        EXPECT_LT(copy, own) << c.what;
        // The copied room, 50 of the plan's square metres, shows its new colour.
        EXPECT_GT(pixelsOf(dir / "again.png", c.shown), 10000u) << c.what;
        if (c.hidden) {
            EXPECT_EQ(pixelsOf(dir / "again.png", c.hidden), 0u) << c.what;
        }
        if (c.colouring == roomsAndDesks) {
            EXPECT_GT(pixelsOf(dir / "again.png", amber), 1000u) << c.what;
        }
        for (const char* file : {"red.dxf", "again.dxf", "again.png"}) fs::remove(dir / file);
    }
}

} // namespace
} // namespace reportstest
