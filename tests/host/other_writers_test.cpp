// Drawings as other programs write them (other_writers.py), through cadhost's save and plot: what each
// record says is what the saved copy holds, read back by ezdxf whose audit finds nothing to mend, and
// what the plot shows is what the same drawing written the usual way shows.
#include <filesystem>
#include <string>

#include "SavedDrawing.h"
#include "module/PlotPixels.h"

namespace fs = std::filesystem;

namespace {

class OtherWriters : public SavedDrawing {
protected:
    void SetUp() override {
        SavedDrawing::SetUp();
        if (IsSkipped()) return;
        ASSERT_EQ(script("other_writers.py", {"write", dir.string()}), "");
    }
    // What other_writers.py says (check, objects, vports) of the copy cadhost saved of the drawing.
    std::string savedAndRead(const std::string& drawing, const std::string& what, Outcome& opened) {
        opened = save(dir / drawing, "copy-" + drawing);
        EXPECT_EQ(opened.status, 0) << opened.err;
        return script("other_writers.py", {what, (dir / ("copy-" + drawing)).string()});
    }
    // The drawing plotted as a PNG in the test's folder.
    fs::path plotted(const std::string& drawing) {
        const fs::path png = dir / (drawing + ".png");
        const Outcome r = run(dir / drawing, "PLOT " + png.string() + "\n");
        EXPECT_EQ(r.status, 0) << r.err;
        return png;
    }
};

constexpr const char* kClean = "audit: 0 errors, 0 fixes\n";

TEST_F(OtherWriters, SavedCopiesHoldWhatTheRecordsOfOtherProgramsSay) {
    const struct {
        const char* drawing;
        const char* what;
        std::string read; // what the copy holds
        const char* word; // what the opening says, if anything
    } cases[] = {
        // A 2D program's inserts with a Z scale of 0 keep their X and Y scales, mirrored ones too, and the 0.
        {"librecad_inserts.dxf", "check",
         std::string(kClean) + "INSERT 0 256 2 1 0\nINSERT 0 256 1.5 -1.5 0\nINSERT 0 256 0.5 0.5 0\n"
                               "INSERT 0 256 0.5 0.5 0\nINSERT 0 256 0.5 0.5 0\n",
         "5 inserts with a Z scale of 0 (as 2D programs write them) are drawn with a Z scale of 1; their X and Y "
         "scales hold, and the file keeps the 0"},
        // A minimal writer's polyline and ellipse without subclass markers keep their geometry.
        {"no_markers.dxf", "check",
         std::string(kClean) + "LWPOLYLINE WALLS 1 0,0 10,0 10,5 0,5 closed=1\nLINE WALLS 256\nTEXT 0 256\n"
                               "ELLIPSE 0 5 20,2.5 4,0 0.5 0 6.28319\n",
         ""},
        // Layer, colour and linetype after the subclass marker are the entity's, and the layer name repaired at
        // opening is repaired on every entity.
        {"dxflib_layers.dxf", "check",
         std::string(kClean) + "LINE CUT_DEPTH_3 256\nCIRCLE CUT_DEPTH_3 256\nARC CUT_DEPTH_3 256\n"
                               "LINE WALLS 256\nCIRCLE WALLS 256\nARC WALLS 256\n"
                               "LINE CUT_DEPTH_3 256\nCIRCLE CUT_DEPTH_3 256\nARC CUT_DEPTH_3 256\n"
                               "MTEXT CUT_DEPTH_3 256\n",
         "9 layer names with characters no name may hold were repaired"},
        // An ellipse holding its common part's marker and not its own.
        {"ellipse_entity_part.dxf", "check", std::string(kClean) + "ELLIPSE 0 5 50,50 20,0 0.5 0 3.14159\nLINE 0 3\n",
         ""},
        // A bare root dictionary: one dictionary of each kind, each listed.
        {"bare_objects.dxf", "objects", "ACAD_LAYOUT 1 ACAD_GROUP 1 ACAD_MLINESTYLE 1 unlisted 0\n", ""},
        {"bare_objects.dxf", "check", std::string(kClean) + "LINE 0 256\n", ""},
        // A tiled viewport configuration keeps every tile.
        {"tiled_vports.dxf", "vports", "*Active: 3\nPLAN: 2\n", ""},
        {"tiled_vports.dxf", "check", std::string(kClean) + "LINE 0 256\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.drawing) + " " + c.what);
        Outcome opened;
        EXPECT_EQ(savedAndRead(c.drawing, c.what, opened), c.read);
        if (*c.word)
            EXPECT_NE(opened.err.find(c.word), std::string::npos) << opened.err;
        else
            EXPECT_EQ(opened.err.find("dropped"), std::string::npos) << opened.err;
    }
}

TEST_F(OtherWriters, DrawingsOfOtherProgramsPlotAsTheSameDrawingsWrittenTheUsualWay) {
    const struct {
        const char* drawing;
        const char* reference;
    } cases[] = {
        // Inserts scaled (2, 1), mirrored and at 0.5, with a Z scale of 0 and of 1.
        {"librecad_inserts.dxf", "librecad_reference.dxf"},
        // Lines and circles whose layer and colour follow the subclass marker, on layers red and blue.
        {"dxflib_layers.dxf", "dxflib_reference.dxf"},
        // The round end of a slot, an ellipse without its own marker.
        {"ellipse_entity_part.dxf", "ellipse_reference.dxf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.drawing);
        EXPECT_EQ(plot_pixels::differingPixels(plotted(c.drawing), plotted(c.reference), 16), 0u);
    }
    // The minimal writer's red rectangle is drawn.
    EXPECT_GT(plot_pixels::pixelsOf(plotted("no_markers.dxf"), 0xFF0000), 1000u);
}

} // namespace
