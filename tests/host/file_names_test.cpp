// Drawings under any name a file system holds: names that are not UTF-8 open, save and plot under their own
// bytes; names holding control characters are shown escaped; a lock goes with its session wherever its
// folder has moved.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "CadhostTerminal.h"
#include "module/CadhostRun.h"

namespace fs = std::filesystem;

namespace {

using cadhost_run::CadhostTerminal;
using cadhost_run::Outcome;
using cadhost_run::slurp;

class FileNames : public cadhost_run::PlanFolder {
protected:
    // cadhost in the folder `from` (below the test's) on the drawing, running the script.
    Outcome run(const std::string& from, const std::string& drawing, const std::string& script) {
        std::ofstream(dir / "run.scr") << script;
        return cadhost_run::runIn(dir / from, "'" + cadhost_run::program().string() + "' --batch --script '" +
                                                  (dir / "run.scr").string() + "' --c-drive '" + (dir / "c").string() +
                                                  "' --module '' '" + drawing + "'");
    }
    void copyPlan(const fs::path& to) {
        fs::create_directories(to.parent_path());
        fs::copy_file(fs::path(KELMO_SOURCE_DIR) / "samples/floorplan.dxf", to, fs::copy_options::overwrite_existing);
    }
    // Every file below the test's folder whose name is not as the test made it: U+FFFD where a byte was.
    std::vector<std::string> replaced() const {
        std::vector<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            if (e.path().filename().string().find("\xEF\xBF\xBD") != std::string::npos)
                found.push_back(e.path().string());
        return found;
    }
};

TEST_F(FileNames, ADrawingWhoseNameIsNotUtf8OpensSavesAndPlotsUnderItsOwnBytes) {
    // Each byte that was no UTF-8 became U+FFFD on its way through the host: "the file does not exist", exit 3.
    const std::string depot = "d\xE9p\xF4t"; // Latin-1, as old shared drives and unpacked archives hold them
    const struct Case {
        const char* what;
        std::string folder, name; // where the drawing lies, below the test's folder
        bool fromInside;          // cadhost started in that folder on the bare name, else on the full path
        std::string shown;        // the name as the user is shown it
    } cases[] = {
        {"a Latin-1 name by its full path", "", "caf\xE9.dxf", false, "caf\\xE9.dxf"},
        {"a drawing in a Latin-1 folder by its full path", depot, "plan.dxf", false, "d\\xE9p\\xF4t\\plan.dxf"},
        {"a Latin-1 name by its bare name inside a Latin-1 folder", depot, "caf\xE9.dxf", true,
         "d\\xE9p\\xF4t\\caf\\xE9.dxf"},
        {"bytes that are no character anywhere", "\xFF\xC3(", "\x80\xED\xA0\x80.dxf", true,
         "\\xFF\\xC3(\\\\x80\\xED\\xA0\\x80.dxf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path folder = dir / c.folder, drawing = folder / c.name;
        copyPlan(drawing);
        const std::string before = slurp(drawing);
        const Outcome r = run(c.fromInside ? c.folder : "", c.fromInside ? c.name : drawing.string(),
                              "SAVE\nSAVEAS copy.dxf\nPLOT plan.png\nQUIT\n");
        EXPECT_EQ(r.status, 0) << r.err << r.out;
        EXPECT_NE(r.out.find("Saved "), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(c.shown), std::string::npos) << "shown readable: " << r.out;
        EXPECT_TRUE(fs::exists(drawing));
        EXPECT_NE(slurp(drawing).find("ENTITIES"), std::string::npos) << "saved whole";
        EXPECT_NE(slurp(drawing), "") << before.size();
        const fs::path outputs = c.fromInside ? folder : dir;
        EXPECT_TRUE(fs::exists(outputs / "copy.dxf"));
        EXPECT_TRUE(fs::exists(outputs / "plan.png"));
        EXPECT_EQ(replaced(), std::vector<std::string>{});
        for (const auto& e : fs::directory_iterator(folder)) EXPECT_NE(e.path().extension(), ".lock") << e.path();
        EXPECT_EQ(r.out.find('\xE9'), std::string::npos) << "no stray byte reaches the terminal";
        fs::remove(outputs / "copy.dxf");
        fs::remove(outputs / "plan.png");
    }
}

TEST_F(FileNames, TheModuleWritesBesideALatin1DrawingUnderItsName) {
    // The module's CSV takes its name from the drawing's, through the module's own strings.
    const std::string depot = "d\xE9p\xF4t";
    copyPlan(dir / depot / "caf\xE9.dxf");
    std::ofstream(dir / "run.scr") << "mcsv\nQUIT\n";
    const Outcome r = cadhost_run::runIn(dir / depot, "'" + cadhost_run::program().string() + "' --batch --script '" +
                                                          (dir / "run.scr").string() + "' --c-drive '" +
                                                          (dir / "c").string() + "' 'caf\xE9.dxf'");
    EXPECT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(fs::exists(dir / depot / "caf\xE9.csv")) << r.out;
    EXPECT_NE(r.out.find("d\\xE9p\\xF4t\\caf\\xE9.csv"), std::string::npos) << r.out;
    EXPECT_EQ(replaced(), std::vector<std::string>{});
}

TEST_F(FileNames, ASecondSessionOnALatin1NameIsToldWhoHoldsIt) {
    // The lock was made under U+FFFD: a second session found none.
    const fs::path drawing = dir / "caf\xE9.dxf";
    copyPlan(drawing);
    CadhostTerminal held(CadhostTerminal::Kind::Pipe, dir,
                         {"--c-drive", (dir / "c").string(), "--module", "", drawing.string()});
    ASSERT_TRUE(held.waitFor("Command: ")) << held.output();
    EXPECT_TRUE(fs::exists(dir / ".caf\xE9.dxf.lock"));
    const Outcome r = run("", "caf\xE9.dxf", "QUIT\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("caf\\xE9.dxf: in use by another session (process "), std::string::npos) << r.err;
    held.type("QUIT\n");
    EXPECT_EQ(held.exitStatus(), 0) << held.output();
    EXPECT_FALSE(fs::exists(dir / ".caf\xE9.dxf.lock"));
}

TEST_F(FileNames, ANameHoldingControlCharactersIsShownEscapedNeverSentToTheTerminal) {
    // A refused name went to the terminal as typed: colours, a cleared screen, a new window title, a line
    // break that made up a line of its own.
    const struct Case {
        const char* what;
        std::string from, drawing; // the folder cadhost starts in (made), the name it is given
        std::string shown;
    } cases[] = {
        {"colour sequences", "", "a\x1B[31mred\x1B[0m.dxf", "a\\x1B[31mred\\x1B[0m.dxf"},
        {"a title sequence ended by a bell", "", "x\x1B]0;title\x07.dxf", "x\\x1B]0;title\\x07.dxf"},
        {"a line break", "", "new\nline.dxf", "new\\x0Aline.dxf"},
        {"a C1 control sequence introducer", "",
         "c1\xC2\x9B"
         "2J.dxf",
         "c1\\x9B2J.dxf"},
        {"a clearing sequence in the working folder's name", "d\x1B[2J", "plan.dxf", "d\\x1B[2J\\plan.dxf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::create_directories(dir / c.from);
        const Outcome r = run(c.from, c.drawing, "QUIT\n");
        EXPECT_NE(r.status, 0);
        EXPECT_NE(r.err.find(c.shown), std::string::npos) << r.err;
        for (const std::string& text : {r.out, r.err}) {
            EXPECT_EQ(text.find('\x1B'), std::string::npos) << text;
            EXPECT_EQ(text.find('\x07'), std::string::npos) << text;
            EXPECT_EQ(text.find("\xC2\x9B"), std::string::npos) << text;
        }
        EXPECT_EQ(r.err.find("\nline.dxf"), std::string::npos) << r.err;
    }
    // Named before any session starts: a script that cannot be read, an option nobody knows.
    const std::string program = "'" + cadhost_run::program().string() + "'";
    for (const auto& [arguments, shown] :
         {std::pair{std::string("--script 's\x1B[2J.scr'"), std::string("s\\x1B[2J.scr")},
          std::pair{std::string("'--\x1B[2J'"), std::string("--\\x1B[2J")}}) {
        SCOPED_TRACE(shown);
        const Outcome r = cadhost_run::runIn(dir, program + " " + arguments);
        EXPECT_NE(r.status, 0);
        EXPECT_NE(r.err.find(shown), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\x1B'), std::string::npos) << r.err;
    }
}

TEST_F(FileNames, AFolderRenamedWhileItsDrawingIsOpenKeepsNoLockAfterQuitNorLosesTheLockNowAtItsOldName) {
    // The lock was looked for under the folder's old name: QUIT left it in the renamed folder, and a signal
    // removed whatever lock stood at the old name, another session's.
    const struct Case {
        const char* what;
        bool signalled;
    } cases[] = {{"QUIT", false}, {"a signal", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        copyPlan(dir / "project/plan.dxf");
        CadhostTerminal held(CadhostTerminal::Kind::Pipe, dir,
                             {"--c-drive", (dir / "c").string(), "--module", "", (dir / "project/plan.dxf").string()});
        ASSERT_TRUE(held.waitFor("Command: ")) << held.output();
        ASSERT_TRUE(fs::exists(dir / "project/.plan.dxf.lock"));
        fs::rename(dir / "project", dir / "moved");
        copyPlan(dir / "project/plan.dxf"); // another drawing now at the old name, held by another session
        const std::string other = "cadhost drawing lock\npid=1\nhost=elsewhere\n";
        std::ofstream(dir / "project/.plan.dxf.lock") << other;
        if (c.signalled) {
            held.signal(SIGTERM);
            EXPECT_EQ(held.exitStatus(), 128 + SIGTERM) << held.output();
        } else {
            held.type("QUIT\n");
            EXPECT_EQ(held.exitStatus(), 0) << held.output();
            EXPECT_FALSE(fs::exists(dir / "moved/.plan.dxf.lock")) << "the session's lock goes with it";
        }
        EXPECT_EQ(slurp(dir / "project/.plan.dxf.lock"), other) << "what stands at the old name is not its to remove";
        fs::remove_all(dir / "project");
        fs::remove_all(dir / "moved");
    }
}

} // namespace
