// The run's own temporary folder, whose name ("batch", the process id, "@" and the machine) anyone may
// know before the run starts: whatever was planted at that name is never taken for it, and the folder the
// run makes is its user's alone.
#include <sys/stat.h>

#include "RunControlSupport.h"

namespace batchtest {
namespace {

using RunFolder = BatchTest;

// The batch started by a shell that first plants `plant` (a shell command given the run's folder name
// as "$1"), in the folder `temp`; the shell's process id is the batch's, since it execs it.
Background plantedRun(const fs::path& dir, const std::string& line, const fs::path& temp, const std::string& plant,
                      const std::string& tag) {
    const std::size_t then = line.find(" && ") + 4;
    const std::string name = "\"" + temp.string() + "/batch$$@" + machineName() + "\"";
    return start(dir, "set -- " + name + " && " + plant + " && " + line.substr(0, then) + "exec " + line.substr(then),
                 tag);
}

TEST_F(RunFolder, WhatWasPlantedAtTheRunsFolderNameIsLeftAsItWasAndTheRunCopiesThroughAFolderOfItsOwn) {
    const fs::path defaultTemp = dir / "c" / "CadHost" / "kelmo" / "temp";
    const fs::path serverTemp = dir / "server temp";
    const fs::path victim = dir / "victim";
    const struct {
        const char* what;
        bool serverFolder; // the server preferences name a temporary folder
        const char* plant;
    } cases[] = {
        {"a link to another folder", false, "ln -s '%v' \"$1\""},
        {"a link to another folder, in the server's folder", true, "ln -s '%v' \"$1\""},
        {"a folder of someone else's", false, "mkdir \"$1\" && echo theirs > \"$1/plan_mm.dxf.krp\""},
        {"a link to nowhere", false, "ln -s '%v/missing' \"$1\""},
        {"a file", false, "echo theirs > \"$1\""},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(victim);
        fs::create_directories(victim);
        std::ofstream(victim / "plan_mm.dxf.krp") << "not the batch's\n";
        const fs::path temp = c.serverFolder ? serverTemp : defaultTemp;
        fs::create_directories(temp);
        writePrefs(dir / "prefs.xml", windowsPath(dir / "out"));
        if (c.serverFolder) setSetting(dir / "prefs.xml", "acadTempDirectory", windowsPath(serverTemp));
        Report row;
        row.outputFilename = "report" + std::to_string(++n);
        row.saveCopyTo = windowsPath(dir / "copies" / (*row.outputFilename + ".dxf"));
        const int id = add(row);
        std::string plant = c.plant;
        if (const std::size_t at = plant.find("%v"); at != std::string::npos) plant.replace(at, 2, victim.string());
        FolderWatch watch(temp, IN_CREATE);
        const Outcome r = finish(plantedRun(dir, commandLine(), temp, plant, std::to_string(n)));
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(statusOf(id), 3) << r.out;
        EXPECT_NE(slurp(dir / "copies" / (*row.outputFilename + ".dxf")).find("ENTITIES"), std::string::npos);
        EXPECT_EQ(slurp(victim / "plan_mm.dxf.krp"), "not the batch's\n");
        EXPECT_FALSE(fs::exists(victim / "missing"));
        // Planted, the name stays as it was; the run's own folder came and went beside it.
        std::vector<std::string> made;
        for (const auto& [name, mask] : watch.events()) made.push_back(name);
        ASSERT_EQ(made.size(), 2u);
        EXPECT_TRUE(fs::is_symlink(temp / made[0]) || fs::exists(temp / made[0])) << made[0];
        EXPECT_NE(made[1], made[0]);
        EXPECT_EQ(made[1].rfind(made[0].substr(0, made[0].find('@')) + ".", 0), 0u) << made[1];
        EXPECT_FALSE(fs::exists(temp / made[1]));
        if (fs::is_directory(temp / made[0]) && !fs::is_symlink(temp / made[0])) {
            EXPECT_EQ(slurp(temp / made[0] / "plan_mm.dxf.krp"), "theirs\n");
        }
        fs::remove_all(temp / made[0]);
        pgQuery(database, "UPDATE graphic_report SET status_id = 0 WHERE id = " + std::to_string(id));
    }
}

TEST_F(RunFolder, TheRunsFolderIsForItsUserAlone) {
    const fs::path temp = dir / "c" / "CadHost" / "kelmo" / "temp";
    Report row;
    row.saveCopyTo = windowsPath(dir / "copies" / "copy.dxf");
    const int id = add(row);
    const std::string line = commandLine();
    const std::size_t then = line.find(" && ") + 4;
    const Background running = start(dir, "umask 0 && " + line.substr(0, then) + "exec " + line.substr(then));
    const fs::path own = temp / ("batch" + std::to_string(running.pid) + "@" + machineName());
    struct stat st {};
    bool seen = false;
    for (int wait = 0; wait < 5000 && !seen; ++wait) {
        seen = ::lstat(own.c_str(), &st) == 0;
        if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const Outcome r = finish(running);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(statusOf(id), 3);
    ASSERT_TRUE(seen);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
}

TEST_F(RunFolder, AFolderAKilledRunMadeBesideAPlantedNameIsRemovedByTheNextRun) {
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_GT(ended, 0);
    ::waitpid(ended, nullptr, 0);
    const fs::path temp = dir / "c" / "CadHost" / "kelmo" / "temp";
    const std::string killed = "batch" + std::to_string(ended);
    const fs::path beside = temp / (killed + ".a1b2c3@" + machineName());
    // Not the form a run makes: left alone.
    const fs::path shortTail = temp / (killed + ".a1b@" + machineName());
    const fs::path otherMachine = temp / (killed + ".a1b2c3@other-" + machineName());
    for (const fs::path& folder : {beside, shortTail, otherMachine}) {
        fs::create_directories(folder);
        std::ofstream(folder / "plan_mm.krp") << "a copy on its way\n";
    }
    const int id = add(Report{});
    const Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(statusOf(id), 3);
    EXPECT_FALSE(fs::exists(beside));
    EXPECT_TRUE(fs::exists(shortTail / "plan_mm.krp"));
    EXPECT_TRUE(fs::exists(otherMachine / "plan_mm.krp"));
}

} // namespace
} // namespace batchtest
