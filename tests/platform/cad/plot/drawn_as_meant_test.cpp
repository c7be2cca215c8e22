// Drawings written by ezdxf (make_meant_plots.py) and two of the project's real ones, plotted: ink where the
// drawing means it and none where it does not, in drawing units of the window plotted.
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
#include <memory>

namespace fs = std::filesystem;

namespace {

using plot_window::Ink;
using plot_window::Plot;

// A window of a drawing: size units square from (left, bottom).
struct Window {
    double left = 0, bottom = 0, size = 100;
};

class DrawnAsMeant : public kelmo_test::HostFixture {
protected:
    static void SetUpTestSuite() {
        folder = fs::temp_directory_path() / ("kelmo-meant-plots-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        const fs::path maker = fs::path(KELMO_SOURCE_DIR) / "tests/platform/cad/plot/make_meant_plots.py";
        written = std::system(("/usr/bin/python3 '" + maker.string() + "' '" + folder.string() + "'").c_str()) == 0;
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        if (!std::getenv("KEEP_PLOTS")) fs::remove_all(folder, ec);
    }

    // A drawing the script wrote, or one of the project's test data.
    static std::unique_ptr<AcDbDatabase> open(const fs::path& file) {
        auto db = std::make_unique<AcDbDatabase>(false, true);
        EXPECT_EQ(db->readDxfFile(win::nativeToWindows(file.string()).c_str()), Acad::eOk) << file;
        return db;
    }
    static std::unique_ptr<AcDbDatabase> open(const char* name) { return open(folder / name); }
    static fs::path data(const std::string& name) { return fs::path(KELMO_SOURCE_DIR) / "tests/data/dxf" / name; }

    // Plots the window of model space, or of a layout, to a PNG.
    static fs::path plotted(AcDbDatabase* db, const std::string& name, Window w = {},
                            AcDbObjectId layout = AcDbObjectId()) {
        plot::Request r;
        r.db = db;
        r.layoutId = layout;
        r.area = AcDbPlotSettings::kWindow;
        r.window[0] = w.left, r.window[1] = w.bottom, r.window[2] = w.left + w.size, r.window[3] = w.bottom + w.size;
        r.nativePath = (folder / (name + ".png")).string();
        std::wstring why;
        EXPECT_TRUE(plot::render(r, why)) << win::toUtf8(why);
        return r.nativePath;
    }

    // Plots the drawing's extents to a PNG.
    static fs::path plottedExtents(AcDbDatabase* db, const std::string& name) {
        plot::Request r;
        r.db = db;
        r.area = AcDbPlotSettings::kExtents;
        r.nativePath = (folder / (name + ".png")).string();
        std::wstring why;
        EXPECT_TRUE(plot::render(r, why)) << win::toUtf8(why);
        return r.nativePath;
    }

    static void expectInk(const fs::path& png, std::initializer_list<Ink> boxes, Window w = {},
                          std::uint32_t colour = Plot::kDark) {
        Plot p(png, w.left, w.bottom, w.size);
        ASSERT_TRUE(p.ok()) << png;
        for (const Ink& b : boxes) {
            const int n = p.count(b.x0, b.x1, b.y0, b.y1, colour);
            if (b.inked)
                EXPECT_GT(n, 0) << b.what;
            else
                EXPECT_EQ(n, 0) << b.what;
        }
    }

    void SetUp() override {
        HostFixture::SetUp();
        if (!written) GTEST_SKIP() << "python3-ezdxf cannot write the drawings";
    }

    static inline fs::path folder;
    static inline bool written = false;
};

TEST_F(DrawnAsMeant, TextsAndHatchesInMirroredAndStretchedInsertsFollowTheInsertsWholeTransform) {
    auto db = open("inserts.dxf");
    expectInk(plotted(db.get(), "inserts"),
              {
                  // Mirrored about x 40: each text reads backwards to the left of x 38, on its own baseline.
                  {"mirrored text: on its baseline", 30, 37, 91, 94, true},
                  {"mirrored text: not turned under it", 28, 38, 85, 89.5, false},
                  {"mirrored paragraph: on its baseline", 30, 37, 71, 74, true},
                  {"mirrored paragraph: not turned above it", 28, 38, 75.5, 80, false},
                  {"mirrored constant attribute: on its baseline", 30, 37, 51, 54, true},
                  {"mirrored constant attribute: not turned under it", 28, 38, 45, 49.5, false},
                  // Stretched twice as wide from x 55: 5 high and twice as wide.
                  {"stretched text: twice as wide", 70, 78, 91, 94, true},
                  {"stretched text: not twice as tall", 60, 78, 96, 99, false},
                  {"stretched paragraph: twice as wide", 70, 78, 71, 74, true},
                  {"stretched paragraph: not twice as tall", 60, 78, 66, 69.5, false},
                  {"stretched attribute: twice as wide", 70, 78, 51, 54, true},
                  {"stretched attribute: not twice as tall", 60, 78, 56, 59, false},
                  // The mirrored diagonal runs from (40, 10) up to (20, 30).
                  {"mirrored hatch: its line at 135 degrees", 24.5, 25.5, 24.5, 25.5, true},
                  {"mirrored hatch: and further along", 34.5, 35.5, 14.5, 15.5, true},
                  {"mirrored hatch: nothing off its line", 23, 27, 13, 17, false},
                  // Level lines 5 apart stretched twice as tall: at y 20, none at 15 and 25.
                  {"stretched hatch: a line 10 up", 65, 75, 19.7, 20.3, true},
                  {"stretched hatch: none 5 up", 62, 78, 14, 16, false},
                  {"stretched hatch: none 15 up", 62, 78, 24, 26, false},
              });
}

TEST_F(DrawnAsMeant, ADimensionsTextInAMirroredInsertReadsBackwardsAndInAStretchedOneKeepsItsHeight) {
    auto db = open("dimensions.dxf");
    // Its "L" stands 5 high from y 61, centred at x 25 mirrored and at x 77.5 stretched.
    expectInk(plotted(db.get(), "dimensions"), {
                                                   {"mirrored: the L's foot at the bottom", 23.5, 25, 61.1, 61.5, true},
                                                   {"mirrored: no foot at its top", 23.5, 25, 65.5, 65.9, false},
                                                   {"stretched: its letter", 76, 79, 61.1, 61.5, true},
                                                   {"stretched: not half as tall again", 74, 81, 66.5, 69, false},
                                               });
}

TEST_F(DrawnAsMeant, BackwardTextRunsLeftOfItsPointAndUpsideDownTextHangsUnderItsBaseline) {
    auto db = open("generation.dxf");
    expectInk(plotted(db.get(), "generation"), {
                                                   {"backward text: left of its point", 37, 49, 81, 84, true},
                                                   {"backward text: nothing right of it", 51, 66, 79, 86, false},
                                                   {"upside-down text: under its baseline", 51, 64, 46, 49, true},
                                                   {"upside-down text: nothing above it", 50, 66, 50.5, 56, false},
                                                   {"backward attribute: left of its point", 37, 49, 21, 24, true},
                                                   {"backward attribute: nothing right of it", 51, 66, 19, 26, false},
                                               });
    // The project's drawing of text flags: its backward attribute stays in its table, left of its point.
    auto text = open(data("text.dxf"));
    const Window around{7359, 1500, 2000};
    expectInk(plotted(text.get(), "text_flags", around),
              {
                  {"the backward attribute's value", 7600, 8300, 2015, 2085, true},
                  {"nothing right of its point", 8420, 9300, 1990, 2110, false},
              },
              around);
}

TEST_F(DrawnAsMeant, DashDotLinesAndDottedPatternsShowTheirDots) {
    auto db = open("dots.dxf");
    const fs::path png = plotted(db.get(), "dots");
    // Dashes 10 long every 20 from x 5, a dot in the middle of each gap.
    expectInk(png,
              {
                  {"the dot after the first dash", 19.6, 20.4, 79.6, 80.4, true},
                  {"the dot after the second", 39.6, 40.4, 79.6, 80.4, true},
                  {"bare beside the dot", 16, 19, 79.6, 80.4, false},
                  {"a dot of the pattern's level line", 14.6, 15.4, 29.6, 30.4, true},
                  {"and of the next", 34.6, 35.4, 39.6, 40.4, true},
                  {"bare beside it", 11, 14, 29.6, 30.4, false},
              },
              {}, Plot::kAnyInk);
}

TEST_F(DrawnAsMeant, AViewportsDashesKeepTheirPaperSize) {
    auto db = open("viewport.dxf");
    const AcDbObjectId layout = acdbHostApplicationServices()->layoutManager()->getLayoutId(L"Layout1", db.get());
    ASSERT_FALSE(layout.isNull());
    // Dashes and gaps of 10 on paper from x -50, where the model's line starts: a dash at 30..40, a gap at 40..50.
    expectInk(plotted(db.get(), "viewport_dashes", {}, layout), {
                                                                    {"a dash 10 long", 31.5, 38.5, 49.7, 50.3, true},
                                                                    {"a gap 10 long", 41.5, 48.5, 49.7, 50.3, false},
                                                                });
}

TEST_F(DrawnAsMeant, HatchStylesFillTheirIslandsAsNamed) {
    auto db = open("styles.dxf");
    // Normal, outer and ignore from x 5, 37 and 69: a ring, an island, an island in it.
    const fs::path png = plotted(db.get(), "styles");
    for (const double y : {60.0, 10.0}) {
        SCOPED_TRACE(y == 60 ? "solid" : "pattern");
        expectInk(png, {
                           {"normal: the ring", 6, 10, y + 2, y + 24, true},
                           {"normal: the island bare", 12, 14.5, y + 7, y + 19, false},
                           {"normal: the island's island", 16.5, 19.5, y + 11.5, y + 14.5, true},
                           {"outer: the ring", 38, 42, y + 2, y + 24, true},
                           {"outer: the island bare", 44, 46.5, y + 7, y + 19, false},
                           {"outer: the island's island bare", 48.5, 51.5, y + 11.5, y + 14.5, false},
                           {"ignore: the ring", 70, 74, y + 2, y + 24, true},
                           {"ignore: the island", 76, 78.5, y + 7, y + 19, true},
                           {"ignore: the island's island", 80.5, 83.5, y + 11.5, y + 14.5, true},
                       });
    }
}

TEST_F(DrawnAsMeant, AnOuterHatchWhoseLoopIsWrittenThousandsOfTimesFillsItsRingAlone) {
    auto db = open("twins.dxf");
    expectInk(plotted(db.get(), "twins"), {
                                              {"the ring", 12, 28, 12, 88, true},
                                              {"the island bare", 32, 43, 32, 68, false},
                                              {"the island's island bare", 47, 53, 47, 53, false},
                                          });
}

TEST_F(DrawnAsMeant, TabsAdvanceToTheNextTabStop) {
    auto db = open("tabs.dxf");
    // Tab stops every four heights: "B" at x 30, nothing between it and "A".
    expectInk(plotted(db.get(), "tabs"), {
                                             {"stored tab: B at the stop", 30.5, 33, 85.5, 89.5, true},
                                             {"stored tab: no escape printed", 15.5, 29.5, 84.5, 90.5, false},
                                             {"raw tab: B at the stop", 30.5, 33, 65.5, 69.5, true},
                                             {"raw tab: no box", 15.5, 29.5, 64.5, 70.5, false},
                                             {"attribute: B at the stop", 30.5, 33, 45.5, 49.5, true},
                                             {"attribute: no escape printed", 15.5, 29.5, 44.5, 50.5, false},
                                         });
}

TEST_F(DrawnAsMeant, AnAttributeDefinitionInModelSpaceShowsItsTag) {
    auto db = open("definitions.dxf");
    expectInk(plotted(db.get(), "definitions"), {
                                                    {"its tag", 20, 45, 51, 54, true},
                                                    {"nothing above", 10, 50, 56, 60, false},
                                                });
}

TEST_F(DrawnAsMeant, ParagraphColumnsStandSideBySideAtTheirWidth) {
    auto db = open("columns.dxf");
    expectInk(plotted(db.get(), "columns"),
              {
                  {"static: the second column's text", 46, 60, 85.5, 89.5, true},
                  {"static: not under the first's", 10, 40, 70, 83, false},
                  {"flowing: the third line heads the second column", 46, 60, 45.5, 49.5, true},
                  {"flowing: not under the second line", 10, 40, 24, 30, false},
              });
    // The project's drawing: its two-column note wraps at its column's width, clear of the text beside it.
    auto doors = open(data("wipeout_door.dxf"));
    const Window around{9500, 4200, 2400};
    expectInk(plotted(doors.get(), "wipeout_door", around),
              {
                  {"the note's third line", 9620, 9950, 5030, 5090, true},
                  {"nothing between its column and the next text", 11100, 11500, 5190, 5270, false},
                  {"the next text", 11600, 12400, 5150, 5230, true},
              },
              around);
}

TEST_F(DrawnAsMeant, ThePlotsExtentsHoldWhatTextsAndSplinesDraw) {
    {
        // A bottom-aligned title's letters stand above the frame: the page holds them whole.
        auto db = open("title.dxf");
        const plot_window::Image page = plot_window::imageOf(plottedExtents(db.get(), "title"));
        ASSERT_GT(page.height, 0);
        EXPECT_GT(page.firstInkedRow(), page.height / 200) << "the title is cut at the page's top";
    }
    {
        // Codes that draw nothing do not widen the text: the frame fills the page as alone.
        auto db = open("codes.dxf");
        expectInk(plottedExtents(db.get(), "codes"), {
                                                         {"the frame's right edge", 99.8, 100.2, 20, 40, true},
                                                         {"the text's X", 95.2, 96.2, 50.3, 51.7, true},
                                                     });
    }
    {
        // A spline's extents are its curve's, 20 by 100 (around x 10, y 50), not its control polygon's.
        auto db = open("spline.dxf");
        const Window curve{-40, 0, 100};
        expectInk(plottedExtents(db.get(), "spline"),
                  {
                      {"the curve's top at the page's top", 9.4, 10.6, 98, 100.3, true},
                      {"its foot at the bottom", 0, 2, 0, 3, true},
                  },
                  curve);
    }
    {
        // A hatch's spline edge is filled to its curve: between the curve and the chords of a coarser
        // reckoning, a quarter unit under its top.
        auto db = open("spline_hatch.dxf");
        const Window top{54, 68.5, 2};
        expectInk(plotted(db.get(), "spline_hatch", top),
                  {
                      {"filled up to the curve", 54.9, 55.3, 69.6, 69.7, true},
                      {"nothing above it", 54.9, 55.3, 69.85, 69.95, false},
                  },
                  top);
    }
}

} // namespace
