// cadhost as a user runs it: the program, a script and a real drawing.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

class Cadhost : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("kelmo-cadhost-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "c");
        if (!fs::exists(program)) GTEST_SKIP() << "cadhost is not built";
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs cadhost in the test's folder with the script; --module none keeps the add-in out.
    Outcome run(const std::string& script, const std::string& args = "") {
        std::ofstream(dir / "test.scr") << script;
        std::string cmd = "cd '" + dir.string() + "' && '" + program.string() + "' --c-drive '" + (dir / "c").string() +
                          "' --module '' --script test.scr " + args + " >out.txt 2>err.txt";
        Outcome r;
        int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(dir / "out.txt");
        r.err = slurp(dir / "err.txt");
        return r;
    }
    static std::string slurp(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir;
    fs::path program = fs::path(KELMO_BINARY_DIR) / "host" / "cadhost";
    std::string drawing = std::string(KELMO_DXF_DATA_DIR) + "/custom_blocks.dxf";
};

TEST_F(Cadhost, OpensSavesAsPlotsAndQuits) {
    Outcome r =
        run("; a whole session\nOPEN " + drawing + "\nSAVEAS copy.dxf\nPLOT plan.png\nPLOT plan.pdf\nQUIT\nnever\n",
            "--batch");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("Command: SAVEAS copy.dxf\n"), std::string::npos);
    EXPECT_GT(fs::file_size(dir / "copy.dxf"), 1000u);
    EXPECT_EQ(slurp(dir / "plan.png").substr(0, 4), "\x89PNG");
    EXPECT_EQ(slurp(dir / "plan.pdf").substr(0, 5), "%PDF-");
    // The copy opens again.
    Outcome again = run("OPEN copy.dxf\nPLOT again.png\n", "--batch");
    EXPECT_EQ(again.status, 0) << again.err;
    // The drawing given on the command line is current from the start.
    Outcome direct = run("PLOT direct.jpg\n", "--batch copy.dxf");
    EXPECT_EQ(direct.status, 0) << direct.err;
    EXPECT_TRUE(fs::exists(dir / "direct.jpg"));
}

TEST_F(Cadhost, ALineThatCannotBeAppliedMakesTheExitStatusNonZero) {
    Outcome r = run("OPEN " + drawing + "\nNOSUCHCOMMAND\nPLOT after.png\n", "--batch");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("test.scr:2: unknown command \"NOSUCHCOMMAND\""), std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "after.png")); // the rest of the script still runs
    Outcome dwg = run("OPEN plan.dwg\n", "--batch");
    EXPECT_EQ(dwg.status, 1);
    EXPECT_NE(dwg.err.find("DWG"), std::string::npos);
}

TEST_F(Cadhost, WrongCommandLinesAndMissingFiles) {
    Outcome bad = run("", "--no-such-option");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("unknown option --no-such-option"), std::string::npos);
    EXPECT_NE(bad.err.find("Usage: cadhost"), std::string::npos);
    Outcome missing = run("", "--batch /nonexistent/plan.dxf");
    EXPECT_EQ(missing.status, 3);
    // A folder given as the script is refused, not run as an empty script.
    Outcome folder = run("", "--script . --batch");
    EXPECT_EQ(folder.status, 3);
    EXPECT_NE(folder.err.find("cannot read the script .: it is a folder"), std::string::npos) << folder.err;
    Outcome help = run("", "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--product TEXT"), std::string::npos);
}

TEST_F(Cadhost, TellsWhatADamagedDrawingLostAndWhyAFileWasRefused) {
    const std::string data = std::string(KELMO_DXF_DATA_DIR) + "/";
    const std::string damaged = data + "R12_with_trash_beyond_EOF.dxf";
    // Opened by OPEN: the drawing is usable, and what the reader left out is said on stderr.
    Outcome opened = run("OPEN " + damaged + "\nPLOT damaged.png\n", "--batch");
    EXPECT_EQ(opened.status, 0) << opened.err;
    EXPECT_NE(opened.err.find("cadhost: " + damaged + ": "), std::string::npos) << opened.err;
    EXPECT_NE(opened.err.find("EOF"), std::string::npos) << opened.err;
    EXPECT_TRUE(fs::exists(dir / "damaged.png"));
    // Opened at startup: the same report; a clean drawing reports nothing.
    Outcome atStart = run("", "--batch '" + damaged + "'");
    EXPECT_EQ(atStart.status, 0);
    EXPECT_EQ(atStart.err, opened.err);
    EXPECT_EQ(run("OPEN " + drawing + "\n", "--batch").err, "");

    // A binary file is refused with the reader's reason; the line fails, or the run at startup.
    const std::string binary = data + "bin_dxf_r13.dxf";
    Outcome refused = run("OPEN " + binary + "\n", "--batch");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("test.scr:1: cannot open " + binary + ": "), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("binary DXF"), std::string::npos) << refused.err;
    Outcome refusedAtStart = run("", "--batch '" + binary + "'");
    EXPECT_EQ(refusedAtStart.status, 3);
    EXPECT_NE(refusedAtStart.err.find("binary DXF"), std::string::npos) << refusedAtStart.err;
}

TEST_F(Cadhost, ReadsTheTerminalAfterTheScriptUnlessBatch) {
    std::string cmd = "cd '" + dir.string() + "' && echo 'PLOT piped.png' | '" + program.string() + "' --c-drive '" +
                      (dir / "c").string() + "' --module '' '" + drawing + "' >out.txt 2>err.txt";
    int raw = std::system(cmd.c_str());
    EXPECT_EQ(WEXITSTATUS(raw), 0) << slurp(dir / "err.txt");
    EXPECT_TRUE(fs::exists(dir / "piped.png"));
    EXPECT_NE(slurp(dir / "out.txt").find("Command: PLOT piped.png\n"), std::string::npos);
}

} // namespace
