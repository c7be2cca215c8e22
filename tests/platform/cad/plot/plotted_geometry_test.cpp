// Drawings of one kind of geometry each, written by ezdxf (make_geometry_plots.py) inside a 0..100 frame and
// plotted by cadhost: where the plot must show ink and where it must leave the paper bare.
#include "module/CadhostRun.h"
#include "module/PlotPixels.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace {

namespace fs = std::filesystem;

// A plot of a framed drawing, read in drawing units: the frame's 100 units fill 94% of the shorter side.
struct FramedPlot {
    plot_pixels::Image image;
    double scale = 0, cx = 0, cy = 0;

    explicit FramedPlot(const fs::path& png) : image(plot_pixels::imageOf(png)) {
        scale = std::min(image.width, image.height) * 0.94 / 100.0;
        cx = image.width / 2.0;
        cy = image.height / 2.0;
    }
    int column(double x) const { return int(cx + (x - 50) * scale); }
    int row(double y) const { return int(cy - (y - 50) * scale); }
    // Red and black alike: what is not paper has little green.
    bool inked(int x, int y) const {
        return ((image.pixels[std::size_t(y) * std::size_t(image.width) + std::size_t(x)] >> 8) & 0xFF) < 0x80;
    }
    // How many pixels of a box of drawing units carry ink.
    int inkIn(double x0, double x1, double y0, double y1) const {
        int n = 0;
        for (int y = row(y1); y <= row(y0); ++y)
            for (int x = column(x0); x <= column(x1); ++x) n += inked(x, y) ? 1 : 0;
        return n;
    }
    // Along a horizontal line at y from x0 to x1: the share of columns inked near it, and the longest bare run.
    std::pair<double, double> along(double y, double x0, double x1) const {
        int inkedColumns = 0, columns = 0, run = 0, longest = 0;
        for (int x = column(x0); x <= column(x1); ++x, ++columns) {
            bool any = false;
            for (int r = row(y) - 3; r <= row(y) + 3; ++r) any = any || inked(x, r);
            inkedColumns += any ? 1 : 0;
            run = any ? 0 : run + 1;
            longest = std::max(longest, run);
        }
        return {double(inkedColumns) / columns, longest / scale};
    }
};

class PlottedGeometry : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = fs::temp_directory_path() / ("kelmo-geometry-plots-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        const fs::path maker =
            fs::path(KELMO_SOURCE_DIR) / "tests" / "platform" / "cad" / "plot" / "make_geometry_plots.py";
        written = std::system(("/usr/bin/python3 '" + maker.string() + "' '" + folder.string() + "'").c_str()) == 0;
    }
    static void TearDownTestSuite() { fs::remove_all(folder); }

    void SetUp() override {
        if (!fs::exists(cadhost_run::program())) GTEST_SKIP() << "cadhost is not built";
        if (!written) GTEST_SKIP() << "python3-ezdxf cannot write the drawings";
    }

    // The drawing plotted once to PNG; what cadhost said when it failed.
    static const FramedPlot& plotOf(const std::string& name) {
        auto found = plots.find(name);
        if (found != plots.end()) return found->second;
        std::ofstream(folder / (name + ".scr")) << "PLOT " << name << ".png\n";
        const cadhost_run::Outcome r =
            cadhost_run::runIn(folder, "'" + cadhost_run::program().string() + "' --batch --module '' --script '" +
                                           name + ".scr' '" + name + ".dxf'");
        EXPECT_EQ(r.status, 0) << name << "\n" << r.err;
        said[name] = r.out;
        return plots.emplace(name, FramedPlot(folder / (name + ".png"))).first->second;
    }

    static inline fs::path folder;
    static inline bool written = false;
    static inline std::map<std::string, FramedPlot> plots;
    static inline std::map<std::string, std::string> said; // cadhost's output while plotting the drawing
};

