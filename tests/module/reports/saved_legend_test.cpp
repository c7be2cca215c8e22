// The demo's coloured plan saved through cadhost and opened again: the legend table keeps what it shows,
// and colouring and saving again and again leaves one table block in the file.
#include <cairo.h>

#include "ReportsHost.h"

namespace reportstest {
namespace {

fs::path demoPlan() {
    return fs::path(KELMO_SOURCE_DIR) / "samples" / "floorplan.dxf";
}

// The pixels in which two plots of the same size differ; -1 when either cannot be read or the sizes differ.
int differingPixels(const fs::path& a, const fs::path& b) {
    cairo_surface_t* first = cairo_image_surface_create_from_png(a.c_str());
    cairo_surface_t* second = cairo_image_surface_create_from_png(b.c_str());
    int differ = -1;
    if (cairo_surface_status(first) == CAIRO_STATUS_SUCCESS && cairo_surface_status(second) == CAIRO_STATUS_SUCCESS &&
        cairo_image_surface_get_width(first) == cairo_image_surface_get_width(second) &&
        cairo_image_surface_get_height(first) == cairo_image_surface_get_height(second)) {
        differ = 0;
        const int width = cairo_image_surface_get_width(first), height = cairo_image_surface_get_height(first);
        for (int y = 0; y < height; ++y) {
            const auto* p = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(first) +
                                                              y * cairo_image_surface_get_stride(first));
            const auto* q = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(second) +
                                                              y * cairo_image_surface_get_stride(second));
            for (int x = 0; x < width; ++x) differ += p[x] != q[x] ? 1 : 0;
        }
    }
    cairo_surface_destroy(first);
    cairo_surface_destroy(second);
    return differ;
}

class SavedLegend : public ReportsHost {
protected:
    void SetUp() override {
        ReportsHost::SetUp();
        if (IsSkipped()) return;
        fs::copy_file(fs::path(KELMO_SOURCE_DIR) / "samples" / "floorplan_report.xml", dir / "floorplan_report.xml");
    }
    // cadhost on a drawing already in the test's folder.
    Outcome reopen(const std::string& drawing, const std::string& script) {
        std::ofstream(dir / "again.scr") << script;
        return cadhost_run::runIn(dir, "'" + program.string() + "' --batch --c-drive '" + (dir / "c").string() +
                                           "' --module '" + module.string() + "' --script again.scr '" + drawing + "'");
    }
    // The names of the drawing's table blocks, as ezdxf reads them ("unreadable" when it cannot).
    std::string tableBlocks(const std::string& drawing) const {
        return capture(
            "/usr/bin/python3 -c \"import sys, ezdxf\n"
            "try:\n"
            "    doc = ezdxf.readfile(sys.argv[1])\n"
            "except Exception:\n"
            "    print('unreadable'); sys.exit()\n"
            "print(' '.join(b.name for b in doc.blocks if b.name.upper().startswith('*T')))\" '" +
            (dir / drawing).string() + "'");
    }
};

TEST_F(SavedLegend, AColouredPlanSavedAndOpenedAgainPlotsAsBefore) {
    struct Case {
        const char* legend;
        std::string rotation; // the legend marker's, in degrees
    };
    const Case cases[] = {{"as the demo places it", ""}, {"turned", "30"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        // The demo's steps: the legend marker on the outline, the pie marker on the circle, the report.
        std::ofstream(dir / "test.scr") << "mlmc\n#107\n\n\n"
                                        << c.rotation << "\nmpmc\n#108\n\n\n\n"
                                        << "magr\nfloorplan_report.xml\nSAVEAS coloured.dxf\nPLOT before.png\nQUIT\n";
        Outcome r = runFile(demoPlan(), dir / "test.scr");
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        r = reopen("coloured.dxf", "PLOT after.png\nQUIT\n");
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        // The legend's title, headers, names and areas are drawn again at their size, and nothing else moved.
        EXPECT_EQ(differingPixels(dir / "before.png", dir / "after.png"), 0);
        EXPECT_EQ(tableBlocks("coloured.dxf"), "*T1\n");
    }
}

TEST_F(SavedLegend, ColouringAndSavingAgainLeavesOneTableBlock) {
    std::ofstream(dir / "test.scr") << "mlmc\n#107\n\n\n\nmpmc\n#108\n\n\n\nmagr\nfloorplan_report.xml\n"
                                       "SAVEAS cycle0.dxf\nQUIT\n";
    Outcome r = runFile(demoPlan(), dir / "test.scr");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    for (int cycle = 1; cycle <= 4; ++cycle) {
        SCOPED_TRACE(cycle);
        r = reopen("cycle" + std::to_string(cycle - 1) + ".dxf",
                   "magr\nfloorplan_report.xml\nSAVEAS cycle" + std::to_string(cycle) + ".dxf\nQUIT\n");
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        ASSERT_TRUE(cadhost_run::has(r, "graphic report successfully applied.")) << r.out;
        // The legend replaced is the only table: the block of the one before it is not written again.
        EXPECT_EQ(tableBlocks("cycle" + std::to_string(cycle) + ".dxf"), "*T1\n");
        EXPECT_LT(fs::file_size(dir / ("cycle" + std::to_string(cycle) + ".dxf")),
                  fs::file_size(dir / "cycle0.dxf") * 101 / 100);
    }
}

} // namespace
} // namespace reportstest
