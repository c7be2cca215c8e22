// One drawing in two cadhost sessions, or changed on disk by another program while it is open: the
// second session is told who holds it, and a SAVE never replaces unasked what another wrote since the
// drawing was read or last saved. Edits from outside are made with ezdxf, which reads the results back.
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CadhostTerminal.h"
#include "module/CadhostRun.h"
#include "support/EntryFixture.h"

namespace fs = std::filesystem;

namespace {

using cadhost_run::CadhostTerminal;
using cadhost_run::Outcome;
using cadhost_run::slurp;
using Kind = CadhostTerminal::Kind;

const std::string kChanged = "changed on disk since this session read or last saved it";
const std::string kInUse = "plan.dxf: in use by another session (process ";

class SharedDrawing : public cadhost_run::PlanFolder {
protected:
    void SetUp() override {
        PlanFolder::SetUp();
        if (IsSkipped()) return;
        std::ofstream(dir / "edit.py") << "import ezdxf, sys\n"
                                          "doc = ezdxf.readfile(sys.argv[1])\n"
                                          "doc.modelspace().add_line((0, 0), (1, 1), dxfattribs={'layer': 'EDIT'})\n"
                                          "doc.saveas(sys.argv[1])\n";
        if (outside("/usr/bin/python3 edit.py plan.dxf") != 0) GTEST_SKIP() << "python3-ezdxf cannot edit drawings";
        fs::copy_file(fs::path(KELMO_SOURCE_DIR) / "samples/floorplan.dxf", dir / "plan.dxf",
                      fs::copy_options::overwrite_existing);
    }

    std::vector<std::string> arguments() const {
        return {"--c-drive", (dir / "c").string(), "--module", cadhost_run::module().string(), "plan.dxf"};
    }
    std::unique_ptr<CadhostTerminal> start(Kind kind) {
        return std::make_unique<CadhostTerminal>(kind, dir, arguments());
    }
    // A second cadhost on the drawing, running the script.
    Outcome second(const std::string& script) {
        std::ofstream(dir / "second.scr") << script;
        std::string command = "'" + cadhost_run::program().string() + "' --batch --script second.scr";
        for (const std::string& a : arguments()) command += " '" + a + "'";
        return cadhost_run::runIn(dir, command);
    }
    // A session on a fresh plan that has renamed every room (an X in front of each name).
    std::unique_ptr<CadhostTerminal> startWithWork(Kind kind) {
        fs::copy_file(fs::path(KELMO_SOURCE_DIR) / "samples/floorplan.dxf", dir / "plan.dxf",
                      fs::copy_options::overwrite_existing);
        auto session = start(kind);
        if (session->waitFor("Command: ")) session->type("mfrs\n\nX\n");
        session->waitFor("changes made");
        return session;
    }
    int outside(const std::string& command) { return cadhost_run::runIn(dir, command).status; }
    // The lines ezdxf reads on the layer the outside edit uses.
    size_t editedLines(const std::string& drawing = "plan.dxf") {
        const std::string n = cadhost_run::capture(
            "cd '" + dir.string() + "' && /usr/bin/python3 -c \"import ezdxf; print(len(ezdxf.readfile('" + drawing +
            "').modelspace().query('LINE[layer==\\\"EDIT\\\"]')))\"");
        return n.empty() ? 0 : std::stoul(n);
    }
    bool locked() const { return fs::exists(dir / ".plan.dxf.lock"); }
};

TEST_F(SharedDrawing, ASaveOverWhatAnotherWroteSinceTheReadIsRefusedNamingSaveAs) {
    const struct Case {
        const char* what;
        std::string outside; // a shell command run while the session holds the drawing
        bool refused;
    } cases[] = {
        {"another session saved it",
         "'" + cadhost_run::program().string() + "' --batch --module '' plan.dxf --script saveit.scr", true},
        {"ezdxf added a line", "/usr/bin/python3 edit.py plan.dxf", true},
        {"another program replaced it with other bytes in place", "cat edit.py > plan.dxf", true},
        {"its time only was touched", "touch -d '2001-01-01' plan.dxf", false},
        {"it was removed", "rm plan.dxf", false},
        {"nothing", "true", false},
    };
    std::ofstream(dir / "saveit.scr") << "SAVE\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto session = startWithWork(Kind::Pipe);
        ASSERT_TRUE(session->waitFor("Command: ")) << session->output();
        ASSERT_EQ(outside(c.outside), 0);
        const std::string before = slurp(dir / "plan.dxf");
        session->type("SAVE\n");
        if (c.refused) {
            ASSERT_TRUE(session->waitFor("cannot save ")) << session->output();
            ASSERT_TRUE(session->waitFor("plan.dxf: it " + kChanged)) << session->output();
            ASSERT_TRUE(session->waitFor("it is left as it is: SAVEAS another name keeps both\n")) << session->output();
            EXPECT_EQ(slurp(dir / "plan.dxf"), before) << "what the other wrote stays";
            // Both are kept: the session's work under another name.
            session->type("SAVEAS mine.dxf\nSAVE\n");
            ASSERT_TRUE(session->waitFor("Saved ")) << session->output();
            ASSERT_TRUE(session->waitFor("mine.dxf\n")) << session->output();
            ASSERT_TRUE(session->waitFor("Saved ")) << "its own save again\n" << session->output();
        } else {
            ASSERT_TRUE(session->waitFor("Saved ")) << session->output();
            session->type("SAVE\n"); // the session's own save does not count as another's
            ASSERT_TRUE(session->waitFor("Saved ")) << session->output();
        }
        session->type("QUIT\n");
        EXPECT_EQ(session->exitStatus(), c.refused ? 1 : 0) << session->output();
        EXPECT_EQ(cadhost_run::count(session->output(), kChanged), c.refused ? 1u : 0u) << session->output();
        EXPECT_FALSE(locked()) << "the lock goes with the session";
    }
    EXPECT_EQ(editedLines("mine.dxf"), 0u);
}

