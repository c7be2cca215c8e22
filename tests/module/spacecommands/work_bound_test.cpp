// The work a drawing may cause, charged for what each kind costs: heavy drawings as offices and sites keep them
// (hatched floors, trees and furniture in thousands of inserts, long paragraph texts, fine linetypes) plot and
// list whole; small files that multiply work (an empty grid of 900 million cells, splines and spline-bounded
// hatches nested four deep, a visible hatch placed 500 times, fine dashes placed a thousand times) stop within
// seconds, say why in the words of what they multiply, and fail their line.
#include "SpaceCommandsHost.h"

namespace spacecommands {
namespace {

using WorkBound = SpaceCommands;

// Seconds a run may take: each drawing plots in a few in the normal build; the sanitizer build draws some
// twenty times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kLimit = 400;
#else
constexpr int kLimit = 30;
#endif

// The drawings heavy_drawings.py writes by these names (NAME=SIZE), in the test's folder.
void writeDrawings(const fs::path& dir, const std::string& names) {
    const fs::path writer = fs::path(KELMO_SOURCE_DIR) / "tests" / "data" / "commands" / "heavy_drawings.py";
    ASSERT_EQ(std::system(("/usr/bin/python3 '" + writer.string() + "' '" + dir.string() + "' " + names).c_str()), 0);
}

Outcome runWithin(const fs::path& dir, const fs::path& program, const fs::path& module, const std::string& drawing,
                  const std::string& script) {
    std::ofstream(dir / "test.scr") << script;
    return cadhost_run::runIn(dir, "timeout " + std::to_string(kLimit) + " '" + program.string() +
                                       "' --batch --c-drive '" + (dir / "c").string() + "' --module '" +
                                       module.string() + "' --script test.scr " + drawing);
}

TEST_F(WorkBound, HeavyDrawingsAsOfficesKeepThemPlotAndListWhole) {
    // Each was refused, "the drawing's inserts place more than 1048576 entities", the hatches with no insert at
    // all: their patterns' lines, a dot or less apart, were drawn and charged one by one; every placed entity
    // was charged once as the extents were measured and again as it was drawn; the listing of the office
    // printed the refusal for every room and listed each with no desk, exit 0.
    struct Case {
        const char* drawing;
        const char* script;
    };
    const Case cases[] = {
        {"brick.dxf", "PLOT t.png\n"},           {"escher.dxf", "PLOT t.png\n"}, {"honey.dxf", "PLOT t.png\n"},
        {"floor.dxf", "PLOT t.png\n"},           {"trees.dxf", "PLOT t.png\n"},  {"desks.dxf", "PLOT t.png\n"},
        {"office.dxf", "PLOT t.png\nmlb\n\n\n"},
    };
    writeDrawings(dir, "brick.dxf escher.dxf honey.dxf floor.dxf trees.dxf desks.dxf office.dxf");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.drawing);
        fs::remove(dir / "t.png");
        Outcome r = runWithin(dir, program, module, c.drawing, c.script);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(fs::exists(dir / "t.png"));
        EXPECT_EQ(r.err.find("more than a drawing of"), std::string::npos) << r.err;
        if (std::string(c.script).find("mlb") != std::string::npos) {
            // 2,000 rooms, four desks in each.
            EXPECT_EQ(count(r.out, ",4\n"), 2000u) << r.out.substr(0, 2000);
            EXPECT_FALSE(has(r, "No objects can be selected")) << r.out.substr(0, 2000);
        }
    }
}

TEST_F(WorkBound, PlainTextAndLinetypesAreDrawnInTimeProportionateToThem) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer build draws these sizes past the test's time; the normal build measures them";
#endif
    // One paragraph text of 400,000 characters copied its whole run for each word; one of 16,000 words
    // measured its whole line again for each word it took; 40,000 page-long lines whose dashes the page
    // cannot tell apart from a line drew every dash. Each ran past the limit.
    writeDrawings(dir, "longtext.dxf wraptext.dxf dashes.dxf");
    for (const char* drawing : {"longtext.dxf", "wraptext.dxf", "dashes.dxf"}) {
        SCOPED_TRACE(drawing);
        fs::remove(dir / "t.png");
        Outcome r = runWithin(dir, program, module, drawing, "PLOT t.png\n");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(fs::exists(dir / "t.png"));
    }
}

TEST_F(WorkBound, AFileThatMultipliesWorkStopsWithinSecondsNamingWhatItMultipliesAndFailsItsLine) {
    // The empty grid was never charged and ran PLOT, the listing and a point pick for minutes; splines and
    // spline-bounded hatches were charged one entity each however many points they were worked out at; the
    // listing of a drawing it refused listed every room with no desk and exit 0.
    struct Case {
        const char* drawing;
        const char* script;
        const char* why; // after "cannot plot to t.png: " or "No objects can be selected: "
    };
    const Case cases[] = {
        {"grid.dxf", "PLOT t.png\n", "the drawing's inserts place more than "},
        {"grid.dxf", "mlb\n\n\n", "the drawing's inserts place more than "},
        {"grid.dxf", "msc_dsd\n1000,1000\n", "the drawing's inserts place more than "},
        {"splines.dxf", "PLOT t.png\n", "the drawing's curves are worked out at more than "},
        {"splinefill.dxf", "PLOT t.png\n", "the drawing's curves are worked out at more than "},
        {"copies.dxf", "PLOT t.png\n", "the drawing's hatch patterns draw more than "},
        {"dashcopies.dxf", "PLOT t.png\n", "the drawing's linetypes draw more than "},
    };
    writeDrawings(dir, "grid.dxf splines.dxf splinefill.dxf copies.dxf dashcopies.dxf");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.drawing) + ": " + c.script);
        fs::remove(dir / "t.png");
        Outcome r = runWithin(dir, program, module, c.drawing, c.script);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_FALSE(fs::exists(dir / "t.png"));
        const std::string said = r.out + r.err;
        EXPECT_NE(said.find(c.why), std::string::npos) << r.err << r.out.substr(0, 3000);
        EXPECT_NE(said.find(" objects is given"), std::string::npos) << r.err;
        if (std::string(c.drawing) != "grid.dxf") {
            EXPECT_EQ(said.find("inserts"), std::string::npos) << r.err;
        }
        if (std::string(c.script).rfind("mlb", 0) == 0) {
            // Said once; no room is listed as holding nothing.
            EXPECT_EQ(count(r.out, "No objects can be selected"), 1u) << r.out;
            EXPECT_FALSE(has(r, "ROOM-1,R1,")) << r.out;
        }
    }
}

} // namespace
} // namespace spacecommands
