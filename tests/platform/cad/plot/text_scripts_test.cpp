// Room names in scripts other than Latin (make_script_plots.py), plotted by cadhost as a user plots them:
// each character set in an installed font that holds it, none as a missing-glyph box, right-to-left scripts
// run and join as they are written. Each drawing holds its name as a text (baseline at y 45) and as a
// paragraph text (baseline at y 20), inside a 0..100 frame.
#include "module/CadhostRun.h"
#include "module/PlotPixels.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class TextScripts : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = fs::temp_directory_path() / ("kelmo-script-plots-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        const fs::path maker = fs::path(KELMO_SOURCE_DIR) / "tests/platform/cad/plot/make_script_plots.py";
        written = std::system(("/usr/bin/python3 '" + maker.string() + "' '" + folder.string() + "'").c_str()) == 0;
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        if (!std::getenv("KEEP_PLOTS")) fs::remove_all(folder, ec);
    }
    void SetUp() override {
        if (!written) GTEST_SKIP() << "python3-ezdxf cannot write the drawings";
        // The font the tests rely on for Chinese and Japanese (scripts/packages installs it).
        ASSERT_FALSE(cadhost_run::capture("fc-list ':lang=ja' family").empty()) << "fonts-noto-cjk is not installed";
    }

    // cadhost plots the drawing's extents to NAME.png.
    static fs::path plotted(const std::string& name) {
        const fs::path png = folder / (name + ".png");
        if (fs::exists(png)) return png;
        std::ofstream(folder / (name + ".scr")) << "PLOT " << name << ".png\n";
        const cadhost_run::Outcome r =
            cadhost_run::runIn(folder, "'" + cadhost_run::program().string() + "' --batch --module '' --script '" +
                                           name + ".scr' '" + name + ".dxf'");
        EXPECT_EQ(r.status, 0) << name << "\n" << r.err;
        EXPECT_NE(r.out.find("Plotted to"), std::string::npos) << r.out;
        return png;
    }

    static inline fs::path folder;
    static inline bool written = false;
};

// Two plots differ by at least this many pixels where their letters differ (a letter 10 units tall covers
// thousands).
constexpr std::size_t kLettersDiffer = 500;

TEST_F(TextScripts, ChineseAndJapaneseRoomNamesPlotTheirCharactersNotMissingGlyphBoxes) {
    struct Case {
        const char* name;
        const char* other; // another name of as many characters: boxes for both would plot alike
    };
    const Case cases[] = {
        {"chinese", "chinese_other"},
        {"japanese", "japanese_other"},
        {"japanese_kanji", "japanese"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path name = plotted(c.name);
        EXPECT_GT(plot_pixels::differingPixels(name, plotted(c.other), 64), kLettersDiffer);
        // Characters no font holds are drawn as boxes: the name's are not.
        EXPECT_GT(plot_pixels::differingPixels(name, plotted("unheld"), 64), kLettersDiffer);
    }
}

// A plot read in drawing units: the frame's 100 units fill 94% of the shorter side, centred.
struct Framed {
    plot_pixels::Image image;
    double scale = 0;
    explicit Framed(const fs::path& png) : image(plot_pixels::imageOf(png)) {
        scale = std::min(image.width, image.height) * 0.94 / 100.0;
    }
    int column(double x) const { return int(image.width / 2.0 + (x - 50) * scale); }
    int row(double y) const { return int(image.height / 2.0 - (y - 50) * scale); }
    bool inked(int x, int y) const {
        return ((image.pixels[std::size_t(y) * std::size_t(image.width) + std::size_t(x)] >> 8) & 0xFF) < 0x80;
    }
    // The first and last columns inked between heights y0 and y1, inside the frame: {-1, -1} when none.
    std::pair<int, int> inkedColumns(double y0, double y1) const {
        int first = -1, last = -1;
        for (int x = column(2); x <= column(98); ++x)
            for (int y = row(y1); y <= row(y0); ++y)
                if (inked(x, y)) {
                    if (first < 0) first = x;
                    last = x;
                    break;
                }
        return {first, last};
    }
};

TEST_F(TextScripts, ArabicRoomNamesRunRightToLeftWithTheirLettersJoined) {
    // Joined, "سلام" is not its letters set one by one, whichever way those run.
    EXPECT_GT(plot_pixels::differingPixels(plotted("arabic"), plotted("arabic_unjoined"), 64), kLettersDiffer);

    // The alef, written first, stands at the right end; only it reaches above half the text's height.
    const Framed p(plotted("arabic_alef_first"));
    ASSERT_GT(p.image.width, 0);
    struct Line {
        const char* what;
        double baseline;
    };
    for (const Line line : {Line{"text", 45}, Line{"paragraph text", 20}}) {
        SCOPED_TRACE(line.what);
        const auto [left, right] = p.inkedColumns(line.baseline - 3, line.baseline + 11);
        const auto [tallLeft, tallRight] = p.inkedColumns(line.baseline + 6.5, line.baseline + 11);
        ASSERT_GE(left, 0);
        ASSERT_GE(tallLeft, 0);
        EXPECT_GT(tallLeft, left + (right - left) * 3 / 4) << left << ".." << right << ": alef at " << tallLeft;
        EXPECT_GE(right, tallRight);
    }
}

} // namespace