TEST_F(SharedDrawing, ASaveReplacesOnlyTheFileTheDrawingWasReadFromWhereverItsNameLeadsNow) {
    // A save replaced whatever file the drawing's name led to when it saved ("Saved", nobody asked): the
    // file a repointed link led to, or one another program edited after the drawing's folder was renamed.
    const struct Case {
        const char* what;
        std::string before, drawing; // set up before the session; the drawing it opens
        std::string outside, save;   // done while it works; its save
        std::vector<std::string> kept;
    } cases[] = {
        {"its link was pointed at another drawing",
         "mv plan.dxf real.dxf && cp real.dxf precious.dxf && ln -s real.dxf plan.dxf",
         "plan.dxf",
         "ln -sfn precious.dxf plan.dxf",
         "SAVE",
         {"real.dxf", "precious.dxf"}},
        {"its folder was renamed, then the file edited in place",
         "mkdir d && mv plan.dxf d/",
         "d/plan.dxf",
         "mv d e && /usr/bin/python3 edit.py e/plan.dxf",
         "SAVEAS e/plan.dxf",
         {"e/plan.dxf"}},
        {"its folder was renamed, then the file replaced",
         "mkdir d && mv plan.dxf d/",
         "d/plan.dxf",
         "mv d e && cp e/plan.dxf e/new.dxf && /usr/bin/python3 edit.py e/new.dxf && mv e/new.dxf e/plan.dxf",
         "SAVEAS e/plan.dxf",
         {"e/plan.dxf"}},
        {"its folder was renamed only", "mkdir d && mv plan.dxf d/", "d/plan.dxf", "mv d e", "SAVEAS e/plan.dxf", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir / "e");
        fs::copy_file(fs::path(KELMO_SOURCE_DIR) / "samples/floorplan.dxf", dir / "plan.dxf",
                      fs::copy_options::overwrite_existing);
        ASSERT_EQ(outside(c.before), 0);
        std::vector<std::string> args = arguments();
        args.back() = c.drawing;
        CadhostTerminal session(Kind::Pipe, dir, args);
        ASSERT_TRUE(session.waitFor("Command: ")) << session.output();
        session.type("mfrs\n\nX\n");
        ASSERT_TRUE(session.waitFor("changes made")) << session.output();
        ASSERT_EQ(outside(c.outside), 0);
        std::vector<std::string> before;
        for (const std::string& file : c.kept) before.push_back(slurp(dir / file));
        session.type(c.save + "\nQUIT\n");
        EXPECT_EQ(session.exitStatus(), c.kept.empty() ? 0 : 1) << session.output();
        EXPECT_EQ(cadhost_run::count(session.output(), kChanged), c.kept.empty() ? 0u : 1u) << session.output();
        for (size_t i = 0; i < c.kept.size(); ++i) EXPECT_EQ(slurp(dir / c.kept[i]), before[i]) << c.kept[i];
        fs::remove(dir / "plan.dxf");
    }
}

