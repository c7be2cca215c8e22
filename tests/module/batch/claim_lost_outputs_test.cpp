// A run that loses its register session while it writes a report's plot or copy, and a `--status 2` run that
// takes the report over meanwhile and finishes it: the files the finishing run put in place stay; the
// first run puts none of its own over them.
#include <sys/stat.h>

#include "RunControlSupport.h"

namespace batchtest {
namespace {

// Which file stands at a path: every output is put in place by a rename, so a file placed over it is
// another inode.
ino_t fileAt(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST_F(BatchTest, ARunThatLostItsClaimWhileWritingAnOutputPlacesNothingOverTheFinishingRunsOutputs) {
    // A plan large enough that plotting it and saving its copy take a while.
    const fs::path generator = fs::path(KELMO_SOURCE_DIR) / "bench" / "ezdxf_room_plan.py";
    ASSERT_EQ(std::system(("/usr/bin/python3 '" + generator.string() + "' 2000 '" +
                           (dir / "plans" / "rooms.dxf").string() + "'")
                              .c_str()),
              0);
    const fs::path temp = dir / "temp";
    fs::create_directories(temp);
    setSetting(dir / "prefs.xml", "acadTempDirectory", windowsPath(temp));
    const struct {
        const char* what;
        bool copy; // paused as the copy is begun in the run's folder, else as the plot is begun
    } cases[] = {
        {"while writing its copy", true},
        {"while writing its plot", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = c.copy ? "copying" : "plotting";
        Report row;
        row.drawingFilename = "rooms.dxf";
        row.outputFilename = name;
        row.saveCopyTo = windowsPath(dir / "copies" / (name + ".dxf"));
        const int id = add(row);
        const std::string report = std::to_string(id);
        const fs::path plot = dir / "out" / (name + ".pdf"), copy = dir / "copies" / (name + ".dxf"),
                       xml = dir / "out" / (name + ".xml");

        // Started with exec: the process is kelmobatch itself, and its folder is named by its id.
        const std::string line = commandLine();
        const std::size_t then = line.find(" && ") + 4;
        const Background first = start(dir, line.substr(0, then) + "exec " + line.substr(then), name);
        const fs::path runFolder = temp / ("batch" + std::to_string(first.pid) + "@" + machineName());
        for (int wait = 0; wait < 2000 && !fs::exists(runFolder); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_TRUE(fs::exists(runFolder));
        bool paused = false;
        {
            FolderWatch watch(c.copy ? runFolder : dir / "out", IN_CREATE);
            for (int wait = 0; wait < 60000 && !paused; ++wait) {
                if (!watch.events().empty()) {
                    ::kill(first.pid, SIGSTOP);
                    paused = true;
                } else {
                    std::this_thread::sleep_for(std::chrono::microseconds(500));
                }
            }
        }
        ASSERT_TRUE(paused) << "the run never began the output";
        EXPECT_FALSE(fs::exists(c.copy ? copy : plot)) << "the run was paused after the output was placed";

        // The server ends the first run's session, and with it the claim's lock; a `--status 2` run takes
        // the report over and finishes it.
        const std::string lock = claimLocks("pid", report);
        const auto holder = pgQuery(database, lock);
        ASSERT_EQ(holder.size(), 1u);
        pgQuery(database, "SELECT pg_terminate_backend(" + holder[0][0] + ")");
        for (int wait = 0; wait < 500 && !pgQuery(database, lock).empty(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const Outcome finisher = run(" --status 2", name + "-finisher");
        EXPECT_EQ(finisher.status, 0) << finisher.out << finisher.err;
        EXPECT_NE(finisher.out.find("Graphic report " + report + ": status 3\n"), std::string::npos) << finisher.out;
        const std::string preparer =
            pgQuery(database, "SELECT claimed_by FROM graphic_report WHERE id = " + report)[0][0];
        const ino_t finishedPlot = fileAt(plot), finishedCopy = fileAt(copy), finishedXml = fileAt(xml);
        ASSERT_NE(finishedPlot, 0u);
        ASSERT_NE(finishedCopy, 0u);
        ASSERT_NE(finishedXml, 0u);

        ::kill(first.pid, SIGCONT);
        const Outcome r = finish(first);
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("Graphic report " + report +
                             " was taken by another batch run while this run's register session was lost - left to "
                             "it\n"),
                  std::string::npos)
            << r.out;
        EXPECT_EQ(r.out.find(": status "), std::string::npos) << r.out;
        EXPECT_EQ(fileAt(plot), finishedPlot) << "the first run's plot landed over the finishing run's";
        EXPECT_EQ(fileAt(copy), finishedCopy) << "the first run's copy landed over the finishing run's";
        EXPECT_EQ(fileAt(xml), finishedXml) << "the first run's XML landed over the finishing run's";
        EXPECT_EQ(statusOf(id), 3);
        EXPECT_EQ(pgQuery(database, "SELECT claimed_by FROM graphic_report WHERE id = " + report)[0][0], preparer);
        for (const fs::path& folder : {dir / "out", dir / "copies"})
            for (const auto& entry : fs::directory_iterator(folder))
                EXPECT_NE(entry.path().filename().string().rfind(".~", 0), 0u) << entry.path();
    }
}

} // namespace
} // namespace batchtest