TEST_F(PlottedGeometry, AreasAreFilledWhereTheDrawingFillsThemAndBareWhereItLeavesThemEmpty) {
    struct Case {
        const char* drawing;
        const char* where;
        double x0, x1, y0, y1;
        bool ink;
    };
    const Case cases[] = {
        {"circle_hatches", "a round island stays empty", 26, 34, 46, 54, false},
        {"circle_hatches", "around the island is filled", 14, 22, 70, 80, true},
        {"circle_hatches", "a lone round hatch is filled", 66, 74, 46, 54, true},
        {"circle_hatches", "a spline edge bounds a hatch along its curve", 70, 80, 20, 28, true},
        {"circle_hatches", "not along its control points", 70, 80, 31.5, 34, false},
        {"solids", "a solid's corners 1 2 3 4 fill a square", 20, 30, 20, 30, true},
        {"solids", "and its crossing corners leave no bow tie", 12, 17, 22, 28, true},
        {"solids", "a trace is filled", 70, 80, 20, 30, true},
        {"solids", "a solid in a block is filled", 20, 30, 70, 80, true},
        {"solids", "a three-cornered solid is a filled triangle", 62, 70, 62, 70, true},
        {"solids", "beside the triangle's long side", 80, 88, 80, 88, false},
        {"wipeouts", "a wipeout masks the fill under it", 18, 32, 43, 57, false},
        {"wipeouts", "the fill beside it stays", 8, 12, 20, 30, true},
        {"wipeouts", "a wipeout in a block masks its fill", 68, 82, 43, 57, false},
        {"wipeouts", "the block's fill beside it stays", 58, 62, 20, 30, true},
        {"widths", "a tapered segment is wide at its start", 15, 20, 82, 84, true},
        {"widths", "and narrow at its end", 84, 88, 81, 84, false},
        {"widths", "an old-style polyline's vertex widths", 20, 80, 46.5, 47.5, true},
        {"widths", "an old-style polyline's default widths", 20, 80, 21.5, 22.5, true},
        {"bricks", "a course's joint at x 30", 29, 31, 12, 18, true},
        {"bricks", "no joint at x 40 in that course", 38, 42, 12, 18, false},
        {"bricks", "the next course's joint at x 40", 39, 41, 22, 28, true},
        {"bricks", "no joint at x 30 in the next course", 28, 32, 22, 28, false},
        {"rarer", "a spline runs on its curve", 38, 42, 74, 82, true},
        {"rarer", "not along its control polygon", 32, 48, 88, 92, false},
        {"rarer", "a 3D face's visible edges", 20, 30, 9, 11, true},
        {"rarer", "not its invisible one", 20, 30, 39, 41, false},
        {"rarer", "a construction line runs through the drawing", 79, 81, 60, 80, true},
        {"rarer", "a multiline's element lines", 70, 78, 96.5, 97.5, true},
        {"rarer", "not its vertex path between them", 70, 78, 94.5, 95.5, false},
        {"rarer", "a mesh's face", 52, 58, 9, 11, true},
        {"rarer", "shapes the plot cannot draw leave no mark", 63, 72, 28, 32, false},
    };
    for (const Case& c : cases) {
        const FramedPlot& plot = plotOf(c.drawing);
        ASSERT_FALSE(plot.image.pixels.empty()) << c.drawing;
        const int ink = plot.inkIn(c.x0, c.x1, c.y0, c.y1);
        if (c.ink)
            EXPECT_GT(ink, 10) << c.drawing << ": " << c.where;
        else
            EXPECT_EQ(ink, 0) << c.drawing << ": " << c.where;
    }
}

TEST_F(PlottedGeometry, AKindThePlotCannotDrawIsNamedOnceAndAGradientShowsItsColours) {
    const FramedPlot& rarer = plotOf("rarer");
    ASSERT_FALSE(rarer.image.pixels.empty());
    const std::string& out = said["rarer"];
    EXPECT_EQ(cadhost_run::count(out, "SHAPE"), 1u) << out;
    EXPECT_EQ(out.find("MESH"), std::string::npos) << out;
    // Red at the gradient's start, blue at its end.
    const FramedPlot& hatches = plotOf("circle_hatches");
    ASSERT_FALSE(hatches.image.pixels.empty());
    const auto colour = [&](double x, double y) {
        return hatches.image
            .pixels[std::size_t(hatches.row(y)) * std::size_t(hatches.image.width) + std::size_t(hatches.column(x))];
    };
    for (const auto& [x, rgb] : {std::pair{56.0, 0xFF0000u}, std::pair{94.0, 0x0000FFu}}) {
        const std::uint32_t seen = colour(x, 80);
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(double((seen >> shift) & 0xFF), double((rgb >> shift) & 0xFF), 24.0)
                << x << ": " << std::hex << seen;
    }
}

TEST_F(PlottedGeometry, LinesPlotTheirLinetypesDashes) {
    struct Case {
        const char* what;
        double y;
        double gap; // drawing units of the longest bare run; 0: continuous
    };
    // LTSCALE 10: DASHED leaves gaps of 2.54, CENTER 6.35 and HIDDEN 3.175 (times the entity's own scale).
    const Case cases[] = {
        {"a line's own linetype", 90, 2.54},  {"its layer's", 70, 6.35},
        {"an insert's, by block", 50, 3.175}, {"scaled by the line's own scale", 30, 5.08},
        {"a continuous line", 10, 0},
    };
    const FramedPlot& plot = plotOf("linetypes");
    ASSERT_FALSE(plot.image.pixels.empty());
    for (const Case& c : cases) {
        const auto [share, longest] = plot.along(c.y, 6, 94);
        if (c.gap == 0) {
            EXPECT_GT(share, 0.99) << c.what;
        } else {
            EXPECT_LT(share, 0.95) << c.what;
            EXPECT_GT(share, 0.5) << c.what;
            EXPECT_NEAR(longest, c.gap, c.gap * 0.3) << c.what;
        }
    }
}

} // namespace
