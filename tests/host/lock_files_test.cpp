// The lock file a session holds a drawing with: readable by every user whatever the umask, one of its own
// for every drawing however long its name, and never made of a file that is no lock.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

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
using Kind = CadhostTerminal::Kind;

const std::string kInUse = ": in use by another session (";

class LockFiles : public cadhost_run::PlanFolder {
protected:
    std::vector<std::string> arguments(const std::string& drawing) const {
        return {"--c-drive", (dir / "c").string(), "--module", "", drawing};
    }
    // A session holding the drawing, started under the umask.
    std::unique_ptr<CadhostTerminal> holder(const std::string& drawing, mode_t mask = 022) {
        const mode_t before = ::umask(mask);
        auto session = std::make_unique<CadhostTerminal>(Kind::Pipe, dir, arguments(drawing));
        ::umask(before);
        EXPECT_TRUE(session->waitFor("Command: ")) << session->output();
        return session;
    }
    // cadhost running the script on the drawing, as user nobody when asked.
    Outcome run(const std::string& drawing, const std::string& script, bool asNobody = false) {
        std::ofstream(dir / "run.scr") << script;
        std::string command = asNobody ? "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
        command += "'" + cadhost_run::program().string() + "' --batch --script run.scr";
        for (const std::string& a : arguments(drawing)) command += " '" + a + "'";
        return cadhost_run::runIn(dir, command);
    }
    void copyPlan(const std::string& name) {
        fs::copy_file(fs::path(KELMO_SOURCE_DIR) / "samples/floorplan.dxf", dir / name,
                      fs::copy_options::overwrite_existing);
    }
};

TEST_F(LockFiles, AnotherUserIsToldWhoHoldsTheDrawingUnderAnyUmaskAndItsLockIsNeverRemoved) {
    // Made under umask 077 the lock could not be read by another user: their session took the drawing for
    // free, removed the holder's lock and replaced the held drawing with its SAVEAS, "Saved".
    if (::geteuid() != 0 || !fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "another user's session needs root";
    fs::permissions(dir, fs::perms::all);
    copyPlan("other.dxf");
    // A drawing the office may write: only the lock keeps another user's save off it.
    fs::permissions(dir / "plan.dxf", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::add);
    const struct Case {
        const char* what;
        mode_t umask;
        bool unreadable; // the lock made unreadable to others after it was made
        std::string told;
    } cases[] = {
        {"made under umask 077", 077, false, "process "},
        {"made unreadable to others", 022, true, "a session of root, whose lock file this user cannot read)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto held = holder("plan.dxf", c.umask);
        const fs::path lock = dir / ".plan.dxf.lock";
        ASSERT_TRUE(fs::exists(lock));
        if (c.unreadable)
            fs::permissions(lock, fs::perms::owner_read | fs::perms::owner_write);
        else
            EXPECT_EQ(fs::status(lock).permissions() & fs::perms::all,
                      fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
        const std::string drawing = slurp(dir / "plan.dxf");
        const Outcome opened = run("plan.dxf", "QUIT\n", true);
        EXPECT_EQ(opened.status, 0) << opened.err;
        EXPECT_NE(opened.err.find("plan.dxf" + kInUse + c.told), std::string::npos) << opened.err;
        EXPECT_TRUE(fs::exists(lock)) << "the holder's lock stays";
        const Outcome saved = run("other.dxf", "SAVEAS plan.dxf\nQUIT\n", true);
        EXPECT_EQ(saved.status, 1) << saved.err;
        EXPECT_NE(saved.err.find("it is a drawing open in another session"), std::string::npos) << saved.err;
        EXPECT_EQ(slurp(dir / "plan.dxf"), drawing) << "the held drawing is not replaced";
        EXPECT_TRUE(fs::exists(lock));
        held->type("QUIT\n");
        EXPECT_EQ(held->exitStatus(), 0) << held->output();
        EXPECT_FALSE(fs::exists(lock)) << "and goes with its session";
    }
    // In a folder that user may not write, nothing is held and nothing is said of a lock.
    fs::permissions(dir, fs::perms::group_write | fs::perms::others_write, fs::perm_options::remove);
    const Outcome unheld = run("other.dxf", "QUIT\n", true);
    EXPECT_EQ(unheld.status, 0) << unheld.err;
    EXPECT_EQ(unheld.err.find("lock"), std::string::npos) << unheld.err;
}

TEST_F(LockFiles, OnlyALockLeftBehindIsTakenOverAnyOtherFileAtItsNameIsNamedAndLeftAsItIs) {
    // Whatever stood at the lock's name was emptied, written over and removed when the session ended.
    const std::string notes = "the user's notes\n";
    std::ofstream(dir / "notes.txt") << notes;
    const struct Case {
        const char* what;
        std::string make; // a shell command that puts it at the lock's name
        bool takenOver;
    } cases[] = {
        {"a file of the user's", "cp notes.txt .plan.dxf.lock", false},
        {"a link to a file of the user's", "ln -s notes.txt .plan.dxf.lock", false},
        {"a folder", "mkdir .plan.dxf.lock", false},
        {"a named pipe", "mkfifo .plan.dxf.lock", false},
        {"a lock a killed session left", "printf 'cadhost drawing lock\\npid=999999\\nhost=gone\\n' >.plan.dxf.lock",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(cadhost_run::runIn(dir, c.make).status, 0);
        const Outcome r = run("plan.dxf", "QUIT\n");
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string named =
            ".plan.dxf.lock is no drawing lock (another file stands at its name); it is left as "
            "it is, and the drawing is not held for this session";
        EXPECT_EQ(cadhost_run::count(r.err, named), c.takenOver ? 0u : 1u) << r.err;
        EXPECT_EQ(fs::exists(fs::symlink_status(dir / ".plan.dxf.lock")), !c.takenOver);
        EXPECT_EQ(slurp(dir / "notes.txt"), notes);
        if (std::string(c.what) == "a file of the user's") {
            EXPECT_EQ(slurp(dir / ".plan.dxf.lock"), notes);
        }
        fs::remove_all(dir / ".plan.dxf.lock");
    }
}

TEST_F(LockFiles, EveryDrawingHasALockOfItsOwnAndShortNamesKeepTheLockTheyHad) {
    // Names alike in their first 249 bytes shared one lock: the second drawing was "in use by another session".
    std::string common;
    for (int i = 0; i < 83; ++i) common += "\xc3\xa9";
    common += std::string(78, 'x') + "_rev "; // 249 bytes
    const struct Case {
        const char* what;
        std::string held, other;
        std::string lock; // the held drawing's lock, when its name is known
    } cases[] = {
        {"short names", "plan.dxf", "other.dxf", ".plan.dxf.lock"},
        {"names alike in their first 249 bytes", common + "A.dxf", common + "B.dxf", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        copyPlan(c.held);
        copyPlan(c.other);
        auto held = holder(c.held);
        if (!c.lock.empty()) {
            EXPECT_TRUE(fs::exists(dir / c.lock));
        }
        const Outcome other = run(c.other, "QUIT\n");
        EXPECT_EQ(other.status, 0) << other.err;
        EXPECT_EQ(other.err.find(kInUse), std::string::npos) << other.err;
        EXPECT_NE(run(c.held, "QUIT\n").err.find(kInUse), std::string::npos) << "the held one is still held";
        held->type("QUIT\n");
        EXPECT_EQ(held->exitStatus(), 0) << held->output();
        for (const auto& entry : fs::directory_iterator(dir))
            EXPECT_NE(entry.path().extension(), ".lock") << entry.path() << ": every lock goes with its session";
    }
}

} // namespace
