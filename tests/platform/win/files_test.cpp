#include "win/TempNames.h"
#include "win/Win32.h"
#include "support/KilledWrite.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("winfiles_" + std::to_string(::getpid()) + "_" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
        win::setCDrive(root_.string());
    }
    void TearDown() override { fs::remove_all(root_); }
    static std::string read(const fs::path& p) {
        std::ifstream in(p);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path root_;
};

} // namespace

TEST_F(FilesTest, FoldersAndAttributes) {
    EXPECT_TRUE(CreateDirectoryW(L"C:\\a", nullptr));
    EXPECT_FALSE(CreateDirectoryW(L"C:\\a", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryW(L"C:\\missing\\b", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(CreateDirectoryW(L"Q:\\b", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    EXPECT_EQ(GetFileAttributesW(L"C:\\a\\") & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
    // A drive root without its backslash exists too (folder creation climbs up to it).
    EXPECT_EQ(GetFileAttributesW(L"c:") & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesW(L"Z:") & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(CreateDirectoryW(L"C:\\a\\b\\", nullptr));
    std::ofstream(root_ / "a" / "f.txt") << "x";
    EXPECT_EQ(GetFileAttributesW(L"c:/A/F.TXT"), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(GetFileAttributesW(L"C:\\a\\nothing.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesW(L"C:\\nofolder\\nothing.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    EXPECT_FALSE(RemoveDirectoryW(L"C:\\a"));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
}

TEST_F(FilesTest, DeleteRefusesFoldersAndReportsMissingFiles) {
    std::ofstream(root_ / "f.txt") << "x";
    EXPECT_TRUE(DeleteFileW(L"C:\\f.txt"));
    EXPECT_FALSE(fs::exists(root_ / "f.txt"));
    EXPECT_FALSE(DeleteFileW(L"C:\\f.txt"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    fs::create_directories(root_ / "d");
    EXPECT_FALSE(DeleteFileW(L"C:\\d"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(fs::exists(root_ / "d"));
}

TEST_F(FilesTest, CopyKeepsOrReplacesTheTarget) {
    std::ofstream(root_ / "src.dxf") << "new";
    std::ofstream(root_ / "dst.dxf") << "old";
    EXPECT_FALSE(CopyFileW(L"C:\\src.dxf", L"C:\\dst.dxf", TRUE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(read(root_ / "dst.dxf"), "old");
    EXPECT_TRUE(CopyFileW(L"C:\\src.dxf", L"C:\\dst.dxf", FALSE));
    EXPECT_EQ(read(root_ / "dst.dxf"), "new");
    EXPECT_EQ(fs::last_write_time(root_ / "dst.dxf"), fs::last_write_time(root_ / "src.dxf"));
    EXPECT_FALSE(CopyFileW(L"C:\\none.dxf", L"C:\\x.dxf", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(CopyFileW(L"C:\\src.dxf", L"C:\\src.dxf", FALSE));
    EXPECT_EQ(read(root_ / "src.dxf"), "new"); // copying a file onto itself never truncates it
    // No temporary file is left behind.
    int count = 0;
    for (const auto& e : fs::directory_iterator(root_)) count += e.is_regular_file();
    EXPECT_EQ(count, 2);
}

TEST_F(FilesTest, MoveNeedsTheReplaceFlagToOverwrite) {
    std::ofstream(root_ / "a.txt") << "a";
    std::ofstream(root_ / "b.txt") << "b";
    EXPECT_FALSE(MoveFileExW(L"C:\\a.txt", L"C:\\b.txt", 0));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(MoveFileExW(L"C:\\a.txt", L"C:\\b.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(read(root_ / "b.txt"), "a");
    EXPECT_FALSE(fs::exists(root_ / "a.txt"));
    EXPECT_FALSE(MoveFileExW(L"C:\\a.txt", L"C:\\c.txt", 0));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FilesTest, FindListsMatchesInNameOrder) {
    fs::create_directories(root_ / "p" / "sub");
    for (const char* n : {"b.DXF", "a.dxf", "c.txt", "noext"}) std::ofstream(root_ / "p" / n) << "1234";
    auto list = [](const wchar_t* pattern) {
        std::wstring names;
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW(pattern, &fd);
        if (h == INVALID_HANDLE_VALUE) return std::wstring(L"<none>");
        do names += std::wstring(fd.cFileName) + L";";
        while (FindNextFileW(h, &fd));
        EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
        FindClose(h);
        return names;
    };
    EXPECT_EQ(list(L"C:\\p\\*.dxf"), L"a.dxf;b.DXF;");
    EXPECT_EQ(list(L"C:\\p\\*.*"), L".;..;a.dxf;b.DXF;c.txt;noext;sub;");
    EXPECT_EQ(list(L"C:\\p\\?.txt"), L"c.txt;");
    EXPECT_EQ(list(L"C:\\p\\*.pdf"), L"<none>");
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(list(L"C:\\none\\*.dxf"), L"<none>");
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(L"C:\\p\\sub", &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    FindClose(h);
    h = FindFirstFileW(L"C:\\p\\a.dxf", &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(fd.nFileSizeLow, 4u);
    FindClose(h);
}

TEST_F(FilesTest, ReadOnlyFilesAndMissingFolders) {
    std::ofstream(root_ / "r.txt") << "x";
    EXPECT_FALSE(CopyFileW(L"C:\\r.txt", L"C:\\no\\r.txt", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(MoveFileExW(L"C:\\r.txt", L"C:\\no\\r.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(fs::exists(root_ / "r.txt"));
    ASSERT_TRUE(SetFileAttributesW(L"C:\\r.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesW(L"C:\\r.txt"), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(DeleteFileW(L"C:\\r.txt"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    std::ofstream(root_ / "s.txt") << "y";
    EXPECT_FALSE(CopyFileW(L"C:\\s.txt", L"C:\\r.txt", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(read(root_ / "r.txt"), "x");
    ASSERT_TRUE(SetFileAttributesW(L"C:\\r.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileW(L"C:\\r.txt"));
}

TEST_F(FilesTest, CopiesAndMovesLeaveAReadOnlyFileAPipeAndAFolderAndGoThroughALink) {
    const struct {
        const char* what;
        void (*make)(const fs::path&);
        bool written; // through a link to its file
    } cases[] = {
        {"a read-only file",
         [](const fs::path& at) {
             std::ofstream(at) << "old";
             fs::permissions(at, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
         },
         false},
        {"a named pipe", [](const fs::path& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0644), 0); }, false},
        {"a folder", [](const fs::path& at) { fs::create_directory(at); }, false},
        {"a symbolic link",
         [](const fs::path& at) {
             std::ofstream(at.parent_path() / ("real-" + at.filename().string())) << "old";
             fs::create_symlink("real-" + at.filename().string(), at);
         },
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* name : {"copied.txt", "moved.txt"}) {
            fs::remove_all(root_ / name);
            c.make(root_ / name);
        }
        const fs::file_type copiedType = fs::symlink_status(root_ / "copied.txt").type();
        std::ofstream(root_ / "new.txt") << "new";
        EXPECT_EQ(CopyFileW(L"C:\\new.txt", L"C:\\copied.txt", FALSE), c.written ? TRUE : FALSE);
        EXPECT_EQ(MoveFileExW(L"C:\\new.txt", L"C:\\moved.txt", MOVEFILE_REPLACE_EXISTING), c.written ? TRUE : FALSE);
        if (!c.written) {
            EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
        }
        EXPECT_EQ(fs::symlink_status(root_ / "copied.txt").type(), copiedType);
        EXPECT_EQ(fs::symlink_status(root_ / "moved.txt").type(), copiedType);
        if (c.written) {
            EXPECT_EQ(read(root_ / "real-copied.txt"), "new");
            EXPECT_EQ(read(root_ / "real-moved.txt"), "new");
        }
        fs::remove(root_ / "new.txt");
    }
}

TEST_F(FilesTest, CurrentFolderInWindowsForm) {
    const fs::path before = fs::current_path();
    fs::create_directories(root_ / "CadHost" / "plans");
    ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\CadHost\\plans"));
    wchar_t buf[MAX_PATH];
    ASSERT_EQ(GetCurrentDirectoryW(MAX_PATH, buf), 16u);
    EXPECT_STREQ(buf, L"C:\\CadHost\\plans");
    EXPECT_EQ(GetCurrentDirectoryW(4, buf), 17u); // too small: the size needed
    std::ofstream("a.txt") << "x";
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(L"*.txt", &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(fd.cFileName, L"a.txt");
    FindClose(h);
    EXPECT_FALSE(SetCurrentDirectoryW(L"C:\\none"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    fs::current_path(before);
}

TEST_F(FilesTest, AStagedFileReplacesItsTargetThroughItsLinkOnlyWhenPlacedAndWithItsPermissions) {
    std::ofstream(root_ / "earlier.txt") << "earlier";
    ::chmod((root_ / "earlier.txt").c_str(), 0640);
    fs::create_symlink(root_ / "earlier.txt", root_ / "link.txt");
    {
        // Given up after its write: the earlier file stays and no temporary is left.
        win::StagedFile staged(L"C:\\link.txt");
        ASSERT_TRUE(staged.made());
        std::ofstream(root_ / fs::path(staged.path().substr(3))) << "given up";
    }
    EXPECT_EQ(read(root_ / "earlier.txt"), "earlier");
    // What a killed staged write left: its temporary, and the temporary of the writer that filled it.
    const std::string killed = kelmo_test::temporaryOfAKilledWrite((root_ / "earlier.txt").string(), "killed");
    ASSERT_FALSE(killed.empty());
    ASSERT_FALSE(kelmo_test::temporaryOfAKilledWrite(killed, "killed").empty());
    {
        win::StagedFile staged(L"C:\\LINK.TXT");
        ASSERT_TRUE(staged.made());
        EXPECT_EQ(staged.path().rfind(L"C:\\.~earlier.txt.", 0), 0u) << win::toUtf8(staged.path());
        std::ofstream(root_ / fs::path(staged.path().substr(3))) << "new";
        EXPECT_EQ(read(root_ / "earlier.txt"), "earlier");
        EXPECT_TRUE(staged.place());
    }
    EXPECT_TRUE(fs::is_symlink(root_ / "link.txt"));
    EXPECT_EQ(read(root_ / "earlier.txt"), "new");
    struct stat st {};
    ASSERT_EQ(::stat((root_ / "earlier.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    {
        // A file another program renamed to the temporary's name is not the one written: it is not placed,
        // nor removed, and another write of the target placed meanwhile stays.
        win::StagedFile slow(L"C:\\earlier.txt");
        ASSERT_TRUE(slow.made());
        const fs::path written = root_ / fs::path(slow.path().substr(3));
        std::ofstream(root_ / "filled") << "slow";
        fs::rename(root_ / "filled", written);
        win::StagedFile fast(L"C:\\earlier.txt");
        ASSERT_TRUE(fast.made());
        std::ofstream(root_ / fs::path(fast.path().substr(3))) << "fast";
        EXPECT_TRUE(fast.place());
        EXPECT_TRUE(fs::exists(written));
        EXPECT_FALSE(slow.place());
        EXPECT_NE(slow.why().find(L"another program put a file of its own"), std::wstring::npos)
            << win::toUtf8(slow.why());
        EXPECT_EQ(read(written), "slow");
        fs::remove(written);
    }
    EXPECT_EQ(read(root_ / "earlier.txt"), "fast");
    {
        win::StagedFile staged(L"C:\\fresh.txt");
        ASSERT_TRUE(staged.made());
        EXPECT_TRUE(staged.place());
    }
    ASSERT_EQ(::stat((root_ / "fresh.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    // What no write may replace is refused before anything is written, with the reason.
    ::chmod((root_ / "earlier.txt").c_str(), 0444);
    ::mkfifo((root_ / "pipe").c_str(), 0644);
    const struct {
        const wchar_t* target;
        const wchar_t* why;
    } refused[] = {
        {L"C:\\earlier.txt", L"it is read-only"},
        {L"C:\\pipe", L"it is a named pipe, not a file"},
        {L"C:\\missing\\new.txt", L"The system cannot find the path specified."},
    };
    for (const auto& r : refused) {
        win::StagedFile staged(r.target);
        EXPECT_FALSE(staged.made()) << win::toUtf8(r.target);
        EXPECT_EQ(staged.why(), r.why) << win::toUtf8(r.target);
        EXPECT_FALSE(staged.place());
    }
    for (const auto& entry : fs::directory_iterator(root_))
        EXPECT_NE(entry.path().filename().string().rfind(".~", 0), 0u) << entry.path();
}

TEST_F(FilesTest, ASignalEndingALongRunStillRemovesTheTemporaryOfTheOutputInProgress) {
    // Each staged output placed or given up is done with: a run of hundreds of them leaves the one being
    // written at the signal known, to be removed.
    for (int i = 0; i < 200; ++i) {
        win::StagedFile staged(L"C:\\plot.png");
        ASSERT_TRUE(staged.made());
        if (i % 2 == 0) {
            EXPECT_TRUE(staged.place());
        }
    }
    win::StagedFile inProgress(L"C:\\plot.png");
    ASSERT_TRUE(inProgress.made());
    const fs::path temp = root_ / fs::path(inProgress.path().substr(3));
    ASSERT_TRUE(fs::exists(temp));
    win::removeTemporariesInProgress();
    EXPECT_FALSE(fs::exists(temp));
}
