// What a path reaches: names that are not UTF-8 match only themselves, and a file is the same file
// however its path is written, through linked folders and files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "win/Win32.h"

namespace fs = std::filesystem;

namespace {

class FileIdentityTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("winidentity_" + std::to_string(::getpid()) + "_" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "c");
        fs::create_directories(root_ / "plans");
        win::setCDrive((root_ / "c").string());
    }
    void TearDown() override { fs::remove_all(root_); }
    std::wstring windows(const fs::path& native) const { return win::nativeToWindows(native.string()); }
    std::wstring identity(const fs::path& native) const { return win::fileIdentity(windows(native).c_str()); }
    fs::path root_;
};

TEST_F(FileIdentityTest, ANameThatIsNotUtf8MatchesOnlyItselfInAnyLetterCase) {
    for (const char* name : {"caf\xe9.pdf", "CAF\xc9.pdf", "caf\xe8.pdf"}) std::ofstream(root_ / "plans" / name) << "x";
    struct Case {
        const wchar_t* asked;
        const char* mapped;
    } cases[] = {
        {L"caf\uFFFD.pdf", "caf\xef\xbf\xbd.pdf"}, // the replacement character is a name of its own
        {L"CAF\uFFFD.PDF", "CAF\xef\xbf\xbd.PDF"},
        {L"cafe.pdf", "cafe.pdf"},
    };
    for (const Case& c : cases) {
        std::string native;
        ASSERT_TRUE(win::mapToNative((windows(root_ / "plans") + L"\\" + c.asked).c_str(), native, nullptr));
        EXPECT_EQ(native, (root_ / "plans" / c.mapped).string()) << native;
    }
}

TEST_F(FileIdentityTest, AFileIsTheSameThroughLinkedFoldersLinkedFilesAndLetterCaseWhetherItExistsOrNot) {
    std::ofstream(root_ / "plans" / "plan.dxf") << "drawing";
    fs::create_directory_symlink(root_ / "plans", root_ / "plans link");
    fs::create_symlink(root_ / "plans" / "plan.dxf", root_ / "linked plan.dxf");
    fs::create_symlink(root_ / "plans" / "new.dxf", root_ / "dangling.dxf");
    fs::create_hard_link(root_ / "plans" / "plan.dxf", root_ / "hard.dxf");
    const std::wstring plan = identity(root_ / "plans" / "plan.dxf");
    const std::wstring fresh = identity(root_ / "plans" / "new.dxf");
    ASSERT_FALSE(plan.empty());
    ASSERT_FALSE(fresh.empty());
    EXPECT_EQ(identity(root_ / "plans link" / "plan.dxf"), plan);
    EXPECT_EQ(identity(root_ / "PLANS LINK" / "PLAN.DXF"), plan);
    EXPECT_EQ(identity(root_ / "linked plan.dxf"), plan);
    EXPECT_EQ(identity(root_ / "hard.dxf"), plan);
    EXPECT_EQ(identity(root_ / "plans link" / "NEW.dxf"), fresh); // not there yet
    EXPECT_EQ(identity(root_ / "dangling.dxf"), fresh);
    EXPECT_NE(identity(root_ / "plans" / "other.dxf"), fresh);
    EXPECT_NE(fresh, plan);
}

TEST_F(FileIdentityTest, WhereAFileIsWrittenStaysTheSameWhenItIsMadeAndReplacedAndThroughLinks) {
    fs::create_directory_symlink(root_ / "plans", root_ / "plans link");
    const auto location = [&](const fs::path& native) { return win::fileLocation(windows(native).c_str()); };
    const std::wstring before = location(root_ / "plans" / "plan.pdf");
    ASSERT_FALSE(before.empty());
    std::ofstream(root_ / "plans" / "plan.pdf") << "first";
    EXPECT_EQ(location(root_ / "plans" / "plan.pdf"), before);
    std::ofstream(root_ / "plans" / "new.pdf") << "second";
    fs::rename(root_ / "plans" / "new.pdf", root_ / "plans" / "plan.pdf"); // a new file in its place
    EXPECT_EQ(location(root_ / "plans" / "plan.pdf"), before);
    EXPECT_EQ(location(root_ / "PLANS LINK" / "Plan.PDF"), before);
    EXPECT_NE(location(root_ / "plans" / "other.pdf"), before);
}

} // namespace
