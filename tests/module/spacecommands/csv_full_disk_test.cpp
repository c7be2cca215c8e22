// "mcsv" on a disk that is full: it says so, and leaves no empty file under the CSV's name and an
// earlier CSV as it was.
#include <sched.h>
#include <sys/mount.h>

#include "SpaceCommandsHost.h"

namespace spacecommands {
namespace {

class CsvOnAFullDisk : public SpaceCommands {
protected:
    void SetUp() override {
        SpaceCommands::SetUp();
        if (IsSkipped()) return;
        // A disk of its own in a mount namespace of the test program, so it goes when the program ends.
        static const bool ownNamespace =
            ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        disk = dir / "small";
        fs::create_directories(disk);
        if (!ownNamespace || ::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=256k") != 0)
            GTEST_SKIP() << "no tmpfs can be mounted here";
        mounted = true;
        fs::copy_file(plans / "plan_mm.dxf", disk / "plan_mm.dxf");
    }
    void TearDown() override {
        if (mounted) ::umount2(disk.c_str(), MNT_DETACH);
        SpaceCommands::TearDown();
    }
    Outcome csv() {
        std::ofstream(dir / "test.scr") << "mcsv\n";
        return cadhost_run::runIn(dir, "'" + program.string() + "' --batch --c-drive '" + (dir / "c").string() +
                                           "' --module '" + module.string() + "' --script test.scr small/plan_mm.dxf");
    }
    // Writes to the file until the disk is full.
    void fillDisk() const {
        std::ofstream out(disk / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (out.write(block.data(), static_cast<std::streamsize>(block.size())) && out.flush()) {}
    }
    std::vector<std::string> namesOnDisk() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(disk)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void expectRefused(const Outcome& r) const {
        EXPECT_EQ(r.status, 1) << r.err; // a failure line the command printed fails the line
        EXPECT_TRUE(has(r, "Unable to save csv data to file (" + windowsPath("small/plan_mm.csv") +
                               ") - There is not enough space on the disk.\n"))
            << r.out;
        EXPECT_FALSE(has(r, "successfully")) << r.out;
        EXPECT_FALSE(has(r, "Error Detected")) << r.out;
        EXPECT_NE(r.err.find("test.scr:1: the line ended in an error: Unable to save csv data to file ("),
                  std::string::npos)
            << r.err;
    }

    fs::path disk;
    bool mounted = false;
};

TEST_F(CsvOnAFullDisk, LeavesNoEmptyFileUnderTheName) {
    fillDisk();
    Outcome r = csv();
    expectRefused(r);
    EXPECT_EQ(namesOnDisk(), (std::vector<std::string>{"filler", "plan_mm.dxf"}));
}

TEST_F(CsvOnAFullDisk, KeepsTheEarlierFileAsItWas) {
    Outcome first = csv();
    ASSERT_TRUE(has(first, "csv data successfully saved")) << first.out;
    const std::string earlier = slurp(disk / "plan_mm.csv");
    ASSERT_GT(earlier.size(), 100u);
    fillDisk();
    Outcome r = csv();
    expectRefused(r);
    EXPECT_EQ(slurp(disk / "plan_mm.csv"), earlier);
    EXPECT_EQ(namesOnDisk(), (std::vector<std::string>{"filler", "plan_mm.csv", "plan_mm.dxf"}));
}

TEST_F(CsvOnAFullDisk, AnXmlTestThatCannotBeWrittenKeepsTheEarlierFile) {
    // The test removed the file at its path before it wrote its own.
    std::ofstream(disk / "kept.xml") << "<earlier/>";
    fillDisk();
    std::ofstream(dir / "test.scr") << "md9\n" << windowsPath("small/kept.xml") << "\nok\n";
    Outcome r = cadhost_run::runIn(dir, "'" + program.string() + "' --batch --c-drive '" + (dir / "c").string() +
                                            "' --module '" + module.string() + "' --script test.scr small/plan_mm.dxf");
    EXPECT_FALSE(has(r, "xml test completed successfully")) << r.out;
    EXPECT_EQ(slurp(disk / "kept.xml"), "<earlier/>");
    EXPECT_EQ(namesOnDisk(), (std::vector<std::string>{"filler", "kept.xml", "plan_mm.dxf"}));
}

} // namespace
} // namespace spacecommands
