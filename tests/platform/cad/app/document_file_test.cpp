#include "cad/app/ApDocument.h"
#include "cad/app/DocumentFile.h"
#include "support/HostFixture.h"

#include "win/Encoding.h"
#include "win/Paths.h"
#include "win/TempNames.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct ReplacedMeanwhile : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("kelmo-replace-" + std::to_string(::getpid()));
    fs::path target = dir / "plan.dxf";
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::ofstream(target, std::ios::binary) << "as read";
    }
    void TearDown() override { fs::remove_all(dir); }
    // Another writer's file put in place by rename, as another session's save puts its file.
    void otherSaves(const std::string& text) {
        std::ofstream(dir / "other.tmp", std::ios::binary) << text;
        fs::rename(dir / "other.tmp", target);
    }
};

TEST_F(ReplacedMeanwhile, ASaveReplacesItsFileOnlyWhileItIsAsItWasLastFound) {
    const std::string changed = "it changed on disk since this session read or last saved it";
    const struct Case {
        const char* what;
        // When the other writer's file lands: after the file was found unchanged and before this save
        // began, while this save waits to rename, or not at all.
        enum { BeforeOpen, WhileRenaming, Never } other;
        bool stampGiven;
        bool replaced;
    } cases[] = {
        {"nobody else writes it", Case::Never, true, true},
        {"nobody else writes it, no stamp given", Case::Never, false, true},
        {"another save lands between the check and this save's start", Case::BeforeOpen, true, false},
        {"another save lands between this save's check and its rename", Case::WhileRenaming, true, false},
        {"another save lands while this one is renamed, no stamp given", Case::WhileRenaming, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(target, std::ios::binary) << "as read";
        docfile::FileContents read = docfile::contentsOf(target.string(), "as read");
        docfile::FileStamp seen;
        ASSERT_FALSE(docfile::changedSince(read, &seen));
        ASSERT_TRUE(seen.known);
        if (c.other == Case::BeforeOpen) otherSaves("the other's");

        docfile::Replacement file;
        file.keepWritesMeanwhile(c.stampGiven ? seen : docfile::FileStamp{});
        ASSERT_TRUE(file.open(target.string())) << file.why();
        ASSERT_TRUE(file.write("this session's"));
        bool committed = false;
        if (c.other == Case::WhileRenaming) {
            // The other save holds the folder while it checks and renames; this one's commit waits for it.
            auto other = std::make_unique<win::ReplaceLock>(target.string());
            ASSERT_TRUE(other->held());
            auto commit = std::async(std::launch::async, [&] { return file.commit(); });
            EXPECT_EQ(commit.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout)
                << "the commit waits for the other rename";
            otherSaves("the other's");
            other.reset();
            committed = commit.get();
        } else {
            committed = file.commit();
        }
        EXPECT_EQ(committed, c.replaced) << file.why();
        if (c.replaced) {
            EXPECT_EQ(slurp(target), "this session's");
        } else {
            EXPECT_EQ(slurp(target), "the other's") << "the other's work is kept";
            EXPECT_NE(file.why().find(changed), std::string::npos) << file.why();
        }
        for (const auto& e : fs::directory_iterator(dir))
            EXPECT_EQ(e.path().filename().string().rfind(".~", 0), std::string::npos) << "no temporary left";
    }
}

TEST_F(ReplacedMeanwhile, AFolderLockedBySomeoneForLongIsNamedNotWaitedOnForEver) {
    win::ReplaceLock other(target.string());
    ASSERT_TRUE(other.held());
    docfile::Replacement file;
    ASSERT_TRUE(file.open(target.string())) << file.why();
    ASSERT_TRUE(file.write("this session's"));
    EXPECT_FALSE(file.commit());
    EXPECT_NE(file.why().find("folder locked"), std::string::npos) << file.why();
    EXPECT_EQ(slurp(target), "as read");
}

using DocumentSaves = kelmo_test::HostFixture;

// A save not told what the file was found as (an automation Close that saves) checks it for itself.
TEST_F(DocumentSaves, ASaveOfItsOwnFileWrittenByAnotherSinceIsRefusedUnasked) {
    const fs::path dir = fs::temp_directory_path() / ("kelmo-docsave-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(fs::path(KELMO_DXF_DATA_DIR) / "ASCII_R12.dxf", dir / "plan.dxf");
    const std::wstring name = win::nativeToWindows((dir / "plan.dxf").string());
    ASSERT_EQ(acDocManager->appContextOpenDocument(name.c_str()), Acad::eOk);
    AcApDocument* opened = acDocManager->curDocument();
    std::wstring why;
    ASSERT_EQ(acDocManager->saveDocument(opened, name.c_str(), why), Acad::eOk) << win::toUtf8(why);
    std::ofstream(dir / "plan.dxf", std::ios::app) << "999\nanother program\n";
    const std::string theirs = slurp(dir / "plan.dxf");
    EXPECT_NE(acDocManager->saveDocument(opened, name.c_str(), why), Acad::eOk);
    EXPECT_NE(why.find(L"changed on disk"), std::wstring::npos) << win::toUtf8(why);
    EXPECT_EQ(slurp(dir / "plan.dxf"), theirs);
    fs::remove_all(dir);
}

} // namespace
