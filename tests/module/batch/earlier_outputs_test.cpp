// A report prepared again whose new plot fails: the plot, the copy and the XML of its earlier preparation
// stay as they were, so that they still match, and nothing of the failed plot is left beside them.
#include "BatchTestSupport.h"

namespace batchtest {
namespace {

using EarlierOutputs = BatchTest;

// The names in a folder that begin with ".~": temporaries a write left behind.
std::vector<std::string> temporaries(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind(".~", 0) == 0) found.push_back(entry.path().filename().string());
    return found;
}

TEST_F(EarlierOutputs, APlotThatFailsLeavesTheEarlierPlotBesideTheEarlierCopyAndXml) {
    // A line out to 1e300: paper units cannot hold the drawing's extents.
    ASSERT_EQ(
        std::system(("/usr/bin/python3 -c \"import ezdxf, sys; d = ezdxf.readfile(sys.argv[1]); "
                     "d.modelspace().add_line((0, 0), (1e300, 1e300)); d.saveas(sys.argv[2])\" '" +
                     (dir / "plans" / "plan_mm.dxf").string() + "' '" + (dir / "plans" / "far.dxf").string() + "'")
                        .c_str()),
        0);
    const struct {
        const char* what;
        int plotType;
        const char* name;
        const char* extension;
    } cases[] = {
        {"a PDF", 1, "pdf report", ".pdf"},
        {"a PNG", 3, "png report", ".png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = c.name;
        const fs::path plotFile = dir / "out" / (name + c.extension), copyFile = dir / "copies" / (name + ".dxf"),
                       xmlFile = dir / "out" / (name + ".xml");
        Report row;
        row.plotType = c.plotType;
        row.outputFilename = name;
        row.saveCopyTo = windowsPath(copyFile);
        const int id = add(row);
        Outcome good = run();
        ASSERT_EQ(statusOf(id), 3) << good.out;
        const std::string plot = slurp(plotFile), copy = slurp(copyFile), xml = slurp(xmlFile);
        ASSERT_FALSE(plot.empty());

        // Prepared again on a drawing that cannot be plotted.
        pgQuery(database, "UPDATE graphic_report SET status_id = 1, drawing_filename = 'far.dxf' WHERE id = " +
                              std::to_string(id));
        Outcome failed = run();
        EXPECT_EQ(failed.status, 0) << failed.out << failed.err;
        EXPECT_EQ(statusOf(id), 9) << failed.out;
        EXPECT_NE(failed.out.find("Graphic report " + std::to_string(id) + ": status 9 - the drawing is too large"),
                  std::string::npos)
            << failed.out;
        EXPECT_TRUE(slurp(plotFile) == plot) << "the earlier plot is gone or changed";
        EXPECT_TRUE(slurp(copyFile) == copy);
        EXPECT_TRUE(slurp(xmlFile) == xml);
        EXPECT_EQ(temporaries(dir / "out"), std::vector<std::string>{});
        EXPECT_EQ(temporaries(dir / "copies"), std::vector<std::string>{});
        pgQuery(database, "UPDATE graphic_report SET status_id = 0 WHERE id = " + std::to_string(id));
    }
}

} // namespace
} // namespace batchtest
