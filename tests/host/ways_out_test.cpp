// The ways out of cadhost with unsaved changes, and what a user typing at it is shown: on a
// pseudo-terminal and through a pipe, with the module on the sample floor plan.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CadhostTerminal.h"
#include "module/CadhostRun.h"
#include "support/EntryFixture.h"
#include "support/KilledWrite.h"

namespace fs = std::filesystem;

namespace {

using cadhost_run::CadhostTerminal;
using cadhost_run::Outcome;
using cadhost_run::slurp;
using Kind = CadhostTerminal::Kind;

const std::string kFirstPrompt = "Sync XData name to name attribute? <1>:";
const std::string kDropped = "plan.dxf: the changes made since it was last saved are discarded";

class WaysOut : public cadhost_run::PlanFolder {
protected:
    void SetUp() override {
        PlanFolder::SetUp();
        if (IsSkipped()) return;
        original = slurp(dir / "plan.dxf");
    }

    std::vector<std::string> arguments(std::vector<std::string> more = {},
                                       const std::vector<std::string>& drawings = {"plan.dxf"}) const {
        std::vector<std::string> args{"--c-drive", (dir / "c").string(), "--module", cadhost_run::module().string()};
        args.insert(args.end(), more.begin(), more.end());
        args.insert(args.end(), drawings.begin(), drawings.end());
        return args;
    }
    std::unique_ptr<CadhostTerminal> start(Kind kind, const std::vector<std::string>& drawings = {"plan.dxf"}) {
        return std::make_unique<CadhostTerminal>(kind, dir, arguments({}, drawings));
    }
    Outcome runScript(const std::string& script, const std::vector<std::string>& drawings = {"plan.dxf"}) {
        std::ofstream(dir / "test.scr") << script;
        std::string command = "'" + cadhost_run::program().string() + "' --batch --script test.scr";
        for (const std::string& a : arguments({}, drawings)) command += " '" + a + "'";
        return cadhost_run::runIn(dir, command);
    }
    // A second copy of the plan, for sessions over two drawings.
    void addSecondPlan() { std::ofstream(dir / "second.dxf", std::ios::binary) << original; }
    bool planSaved() const { return slurp(dir / "plan.dxf") != original; }

