// Drawings that once crashed the plot, drew without end or failed it whole for one entity
// (make_hostile_plots.py), plotted by cadhost as a user plots them: each plots, what it leaves out is named.
#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbTable.h"
#include "cad/plot/PlotEngine.h"
#include "module/CadhostRun.h"
#include "module/PlotPixels.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class HostilePlots : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = fs::temp_directory_path() / ("kelmo-hostile-plots-" + std::to_string(::getpid()));
        fs::create_directories(folder / "c");
        const fs::path maker = fs::path(KELMO_SOURCE_DIR) / "tests/platform/cad/plot/make_hostile_plots.py";
        written = std::system(("/usr/bin/python3 '" + maker.string() + "' '" + folder.string() + "'").c_str()) == 0;
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        if (!std::getenv("KEEP_PLOTS")) fs::remove_all(folder, ec);
    }

    // cadhost plots the drawing's extents to NAME.png; a session that runs away is stopped after a while.
    static cadhost_run::Outcome plot(const std::string& name) {
        const fs::path dir = folder / name;
        fs::create_directories(dir);
        std::ofstream(dir / "plot.scr") << "PLOT " << name << ".png\n";
        return cadhost_run::runIn(dir, "timeout 60 '" + cadhost_run::program().string() + "' --c-drive '" +
                                           (folder / "c").string() + "' --module '' --script plot.scr --batch '" +
                                           (folder / (name + ".dxf")).string() + "'");
    }

    static inline fs::path folder;
    static inline bool written = false;
};

struct Hostile {
    const char* drawing;
    const char* named; // what the plot says it leaves out; empty: nothing need be said
};

TEST_F(HostilePlots, EachDrawingPlotsWithTheRestOfItsEntitiesAndNamesWhatItLeavesOut) {
    ASSERT_TRUE(written);
    const Hostile cases[] = {
        // A multileader's leader end before any leader began: the plot crashed.
        {"leader_end_first", ""},
        // Content that is the model space, or holds itself directly or through another block: the stack overflowed.
        {"content_model_space", "the content of MULTILEADER entities whose block is a layout's"},
        {"content_holds_itself", ""},
        // An arrow block that is the model space drew the drawing in its arrows, larger each time.
        {"arrow_model_space", "the arrows of MULTILEADER entities whose arrow block is a layout's"},
        // Two dimensions drawn by the model space drew the whole drawing inside itself, deeper and deeper.
        {"dimension_model_space", "DIMENSION entities whose block is a layout's"},
        // Letters larger than the font engine sets failed the whole plot.
        {"height_1000x", "text whose letters are too large to set"},
        {"height_1e6x", "text whose letters are too large to set"},
        {"height_1e300", "text whose letters are too large to set"},
        // Noncharacters in text and paragraph text failed it as text that is not UTF-8.
        {"noncharacters", "the characters of texts that no text may hold"},
        // A view of almost no height made a transformation the output cannot invert.
        {"viewport_no_height", "the views of viewports whose view the plot cannot scale"},
        // A face index of the most negative integer was negated.
        {"polyface_int_min", ""},
    };
    for (const Hostile& h : cases) {
        SCOPED_TRACE(h.drawing);
        const cadhost_run::Outcome r = plot(h.drawing);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("Plotted to"), std::string::npos) << r.out;
        if (*h.named) {
            EXPECT_NE(r.out.find(std::string("The plot leaves out ") + h.named), std::string::npos) << r.out;
        }
        // The line across the drawing is there.
        EXPECT_GT(plot_pixels::inkedPixels(folder / h.drawing / (std::string(h.drawing) + ".png")), 0u);
    }
}

// Whether the plot of a drawing whose extents are the square 0..100 shows ink of the kind near the point: dark, or
// (red) of a red hue.
bool inkNear(const plot_pixels::Image& image, double x, double y, bool red = false) {
    const double scale = std::min(image.width, image.height) * 0.94 / 100.0;
    const int px = int(image.width / 2 + (x - 50) * scale), py = int(image.height / 2 - (y - 50) * scale);
    for (int v = py - 4; v <= py + 4; ++v)
        for (int u = px - 4; u <= px + 4; ++u) {
            if (u < 0 || v < 0 || u >= image.width || v >= image.height) continue;
            const std::uint32_t p = image.pixels[std::size_t(v) * std::size_t(image.width) + std::size_t(u)];
            const int r = int(p >> 16) & 0xFF, g = int(p >> 8) & 0xFF, b = int(p) & 0xFF;
            if (red ? r > 0xC0 && g < 0x80 && b < 0x80 : r < 0xC0 && g < 0xC0 && b < 0xC0) return true;
        }
    return false;
}