TEST_F(SharedDrawing, ASaveAfterTheDrawingWasMovedAwayKeepsItsModeAndOneIntoAnotherFolderAtItsFoldersNameIsRefused) {
    // Moved away: the drawing is made again as it was, private as it was.
    ASSERT_EQ(outside("chmod 600 plan.dxf"), 0);
    {
        CadhostTerminal session(Kind::Pipe, dir, arguments());
        ASSERT_TRUE(session.waitFor("Command: ")) << session.output();
        session.type("mfrs\n\nX\n");
        ASSERT_TRUE(session.waitFor("changes made")) << session.output();
        ASSERT_EQ(outside("mv plan.dxf moved.dxf"), 0);
        session.type("SAVE\nQUIT\n");
        EXPECT_EQ(session.exitStatus(), 0) << session.output();
    }
    EXPECT_EQ(fs::status(dir / "plan.dxf").permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write);
    // Its folder renamed and another (another user's) put at its name: nothing is written there.
    ASSERT_EQ(outside("mkdir d && mv plan.dxf d/"), 0);
    std::vector<std::string> args = arguments();
    args.back() = "d/plan.dxf";
    CadhostTerminal session(Kind::Pipe, dir, args);
    ASSERT_TRUE(session.waitFor("Command: ")) << session.output();
    session.type("mfrs\n\nX\n");
    ASSERT_TRUE(session.waitFor("changes made")) << session.output();
    ASSERT_EQ(outside("mv d e && mkdir d && chown 65534 d"), 0);
    const std::string before = slurp(dir / "e" / "plan.dxf");
    session.type("SAVE\nQUIT\n");
    EXPECT_EQ(session.exitStatus(), 1) << session.output();
    EXPECT_EQ(
        cadhost_run::count(session.output(), "is in a folder that is no longer the one the drawing was read from"), 1u)
        << session.output();
    EXPECT_FALSE(fs::exists(dir / "d" / "plan.dxf"));
    EXPECT_EQ(slurp(dir / "e" / "plan.dxf"), before);
}