    std::string original;
};

const char* name(Kind kind) {
    return kind == Kind::Terminal ? "terminal" : "pipe";
}

TEST_F(WaysOut, CtrlCCancelsThePromptTheDialogOrNothingAndTheSessionGoesOn) {
    for (Kind kind : {Kind::Terminal, Kind::Pipe}) {
        auto cadhost = start(kind);
        ASSERT_TRUE(cadhost->waitFor("Command: ")) << name(kind) << cadhost->output();
        cadhost->interrupt(); // at the command line: a new command prompt
        ASSERT_TRUE(cadhost->waitFor("Command: ")) << name(kind) << cadhost->output();
        cadhost->type("msxta\n");
        ASSERT_TRUE(cadhost->waitFor(kFirstPrompt)) << name(kind) << cadhost->output();
        cadhost->interrupt(); // once ended the session at once (130), the drawing's edits gone
        ASSERT_TRUE(cadhost->waitFor("Sync XData area to area attribute? <1>:")) << name(kind) << cadhost->output();
        cadhost->type("\n");
        ASSERT_TRUE(cadhost->waitFor("perimeter")) << name(kind) << cadhost->output();
        cadhost->type("\n");
        ASSERT_TRUE(cadhost->waitFor("Recalculate")) << name(kind) << cadhost->output();
        cadhost->type("\n");
        ASSERT_TRUE(cadhost->waitFor("Command: ")) << name(kind) << cadhost->output();
        cadhost->type("mprefs\n");
        ASSERT_TRUE(cadhost->waitFor("\"Brenvik - Preferences\" modal visible")) << name(kind) << cadhost->output();
        cadhost->interrupt(); // as Escape
        ASSERT_TRUE(cadhost->waitFor("dialog 216 \"Brenvik - Preferences\" closed")) << name(kind) << cadhost->output();
        ASSERT_TRUE(cadhost->waitFor("Command: ")) << name(kind) << cadhost->output();
        cadhost->type("SAVE\n");
        ASSERT_TRUE(cadhost->waitFor("Saved ")) << name(kind) << cadhost->output();
        cadhost->type("QUIT\n");
        EXPECT_EQ(cadhost->exitStatus(), 0) << name(kind) << cadhost->output();
        EXPECT_TRUE(planSaved()) << name(kind);
        std::ofstream(dir / "plan.dxf", std::ios::binary) << original;
    }
}

TEST_F(WaysOut, TheEndOfInputAtAPromptCancelsTheCommandAndAtTheCommandLineIsQuit) {
    // At a terminal the session goes on after the command, and Ctrl-D at the command line asks.
    auto typed = start(Kind::Terminal);
    ASSERT_TRUE(typed->waitFor("Command: ")) << typed->output();
    typed->type("msxta\n");
    ASSERT_TRUE(typed->waitFor(kFirstPrompt)) << typed->output();
    typed->endInput();
    ASSERT_TRUE(typed->waitFor("Command: ")) << typed->output();
    typed->endInput();
    ASSERT_TRUE(typed->waitFor("[cadhost] Save changes to ")) << typed->output();
    ASSERT_TRUE(typed->waitFor("plan.dxf? (yes, no or cancel)")) << typed->output();
    typed->type("yes\n");
    EXPECT_EQ(typed->exitStatus(), 0) << typed->output();
    EXPECT_TRUE(planSaved());
    EXPECT_EQ(typed->output().find(kDropped), std::string::npos) << typed->output();

    // Through a pipe nobody can be asked: the session ends, naming the drawing whose changes are dropped.
    std::ofstream(dir / "plan.dxf", std::ios::binary) << original;
    auto piped = start(Kind::Pipe);
    piped->type("msxta\n");
    ASSERT_TRUE(piped->waitFor(kFirstPrompt)) << piped->output();
    piped->endInput();
    // The input ended inside the command, its work unsaved: a failure.
    EXPECT_EQ(piped->exitStatus(), 1) << piped->output();
    std::string named = "cadhost: Z:" + (dir / kDropped).string();
    std::replace(named.begin(), named.end(), '/', '\\');
    EXPECT_NE(piped->output().find(named), std::string::npos) << piped->output();
    EXPECT_FALSE(planSaved());
}

TEST_F(WaysOut, QuitAndCloseAskAtATerminalWhetherToSaveTheChanges) {
    auto cadhost = start(Kind::Terminal);
    auto step = [&](const std::string& line, const std::string& shown) {
        cadhost->type(line);
        return cadhost->waitFor(shown);
    };
    ASSERT_TRUE(cadhost->waitFor("Command: ")) << cadhost->output();
    ASSERT_TRUE(step("mus\n", "Command: ")) << cadhost->output();
    ASSERT_TRUE(step("CLOSE\n", "Save changes to ")) << cadhost->output();
    ASSERT_TRUE(step("cancel\n", "Command: ")) << cadhost->output();
    ASSERT_TRUE(step("PLOT kept.png\n", "Plotted to ")) << "the drawing is still open\n" << cadhost->output();
    ASSERT_TRUE(step("CLOSE\n", "Save changes to ")) << cadhost->output();
    ASSERT_TRUE(step("no\n", "Command: ")) << cadhost->output();
    EXPECT_FALSE(planSaved());
    ASSERT_TRUE(step("OPEN plan.dxf\n", "Command: ")) << cadhost->output();
    ASSERT_TRUE(step("mus\n", "Command: ")) << cadhost->output();
    ASSERT_TRUE(step("QUIT\n", "Save changes to ")) << cadhost->output();
    cadhost->type("\n"); // Enter saves
    EXPECT_EQ(cadhost->exitStatus(), 0) << cadhost->output();
    EXPECT_TRUE(planSaved());
    EXPECT_EQ(cadhost->output().find(kDropped), std::string::npos) << "the user chose\n" << cadhost->output();
}

TEST_F(WaysOut, ANoHoldsForTheQuitThatAskedItAndACancelledQuitAsksAboutEveryDrawingAgain) {
    // A "no" for the first drawing once held for good after the question about the second was
    // cancelled: later QUITs and CLOSEs dropped its new work in silence.
    struct Case {
        const char* named;
        std::function<void(CadhostTerminal&)> goBack;
        int status; // a failed save is a failure of the session
    };
    const Case cases[] = {
        {"cancel", [](CadhostTerminal& t) { t.type("cancel\n"); }, 0},
        {"Ctrl-C", [](CadhostTerminal& t) { t.interrupt(); }, 0},
        {"Ctrl-D", [](CadhostTerminal& t) { t.endInput(); }, 0},
        {"a failed save",
         [this](CadhostTerminal& t) {
             fs::permissions(dir / "second.dxf", fs::perms::owner_read);
             t.type("yes\n");
         },
         1},
    };
    const std::string first = "plan.dxf? (yes, no or cancel)", second = "second.dxf? (yes, no or cancel)";
    for (const Case& c : cases) {
        addSecondPlan();
        auto cadhost = start(Kind::Terminal, {"plan.dxf", "second.dxf"});
        auto step = [&](const std::string& line, const std::string& shown) {
            cadhost->type(line);
            return cadhost->waitFor(shown);
        };
        ASSERT_TRUE(cadhost->waitFor("Command: ")) << c.named << cadhost->output();
        ASSERT_TRUE(step("mus\n", "Command: ")) << c.named << cadhost->output();
        ASSERT_TRUE(step("OPEN second.dxf\n", "Command: ")) << c.named << cadhost->output();
        ASSERT_TRUE(step("mus\n", "Command: ")) << c.named << cadhost->output();
        ASSERT_TRUE(step("QUIT\n", first)) << c.named << cadhost->output();
        ASSERT_TRUE(step("no\n", second)) << c.named << cadhost->output();
        c.goBack(*cadhost);
        ASSERT_TRUE(cadhost->waitFor("Command: ")) << c.named << cadhost->output();
        fs::permissions(dir / "second.dxf", fs::perms::owner_read | fs::perms::owner_write);
        ASSERT_TRUE(step("CLOSE\n", second)) << c.named << cadhost->output();
        ASSERT_TRUE(step("cancel\n", "Command: ")) << c.named << cadhost->output();
        ASSERT_TRUE(step("QUIT\n", first)) << c.named << "\nasked again\n" << cadhost->output();
        ASSERT_TRUE(step("no\n", second)) << c.named << cadhost->output();
        cadhost->type("no\n");
        EXPECT_EQ(cadhost->exitStatus(), c.status) << c.named << cadhost->output();
        EXPECT_FALSE(planSaved()) << c.named;
        EXPECT_EQ(slurp(dir / "second.dxf"), original) << c.named;
    }
    // With nobody to ask, both are named.
    Outcome script = runScript("mus\nOPEN second.dxf\nmus\nQUIT\n", {"plan.dxf", "second.dxf"});
    EXPECT_EQ(script.status, 0) << script.err;
    EXPECT_EQ(cadhost_run::count(script.err, kDropped), 1u) << script.err;
    EXPECT_EQ(cadhost_run::count(script.err, "second.dxf: the changes made since"), 1u) << script.err;
}

TEST_F(WaysOut, ARefusedAnswerToTheSaveQuestionIsAskedAgainAndLeavesTheExitStatus) {
    struct Case {
        const char* refused;
        const char* then;
        bool saved;
    };
    const Case cases[] = {{"maybe", "no", false}, {"y", "yes", true}, {"n", "no", false}, {"ok", "", true}};
    for (const Case& c : cases) {
        std::ofstream(dir / "plan.dxf", std::ios::binary) << original;
        auto cadhost = start(Kind::Terminal);
        ASSERT_TRUE(cadhost->waitFor("Command: ")) << c.refused << cadhost->output();
        cadhost->type("mus\n");
        ASSERT_TRUE(cadhost->waitFor("Command: ")) << c.refused << cadhost->output();
        cadhost->type("QUIT\n");
        ASSERT_TRUE(cadhost->waitFor("plan.dxf? (yes, no or cancel)")) << c.refused << cadhost->output();
        cadhost->type(std::string(c.refused) + "\n");
        ASSERT_TRUE(
            cadhost->waitFor("\"" + std::string(c.refused) + "\" does not answer a message box (yes/no/cancel)"))
            << cadhost->output();
        ASSERT_TRUE(cadhost->waitFor("plan.dxf? (yes, no or cancel)")) << c.refused << "\nasked again\n"
                                                                       << cadhost->output();
        cadhost->type(std::string(c.then) + "\n");
        EXPECT_EQ(cadhost->exitStatus(), 0) << c.refused << cadhost->output();
        EXPECT_EQ(planSaved(), c.saved) << c.refused;
    }
    // A modal dialog refuses a line that is no dialog action alike.
    auto cadhost = start(Kind::Terminal);
    ASSERT_TRUE(cadhost->waitFor("Command: ")) << cadhost->output();
    cadhost->type("mprefs\n");
    ASSERT_TRUE(cadhost->waitFor("modal visible")) << cadhost->output();
    cadhost->type("yes\n");
    ASSERT_TRUE(cadhost->waitFor("\"yes\" cannot be applied while a dialog is open")) << cadhost->output();
    cadhost->type("dlg esc\n");
    ASSERT_TRUE(cadhost->waitFor("Command: ")) << cadhost->output();
    cadhost->type("QUIT\n");
    EXPECT_EQ(cadhost->exitStatus(), 0) << cadhost->output();
}

std::vector<fs::path> temporariesIn(const fs::path& folder) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().starts_with(".~")) found.push_back(entry.path());
    return found;
}