TEST_F(HostilePlots, EndlessLinesFarAwayAndAPatternOfOneLineAreDrawnWhereTheyLie) {
    ASSERT_TRUE(written);
    const cadhost_run::Outcome endless = plot("endless_far");
    ASSERT_EQ(endless.status, 0) << endless.err;
    const plot_pixels::Image lines = plot_pixels::imageOf(folder / "endless_far" / "endless_far.png");
    EXPECT_TRUE(inkNear(lines, 25, 75)) << "the construction line through 0,50 and 50,100";
    EXPECT_TRUE(inkNear(lines, 65, 35)) << "the ray through 30,0 and 100,70";
    EXPECT_FALSE(inkNear(lines, 75, 25)) << "no line where neither runs";
    // One family whose offset runs along its lines: the one line through its base point, at y 50.
    const cadhost_run::Outcome pattern = plot("pattern_along");
    ASSERT_EQ(pattern.status, 0) << pattern.err;
    const plot_pixels::Image hatch = plot_pixels::imageOf(folder / "pattern_along" / "pattern_along.png");
    EXPECT_TRUE(inkNear(hatch, 25, 50, true));
    EXPECT_TRUE(inkNear(hatch, 75, 50, true));
    EXPECT_FALSE(inkNear(hatch, 25, 60, true));
}

TEST_F(HostilePlots, AGradientWithAValueThatIsNoNumberIsRepairedSaidAndSavedAsPlotted) {
    ASSERT_TRUE(written);
    for (const std::string name : {"gradient_angle_nan", "gradient_colour_x"}) {
        SCOPED_TRACE(name);
        const fs::path dir = folder / name;
        fs::create_directories(dir);
        std::ofstream(dir / "again.scr") << "PLOT read.png\nSAVEAS saved.dxf\nOPEN saved.dxf\nPLOT saved.png\n";
        const cadhost_run::Outcome r = cadhost_run::runIn(
            dir, "timeout 60 '" + cadhost_run::program().string() + "' --c-drive '" + (folder / "c").string() +
                     "' --module '' --script again.scr --batch '" + (folder / (name + ".dxf")).string() + "'");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("gradient hatches held an angle or a colour that is not a number"), std::string::npos)
            << r.err;
        // The saved file holds the gradient as it was drawn: reopened, it plots alike.
        EXPECT_NE(cadhost_run::slurp(dir / "saved.dxf").find("LINEAR"), std::string::npos);
        EXPECT_LT(plot_pixels::differingPixels(dir / "read.png", dir / "saved.png", 8), 50u);
        EXPECT_GT(plot_pixels::inkedPixels(dir / "saved.png"), 100000u);
    }
}

AcDbObjectId append(AcDbObjectId block, AcDbEntity* e) {
    AcDbBlockTableRecord* br = nullptr;
    EXPECT_EQ(acdbOpenObject(br, block, AcDb::kForWrite), Acad::eOk);
    AcDbObjectId id;
    EXPECT_EQ(br->appendAcDbEntity(id, e), Acad::eOk);
    e->close();
    br->close();
    return id;
}

// A table of one block cell showing the block.
AcDbTable* showing(AcDbObjectId block, double x) {
    auto* table = new AcDbTable;
    table->setPosition(AcGePoint3d(x, 50, 0));
    table->setSize(1, 1);
    table->setColumnWidth(0, 20);
    table->setRowHeight(20);
    table->setBlockTableRecordId(0, 0, block, false);
    return table;
}

TEST(HostileTables, ATableCellShowingTheBlockThatHoldsItOrTheModelSpacePlotsOnce) {
    AcDbDatabase db;
    AcDbBlockTable* blocks = nullptr;
    ASSERT_EQ(db.getBlockTable(blocks, AcDb::kForWrite), Acad::eOk);
    auto* record = new AcDbBlockTableRecord();
    record->setName(L"LEGEND");
    AcDbObjectId legend;
    ASSERT_EQ(blocks->add(legend, record), Acad::eOk);
    record->close();
    blocks->close();
    append(legend, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 10, 0)));
    append(legend, showing(legend, 0));
    append(db.modelSpaceId(), new AcDbBlockReference(AcGePoint3d(0, 0, 0), legend));
    append(db.modelSpaceId(), showing(db.modelSpaceId(), 60));
    const fs::path png = fs::temp_directory_path() / ("kelmo-hostile-table-" + std::to_string(::getpid()) + ".png");
    plot::Request r;
    r.db = &db;
    r.nativePath = png.string();
    std::wstring why;
    int drawn = 0;
    EXPECT_TRUE(plot::render(r, why, &drawn));
    // The insert's line, its table and that table's cell once more; the model space's table: far fewer than
    // a block drawn inside itself level after level.
    EXPECT_LT(drawn, 20);
    EXPECT_GT(plot_pixels::inkedPixels(png), 0u);
    fs::remove(png);
}

} // namespace
