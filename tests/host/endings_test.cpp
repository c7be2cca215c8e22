// Every way a cadhost session ends says what it dropped, leaves no lock or temporary behind, and ends
// with a failure's status when a line failed: refused answers, errors, closed streams, every signal
// that ends a process, and drawings that commands open.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CadhostTerminal.h"
#include "module/CadhostRun.h"

namespace fs = std::filesystem;

namespace {

using cadhost_run::CadhostTerminal;
using cadhost_run::Outcome;
using cadhost_run::slurp;
using Kind = CadhostTerminal::Kind;

// How a standard descriptor of cadhost is given: a file in the folder, a pipe nobody reads any more,
// or none at all.
enum class Stream { File, WidowedPipe, Closed };

std::string windowsForm(const fs::path& path) {
    std::string text = "Z:" + path.string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

class Endings : public cadhost_run::PlanFolder {
protected:
    std::vector<std::string> arguments(std::vector<std::string> more, const std::vector<std::string>& drawings) const {
        std::vector<std::string> args{"--c-drive", (dir / "c").string(), "--module", cadhost_run::module().string()};
        args.insert(args.end(), more.begin(), more.end());
        args.insert(args.end(), drawings.begin(), drawings.end());
        return args;
    }
    Outcome runScript(const std::string& script, const std::vector<std::string>& drawings = {"plan.dxf"}) {
        std::ofstream(dir / "test.scr") << script;
        std::string command = "'" + cadhost_run::program().string() + "' --batch --script test.scr";
        for (const std::string& a : arguments({}, drawings)) command += " '" + a + "'";
        return cadhost_run::runIn(dir, command);
    }
    // cadhost with its standard descriptors as given (the input from test.scr's folder's in.txt, the
    // output to out.txt, errors to err.txt when given as files), SIGPIPE as a shell leaves it: its exit
    // status, 128 and the signal when one ended it, -1 when it had to be killed after a minute.
    int spawn(const std::vector<std::string>& args, Stream in, Stream out, Stream err) {
        int widowed[2] = {-1, -1};
        if (::pipe(widowed) != 0) return -2;
        ::close(widowed[0]); // nobody will ever read it
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::chdir(dir.c_str()) != 0) ::_exit(127);
            std::signal(SIGPIPE, SIG_DFL);
            const auto give = [&](int fd, Stream how, const char* file, int flags) {
                if (how == Stream::Closed) {
                    ::close(fd);
                    return;
                }
                const int from = how == Stream::WidowedPipe ? widowed[1] : ::open(file, flags, 0644);
                if (from == fd) return;
                ::dup2(from, fd);
                if (how == Stream::File) ::close(from); // it may have taken a number closed on purpose
            };
            give(0, in, "in.txt", O_RDONLY | O_CREAT);
            give(1, out, "out.txt", O_WRONLY | O_CREAT | O_TRUNC);
            give(2, err, "err.txt", O_WRONLY | O_CREAT | O_TRUNC);
            ::close(widowed[1]);
            const std::string path = cadhost_run::program().string();
            std::vector<char*> argv{const_cast<char*>(path.c_str())};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(path.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(widowed[1]);
        const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        int raw = 0;
        while (::waitpid(pid, &raw, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > until) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &raw, 0);
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    }
    std::vector<fs::path> leftBehind() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with(".~") || name.ends_with(".lock")) found.push_back(entry.path());
        }
        return found;
    }
    // The sample report, naming `drawing` in the test's folder.
    std::string reportFor(const std::string& drawing) {
        std::string text = slurp(fs::path(KELMO_SOURCE_DIR) / "samples/floorplan_report.xml");
        const auto replace = [&text](const std::string& from, const std::string& to) {
            text.replace(text.find(from), from.size(), to);
        };
        replace("<grDrawingPath></grDrawingPath>", "<grDrawingPath>" + windowsForm(dir) + "\\</grDrawingPath>");
        replace(">floorplan.dxf<", ">" + drawing + "<");
        std::ofstream(dir / "report.xml") << text;
        return "report.xml";
    }
};