TEST_F(WaysOut, ASignalThatEndsCadhostNamesTheDrawingsItDropsAndLeavesNoHalfWrittenFile) {
    // SIGTERM, SIGHUP and Ctrl-C in batch mode once ended cadhost without a word, and a save they
    // cut short left its temporary file beside the target.
    struct Case {
        const char* named;
        Kind kind;
        int signal;
        bool batch, duringSave, targetThere;
    };
    const Case cases[] = {
        {"SIGHUP at a terminal", Kind::Terminal, SIGHUP, false, false, false},
        {"SIGTERM through a pipe", Kind::Pipe, SIGTERM, false, false, false},
        {"SIGTERM in a save over a file", Kind::Pipe, SIGTERM, false, true, true},
        {"SIGHUP in a new file's save", Kind::Terminal, SIGHUP, false, true, false},
        {"SIGINT in a batch save", Kind::Pipe, SIGINT, true, true, false},
    };
    cadhost_run::writeLargePlan(dir / "large.dxf", original);
    const std::string dropped = "large.dxf: the changes made since it was last saved are discarded";
    const std::string earlier = "the earlier copy\n";
    for (const Case& c : cases) {
        for (int attempt = 1;; ++attempt) {
            fs::remove(dir / "out.dxf");
            if (c.targetThere) std::ofstream(dir / "out.dxf") << earlier;
            std::ofstream(dir / "test.scr") << "mus\n" << (c.duringSave ? "SAVEAS out.dxf\n" : "");
            auto args = arguments(
                c.batch ? std::vector<std::string>{"--batch", "--script", "test.scr"} : std::vector<std::string>{},
                {"large.dxf"});
            CadhostTerminal cadhost(c.kind, dir, args);
            if (!c.batch) {
                ASSERT_TRUE(cadhost.waitFor("Command: ")) << c.named << cadhost.output();
                cadhost.type(c.duringSave ? "mus\nSAVEAS out.dxf\n" : "mus\n");
            }
            if (c.duringSave) {
                const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
                while (temporariesIn(dir).empty() && std::chrono::steady_clock::now() < until)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                ASSERT_FALSE(temporariesIn(dir).empty()) << c.named << " the save began\n" << cadhost.output();
            } else {
                ASSERT_TRUE(cadhost.waitFor("Kelmo Update Spaces")) << c.named << cadhost.output();
                ASSERT_TRUE(cadhost.waitFor("Command: ")) << c.named << cadhost.output();
            }
            cadhost.signal(c.signal);
            const int status = cadhost.exitStatus();
            // On a busy machine the save may end before the signal comes: then it is tried again.
            const bool savedFirst = fs::exists(dir / "out.dxf") && slurp(dir / "out.dxf") != earlier;
            if (savedFirst && attempt < 3) continue;
            EXPECT_EQ(status, 128 + c.signal) << c.named << cadhost.output();
            EXPECT_EQ(cadhost_run::count(cadhost.output(), dropped), 1u) << c.named << cadhost.output();
            EXPECT_EQ(temporariesIn(dir), std::vector<fs::path>{}) << c.named;
            EXPECT_FALSE(fs::exists(dir / ".large.dxf.lock")) << c.named << ": the lock goes with the session";
            EXPECT_EQ(fs::exists(dir / "out.dxf") ? slurp(dir / "out.dxf") : "(none)",
                      c.targetThere ? earlier : "(none)")
                << c.named;
            break;
        }
    }
}

