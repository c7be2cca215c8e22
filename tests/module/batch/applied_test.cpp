// A report prepared from the register on the report plan (tests/data/reports/make_report_plans.py), whose
// markers cadhost placed first: the copy and the plot show the report applied. A room on a paper layout
// is coloured on that layout.
#include "ReportPlans.h"
#include "module/PlotPixels.h"
#include "support/EntryFixture.h"

namespace batchtest {
namespace {

class Applied : public ReportPlans {
protected:
    void SetUp() override {
        ReportPlans::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        const fs::path cadhost = fs::path(KELMO_BINARY_DIR) / "host" / "cadhost";
        const fs::path module = fs::path(KELMO_BINARY_DIR) / "module" / "libkelmo.so";
        // The legend and pie-chart markers, made as a planner makes them.
        const fs::path prefs = dir / "c" / "CadHost" / "kelmo" / "prefs" / "prefs.cfg";
        fs::create_directories(prefs.parent_path());
        std::ofstream(prefs, std::ios::binary) << kelmo_test::defaultPrefsFile;
        std::ofstream(dir / "markers.scr")
            << "mlmc\n#" << handles["outline"] << "\n\n\n\nmpmc\n#" << handles["circle"] << "\n\n\n\nSAVE\n";
        ASSERT_EQ(std::system(("cd '" + (dir / "plans").string() + "' && '" + cadhost.string() +
                               "' --batch --c-drive '" + (dir / "c").string() + "' --module '" + module.string() +
                               "' --script ../markers.scr report_plan.dxf >/dev/null 2>&1")
                                  .c_str()),
                  0);
    }
};

TEST_F(Applied, ThePreparedCopyAndPlotShowTheReportsHatchesLayersLinkLineLegendAndPie) {
    const std::string original = slurp(dir / "plans" / "report_plan.dxf");
    Report row;
    row.title = "Level 1 use";
    row.drawingFilename = "report_plan.dxf";
    row.plotType = 3;
    row.outputFilename = "level1";
    row.saveCopyTo = windowsPath(dir / "copies");
    const std::string id = std::to_string(add(row));
    pgQuery(database, "UPDATE graphic_report SET total_child_areas = 100 WHERE id = " + id);
    const std::string offices =
        pgQuery(database,
                "INSERT INTO report_category (report_id, title, hatch_pattern, hatch_angle, hatch_colour, "
                "hatch_scale, hatch_layer) VALUES (" +
                    id + ", 'Offices', 'SOLID', 0, '#E07020', 1, 'HATCH-OFFICES') RETURNING id")[0][0];
    const std::string service =
        pgQuery(database,
                "INSERT INTO report_category (report_id, title, hatch_pattern, hatch_angle, hatch_colour, "
                "hatch_scale, hatch_layer) VALUES (" +
                    id + ", 'Service', 'ANSI31', 45, '#3070C0', 10, 'HATCH-SERVICE') RETURNING id")[0][0];
    pgQuery(database, "INSERT INTO category_block (category_id, handle) VALUES (" + offices + ", '" +
                          handles["Office A"] + "'), (" + offices + ", '" + handles["Office B"] + "'), (" + service +
                          ", '" + handles["Store"] + "'), (" + service + ", '" + handles["Kitchen"] + "')");
    pgQuery(database,
            "INSERT INTO report_layer_on (report_id, name) VALUES (" + id + ", 'WALLS'), (" + id + ", 'SPACES')");
    pgQuery(database,
            "INSERT INTO report_link_line (report_id, start_handle, end_handle, layer_name, label_text) "
            "VALUES (" +
                id + ", '" + handles["desk1"] + "', '" + handles["desk2"] + "', 'LINKS', 'moves to')");

    Outcome r = run();
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(statusOf(std::stoi(id)), 3) << r.out;
    EXPECT_NE(r.out.find("applying graphic report Level 1 use."), std::string::npos) << r.out;

    const std::vector<std::string> copy = facts(dir / "copies" / "report_plan.dxf");
    EXPECT_EQ(starting(copy, "hatch|HATCH-OFFICES|SOLID|").size(), 2u);
    EXPECT_EQ(starting(copy, "hatch|HATCH-SERVICE|ANSI31|").size(), 2u);
    EXPECT_EQ(starting(copy, "line|LINKS|").size(), 1u);
    EXPECT_EQ(starting(copy, "layer|WALLS|"), (std::vector<std::string>{"layer|WALLS|on"}));
    EXPECT_EQ(starting(copy, "layer|NOTES|"), (std::vector<std::string>{"layer|NOTES|off"}));
    EXPECT_EQ(starting(copy, "insert|[KELMO_LEGEND]_Level 1 use|").size(), 1u);
    EXPECT_EQ(starting(copy, "insert|[KELMO_PIECHART]_Level 1 use|").size(), 1u);
    EXPECT_GT(fs::file_size(dir / "out" / "level1.png"), 0u);
    // The drawing itself was closed unsaved.
    EXPECT_EQ(slurp(dir / "plans" / "report_plan.dxf"), original);
}

using LayoutRoom = ReportPlans;

TEST_F(LayoutRoom, APreparedReportColoursARoomOnAPaperLayoutOnThatLayoutAndPlotsIt) {
    Report row;
    row.title = "Kitchens";
    row.drawingFilename = "report_plan_layout.dxf";
    row.plotLayout = "Layout1";
    row.plotType = 3;
    row.outputFilename = "kitchens";
    row.saveCopyTo = windowsPath(dir / "copies");
    const std::string id = std::to_string(add(row));
    const std::string kitchens = category(id, "KITCHENS", "#E07020");
    pgQuery(database,
            "INSERT INTO category_block (category_id, handle) VALUES (" + kitchens + ", '" + handles["Kitchen"] + "')");

    Outcome r = run();
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(statusOf(std::stoi(id)), 3) << r.out;
    const fs::path copy = dir / "copies" / "report_plan_layout.dxf";
    EXPECT_EQ(drawn(copy, "Layout1"), (std::vector<std::string>{"hatch|#E07020", "insert|ROOM-A4", "insert|DESK"}));
    EXPECT_EQ(starting(drawn(copy, "Model"), "hatch|"), std::vector<std::string>{});
    // The Kitchen, 80 by 40 mm of the sheet, shows its colour on the layout's plot.
    EXPECT_GT(plot_pixels::pixelsOf(dir / "out" / "kitchens.png", 0xE07020), 50000u);
}

} // namespace
} // namespace batchtest
