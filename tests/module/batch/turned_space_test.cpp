// A report prepared from the register on a room inserted turned over (extrusion (0, 0, -1), the plan of
// tests/module/utilities/make_turned_plans.py): the copy's hatch covers the room where it lies, as ezdxf
// reads it, and the plot shows it.
#include "BatchTestSupport.h"
#include "module/CadhostRun.h"
#include "module/PlotPixels.h"

namespace batchtest {
namespace {

TEST_F(BatchTest, AReportHatchesARoomTurnedOverWhereItLies) {
    const fs::path maker = fs::path(KELMO_SOURCE_DIR) / "tests" / "module" / "utilities" / "make_turned_plans.py";
    ASSERT_EQ(std::system(("/usr/bin/python3 '" + maker.string() + "' '" + (dir / "plans").string() + "'").c_str()), 0);
    const std::string room = cadhost_run::handlesIn(dir / "plans" / "turned.txt").at("Turned");
    Report row;
    row.title = "Turned";
    row.drawingFilename = "turned_room.dxf";
    row.plotType = 3;
    row.outputFilename = "turned";
    row.saveCopyTo = windowsPath(dir / "copies");
    const std::string id = std::to_string(add(row));
    const std::string category =
        pgQuery(database,
                "INSERT INTO report_category (report_id, title, hatch_pattern, hatch_angle, hatch_colour, "
                "hatch_scale, hatch_layer) VALUES (" +
                    id + ", 'Offices', 'SOLID', 0, '#E07020', 1, 'HATCH-OFFICES') RETURNING id")[0][0];
    pgQuery(database, "INSERT INTO category_block (category_id, handle) VALUES (" + category + ", '" + room + "')");

    Outcome r = run();
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(statusOf(std::stoi(id)), 3) << r.out;
    // World x 15000..20000, y 0..4000; read as though it lay in the world plane, it would be at -25000..-20000.
    const std::string world = cadhost_run::capture("/usr/bin/python3 '" + maker.string() + "' world '" +
                                                   (dir / "copies" / "turned_room.dxf").string() + "'");
    EXPECT_NE(world.find("HATCH|15000.0,0.0 20000.0,4000.0\n"), std::string::npos) << world;
    EXPECT_GT(plot_pixels::pixelsOf(dir / "out" / "turned.png", 0xE07020), 10000u);
}

} // namespace
} // namespace batchtest
