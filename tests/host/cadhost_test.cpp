// cadhost as a user runs it: the program, a script and a real drawing.
#include <gtest/gtest.h>

#include <sched.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "module/CadhostRun.h"
#include "support/KilledWrite.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kLineLimit = 1 << 20; // bytes in a line cadhost reads

using cadhost_run::Outcome;
using cadhost_run::slurp;

class Cadhost : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("kelmo-cadhost-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "c");
        if (!fs::exists(program)) GTEST_SKIP() << "cadhost is not built";
        // Each test opens its own copy, beside its folder: sessions of tests running at once would each
        // hold the one file.
        data = dir.string() + "-data";
        fs::remove_all(data);
        fs::create_directories(data);
        fs::copy_file(drawing, data / "custom_blocks.dxf");
        drawing = (data / "custom_blocks.dxf").string();
    }
    void TearDown() override {
        for (const fs::path& at : mounts_) ::umount2(at.c_str(), MNT_DETACH);
        fs::remove_all(dir);
        if (!data.empty()) fs::remove_all(data);
    }

    // Runs cadhost in the test's folder with the script; --module none keeps the add-in out.
    // wrap comes before the program (another user, a time limit).
    Outcome run(const std::string& script, const std::string& args = "", const std::string& wrap = "") {
        std::ofstream(dir / "test.scr", std::ios::binary) << script;
        return cadhost_run::runIn(dir, wrap + " '" + program.string() + "' --c-drive '" + (dir / "c").string() +
                                           "' --module '' --script test.scr " + args);
    }
    // A disk of its own at dir/name: a tmpfs (mount options as mount(8) takes them) in a mount
    // namespace of the test program, so it goes when the program ends whatever happens. False
    // where mounting is not allowed.
    bool mountDisk(const std::string& name, const std::string& options, unsigned long flags = 0) {
        static const bool ownNamespace =
            ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        fs::path at = dir / name;
        fs::create_directories(at);
        if (!ownNamespace || ::mount("tmpfs", at.c_str(), "tmpfs", flags, options.c_str()) != 0) return false;
        mounts_.push_back(at);
        return true;
    }
    // Writes to the file until the disk is full.
    static void fillDisk(const fs::path& file) {
        std::ofstream out(file, std::ios::binary);
        const std::string block(4096, 'x');
        while (out.write(block.data(), static_cast<std::streamsize>(block.size())) && out.flush()) {}
    }
    // The names in a folder that begin ".~": temporaries left behind.
    static std::vector<std::string> temporariesIn(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().filename().string().rfind(".~", 0) == 0) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::vector<fs::path> mounts_;
    fs::path dir, data;
    fs::path program = cadhost_run::program();
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