TEST_F(WaysOut, TheTemporaryFilesOfAKilledSaveAreRemovedByTheNextSaveToTheirFolder) {
    const auto anHourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
    const fs::path killed = kelmo_test::temporaryOfAKilledWrite((dir / "large.dxf").string());
    const fs::path killedHere = kelmo_test::temporaryOfAKilledWrite((dir / "plan.dxf").string());
    ASSERT_FALSE(killed.empty());
    ASSERT_FALSE(killedHere.empty());
    fs::last_write_time(killed, anHourAgo);
    // Writes under way in a process that lives on: one holds its temporary, one has just made it.
    const kelmo_test::WriteUnderWay held((dir / "other.dxf").string());
    kelmo_test::WriteUnderWay begun((dir / "another.dxf").string());
    begun.unlock();
    const fs::path notOne = dir / ".~large.dxf.notours";
    std::ofstream(notOne) << "someone's\n";
    fs::last_write_time(notOne, anHourAgo);
    Outcome r = runScript("mus\nSAVE\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_FALSE(fs::exists(killedHere));
    for (const fs::path& kept : {fs::path(held.path()), fs::path(begun.path()), notOne})
        EXPECT_TRUE(fs::exists(kept)) << kept;
}

TEST_F(WaysOut, ACommandThatChangedNothingLeavesTheDrawingUnchanged) {
    // Each once marked the drawing changed, and QUIT asked about a file that would save byte for byte.
    struct Case {
        std::string script;
        bool changed;
    };
    const std::string updated = "mus\nSAVE\n", synced = "msxta\n\n\n\n\nSAVE\n"; // the plan up to date, saved
    const Case cases[] = {
        {updated + "mut\ni\ni\ni\n", false},                                                  // every value ignored
        {"maux\n", false},                                                                    // every block has its tag
        {updated + "mus\n", false},                                                           // nothing to update
        {synced + "msxta\n\n\n\n\n", false},                                                  // nothing to sync
        {"mbe\ndlg select 246 1\ndlg dblclick 246 1\ndlg click 285\ndlg click 286\n", false}, // Cancel
        {updated + "mus\nmus\nmaux\n", false},
        {"mus\n", true},
        {updated + "msxta\n\n\n\n\n", true},
        {updated + "mut\n300\ni\ni\n", true},
    };
    for (const Case& c : cases) {
        Outcome r = runScript(c.script + "QUIT\n");
        EXPECT_EQ(r.status, 0) << c.script << r.err;
        EXPECT_EQ(cadhost_run::count(r.err, kDropped), c.changed ? 1u : 0u) << c.script << r.err;
        std::ofstream(dir / "plan.dxf", std::ios::binary) << original;
    }
    // At a terminal QUIT does not ask.
    auto cadhost = start(Kind::Terminal);
    ASSERT_TRUE(cadhost->waitFor("Command: ")) << cadhost->output();
    cadhost->type("mus\n");
    ASSERT_TRUE(cadhost->waitFor("Command: ")) << cadhost->output();
    cadhost->type("SAVE\n");
    ASSERT_TRUE(cadhost->waitFor("Command: ")) << cadhost->output();
    cadhost->type("mut\n");
    for (const char* value : {"Size", "Scale", "Rotation"}) {
        ASSERT_TRUE(cadhost->waitFor("Enter new Text " + std::string(value) + " or (i)gnore")) << cadhost->output();
        cadhost->type("i\n");
    }
    ASSERT_TRUE(cadhost->waitFor("Command: ")) << cadhost->output();
    cadhost->type("QUIT\n");
    EXPECT_EQ(cadhost->exitStatus(), 0) << cadhost->output();
    EXPECT_EQ(cadhost->output().find("Save changes to"), std::string::npos) << cadhost->output();
}

TEST_F(WaysOut, AScriptNamesEachDrawingWhoseChangesAreDropped) {
    struct Case {
        std::string script;
        bool named;
    };
    const Case cases[] = {
        {"mus\nQUIT\n", true},
        {"mus\n", true}, // the end of the script
        {"mus\nCLOSE\nOPEN plan.dxf\n", true},
        {"mus\nSAVE\nQUIT\n", false},
        {"PLOT plan.png\nmlb\nQUIT\n", false}, // nothing changed
    };
    for (const Case& c : cases) {
        Outcome r = runScript(c.script);
        EXPECT_EQ(r.status, 0) << c.script << r.err;
        EXPECT_EQ(cadhost_run::count(r.err, kDropped), c.named ? 1u : 0u) << c.script << r.err;
        std::ofstream(dir / "plan.dxf", std::ios::binary) << original;
    }
    Outcome help = cadhost_run::runIn(dir, "'" + cadhost_run::program().string() + "' --help");
    for (const char* said : {"QUIT (or EXIT) and CLOSE, typed at a terminal, ask", "a line on standard error names it",
                             "The end of input (Ctrl-D", "Ctrl-C cancels what is being asked"})
        EXPECT_NE(help.out.find(said), std::string::npos) << said;
}

TEST_F(WaysOut, ARefusedControlCharacterLineShowsWhatWaitsAgain) {
    for (Kind kind : {Kind::Terminal, Kind::Pipe}) {
        auto cadhost = start(kind);
        ASSERT_TRUE(cadhost->waitFor("Command: ")) << name(kind) << cadhost->output();
        cadhost->type("\x1b[A\n"); // an arrow key
        ASSERT_TRUE(cadhost->waitFor("(ESC at column 1) and is refused")) << name(kind) << cadhost->output();
        ASSERT_TRUE(cadhost->waitFor("Command: ")) << name(kind) << cadhost->output();
        cadhost->type("msxta\n");
        ASSERT_TRUE(cadhost->waitFor(kFirstPrompt)) << name(kind) << cadhost->output();
        cadhost->type("\x0c\n"); // Ctrl-L
        ASSERT_TRUE(cadhost->waitFor("(FF at column 1) and is refused")) << name(kind) << cadhost->output();
        ASSERT_TRUE(cadhost->waitFor(kFirstPrompt)) << name(kind) << cadhost->output();
        for (const char* next : {"Sync XData area", "perimeter", "Recalculate", "Command: "}) {
            cadhost->type("\n");
            ASSERT_TRUE(cadhost->waitFor(next)) << name(kind) << cadhost->output();
        }
        cadhost->type("foo\n"); // an unknown command points to what lists the commands
        ASSERT_TRUE(
            cadhost->waitFor("Unknown command \"FOO\".  Type m? for the module's commands, or see cadhost "
                             "--help.\n"))
            << name(kind) << cadhost->output();
    }
}

TEST_F(WaysOut, TheFirstDialogShownAtATerminalSaysHowToAnswerIt) {
    fs::remove_all(dir / "c");
    const std::string how = "(Answer a dialog with dlg lines: \"dlg click ID\" presses the button numbered ID";
    auto cadhost = start(Kind::Terminal);
    ASSERT_TRUE(cadhost->waitFor("dialog 216 \"Brenvik - Preferences\" modal visible")) << cadhost->output();
    ASSERT_TRUE(cadhost->waitFor(how)) << cadhost->output();
    ASSERT_TRUE(cadhost->waitFor("\"dlg esc\" cancels; cadhost --help lists them all.)\n")) << cadhost->output();
    cadhost->type("dlg click 1\n");
    ASSERT_TRUE(cadhost->waitFor("Command: ")) << cadhost->output();
    cadhost->type("mprefs\n");
    ASSERT_TRUE(cadhost->waitFor("modal visible")) << cadhost->output();
    cadhost->type("dlg esc\n");
    ASSERT_TRUE(cadhost->waitFor("Command: ")) << cadhost->output();
    cadhost->type("QUIT\n");
    EXPECT_EQ(cadhost->exitStatus(), 0) << cadhost->output();
    EXPECT_EQ(cadhost_run::count(cadhost->output(), how), 1u) << "said once\n" << cadhost->output();
    // A script already answers its dialogs.
    fs::remove_all(dir / "c");
    Outcome script = runScript("dlg click 1\n");
    EXPECT_EQ(script.status, 0) << script.err;
    EXPECT_EQ(script.out.find(how), std::string::npos);
}

} // namespace