TEST_F(Endings, AnAnswerAPromptRefusedAnErrorOrAnInputThatEndsInACommandFailsTheScript) {
    // Each once ended with status 0: the refused lines, the error and the unsaved work went unnoticed.
    std::ofstream(dir / "report.xml") << slurp(fs::path(KELMO_SOURCE_DIR) / "samples/floorplan_report.xml");
    struct Case {
        const char* named;
        std::string script;
        int status;
        std::string said; // on standard error
    };
    const Case cases[] = {
        {"lines a prompt refused", "magr\nreport.xml\nSAVEAS out.dxf\nPLOT out.png\nQUIT\n", 1,
         "test.scr:3: \"SAVEAS out.dxf\" is refused: Requires numeric value."},
        {"a value out of range", "mut\n-5\n300\ni\ni\nSAVE\n", 1, "test.scr:2: \"-5\" is refused: it is out of range"},
        {"a command that ended in an error", "magr\nmissing.xml\nok\n", 1,
         "test.scr:2: the line ended in an error (\"Error Detected.\" above)"},
        {"the input ended inside a command", "mus\nmsxta\n", 1,
         "the input ended while a command was still asking: the lines meant to save the work were not run"},
        {"the input ended inside a command, nothing to save", "mlb\n", 0, ""},
        {"a second OK of the block dialog", "mbe\ndlg dblclick 246 1\ndlg click 1\ndlg click 1\n", 1,
         "has no control 1 (dialog 201 \"RoomBlock\" has closed since the last dialog line)"},
        {"every line applied", "mus\nQUIT\n", 0, ""},
    };
    for (const Case& c : cases) {
        std::ofstream(dir / "plan.dxf", std::ios::binary)
            << slurp(fs::path(KELMO_SOURCE_DIR) / "samples/floorplan.dxf");
        Outcome r = runScript(c.script);
        EXPECT_EQ(r.status, c.status) << c.named << "\n" << r.err << r.out;
        if (!c.said.empty()) {
            EXPECT_NE(r.err.find(c.said), std::string::npos) << c.named << "\n" << r.err;
        }
    }
    EXPECT_FALSE(fs::exists(dir / "out.dxf")) << "the SAVEAS a prompt took was not run";
}

TEST_F(Endings, AClosedOutputOrInputEndsNothingAndTheScriptStillSaves) {
    // A reader gone (| head -1) ended cadhost by SIGPIPE before its SAVE, the lock left behind; a closed
    // standard input hung a session reading the terminal for ever.
    const std::string original = slurp(dir / "plan.dxf");
    std::ofstream(dir / "test.scr") << "mus\nSAVE\nQUIT\n";
    struct Case {
        const char* named;
        bool script;
        Stream in, out, err;
        bool saved;
    };
    const Case cases[] = {
        {"output to a pipe nobody reads", true, Stream::File, Stream::WidowedPipe, Stream::File, true},
        {"output and errors to a pipe nobody reads", true, Stream::File, Stream::WidowedPipe, Stream::WidowedPipe,
         true},
        {"output closed", true, Stream::File, Stream::Closed, Stream::File, true},
        {"input closed, the terminal read", false, Stream::Closed, Stream::File, Stream::File, false},
        {"input closed after the script", true, Stream::Closed, Stream::File, Stream::File, true},
    };
    for (const Case& c : cases) {
        std::ofstream(dir / "plan.dxf", std::ios::binary) << original;
        const int status =
            spawn(arguments(c.script ? std::vector<std::string>{"--script", "test.scr"} : std::vector<std::string>{},
                            {"plan.dxf"}),
                  c.in, c.out, c.err);
        EXPECT_EQ(status, 0) << c.named << "\n" << slurp(dir / "err.txt");
        EXPECT_EQ(slurp(dir / "plan.dxf") != original, c.saved) << c.named;
        EXPECT_EQ(leftBehind(), std::vector<fs::path>{}) << c.named;
    }
}

TEST_F(Endings, ADrawingACommandOpensIsHeldAndNamedAsOneOpenedHere) {
    // The report's drawing "mgr" opened had no lock, and its changes went with the session unnamed.
    const std::string report = reportFor("named.dxf");
    const std::string original = slurp(dir / "plan.dxf");
    const std::string dropped =
        windowsForm(dir / "named.dxf") + ": the changes made since it was last saved are discarded";
    struct Case {
        const char* named;
        int signal; // 0: QUIT
        int status;
    };
    for (const Case& c : {Case{"QUIT", 0, 0}, Case{"SIGTERM", SIGTERM, 143}, Case{"SIGQUIT", SIGQUIT, 131}}) {
        std::ofstream(dir / "named.dxf", std::ios::binary) << original;
        CadhostTerminal cadhost(Kind::Pipe, dir, arguments({}, {"plan.dxf"}));
        cadhost.type("mgr\n" + report + "\n\n\n\n\n\n\n");
        ASSERT_TRUE(cadhost.waitFor("graphic report successfully applied.")) << c.named << cadhost.output();
        ASSERT_TRUE(cadhost.waitFor("Command: ")) << c.named << cadhost.output();
        EXPECT_TRUE(fs::exists(dir / ".named.dxf.lock")) << c.named;
        // Another session is told who holds it.
        Outcome other = runScript("OPEN named.dxf\nQUIT\n", {});
        EXPECT_NE(other.err.find("named.dxf: in use by another session"), std::string::npos) << c.named << other.err;
        if (c.signal)
            cadhost.signal(c.signal);
        else
            cadhost.type("QUIT\n");
        EXPECT_EQ(cadhost.exitStatus(), c.status) << c.named << cadhost.output();
        EXPECT_EQ(cadhost_run::count(cadhost.output(), dropped), 1u) << c.named << cadhost.output();
        EXPECT_EQ(leftBehind(), std::vector<fs::path>{}) << c.named;
        EXPECT_EQ(slurp(dir / "named.dxf"), original) << c.named;
    }
}

