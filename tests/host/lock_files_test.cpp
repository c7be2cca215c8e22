// The lock file a session holds a drawing with: readable by every user whatever the umask, one of its own
// for every drawing however long its name, and never made of a file that is no lock.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
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
    // cadhost running the script on the drawing, as user nobody when asked, after the shell's `limit`.
    Outcome run(const std::string& drawing, const std::string& script, bool asNobody = false,
                const std::string& limit = "") {
        std::ofstream(dir / "run.scr") << script;
        std::string command = asNobody ? "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
        command += "'" + cadhost_run::program().string() + "' --batch --script run.scr";
        for (const std::string& a : arguments(drawing)) command += " '" + a + "'";
        // The limit is cadhost's alone: the shell still opens its output files.
        return cadhost_run::runIn(dir, limit.empty() ? command : "(" + limit + "; exec " + command + ")");
    }
    void copyPlan(const std::string& name) {
        fs::copy_file(fs::path(KELMO_SOURCE_DIR) / "samples/floorplan.dxf", dir / name,
                      fs::copy_options::overwrite_existing);
    }
    void TearDown() override {
        for (const fs::path& at : mounts_) ::umount2(at.c_str(), MNT_DETACH);
        PlanFolder::TearDown();
    }
    // A tmpfs of its own at dir/name, in a mount namespace of the test program; false where none can be made.
    bool mountDisk(const std::string& name, const std::string& options) {
        static const bool ownNamespace =
            ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        const fs::path at = dir / name;
        fs::create_directories(at);
        if (!ownNamespace || ::mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) != 0) return false;
        mounts_.push_back(at);
        return true;
    }
    static bool asRoot() { return ::geteuid() == 0 && fs::exists("/usr/bin/setpriv"); }
    static struct stat statOf(const fs::path& file) {
        struct stat st {};
        ::lstat(file.c_str(), &st);
        return st;
    }

    std::vector<fs::path> mounts_;
    const std::string staleLock = "cadhost drawing lock\npid=999999\nhost=gone\nuser=nobody\nsince=then\n";
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

TEST_F(LockFiles, ALockIsTakenOverOnlyWhenItIsAFileOfOneNameThisUserMadeOrMayRemove) {
    // A second name of another file at the lock's name was set 0644 and written; another user's empty file
    // there, and their stale lock, were taken over in place: they stayed theirs to rewrite.
    if (!asRoot()) GTEST_SKIP() << "another user's files need root";
    const std::string named = ".plan.dxf.lock is no drawing lock (another file stands at its name)";
    const struct Case {
        const char* what;
        std::string make; // a shell command that puts it at the lock's name
        std::string kept; // a file whose bytes and mode stay as they are; empty: none
        bool takenOver;
    } cases[] = {
        {"a second name of the user's empty private file", "touch kept && chmod 600 kept && ln kept .plan.dxf.lock",
         "kept", false},
        {"a second name of a lock left behind",
         "printf '" + staleLock + "' >kept && chmod 600 kept && ln kept .plan.dxf.lock", "kept", false},
        {"another user's empty file",
         "touch .plan.dxf.lock && chmod 666 .plan.dxf.lock && chown nobody .plan.dxf.lock && cp -a .plan.dxf.lock kept",
         ".plan.dxf.lock", false},
        {"a lock another user's killed session left",
         "printf '" + staleLock + "' >.plan.dxf.lock && chmod 666 .plan.dxf.lock && chown nobody .plan.dxf.lock", "",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(cadhost_run::runIn(dir, c.make).status, 0);
        const fs::path kept = dir / c.kept;
        const std::string bytes = c.kept.empty() ? "" : slurp(kept);
        const struct stat before = statOf(kept);
        auto held = holder("plan.dxf");
        const fs::path lock = dir / ".plan.dxf.lock";
        if (c.takenOver) {
            EXPECT_EQ(statOf(lock).st_uid, 0u) << "made again as this session's";
            EXPECT_EQ(statOf(lock).st_nlink, 1u);
            EXPECT_EQ(held->output().find("is no drawing lock"), std::string::npos) << held->output();
        } else {
            EXPECT_NE(held->output().find(named), std::string::npos) << held->output();
            EXPECT_EQ(slurp(kept), bytes) << "never written into";
            EXPECT_EQ(statOf(kept).st_mode, before.st_mode) << "nor set readable";
            EXPECT_EQ(statOf(kept).st_uid, before.st_uid);
        }
        held->type("QUIT\n");
        EXPECT_EQ(held->exitStatus(), 0) << held->output();
        EXPECT_EQ(fs::exists(fs::symlink_status(lock)), !c.takenOver);
        fs::remove(lock);
        fs::remove(dir / "kept");
    }
}

TEST_F(LockFiles, AHolderIsTheOwnerOfItsLockFileWhateverUserTheFileNames) {
    // A live lock of nobody's that named root was shown as root's session.
    if (!asRoot()) GTEST_SKIP() << "another user's lock needs root";
    const fs::path lock = dir / ".plan.dxf.lock";
    std::ofstream(lock) << "cadhost drawing lock\npid=4242\nhost=office\nuser=root\nsince=then\n";
    ASSERT_EQ(::chown(lock.c_str(), 65534, 65534), 0);
    const int fd = ::open(lock.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &range), 0) << "held as a live session holds it";
    const Outcome r = run("plan.dxf", "QUIT\n");
    ::close(fd);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("plan.dxf" + kInUse + "a session of nobody, whose lock file names root as its holder)"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("of root"), std::string::npos) << r.err;
}

