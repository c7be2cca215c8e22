// Entities whose object coordinate system is turned over (extrusion (0, 0, -1), as ezdxf writes a mirrored
// entity) through cadhost, on the drawings of make_turned_plans.py: a room inserted so is hatched, its labels
// stacked, listed with the desk inside it and put back where it lies, the drawing saved again reads in ezdxf
// where it was drawn, and the plot draws every 2D entity as its twin drawn in world terms.
#include <cstdint>

#include "NamedPlans.h"
#include "module/PlotPixels.h"

namespace utilities {
namespace {

class TurnedSpaces : public NamedPlans {
protected:
    static void SetUpTestSuite() { writePlans("turned"); }

    // The generator's rows for a drawing: each model-space entity with its world box, an insert's
    // attributes with their places and the way they read.
    std::vector<std::string> world(const fs::path& drawing) const {
        const fs::path maker = fs::path(KELMO_SOURCE_DIR) / "tests" / "module" / "utilities" / "make_turned_plans.py";
        std::vector<std::string> rows;
        for (const std::string& row :
             split(spacecommands::capture("/usr/bin/python3 '" + maker.string() + "' world '" + drawing.string() + "'"),
                   '\n'))
            if (!row.empty()) rows.push_back(row);
        return rows;
    }
    static bool holds(const std::vector<std::string>& rows, const std::string& row) {
        return std::find(rows.begin(), rows.end(), row) != rows.end();
    }
};

TEST_F(TurnedSpaces, ARoomTurnedOverIsHatchedLabelledListedAndPutBackWhereItLies) {
    const std::string room = handles.at("Turned");
    const std::string where = "15000.0,0.0 20000.0,4000.0"; // world x 15000..20000, y 0..4000
    struct Case {
        const char* what;
        std::string script;
        std::vector<std::string> rows; // in the saved drawing as ezdxf reads it
        std::vector<std::string> absent;
        std::string said; // on the command line
    };
    // The labels, turned a quarter about (17500, 2000), are laid out again a line and a half apart across
    // the text, which the turned plane has running the other way round.
    const std::vector<std::string> stacked = {"ATTRIB|NAME|17875.0,2000.0 r90.0", "ATTRIB|AREA|17500.0,2000.0 r90.0",
                                              "ATTRIB|AUX|17125.0,2000.0 r90.0"};
    std::vector<std::string> hatched = stacked;
    hatched.push_back("HATCH|" + where);
    const Case cases[] = {
        {"msc_has", "msc_has\n", hatched, {}, "1 block(s) hatched in"},
        {"maux", "maux\n", stacked, {}, ""},
        {"mdb", "mdb\n#" + room + "\n", {"LWPOLYLINE|" + where}, {stacked[1]}, ""},
        // Only the desk that stands inside the room where it lies.
        {"mlb",
         "mlb\n\nyes\n",
         {},
         {},
         "\nROOM-T,Turned,20.00," + room + "," + std::to_string(std::stoi(room, nullptr, 16)) + ",1\n,,,,,,DESK," +
             handles.at("desk inside") + ","},
    };
    for (const Case& c : cases) {
        Outcome r = run("turned_room.dxf", c.script + "SAVE\n");
        ASSERT_EQ(r.status, 0) << c.what << "\n" << r.err << r.out;
        EXPECT_EQ(r.out.find("Failed"), std::string::npos) << c.what << "\n" << r.out;
        if (!c.said.empty()) {
            EXPECT_TRUE(has(r, c.said)) << c.what << "\n" << r.out;
        }
        const std::vector<std::string> saved = world(dir / "turned_room.dxf");
        for (const std::string& row : c.rows) EXPECT_TRUE(holds(saved, row)) << c.what << ": " << row;
        for (const std::string& row : c.absent) EXPECT_FALSE(holds(saved, row)) << c.what << ": " << row;
    }
}

TEST_F(TurnedSpaces, ATurnedDrawingSavedAgainReadsWhereItWasDrawn) {
    for (const char* plan : {"turned_room.dxf", "turned.dxf"}) {
        Outcome r = run(plan, "SAVEAS saved.dxf\n");
        ASSERT_EQ(r.status, 0) << plan << "\n" << r.err << r.out;
        EXPECT_EQ(world(dir / "saved.dxf"), world(plans / plan)) << plan;
    }
}

TEST_F(TurnedSpaces, EveryTurnedEntityPlotsAsItsTwinDrawnInWorldTerms) {
    ASSERT_EQ(run("turned.dxf", "PLOT turned.png\n").status, 0);
    ASSERT_EQ(run("twin.dxf", "PLOT twin.png\n").status, 0);
    const std::size_t inked = plot_pixels::inkedPixels(dir / "twin.png");
    EXPECT_GT(inked, 20000u);
    // Circles, arcs and texts drawn the other way round may shade a few edge pixels differently.
    EXPECT_LT(plot_pixels::differingPixels(dir / "turned.png", dir / "twin.png", 96), inked / 100);
}

} // namespace
} // namespace utilities