TEST_F(Endings, EverySignalThatEndsAProcessEndsCadhostAsSigtermDoes) {
    // SIGQUIT and the others ended cadhost in silence, a save's temporary and the locks left behind; so did
    // SIGTERM with more drawings open than the handler had room for.
    cadhost_run::writeLargePlan(dir / "large.dxf", slurp(dir / "plan.dxf"));
    const std::string dropped = "large.dxf: the changes made since it was last saved are discarded";
    std::vector<std::string> many{"large.dxf"};
    for (int i = 0; i < 66; ++i) {
        const std::string name = "small" + std::to_string(i) + ".dxf";
        std::ofstream(dir / name) << "  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n  0\nEOF\n";
        many.push_back(name);
    }
    struct Case {
        const char* named;
        int signal;
        std::vector<std::string> drawings;
    };
    const Case cases[] = {
        {"SIGQUIT", SIGQUIT, {"large.dxf"}},
        {"SIGUSR1", SIGUSR1, {"large.dxf"}},
        {"SIGTERM with 67 drawings open", SIGTERM, many},
    };
    for (const Case& c : cases) {
        for (int attempt = 1;; ++attempt) {
            fs::remove(dir / "out.dxf");
            std::ofstream(dir / "test.scr") << "mus\nSAVEAS out.dxf\n";
            CadhostTerminal cadhost(Kind::Pipe, dir, arguments({"--batch", "--script", "test.scr"}, c.drawings));
            const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
            const auto saving = [&] {
                for (const auto& entry : fs::directory_iterator(dir))
                    if (entry.path().filename().string().starts_with(".~out.dxf")) return true;
                return false;
            };
            while (!saving() && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ASSERT_TRUE(saving()) << c.named << " the save began\n" << cadhost.output();
            cadhost.signal(c.signal);
            const int status = cadhost.exitStatus();
            // On a busy machine the save may end before the signal comes: then it is tried again.
            if (fs::exists(dir / "out.dxf") && attempt < 3) continue;
            EXPECT_EQ(status, 128 + c.signal) << c.named << cadhost.output();
            EXPECT_EQ(cadhost_run::count(cadhost.output(), dropped), 1u) << c.named << cadhost.output();
            EXPECT_EQ(leftBehind(), std::vector<fs::path>{}) << c.named;
            EXPECT_FALSE(fs::exists(dir / "out.dxf")) << c.named;
            break;
        }
    }
    // At the question about a file changed on disk, too.
    CadhostTerminal typed(Kind::Terminal, dir, arguments({}, {"plan.dxf"}));
    ASSERT_TRUE(typed.waitFor("Command: ")) << typed.output();
    typed.type("mus\n");
    ASSERT_TRUE(typed.waitFor("Command: ")) << typed.output();
    std::ofstream(dir / "plan.dxf", std::ios::app) << "999\nanother program's\n";
    typed.type("SAVE\n");
    ASSERT_TRUE(typed.waitFor("Replace it with this drawing?")) << typed.output();
    typed.signal(SIGQUIT);
    EXPECT_EQ(typed.exitStatus(), 128 + SIGQUIT) << typed.output();
    EXPECT_EQ(cadhost_run::count(typed.output(), "plan.dxf: the changes made since it was last saved are discarded"),
              1u)
        << typed.output();
    EXPECT_EQ(leftBehind(), std::vector<fs::path>{});
}

TEST_F(Endings, TheHelpListsTheSignalsStatus) {
    Outcome help = cadhost_run::runIn(dir, "'" + cadhost_run::program().string() + "' --help");
    EXPECT_NE(help.out.find("128 plus the signal when a"), std::string::npos) << help.out;
}

} // namespace