TEST_F(Cadhost, ALineHoldingAControlCharacterIsRefusedWithItsPlace) {
    fs::copy_file(drawing, dir / "victim.dxf");
    const std::string before = slurp(dir / "victim.dxf");
    struct Case {
        std::string line, named;
    };
    const Case cases[] = {
        // A NUL cut the name short: the drawing was overwritten by a PNG.
        {std::string("PLOT victim.dxf\0.png", 21), "NUL at column 16"},
        {std::string("OPEN victim.dxf\0.png", 20), "NUL at column 16"},
        {std::string("\0PLOT x.png", 11), "NUL at column 1"},
        {"PLOT bell\a.png", "BEL at column 10"},
        {"PLOT cr\r.png", "CR at column 8"},
        {"PLOT del\x7f.png", "DEL at column 9"},
        {"PLOT esc\x1b.png", "ESC at column 9"}, // reached file names through file dialogs
        {"PLOT next\xC2\x85.png", "U+0085 at column 10"},
    };
    const Case notUtf8[] = {
        // Windows-1252 text: the name was changed to "caf\uFFFD.png" on its way.
        {"PLOT caf\xE9.png", "byte 0xE9 at column 9"},
        {"PLOT \xC0\xAE.png", "byte 0xC0 at column 6"},     // an overlong "."
        {"PLOT \xED\xA0\x80.png", "byte 0xED at column 6"}, // a surrogate
        {"PLOT end\xE2\x82", "byte 0xE2 at column 9"},      // cut short
    };
    for (const Case& c : cases) {
        Outcome r = run(c.line + "\nPLOT after.png\n", "--batch victim.dxf");
        EXPECT_EQ(r.status, 1) << c.named;
        EXPECT_NE(r.err.find("test.scr:1: the line holds a control character (" + c.named + ") and is refused"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(slurp(dir / "victim.dxf"), before) << c.named;
        EXPECT_TRUE(fs::exists(dir / "after.png")) << c.named; // the next line still runs
        fs::remove(dir / "after.png");
    }
    EXPECT_NE(run("PLOT esc\x1b.png\n", "--batch victim.dxf").err.find("and is refused; *Cancel* cancels"),
              std::string::npos);
    for (const Case& c : notUtf8) {
        Outcome r = run(c.line + "\n", "--batch victim.dxf");
        EXPECT_EQ(r.status, 1) << c.named;
        EXPECT_NE(r.err.find("test.scr:1: the line is not UTF-8 text (" + c.named + ") and is refused"),
                  std::string::npos)
            << r.err;
    }
    Outcome utf8 = run("PLOT caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8F\xA0.png\n", "--batch victim.dxf");
    EXPECT_EQ(utf8.status, 0) << utf8.err;
    EXPECT_TRUE(fs::exists(dir / "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8F\xA0.png"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()),
              6); // c, script, out, err, victim, plot
    EXPECT_FALSE(fs::exists(dir / "victim.dxf.png"));
    EXPECT_FALSE(fs::exists(dir / "x.png"));
    // A tab separates words as a blank does.
    Outcome tab = run("PLOT\ttab.png\n", "--batch victim.dxf");
    EXPECT_EQ(tab.status, 0) << tab.err;
    EXPECT_TRUE(fs::exists(dir / "tab.png"));
}

TEST_F(Cadhost, AnInputWithALineBeyondAnyScriptIsNotReadFurther) {
    // /dev/zero as the script read one line for ever, until memory ran out; a device is no script now.
    Outcome zero = run("", "--batch --script /dev/zero '" + drawing + "'", "timeout 60");
    EXPECT_EQ(zero.status, 3);
    EXPECT_NE(zero.err.find("cannot read the script /dev/zero: it is a device, not a file"), std::string::npos)
        << zero.err;
    ASSERT_EQ(::mkfifo((dir / "pipe.scr").c_str(), 0644), 0);
    Outcome pipe = run("", "--batch --script pipe.scr '" + drawing + "'", "timeout 60");
    EXPECT_EQ(pipe.status, 3);
    EXPECT_NE(pipe.err.find("cannot read the script pipe.scr: it is a named pipe, not a file"), std::string::npos)
        << pipe.err;
    Outcome longLine =
        run("PLOT first.png\n" + std::string(2 << 20, 'x') + "\nPLOT never.png\n", "--batch '" + drawing + "'");
    EXPECT_EQ(longLine.status, 1);
    EXPECT_NE(longLine.err.find("test.scr:2: the line is longer than"), std::string::npos) << longLine.err;
    EXPECT_TRUE(fs::exists(dir / "first.png"));
    EXPECT_FALSE(fs::exists(dir / "never.png"));
    // A line just within the limit is read as any other.
    Outcome longest = run(std::string(kLineLimit - 1, ';') + "\nPLOT last.png\n", "--batch '" + drawing + "'");
    EXPECT_EQ(longest.status, 0) << longest.err;
    EXPECT_TRUE(fs::exists(dir / "last.png"));
}

TEST_F(Cadhost, AByteOrderMarkBeforeTheFirstCommandIsSkipped) {
    Outcome r = run("\xEF\xBB\xBFPLOT first.png\r\nPLOT second.png\r\n", "--batch '" + drawing + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "first.png"));
    EXPECT_TRUE(fs::exists(dir / "second.png"));
    // Only at the start: further on it is the text it is.
    Outcome later = run("PLOT first.png\n\xEF\xBB\xBFPLOT second.png\n", "--batch '" + drawing + "'");
    EXPECT_EQ(later.status, 1);
}

TEST_F(Cadhost, OnlyRegularFilesOpenAndTheOpenDrawingsStay) {
    ASSERT_EQ(::mkfifo((dir / "pipe.dxf").c_str(), 0644), 0);
    struct Case {
        std::string path, why;
    };
    const Case cases[] = {
        {"/dev/zero", "it is a device, not a file"},    // read for ever until memory ran out
        {"pipe.dxf", "it is a named pipe, not a file"}, // waited for ever for a writer
        {".", "it is a folder"},
        {"loop1.dxf", "its symbolic links go round in a circle"}, // once "not found"
        {std::string(300, 'n') + ".dxf", "the file name is too long"},
        {"missing.dxf", "the file does not exist"},
    };
    fs::create_symlink("loop2.dxf", dir / "loop1.dxf");
    fs::create_symlink("loop1.dxf", dir / "loop2.dxf");
    for (const Case& c : cases) {
        Outcome r = run("OPEN " + c.path + "\nPLOT still.png\n", "--batch '" + drawing + "'", "timeout 60");
        EXPECT_EQ(r.status, 1) << c.path << ": " << r.err;
        EXPECT_NE(r.err.find("test.scr:1: cannot open " + c.path + ": "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.why), std::string::npos) << r.err;
        EXPECT_TRUE(fs::exists(dir / "still.png")) << c.path;
        fs::remove(dir / "still.png");
    }
}

TEST_F(Cadhost, SavingAndPlottingThroughALinkReplaceTheFileItLeadsTo) {
    fs::create_directories(dir / "real");
    std::ofstream(dir / "real" / "plan.dxf") << "old";
    std::ofstream(dir / "real" / "plan.png") << "old";
    fs::create_symlink("real/plan.dxf", dir / "link.dxf");
    fs::create_symlink(dir / "real" / "plan.png", dir / "link.png");
    fs::create_symlink("link.dxf", dir / "chain.dxf");
    fs::create_symlink("real/new.dxf", dir / "dangling.dxf");
    Outcome r =
        run("SAVEAS link.dxf\nPLOT link.png\nSAVEAS dangling.dxf\nSAVEAS chain.dxf\n", "--batch '" + drawing + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* link : {"link.dxf", "link.png", "chain.dxf", "dangling.dxf"})
        EXPECT_TRUE(fs::is_symlink(dir / link)) << link;
    EXPECT_GT(fs::file_size(dir / "real" / "plan.dxf"), 1000u);
    EXPECT_EQ(slurp(dir / "real" / "plan.png").substr(0, 4), "\x89PNG");
    EXPECT_GT(fs::file_size(dir / "real" / "new.dxf"), 1000u);
    EXPECT_TRUE(temporariesIn(dir).empty());
    EXPECT_TRUE(temporariesIn(dir / "real").empty());

    // What is no file is refused and left as it is.
    ASSERT_EQ(::mkfifo((dir / "pipe.dxf").c_str(), 0644), 0);
    fs::create_symlink("/dev/null", dir / "null.dxf");
    fs::create_symlink("loop2.dxf", dir / "loop1.dxf");
    fs::create_symlink("loop1.dxf", dir / "loop2.dxf");
    fs::create_symlink("/dev/null", dir / "null.png");
    const char* const reasons[] = {"test.scr:1: cannot save ",
                                   "the file cannot be written: it is a named pipe, not a file",
                                   "test.scr:2: cannot save ",
                                   "the file cannot be written: it is a device, not a file",
                                   "test.scr:3: cannot save ",
                                   "the file cannot be written: its symbolic links go round in a circle",
                                   "test.scr:4: cannot plot to null.png: cannot write ",
                                   "null.png: it is a device, not a file"};
    Outcome refused =
        run("SAVEAS pipe.dxf\nSAVEAS null.dxf\nSAVEAS loop1.dxf\nPLOT null.png\n", "--batch '" + drawing + "'");
    EXPECT_EQ(refused.status, 1);
    for (const char* reason : reasons)
        EXPECT_NE(refused.err.find(reason), std::string::npos) << reason << "\n" << refused.err;
    EXPECT_TRUE(fs::is_fifo(dir / "pipe.dxf"));
    EXPECT_TRUE(fs::is_symlink(dir / "null.dxf"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_TRUE(temporariesIn(dir).empty());
}

TEST_F(Cadhost, AFullDiskFailsSavesAndPlotsWithItsReasonAndKeepsTheEarlierFiles) {
    if (!mountDisk("small", "size=1m")) GTEST_SKIP() << "no tmpfs can be mounted here";
    const std::string all = "SAVEAS small/plan.dxf\nPLOT small/plan.pdf\nPLOT small/plan.png\nPLOT small/plan.jpg\n";
    Outcome first = run(all, "--batch '" + drawing + "'");
    ASSERT_EQ(first.status, 0) << first.err;
    std::vector<std::string> before;
    for (const char* ext : {"dxf", "pdf", "png", "jpg"})
        before.push_back(slurp(dir / "small" / ("plan." + std::string(ext))));
    fillDisk(dir / "small" / "filler");
    Outcome full = run(all, "--batch '" + drawing + "'");
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("test.scr:1: cannot save "), std::string::npos) << full.err;
    EXPECT_NE(full.err.find("plan.dxf: the file cannot be written: the disk is full"), std::string::npos) << full.err;
    for (int line : {2, 3, 4})
        EXPECT_NE(full.err.find("test.scr:" + std::to_string(line) + ": cannot plot to small/plan."), std::string::npos)
            << full.err;
    EXPECT_EQ(std::count_if(full.err.begin(), full.err.end(), [](char c) { return c == '\n'; }), 4) << full.err;
    EXPECT_EQ(full.out.find("Plotted to"), std::string::npos) << full.out;
    size_t at = 0, seen = 0;
    while ((at = full.err.find("the disk is full", at)) != std::string::npos) ++seen, ++at;
    EXPECT_EQ(seen, 4u) << full.err;
    int i = 0;
    for (const char* ext : {"dxf", "pdf", "png", "jpg"})
        EXPECT_EQ(slurp(dir / "small" / ("plan." + std::string(ext))), before[size_t(i++)]) << ext;
    EXPECT_TRUE(temporariesIn(dir / "small").empty());
}

TEST_F(Cadhost, SaysWhyAFileCannotBeWritten) {
    // A name of 250 characters is a valid name: its temporary name must fit too.
    const std::string longName = std::string(246, 'n') + ".dxf";
    const std::string tooLong = std::string(300, 'n') + ".dxf";
    Outcome r = run("SAVEAS " + longName + "\nSAVEAS " + tooLong + "\nPLOT " + std::string(300, 'n') + ".png\n",
                    "--batch '" + drawing + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(fs::exists(dir / longName)) << r.err;
    EXPECT_NE(r.err.find("test.scr:2: cannot save "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(": the file cannot be written: the file name is too long"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("test.scr:3: cannot plot to "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(".png: the file name is too long"), std::string::npos) << r.err;

    // A file size limit (in blocks of 1024 bytes) once ended the process.
    Outcome limited = run("SAVEAS big.dxf\nPLOT after.pdf\n", "--batch '" + drawing + "'", "ulimit -f 64 &&");
    EXPECT_EQ(limited.status, 1);
    EXPECT_NE(
        limited.err.find("big.dxf: the file cannot be written: the file would grow past the largest size allowed"),
        std::string::npos)
        << limited.err;
    EXPECT_TRUE(fs::exists(dir / "after.pdf"));
    EXPECT_FALSE(fs::exists(dir / "big.dxf"));

    if (mountDisk("readonly", "size=64k", MS_RDONLY)) {
        Outcome ro = run("SAVEAS readonly/plan.dxf\nPLOT readonly/plan.pdf\n", "--batch '" + drawing + "'");
        EXPECT_EQ(ro.status, 1);
        EXPECT_NE(ro.err.find("test.scr:1: cannot save "), std::string::npos) << ro.err;
        EXPECT_NE(ro.err.find("plan.dxf: the file cannot be written: the disk is read-only"), std::string::npos)
            << ro.err;
        EXPECT_NE(ro.err.find("test.scr:2: cannot plot to readonly/plan.pdf: cannot write "), std::string::npos);
    }

    // Another user in a folder that is not theirs.
    fs::copy_file(drawing, dir / "plan.dxf");
    fs::create_directories(dir / "theirs");
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec);
    fs::permissions(dir / "c", fs::perms::all);
    if (::geteuid() == 0 && std::system("setpriv --help >/dev/null 2>&1") == 0) {
        Outcome denied = run("SAVEAS theirs/plan.dxf\nSAVE\nPLOT theirs/plan.png\n", "--batch plan.dxf",
                             "setpriv --reuid=65534 --regid=65534 --clear-groups");
        EXPECT_EQ(denied.status, 1);
        EXPECT_NE(denied.err.find("test.scr:1: cannot save "), std::string::npos) << denied.err;
        EXPECT_NE(denied.err.find("plan.dxf: the file cannot be written: permission denied (no file may be made in its "
                                  "folder)"),
                  std::string::npos)
            << denied.err;
        EXPECT_NE(denied.err.find("test.scr:2: cannot save "), std::string::npos) << denied.err;
        EXPECT_NE(denied.err.find("plan.dxf: the file cannot be written: permission denied\n"), std::string::npos)
            << denied.err; // the file is read-only to them
        EXPECT_NE(denied.err.find("test.scr:3: cannot plot to theirs/plan.png: cannot write "), std::string::npos)
            << denied.err;
        EXPECT_NE(denied.err.find("plan.png: permission denied"), std::string::npos) << denied.err;
    }
}

TEST_F(Cadhost, RelativeNamesAreRefusedOnceTheWorkingFolderIsGone) {
    // They were taken from the root of the disk: "PLOT x.png" wrote /x.png.
    const std::string name = "kelmo-gone-" + std::to_string(::getpid());
    std::ofstream(dir / "test.scr") << "OPEN " << name << ".dxf\nPLOT " << name << ".png\nSAVEAS " << name
                                    << ".dxf\nPLOT " << (dir / "kept.png").string() << "\n";
    std::string cmd = "cd '" + dir.string() + "' && mkdir gone && cd gone && rmdir ../gone && '" + program.string() +
                      "' --c-drive '" + (dir / "c").string() + "' --module '' --batch --script '" +
                      (dir / "test.scr").string() + "' '" + drawing + "' >'" + (dir / "out.txt").string() + "' 2>'" +
                      (dir / "err.txt").string() + "'";
    int raw = std::system(cmd.c_str());
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    std::string err = slurp(dir / "err.txt");
    for (int line = 1; line <= 3; ++line)
        EXPECT_NE(err.find("test.scr:" + std::to_string(line) + ": the working folder no longer exists: give " + name),
                  std::string::npos)
            << err;
    EXPECT_FALSE(fs::exists("/" + name + ".png"));
    EXPECT_FALSE(fs::exists("/" + name + ".dxf"));
    EXPECT_TRUE(fs::exists(dir / "kept.png")); // a full path still works
}

TEST_F(Cadhost, ASaveOrPlotRefusedForItsLinksOrItsFolderNamesTheRightReason) {
    // A chain of links was said to go round in a circle, and a folder that takes no files not to exist.
    fs::create_symlink("self.dxf", dir / "self.dxf");
    for (int i = 1; i <= 45; ++i)
        for (const char* kind : {".dxf", ".png"})
            fs::create_symlink("chain" + std::to_string(i + 1) + kind, dir / ("chain" + std::to_string(i) + kind));
    const struct {
        const char* line;
        const char* reason;
    } cases[] = {
        {"SAVEAS self.dxf", "its symbolic links go round in a circle"},
        {"SAVEAS chain1.dxf", "it is reached through more than 40 symbolic links"},
        {"PLOT chain1.png", "it is reached through more than 40 symbolic links"},
        {"SAVEAS /proc/x.dxf", "no file may be made in its folder"},
    };
    for (const auto& c : cases) {
        Outcome r = run(std::string(c.line) + "\n", "--batch '" + drawing + "'");
        EXPECT_EQ(r.status, 1) << c.line << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << c.line << r.err;
    }
    EXPECT_FALSE(fs::exists(dir / "chain46.dxf"));
    EXPECT_FALSE(fs::exists(dir / "chain46.png"));
}

TEST_F(Cadhost, ASaveRemovesTheTemporariesKilledSavesOfThatDrawingLeft) {
    const std::string killed = kelmo_test::temporaryOfAKilledWrite((dir / "plan.dxf").string());
    const std::string killedOther = kelmo_test::temporaryOfAKilledWrite((dir / "other.dxf").string());
    ASSERT_FALSE(killed.empty());
    ASSERT_FALSE(killedOther.empty());
    // A save still running holds its temporary.
    const kelmo_test::WriteUnderWay held((dir / "plan.dxf").string());
    ASSERT_FALSE(held.path().empty());
    // Files the user keeps under names like those of temporaries.
    const std::vector<std::string> kept = {".~other.dxf.Ab12Cd", ".~plan.dxf.Ab12Cd", ".~plan.dxf.Ab12Cd.keep",
                                           ".~plan.dxf.ab-12c", ".~plan.dxf.zzzzzz"};
    for (const std::string& name : kept) std::ofstream(dir / name) << "a file the user keeps";
    Outcome r = run("SAVEAS plan.dxf\n", "--batch '" + drawing + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> left = kept;
    left.push_back(fs::path(held.path()).filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(temporariesIn(dir), left);
}

TEST_F(Cadhost, NoSaveOrPlotRemovesAFileItsWritersDidNotMakeNorAnotherUsersTemporary) {
    // Each once went at the next save in the folder: a name like ".~NAME.XXXXXX" was all it took, and a
    // save of plan.dxf by another user took root's ".~plan.dxf.backup".
    if (::geteuid() != 0 || std::system("setpriv --help >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "another user's session needs root";
    constexpr int kNobody = 65534;
    const std::string asNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups";
    const struct {
        const char* who;
        std::string wrap;
        int user, other;
    } cases[] = {
        {"another user saves", asNobody, kNobody, 0},
        {"root saves", "", 0, kNobody},
    };
    const std::vector<std::string> keptByUser = {".~app.config", ".~budget.ods.Final1", ".~plan.dxf.backup",
                                                 ".~thesis.report"};
    fs::permissions(dir, fs::perms::all);
    fs::permissions(dir / "c", fs::perms::all);
    fs::copy_file(drawing, dir / "plan.dxf");
    fs::permissions(dir / "plan.dxf", fs::perms::all);
    const auto anHourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.who);
        for (const std::string& name : temporariesIn(dir)) fs::remove(dir / name);
        for (const std::string& name : keptByUser) {
            std::ofstream(dir / name) << "root's own file";
            fs::last_write_time(dir / name, anHourAgo);
        }
        const std::string own = kelmo_test::temporaryOfAKilledWrite((dir / "plan.dxf").string(), "killed", c.user);
        const std::string theirs = kelmo_test::temporaryOfAKilledWrite((dir / "plan.dxf").string(), "killed", c.other);
        ASSERT_FALSE(own.empty());
        ASSERT_FALSE(theirs.empty());
        Outcome r = run("SAVE\nPLOT plan.png\n", "--batch plan.dxf", c.wrap);
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> left = keptByUser;
        left.push_back(fs::path(theirs).filename().string());
        std::sort(left.begin(), left.end());
        EXPECT_EQ(temporariesIn(dir), left);
        for (const std::string& name : keptByUser) EXPECT_EQ(slurp(dir / name), "root's own file") << name;
    }
}

} // namespace
