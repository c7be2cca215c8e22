#include "cad/app/ApDocument.h"
#include "cad/app/DocumentFile.h"
#include "support/HostFixture.h"

#include "win/Encoding.h"
#include "win/Paths.h"
#include "win/TempNames.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
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
    const std::string made = "it was made by another session or program while this save was written";
    const struct Case {
        const char* what;
        bool movedAway;  // the file was moved away before the session checked it
        bool stampGiven; // the save is told the stamp the check found
        // When another writer's file lands: after the check and before this save began, or while this
        // save waits to rename (the other holding the folder and the file, or the file only, as a writer
        // that cannot read the folder does).
        enum { Never, BeforeOpen, WhileRenamingFolder, WhileRenamingFileOnly, TouchedWhileRenaming } other;
        const char* kept; // empty: this save replaced it
        const std::string* why;
    } cases[] = {
        {"nobody else writes it", false, true, Case::Never, "", nullptr},
        {"nobody else writes it, no stamp given", false, false, Case::Never, "", nullptr},
        {"another save lands between the check and this save's start", false, true, Case::BeforeOpen, "the other's",
         &changed},
        {"another save lands between this save's check and its rename", false, true, Case::WhileRenamingFolder,
         "the other's", &changed},
        {"another save lands while this one is renamed, no stamp given", false, false, Case::WhileRenamingFolder,
         "the other's", &changed},
        {"a save from a folder it cannot read lands meanwhile", false, true, Case::WhileRenamingFileOnly, "the other's",
         &changed},
        {"the file is touched meanwhile, its bytes the same", false, true, Case::TouchedWhileRenaming, "", nullptr},
        {"moved away, then another save puts one there", true, true, Case::WhileRenamingFolder, "the other's", &made},
        {"moved away, then another save puts one there first", true, true, Case::BeforeOpen, "the other's", &made},
        {"moved away, nobody else saves", true, true, Case::Never, "", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(target, std::ios::binary) << "as read";
        docfile::FileContents read = docfile::contentsOf(target.string(), "as read");
        if (c.movedAway) fs::rename(target, dir / "moved.dxf");
        docfile::FileStamp seen;
        ASSERT_FALSE(docfile::changedSince(read, &seen));
        ASSERT_TRUE(seen.known);
        if (c.other == Case::BeforeOpen) otherSaves("the other's");

        docfile::Replacement file;
        file.keepWritesMeanwhile(c.stampGiven ? seen : docfile::FileStamp{});
        ASSERT_TRUE(file.open(target.string())) << file.why();
        ASSERT_TRUE(file.write("this session's"));
        bool committed = false;
        if (c.other == Case::Never || c.other == Case::BeforeOpen) {
            committed = file.commit();
        } else {
            // The other writer holds its locks while it checks and renames; this commit waits for it.
            std::unique_ptr<win::ReplaceLock> other;
            int held = -1;
            if (c.other == Case::WhileRenamingFileOnly) {
                held = ::open(target.c_str(), O_RDONLY);
                ASSERT_EQ(::flock(held, LOCK_EX), 0);
            } else {
                other = std::make_unique<win::ReplaceLock>(target.string());
                ASSERT_TRUE(other->held());
            }
            auto commit = std::async(std::launch::async, [&] { return file.commit(); });
            EXPECT_EQ(commit.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout)
                << "the commit waits for the other rename";
            if (c.other == Case::TouchedWhileRenaming)
                fs::last_write_time(target, fs::last_write_time(target) + std::chrono::seconds(5));
            else
                otherSaves("the other's");
            other.reset();
            if (held >= 0) ::close(held);
            committed = commit.get();
        }
        EXPECT_EQ(committed, !*c.kept) << file.why();
        if (!*c.kept) {
            EXPECT_EQ(slurp(target), "this session's");
        } else {
            EXPECT_EQ(slurp(target), c.kept) << "the other's work is kept";
            EXPECT_NE(file.why().find(*c.why), std::string::npos) << file.why();
        }
        for (const auto& e : fs::directory_iterator(dir))
            EXPECT_EQ(e.path().filename().string().rfind(".~", 0), std::string::npos) << "no temporary left";
        fs::remove(dir / "moved.dxf");
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
