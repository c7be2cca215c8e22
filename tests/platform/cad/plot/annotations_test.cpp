// Annotations written by ezdxf (make_annotation_plots.py), plotted: where ink must be and where it must not,
// in drawing units of the square 0..100 each drawing is made in.
#include "cad/app/HostApplicationServices.h"
#include "cad/db/AcDbDatabase.h"
#include "cad/plot/PlotEngine.h"
#include "platform/cad/plot/PlotWindow.h"
#include "support/HostFixture.h"
#include "win/Encoding.h"
#include "win/Paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace fs = std::filesystem;

namespace {

using plot_window::Ink;
using plot_window::Plot;

class Annotations : public kelmo_test::HostFixture {
protected:
    static void SetUpTestSuite() {
        folder = fs::temp_directory_path() / ("kelmo-annotation-plots-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        const fs::path maker = fs::path(KELMO_SOURCE_DIR) / "tests/platform/cad/plot/make_annotation_plots.py";
        written = std::system(("/usr/bin/python3 '" + maker.string() + "' '" + folder.string() + "'").c_str()) == 0;
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        if (!std::getenv("KEEP_PLOTS")) fs::remove_all(folder, ec);
    }

    static std::unique_ptr<AcDbDatabase> open(const std::string& name) {
        auto db = std::make_unique<AcDbDatabase>(false, true);
        EXPECT_EQ(db->readDxfFile(win::nativeToWindows((folder / name).string()).c_str()), Acad::eOk) << name;
        return db;
    }

    // Plots a window 100 units square of the drawing's model space, or of a layout, to a PNG beside it.
    static fs::path plotted(AcDbDatabase* db, const std::string& name, double left = 0, double bottom = 0,
                            AcDbObjectId layout = AcDbObjectId()) {
        plot::Request r;
        r.db = db;
        r.layoutId = layout;
        r.area = AcDbPlotSettings::kWindow;
        r.window[0] = left, r.window[1] = bottom, r.window[2] = left + 100, r.window[3] = bottom + 100;
        r.nativePath = (folder / (name + ".png")).string();
        std::wstring why;
        EXPECT_TRUE(plot::render(r, why)) << win::toUtf8(why);
        return r.nativePath;
    }

    static void expectInk(const fs::path& png, std::initializer_list<Ink> boxes, double left = 0, double bottom = 0) {
        Plot p(png, left, bottom);
        ASSERT_TRUE(p.ok()) << png;
        for (const Ink& b : boxes) {
            const int n = p.count(b.x0, b.x1, b.y0, b.y1);
            if (b.inked)
                EXPECT_GT(n, 0) << b.what;
            else
                EXPECT_EQ(n, 0) << b.what;
        }
    }

    static inline fs::path folder;
    static inline bool written = false;
};

TEST_F(Annotations, DimensionsOfEveryTypeShowTheirBlocksTextArrowsAndExtensionLines) {
    ASSERT_TRUE(written);
    auto db = open("dimensions.dxf");
    expectInk(plotted(db.get(), "dimensions"),
              {
                  {"linear: its text above its line", 44, 56, 61.8, 64.5, true},
                  {"linear: its line", 30, 40, 59.8, 60.2, true},
                  {"linear: the tick at its first end", 20.4, 21.5, 60.4, 61.5, true},
                  {"linear: the tick at its second end", 80.4, 81.5, 60.4, 61.5, true},
                  {"linear: its first extension line", 19.7, 20.3, 52, 58, true},
                  {"linear: no line joins its measured points", 30, 70, 49.6, 50.4, false},
                  {"aligned: its line beside the measured points", 27.9, 28.5, 88.3, 88.9, true},
                  {"radius: its arrow on the circle", 80.2, 81.2, 90.2, 91.2, true},
                  {"radius: nothing inside the circle", 77.6, 78.0, 87.6, 88.0, false},
                  {"diameter: nothing at the centre", 24.7, 25.3, 24.7, 25.3, false},
                  {"angular: its arc", 72.4, 73.1, 27.4, 28.1, true},
                  {"ordinate: its leader", 44.8, 45.2, 26, 28, true},
                  {"nothing runs to the origin", 1, 8, 1, 8, false},
              });
}

TEST_F(Annotations, ADimensionWhoseBlockIsMissingIsLeftOutAndNamed) {
    ASSERT_TRUE(written);
    auto db = open("dimension_without_block.dxf");
    host->clearCommandLine();
    expectInk(plotted(db.get(), "dimension_without_block"),
              {
                  {"the line beside it", 30, 70, 19.8, 20.2, true},
                  {"no line joins its measured points", 30, 70, 49.6, 50.4, false},
                  {"no line through its other points", 0, 100, 51, 100, false},
              });
    EXPECT_NE(
        host->commandLine().find(L"The plot leaves out DIMENSION entities whose block the drawing does not hold."),
        std::wstring::npos)
        << win::toUtf8(host->commandLine());
}

TEST_F(Annotations, ParagraphTextWithAnEmbeddedObjectIsNotTurnedAndSavesSo) {
    ASSERT_TRUE(written);
    auto db = open("paragraph_in_columns.dxf");
    const std::initializer_list<Ink> level = {
        {"its letters along y 25..30", 61, 90, 25.8, 29.2, true},
        {"none rising to the right", 75, 98, 32, 45, false},
        {"none below", 61, 98, 10, 24, false},
    };
    expectInk(plotted(db.get(), "paragraph_in_columns"), level);
    // Saved and read again, it keeps its place and direction, and its embedded object.
    const fs::path saved = folder / "paragraph_in_columns_saved.dxf";
    ASSERT_EQ(db->saveAs(win::nativeToWindows(saved.string()).c_str()), Acad::eOk);
    std::stringstream text;
    text << std::ifstream(saved).rdbuf();
    EXPECT_NE(text.str().find("Embedded Object"), std::string::npos);
    auto again = std::make_unique<AcDbDatabase>(false, true);
    ASSERT_EQ(again->readDxfFile(win::nativeToWindows(saved.string()).c_str()), Acad::eOk);
    expectInk(plotted(again.get(), "paragraph_in_columns_saved"), level);
}

TEST_F(Annotations, PercentCodesShowTheirSignsInTextAttributesAndParagraphs) {
    ASSERT_TRUE(written);
    auto db = open("percent_codes.dxf");
    // A sign is narrower than its code: "90°" ends before "90%%d" would.
    expectInk(plotted(db.get(), "percent_codes"),
              {
                  {"text: the degree sign after 90", 18.6, 21.6, 87.6, 89.6, true},
                  {"text: no code after it", 24, 36, 85.4, 89.6, false},
                  {"text: the diameter sign and 50", 10.5, 22, 70.6, 74.4, true},
                  {"text: nothing after the diameter", 25, 36, 70.4, 74.6, false},
                  {"text: plus-minus 0.5", 10.5, 25, 55.6, 59.4, true},
                  {"text: nothing after plus-minus", 28, 38, 55.4, 59.6, false},
                  {"text: the underline", 12, 30, 38.7, 39.5, true},
                  {"paragraph: nothing after 90 degrees", 74, 86, 85.4, 89.6, false},
                  {"attribute: 45 degrees", 60.5, 70, 70.6, 74.4, true},
                  {"attribute: nothing after it", 74, 86, 70.4, 74.6, false},
              });
}

TEST_F(Annotations, ParagraphFormattingKeepsFractionsAndDrawsHeightsColoursAndLines) {
    ASSERT_TRUE(written);
    auto db = open("paragraph_formatting.dxf");
    const fs::path png = plotted(db.get(), "paragraph_formatting");
    expectInk(png, {
                       {"fraction: its upper part", 10.5, 15.5, 86.8, 89.4, true},
                       {"fraction: its lower part", 10.5, 15.5, 82.6, 85.0, true},
                       {"tolerance: its upper part", 40.5, 45.5, 86.8, 89.4, true},
                       {"tolerance: its lower part", 40.5, 45.5, 82.6, 85.0, true},
                       {"slanted fraction", 70.2, 80, 82.5, 89.5, true},
                       {"B three times the height of A", 16, 28, 56.5, 63.5, true},
                       {"nothing above the text's top", 10, 30, 70.6, 76, false},
                       {"underline", 12, 30, 33.7, 34.5, true},
                       {"overline", 62, 80, 40.6, 41.3, true},
                   });
    Plot p(png);
    EXPECT_GT(p.count(60, 80, 64, 70, 0xFF0000), 1000) << "the red word is red";
}

TEST_F(Annotations, AMultileaderShowsItsLeaderArrowAndText) {
    ASSERT_TRUE(written);
    auto db = open("multileader.dxf");
    expectInk(plotted(db.get(), "multileader"),
              {
                  {"the arrow's body beside its line", 22.05, 22.25, 23.3, 23.5, true},
                  {"the leader line", 34.6, 35.4, 38.3, 39.2, true},
                  {"the dogleg", 53, 55, 57.2, 57.8, true},
                  {"the text", 61, 75, 55.6, 59.4, true},
                  {"nothing runs to the origin", 1, 8, 1, 8, false},
              });
}

TEST_F(Annotations, GridsImagesAndViewportsShowWhatTheyHold) {
    ASSERT_TRUE(written);
    auto grid = open("grid.dxf");
    expectInk(plotted(grid.get(), "grid"), {
                                               {"the first cell's attribute", 11.3, 12.7, 11.5, 13.5, true},
                                               {"the last column's", 71.3, 72.7, 11.5, 13.5, true},
                                               {"the second row's", 41.3, 42.7, 41.5, 43.5, true},
                                           });

    auto image = open("image.dxf");
    host->clearCommandLine();
    expectInk(plotted(image.get(), "image"), {
                                                 {"the image's left edge", 19.8, 20.2, 30, 50, true},
                                                 {"its right edge", 79.8, 80.2, 30, 50, true},
                                                 {"its top edge", 30, 70, 59.8, 60.2, true},
                                                 {"nothing inside", 25, 75, 25, 55, false},
                                             });
    EXPECT_NE(host->commandLine().find(L"The plot leaves out the pictures of IMAGE entities: their frames are drawn."),
              std::wstring::npos)
        << win::toUtf8(host->commandLine());

    auto viewport = open("viewport.dxf");
    const AcDbObjectId layout = acdbHostApplicationServices()->layoutManager()->getLayoutId(L"Layout1", viewport.get());
    ASSERT_FALSE(layout.isNull());
    expectInk(plotted(viewport.get(), "viewport", 50, 50, layout),
              {
                  {"the viewport's left edge", 59.8, 60.2, 90, 110, true},
                  {"its top edge", 80, 120, 129.8, 130.2, true},
                  {"the line turned with the view", 99.6, 100.4, 105, 118, true},
                  {"not as the model lies", 105, 118, 99.6, 100.4, false},
              },
              50, 50);
}

} // namespace
