// Two runs at once whose server preferences name one temporary folder, as operators set it for the
// batch machines: each run's copies pass through a folder of its own there, and each copy holds its own
// report's colouring.
#include "ReportPlans.h"
#include "RunControlSupport.h"

namespace batchtest {
namespace {

TEST_F(ReportPlans, TwoRunsSharingOneTemporaryFolderEachCopyTheirOwnReportsColouring) {
    const fs::path shared = dir / "shared-temp";
    fs::create_directories(shared);
    setSetting(dir / "prefs.xml", "acadTempDirectory", windowsPath(shared));
    // Every report copies the same drawing under its own name into a folder of its own, its spaces
    // hatched on a layer that is the report's alone.
    std::vector<int> ids;
    for (int i = 0; i < 12; ++i) {
        Report row;
        row.drawingFilename = "report_plan.dxf";
        row.outputFilename = "report" + std::to_string(i);
        fs::create_directories(dir / "copies" / row.outputFilename.value());
        row.saveCopyTo = windowsPath(dir / "copies" / row.outputFilename.value());
        const std::string id = std::to_string(add(row));
        const std::string category =
            pgQuery(database,
                    "INSERT INTO report_category (report_id, title, hatch_pattern, hatch_colour, hatch_layer) "
                    "VALUES (" +
                        id + ", 'Offices', 'SOLID', '#E07020', 'HATCH_OF_" + id + "_ONLY') RETURNING id")[0][0];
        pgQuery(database, "INSERT INTO category_block (category_id, handle) VALUES (" + category + ", '" +
                              handles["Office A"] + "'), (" + category + ", '" + handles["Office B"] + "')");
        ids.push_back(std::stoi(id));
    }
    FolderWatch watch(shared, IN_CREATE | IN_MOVED_TO);
    const Background first = start(dir, commandLine(), "first");
    const Background second = start(dir, commandLine(), "second");
    const Outcome a = finish(first), b = finish(second);
    EXPECT_EQ(a.status, 0) << a.out << a.err;
    EXPECT_EQ(b.status, 0) << b.out << b.err;
    // Nothing but the runs' own folders was made in the shared one, and they went with their runs.
    for (const auto& [name, mask] : watch.events())
        EXPECT_TRUE(name.rfind("batch", 0) == 0 && name.find('@') != std::string::npos) << name;
    EXPECT_TRUE(fs::is_empty(shared));
    for (size_t i = 0; i < ids.size(); ++i) {
        const std::string copy = slurp(dir / "copies" / ("report" + std::to_string(i)) / "report_plan.dxf");
        EXPECT_EQ(statusOf(ids[i]), 3);
        for (const int other : ids)
            EXPECT_EQ(copy.find("HATCH_OF_" + std::to_string(other) + "_ONLY") != std::string::npos, other == ids[i])
                << "the copy of graphic report " << ids[i] << " and the colouring of graphic report " << other;
    }
}

} // namespace
} // namespace batchtest