TEST_F(SharedDrawing, AtATerminalTheUserIsAskedAndOnlyYesReplaces) {
    const struct Case {
        const char* what;
        std::string command; // SAVE, or QUIT answered "yes" at its own question first
        std::string answer;
        bool replaced;
    } cases[] = {
        {"yes", "SAVE", "yes", true},
        {"no", "SAVE", "no", false},
        {"cancel", "SAVE", "cancel", false},
        {"Enter keeps", "SAVE", "", false},
        {"QUIT, then yes", "QUIT", "yes", true},
        {"QUIT, then no", "QUIT", "no", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto session = startWithWork(Kind::Terminal);
        ASSERT_TRUE(session->waitFor("Command: ")) << session->output();
        ASSERT_EQ(outside("/usr/bin/python3 edit.py plan.dxf"), 0);
        session->type(c.command + "\n");
        if (c.command == "QUIT") {
            ASSERT_TRUE(session->waitFor("Save changes to ")) << session->output();
            session->type("yes\n");
        }
        ASSERT_TRUE(session->waitFor(kChanged + " (another session or program wrote it). Replace it with this "
                                                "drawing? (yes, no or cancel; SAVEAS another name keeps both)"))
            << session->output();
        session->type(c.answer + "\n");
        if (c.replaced) {
            ASSERT_TRUE(session->waitFor("Saved ")) << session->output();
        } else {
            ASSERT_TRUE(session->waitFor("plan.dxf is left as it is")) << session->output();
            ASSERT_TRUE(session->waitFor("Command: ")) << "the session goes on\n" << session->output();
            session->type("QUIT\n");
            ASSERT_TRUE(session->waitFor("Save changes to ")) << session->output();
            session->type("no\n");
        }
        if (c.command == "SAVE" && c.replaced) session->type("QUIT\n");
        EXPECT_EQ(session->exitStatus(), 0) << session->output();
        EXPECT_EQ(editedLines(), c.replaced ? 0u : 1u);
    }
}

TEST_F(SharedDrawing, ASecondSessionIsToldWhoHoldsTheDrawingUntilItsSessionHasGone) {
    auto holder = start(Kind::Pipe);
    ASSERT_TRUE(holder->waitFor("Command: ")) << holder->output();
    EXPECT_TRUE(locked());
    Outcome told = second("QUIT\n");
    EXPECT_EQ(told.status, 0) << told.err;
    EXPECT_EQ(cadhost_run::count(told.err, kInUse), 1u) << told.err;
    EXPECT_NE(told.err.find("SAVEAS another name keeps both"), std::string::npos) << told.err;
    EXPECT_TRUE(locked()) << "the second session leaves the holder's lock";
    // Closed, the drawing is free again; opened again, it is held again.
    holder->type("CLOSE\n");
    ASSERT_TRUE(holder->waitFor("Command: ")) << holder->output();
    EXPECT_FALSE(locked());
    EXPECT_EQ(cadhost_run::count(second("QUIT\n").err, kInUse), 0u);
    holder->type("OPEN plan.dxf\n");
    ASSERT_TRUE(holder->waitFor("Command: ")) << holder->output();
    EXPECT_EQ(cadhost_run::count(second("QUIT\n").err, kInUse), 1u);
    // A holder killed leaves its lock file behind; nobody holds it, so the next session takes it over.
    holder.reset();
    EXPECT_TRUE(locked());
    Outcome after = second("QUIT\n");
    EXPECT_EQ(cadhost_run::count(after.err, kInUse), 0u) << after.err;
    EXPECT_FALSE(locked()) << "taken over, and removed with its new session";
}

TEST_F(SharedDrawing, OfTwoSessionsSavingOneDrawingAtOnceNoneLosesItsWorkUntold) {
    // Begun together on a drawing that takes a while to write, each save passed its check before the
    // other's file was in place, and both said "Saved" over one file holding the later one's work.
    cadhost_run::writeLargePlan(dir / "plan.dxf", slurp(dir / "plan.dxf"));
    const std::string large = slurp(dir / "plan.dxf");
    const struct {
        std::string who, room; // each renames a room of its own
    } sessions[] = {{"A", "Office 1"}, {"B", "Office 2"}};
    std::string both;
    for (const auto& s : sessions) {
        std::ofstream(dir / (s.who + ".scr")) << "mfrs\n" << s.room << "\n" << s.who << s.room << "\nSAVE\n";
        std::string command = "'" + cadhost_run::program().string() + "' --batch --script " + s.who + ".scr";
        for (const std::string& a : arguments()) command += " '" + a + "'";
        both += "(" + command + " >" + s.who + ".out 2>" + s.who + ".err; echo $? >" + s.who + ".status) & ";
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::ofstream(dir / "plan.dxf", std::ios::binary) << large;
        ASSERT_EQ(outside("(" + both + "wait)"), 0);
        const std::string file = slurp(dir / "plan.dxf");
        size_t saves = 0;
        for (const auto& s : sessions) {
            SCOPED_TRACE(s.who);
            const std::string err = slurp(dir / (s.who + ".err"));
            if (slurp(dir / (s.who + ".status")) == "0\n") {
                ++saves;
                EXPECT_NE(file.find(s.who + s.room), std::string::npos) << "what it said it saved is there\n" << err;
            } else {
                EXPECT_EQ(slurp(dir / (s.who + ".status")), "1\n") << err;
                EXPECT_EQ(cadhost_run::count(err, kChanged), 1u) << err;
                EXPECT_NE(err.find("it is left as it is: SAVEAS another name keeps both"), std::string::npos) << err;
            }
        }
        EXPECT_GE(saves, 1u);
    }
}

TEST_F(SharedDrawing, ASaveUnderAnotherNameHoldsThatNameBeforeItsFileIsThere) {
    // Held only after its file was in place, a name was for a moment a file nobody held: another
    // session's SAVEAS to it then replaced this one's work, both saying "Saved".
    std::ofstream(dir / "taken.dxf") << "an earlier file nobody holds";
    for (const char* name : {"new.dxf", "taken.dxf"}) {
        SCOPED_TRACE(name);
        const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(::inotify_add_watch(watch, dir.c_str(), IN_CREATE | IN_MOVED_TO), 0);
        Outcome saved = second("SAVEAS " + std::string(name) + "\nQUIT\n");
        EXPECT_EQ(saved.status, 0) << saved.err;
        std::vector<std::string> events; // in order: "+name" made or linked into place, ">name" renamed into place
        alignas(inotify_event) char buffer[1 << 16];
        for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;)
            for (char* p = buffer; p < buffer + n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(p);
                if (e->len > 0) events.push_back(((e->mask & IN_MOVED_TO) ? ">" : "+") + std::string(e->name));
                p += sizeof(inotify_event) + e->len;
            }
        ::close(watch);
        const auto lock = std::find(events.begin(), events.end(), "+." + std::string(name) + ".lock");
        const auto placed =
            std::find_if(events.begin(), events.end(), [&](const std::string& e) { return e.substr(1) == name; });
        ASSERT_NE(placed, events.end());
        EXPECT_LT(lock, placed) << "the name's lock is taken before its file is in place";
        EXPECT_FALSE(fs::exists(dir / ("." + std::string(name) + ".lock"))) << "and goes with the session";
        EXPECT_NE(slurp(dir / name).find("SECTION"), std::string::npos);
    }
}

