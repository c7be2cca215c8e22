// What a run interrupted part-way may leave, and what the next run does with it: the report's XML is
// replaced in one step, temporaries a killed write left beside a target are removed, and a run's
// temporary folder is removed only by its own machine.
#include <sys/file.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>

#include "BatchTestSupport.h"
#include "support/KilledWrite.h"

namespace batchtest {
namespace {

// A process id that has just ended, standing for a killed run.
pid_t endedProcess() {
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    return ended;
}

TEST_F(BatchTest, TheReportsXmlReplacesThePreviousOneInOneStepAndIsNeverWrittenHalf) {
    std::ofstream(dir / "out" / "report.xml") << "<previous/>\n";
    const int id = add(Report{});
    // Everything that happens to the XML's name in the output folder while the batch runs.
    FolderWatch watch(dir / "out", IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM);
    Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(statusOf(id), 3);
    std::vector<std::string> events;
    for (const auto& [name, mask] : watch.events()) {
        if (name != "report.xml") continue;
        events.push_back(mask & IN_MOVED_TO     ? "renamed in"
                         : mask & IN_DELETE     ? "deleted"
                         : mask & IN_MOVED_FROM ? "moved away"
                                                : "made");
    }
    // Never deleted, never written in place: the whole document arrives once under its name (the previous
    // one swapped out of it in the same step, where the two names are swapped at once).
    if (events.size() == 2 && events[1] == "moved away") events.pop_back();
    EXPECT_EQ(events, std::vector<std::string>{"renamed in"});
    EXPECT_NE(slurp(dir / "out" / "report.xml").find("<grID>" + std::to_string(id) + "</grID>"), std::string::npos);
}

TEST_F(BatchTest, TemporariesAKilledRunLeftBesideTheCopyAndTheXmlAreRemovedButAWriteInProgressIsKept) {
    // As a run killed while writing the copy and the XML leaves them.
    const std::vector<fs::path> stale = {kelmo_test::temporaryOfAKilledWrite((dir / "copies" / "copy.dxf").string()),
                                         kelmo_test::temporaryOfAKilledWrite((dir / "out" / "report.xml").string())};
    for (const fs::path& file : stale) ASSERT_FALSE(file.empty());
    const kelmo_test::WriteUnderWay held((dir / "out" / "report.xml").string());
    const fs::path other = dir / "out" / ".~report.xml.notours"; // not a temporary's name
    std::ofstream(other) << "someone's\n";
    Report report;
    report.saveCopyTo = windowsPath(dir / "copies" / "copy.dxf");
    const int id = add(report);
    Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(statusOf(id), 3);
    for (const fs::path& file : stale) EXPECT_FALSE(fs::exists(file)) << file;
    EXPECT_TRUE(fs::exists(held.path()));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_NE(slurp(dir / "copies" / "copy.dxf").find("ENTITIES"), std::string::npos);
}

TEST_F(BatchTest, NoRunRemovesAFileOfAUsersOwnInItsOutputFoldersNorAnotherUsersTemporary) {
    // Each once went at the run's next write to the folder, being named ".~NAME." and six letters or
    // digits, or being a minute old.
    const std::vector<std::string> keptByUser = {".~app.config", ".~budget.ods.Final1", ".~copy.dxf.backup",
                                                 ".~report.xml.backup", ".~thesis.report"};
    const auto anHourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
    const bool root = ::geteuid() == 0;
    std::map<fs::path, std::vector<std::string>> expected;
    for (const fs::path& folder : {dir / "out", dir / "copies"}) {
        fs::permissions(folder, fs::perms::all);
        for (const std::string& name : keptByUser) {
            std::ofstream(folder / name) << "a file the user keeps\n";
            fs::last_write_time(folder / name, anHourAgo);
        }
        expected[folder] = keptByUser;
        if (!root) continue;
        // Another user's write killed beside the outputs.
        const fs::path theirs = kelmo_test::temporaryOfAKilledWrite((folder / "report.xml").string(), "theirs", 65534);
        ASSERT_FALSE(theirs.empty());
        expected[folder].push_back(theirs.filename().string());
        std::sort(expected[folder].begin(), expected[folder].end());
    }
    Report report;
    report.saveCopyTo = windowsPath(dir / "copies" / "copy.dxf");
    const int id = add(report);
    Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(statusOf(id), 3);
    for (const auto& [folder, names] : expected) {
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().filename().string().starts_with(".~")) left.push_back(entry.path().filename().string());
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, names) << folder;
    }
}

TEST_F(BatchTest, ARunRemovesOnlyTheTemporaryFoldersOfItsOwnMachinesDeadRuns) {
    const pid_t ended = endedProcess();
    ASSERT_GT(ended, 0);
    const std::string host = machineName();
    const fs::path temp = dir / "c" / "CadHost" / "kelmo" / "temp";
    const fs::path killedHere = temp / ("batch" + std::to_string(ended) + "@" + host);
    // Process ids of another machine say nothing here: its folders stay, live or not.
    const fs::path otherMachine = temp / ("batch" + std::to_string(ended) + "@other-" + host);
    const fs::path unmarked = temp / ("batch" + std::to_string(ended));
    for (const fs::path& folder : {killedHere, otherMachine, unmarked}) {
        fs::create_directories(folder);
        std::ofstream(folder / "plan_mm.krp") << "a copy on its way\n";
    }
    Report report;
    report.saveCopyTo = windowsPath(dir / "copies" / "copy.dxf");
    const int id = add(report);
    Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(statusOf(id), 3);
    EXPECT_FALSE(fs::exists(killedHere));
    EXPECT_TRUE(fs::exists(otherMachine / "plan_mm.krp"));
    EXPECT_TRUE(fs::exists(unmarked / "plan_mm.krp"));
}

} // namespace
} // namespace batchtest