TEST_F(LockFiles, ADrawingThatCannotBeLockedOpensWithALineSayingWhy) {
    // Another user's stale lock in a sticky folder, a full disk and a disk without inodes left the drawing
    // open unheld without a word: a third session was not told who had it open.
    if (!asRoot()) GTEST_SKIP() << "another user's session needs root";
    const std::string unheld = ": the drawing could not be locked for this session (";
    const std::string untold = "): other sessions that open it are not told it is open here";
    struct Case {
        const char* what;
        std::string drawing;
        bool asNobody;
        std::string why;
        std::string limit;
    };
    std::vector<Case> cases;
    // Under the fewest descriptors the session runs with, the drawing is read and closed, but its lock
    // and folder cannot both be open. (The sanitizers' runtime opens descriptors of its own on the way.)
#if defined(__SANITIZE_ADDRESS__)
    constexpr int kFewest = 32;
#else
    constexpr int kFewest = 4;
#endif
    for (int most = kFewest; most < 32; ++most) {
        const Outcome r = run("plan.dxf", "QUIT\n", false, "ulimit -n " + std::to_string(most));
        if (r.status != 0) continue;
        EXPECT_EQ(cadhost_run::count(r.err, "plan.dxf" + unheld + "too many open files" + untold), 1u)
            << most << " descriptors: " << r.err;
        break;
    }
    // A world-writable folder with the sticky bit: only a file's owner may remove it.
    fs::create_directories(dir / "sticky");
    copyPlan("sticky/plan.dxf");
    fs::permissions(dir, fs::perms::all);
    fs::permissions(dir / "sticky", fs::perms::all | fs::perms::sticky_bit);
    std::ofstream(dir / "sticky/.plan.dxf.lock") << staleLock;
    cases.push_back({"another user's stale lock in a sticky folder", "sticky/plan.dxf", true,
                     "a lock root's session left at " + (dir / "sticky/.plan.dxf.lock").string() +
                         " stands there, which this user may not remove",
                     ""});
    if (mountDisk("full", "size=256k") && mountDisk("noinodes", "size=1m,nr_inodes=4")) {
        copyPlan("full/plan.dxf");
        {
            std::ofstream fill(dir / "full/fill", std::ios::binary);
            const std::string block(4096, 'x');
            while (fill.write(block.data(), block.size()) && fill.flush()) {}
        }
        copyPlan("noinodes/plan.dxf");
        for (int i = 0; i < 8; ++i) std::ofstream(dir / "noinodes" / ("f" + std::to_string(i)));
        cases.push_back({"a full disk", "full/plan.dxf", false, "the disk is full", ""});
        cases.push_back({"a disk without inodes left", "noinodes/plan.dxf", false, "the disk is full", ""});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome r = run(c.drawing, "QUIT\n", c.asNobody, c.limit);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(cadhost_run::count(r.err, c.drawing + unheld + c.why + untold), 1u) << r.err;
        if (c.asNobody) {
            // Saved under a new name there, the drawing is said to be unheld there too.
            std::ofstream(dir / "sticky/.new.dxf.lock") << staleLock;
            const Outcome saved = run(c.drawing, "SAVEAS sticky/new.dxf\nQUIT\n", true);
            EXPECT_EQ(saved.status, 0) << saved.err;
            EXPECT_EQ(cadhost_run::count(saved.err, "sticky/new.dxf" + unheld), 1u) << saved.err;
        }
    }
    EXPECT_EQ(slurp(dir / "sticky/.plan.dxf.lock"), staleLock) << "the other user's lock is left as it is";
}

TEST_F(LockFiles, ASessionOnAnotherNameOfTheFileIsToldWhoHoldsItAndASaveSaysItPartsTheNames) {
    // The lock was per name: a second session on a hard link of the drawing was told nothing, and each save
    // made its name a drawing of its own in silence.
    fs::create_directories(dir / "elsewhere");
    fs::create_hard_link(dir / "plan.dxf", dir / "elsewhere/linked.dxf");
    copyPlan("other.dxf");
    auto held = holder("plan.dxf");
    const Outcome opened = run("elsewhere/linked.dxf", "QUIT\n");
    EXPECT_EQ(opened.status, 0) << opened.err;
    EXPECT_NE(opened.err.find("linked.dxf" + kInUse + "process " + std::to_string(held->pid())), std::string::npos)
        << opened.err;
    EXPECT_NE(opened.err.find("which has it open under another of its names (a hard link))"), std::string::npos)
        << opened.err;
    const Outcome saved = run("other.dxf", "SAVEAS elsewhere/linked.dxf\nQUIT\n");
    EXPECT_EQ(saved.status, 1) << saved.err;
    EXPECT_NE(saved.err.find("it is a drawing open in another session"), std::string::npos) << saved.err;
    held->type("QUIT\n");
    EXPECT_EQ(held->exitStatus(), 0) << held->output();

    const struct stat before = statOf(dir / "plan.dxf");
    const Outcome r = run("plan.dxf", "SAVE\nQUIT\n");
    EXPECT_EQ(r.status, 0) << r.err;
    const struct stat after = statOf(dir / "plan.dxf");
    if (after.st_ino == before.st_ino) {
        EXPECT_EQ(after.st_nlink, 2u) << "written in place, the names stay one file";
    } else {
        EXPECT_NE(r.out.find("plan.dxf had another name (a hard link): it is now a file of its own, and that name "
                             "keeps the drawing as it was before this save"),
                  std::string::npos)
            << r.out;
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