TEST_F(SharedDrawing, ASaveOntoANameAnotherSessionHoldsNamesThatSessionWhetherItsFileIsThereOrNot) {
    // With no file at the name (moved away, or another SAVEAS still writing it), the refusal was worded
    // as the folder's permission.
    for (const bool fileThere : {true, false}) {
        SCOPED_TRACE(fileThere ? "its file is there" : "its file was moved away");
        auto holder = start(Kind::Pipe);
        ASSERT_TRUE(holder->waitFor("Command: ")) << holder->output();
        if (!fileThere) fs::rename(dir / "plan.dxf", dir / "moved.dxf");
        fs::copy_file(fs::path(KELMO_SOURCE_DIR) / "samples/floorplan.dxf", dir / "other.dxf",
                      fs::copy_options::overwrite_existing);
        std::ofstream(dir / "saveas.scr") << "SAVEAS plan.dxf\nQUIT\n";
        const Outcome refused = cadhost_run::runIn(
            dir, "'" + cadhost_run::program().string() + "' --batch --module '' --script saveas.scr other.dxf");
        EXPECT_EQ(refused.status, 1) << refused.err;
        EXPECT_NE(refused.err.find("plan.dxf: the file cannot be written: it is a drawing open in another session "
                                   "(process "),
                  std::string::npos)
            << refused.err;
        EXPECT_EQ(fs::exists(dir / "plan.dxf"), fileThere) << "nothing is put at the held name";
        EXPECT_TRUE(locked()) << "the holder keeps its lock";
        holder->type("QUIT\n");
        EXPECT_EQ(holder->exitStatus(), 0) << holder->output();
        if (!fileThere) fs::rename(dir / "moved.dxf", dir / "plan.dxf");
    }
}

TEST_F(SharedDrawing, ASessionOfAnotherUserIsToldWhoHoldsTheDrawingAndTakesOverALockLeftBehind) {
    if (::geteuid() != 0 || !fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "another user's session needs root";
    // A folder the office shares: the holder's lock file is its user's, which another user can only read.
    fs::permissions(dir, fs::perms::all);
    const struct Case {
        const char* what;
        bool holderLives;
        size_t told;
    } cases[] = {
        {"its holder lives", true, 1},
        {"its holder was killed", false, 0},
    };
    std::ofstream(dir / "other.scr") << "QUIT\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto holder = start(Kind::Pipe);
        ASSERT_TRUE(holder->waitFor("Command: ")) << holder->output();
        if (!c.holderLives) holder.reset();
        ASSERT_TRUE(locked());
        Outcome other = cadhost_run::runIn(dir, "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups '" +
                                                    cadhost_run::program().string() +
                                                    "' --batch --module '' --script other.scr plan.dxf");
        EXPECT_EQ(other.status, 0) << other.err;
        EXPECT_EQ(cadhost_run::count(other.err, kInUse), c.told) << other.err;
        EXPECT_EQ(locked(), c.holderLives) << "a lock left behind is taken over, and removed with its new session";
    }
}

} // namespace
