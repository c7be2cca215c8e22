#include "win/Win32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Each test gets its own C: drive and current folder.
class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("winpaths_" + std::to_string(::getpid()) + "_" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "c");
        fs::create_directories(root_ / "work");
        previousCwd_ = fs::current_path();
        fs::current_path(root_ / "work");
        win::setCDrive((root_ / "c").string());
    }
    void TearDown() override {
        fs::current_path(previousCwd_);
        fs::remove_all(root_);
    }
    std::string map(const wchar_t* p, DWORD* err = nullptr) {
        std::string out;
        DWORD e = 99;
        const bool ok = win::mapToNative(p, out, &e);
        if (err) *err = e;
        return ok ? out : std::string("<fail>");
    }
    fs::path root_;
    fs::path previousCwd_;
};

} // namespace

TEST_F(PathsTest, DrivesMapToRootAndCDriveFolder) {
    const std::string c = (root_ / "c").string();
    EXPECT_EQ(map(L"Z:\\home\\a\\plan.dxf"), "/home/a/plan.dxf");
    EXPECT_EQ(map(L"z:/home/a/plan.dxf"), "/home/a/plan.dxf");
    EXPECT_EQ(map(L"Z:\\"), "/");
    EXPECT_EQ(map(L"C:\\CadHost\\kelmo\\prefs\\"), c + "/CadHost/kelmo/prefs");
    EXPECT_EQ(map(L"c:"), c);
    EXPECT_EQ(map(L"C:\\a\\..\\..\\b"), c + "/b"); // ".." stops at the drive's root
    EXPECT_EQ(map(L"C:\\a\\.\\b\\\\c"), c + "/a/b/c");
    // The C: drive folder is made with its host folder on first use.
    EXPECT_TRUE(fs::is_directory(root_ / "c" / "CadHost"));
}

TEST_F(PathsTest, RelativeAndRootedPathsFollowTheCurrentFolder) {
    const std::string work = (root_ / "work").string();
    EXPECT_EQ(map(L"plan.dxf"), work + "/plan.dxf");
    EXPECT_EQ(map(L"..\\x"), (root_ / "x").string());
    EXPECT_EQ(map(L"\\etc\\hosts"), "/etc/hosts"); // current drive is Z:
    fs::current_path(root_ / "c" / "CadHost");
    EXPECT_EQ(map(L"\\x"), (root_ / "c" / "x").string()); // now C:
}

TEST_F(PathsTest, BadDrivesNamesAndNetworkPathsFail) {
    DWORD err = 0;
    EXPECT_EQ(map(L"D:\\data", &err), "<fail>");
    EXPECT_EQ(err, ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(map(L"", &err), "<fail>");
    EXPECT_EQ(err, ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(map(L"\\\\server\\share\\f.txt", &err), "<fail>");
    EXPECT_EQ(err, ERROR_BAD_NETPATH);
    EXPECT_EQ(map(L"C:\\a\\b?.txt", &err), "<fail>");
    EXPECT_EQ(err, ERROR_INVALID_NAME);
    EXPECT_EQ(map(L"C:\\a:b", &err), "<fail>");
    EXPECT_EQ(err, ERROR_INVALID_NAME);
    std::string out = "kept";
    EXPECT_FALSE(win::mapToNative(nullptr, out, nullptr));
}

TEST_F(PathsTest, ExistingEntriesMatchWithoutRegardToCase) {
    fs::create_directories(root_ / "c" / "Plans" / "Level1");
    std::ofstream(root_ / "c" / "Plans" / "Level1" / "Room.DXF") << "x";
    EXPECT_EQ(map(L"c:\\PLANS\\level1\\room.dxf"), (root_ / "c" / "Plans" / "Level1" / "Room.DXF").string());
    // A missing part keeps its spelling, and so does everything after it.
    EXPECT_EQ(map(L"C:\\plans\\New\\Sub"), (root_ / "c" / "Plans" / "New" / "Sub").string());
}

TEST_F(PathsTest, NativeToWindowsAndBack) {
    EXPECT_EQ(win::nativeToWindows("/home/a/plan.dxf"), L"Z:\\home\\a\\plan.dxf");
    EXPECT_EQ(win::nativeToWindows("/"), L"Z:\\");
    EXPECT_EQ(win::nativeToWindows((root_ / "c").string()), L"C:\\");
    EXPECT_EQ(win::nativeToWindows((root_ / "c" / "CadHost" / "a b.txt").string()), L"C:\\CadHost\\a b.txt");
    // A sibling whose name only starts like the C: folder is not on C:.
    EXPECT_EQ(win::nativeToWindows((root_ / "cc").string()).substr(0, 3), L"Z:\\");
    EXPECT_EQ(win::nativeToWindows("rel/f.txt"), win::nativeToWindows((root_ / "work" / "rel" / "f.txt").string()));
    const std::wstring w = win::nativeToWindows((root_ / "work" / "\xC3\xA9t\xC3\xA9.dxf").string());
    EXPECT_EQ(map(w.c_str()), (root_ / "work" / "\xC3\xA9t\xC3\xA9.dxf").string());
}

TEST_F(PathsTest, AnyNameComesBackToItsOwnBytesAndIsShownReadable) {
    // Each byte that was no UTF-8 became U+FFFD: such a file could be listed, never opened.
    const struct Case {
        const char* what;
        std::string name, shown;
    } cases[] = {
        {"UTF-8", "\xC3\xA9t\xC3\xA9.dxf", "\xC3\xA9t\xC3\xA9.dxf"},
        {"Latin-1", "caf\xE9.dxf", "caf\\xE9.dxf"},
        {"a lead byte cut short", "a\xC3(.dxf", "a\\xC3(.dxf"},
        {"an encoded surrogate", "\xED\xA0\x80.dxf", "\\xED\\xA0\\x80.dxf"},
        {"an overlong form", "\xC0\xAF.dxf", "\\xC0\\xAF.dxf"},
        {"stray bytes after a character", "\xC3\xA9\xA9\xFF.dxf", "\xC3\xA9\\xA9\\xFF.dxf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(win::toNative(win::fromNative(c.name)), c.name);
        EXPECT_EQ(win::shown(win::fromNative(c.name)), c.shown);
        const fs::path file = root_ / "work" / c.name;
        std::ofstream(file) << "x";
        const std::wstring windows = win::nativeToWindows(file.string());
        EXPECT_EQ(map(windows.c_str()), file.string()) << "by its full path";
        EXPECT_EQ(map(win::fromNative(c.name).c_str()), file.string()) << "by its bare name";
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileW(windows.c_str(), &found);
        ASSERT_NE(search, INVALID_HANDLE_VALUE);
        EXPECT_EQ(win::toNative(found.cFileName), c.name) << "listed as itself";
        FindClose(search);
    }
    // Text holding no such byte is UTF-8 both ways; lines are kept only where asked.
    EXPECT_EQ(win::toNative(L"\u00e9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(win::shown(L"a\nb\x1B[0m\x9B"), "a\\x0Ab\\x1B[0m\\x9B");
    EXPECT_EQ(win::shown(L"a\r\nb\tc\r", true), "a\r\nb\tc\\x0D");
}

TEST(WinErrors, ErrnoMapsToWindowsCodes) {
    EXPECT_EQ(win::errorFromErrno(ENOENT, "/no/such/folder/file"), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(win::errorFromErrno(ENOENT, "/tmp/no-such-file-here"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(win::errorFromErrno(EACCES), ERROR_ACCESS_DENIED);
    EXPECT_EQ(win::errorFromErrno(EEXIST), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(win::errorFromErrno(EEXIST, "", ERROR_FILE_EXISTS), ERROR_FILE_EXISTS);
    EXPECT_EQ(win::errorFromErrno(EBUSY), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(win::errorFromErrno(ENOTEMPTY), ERROR_DIR_NOT_EMPTY);
    SetLastError(183);
    EXPECT_EQ(GetLastError(), 183u);
}

TEST(WinErrors, FormatMessageGivesTheUsualTexts) {
    LPWSTR text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        ERROR_ACCESS_DENIED, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::wstring(text), L"Access is denied.\r\n");
    EXPECT_EQ(n, 19u);
    LocalFree(text);

    wchar_t buf[128];
    EXPECT_GT(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 2, 0, buf, 128, nullptr), 0u);
    EXPECT_STREQ(buf, L"The system cannot find the file specified.\r\n");
    EXPECT_GT(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 183, 0, buf, 128, nullptr), 0u);
    EXPECT_STREQ(buf, L"Cannot create a file when that file already exists.\r\n");
    // An HRESULT of the Win32 facility gives the Win32 text.
    EXPECT_GT(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0x80070020u, 0, buf, 128, nullptr), 0u);
    EXPECT_STREQ(buf, L"The process cannot access the file because it is being used by another process.\r\n");

    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 2, 0, buf, 10, nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 987654, 0, buf, 128, nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
}

// A name that does not exist yet is matched against what the folder holds now, however often the
// folder changed since its names were first read.
TEST_F(PathsTest, CaseMatchingFollowsAFolderAsItChanges) {
    const fs::path out = root_ / "c" / "Out";
    fs::create_directories(out);
    const std::string native = out.string();
    EXPECT_EQ(map(L"C:\\out\\Plot.pdf"), native + "/Plot.pdf"); // missing: the names are read now
    std::ofstream(out / "PLOT.pdf") << "x";
    EXPECT_EQ(map(L"C:\\out\\Plot.pdf"), native + "/PLOT.pdf");
    fs::rename(out / "PLOT.pdf", out / "plot.PDF");
    EXPECT_EQ(map(L"C:\\out\\Plot.pdf"), native + "/plot.PDF");
    fs::remove(out / "plot.PDF");
    EXPECT_EQ(map(L"C:\\out\\Plot.pdf"), native + "/Plot.pdf");
    // Moved in from elsewhere, and a folder made in it.
    std::ofstream(root_ / "c" / "Elsewhere.XML") << "x";
    fs::rename(root_ / "c" / "Elsewhere.XML", out / "Elsewhere.XML");
    EXPECT_EQ(map(L"C:\\out\\elsewhere.xml"), native + "/Elsewhere.XML");
    fs::create_directory(out / "Copies");
    EXPECT_EQ(map(L"C:\\out\\copies\\a.dxf"), native + "/Copies/a.dxf");
    // The folder itself replaced by another of another spelling.
    fs::remove_all(out);
    fs::create_directories(root_ / "c" / "OUT");
    std::ofstream(root_ / "c" / "OUT" / "Report.Pdf") << "x";
    EXPECT_EQ(map(L"C:\\out\\report.pdf"), (root_ / "c" / "OUT" / "Report.Pdf").string());
}

TEST_F(PathsTest, CaseMatchingKeepsUpWithManyFolders) {
    // More folders than are watched at once: each still answers from what it holds.
    for (int i = 0; i < 40; ++i) {
        const fs::path folder = root_ / "c" / ("F" + std::to_string(i));
        fs::create_directories(folder);
        const std::wstring asked = L"C:\\f" + std::to_wstring(i) + L"\\name.txt";
        EXPECT_EQ(map(asked.c_str()), (folder / "name.txt").string());
        std::ofstream(folder / "NAME.txt") << "x";
        EXPECT_EQ(map(asked.c_str()), (folder / "NAME.txt").string());
    }
    for (int i = 0; i < 40; ++i) {
        const fs::path folder = root_ / "c" / ("F" + std::to_string(i));
        const std::wstring asked = L"C:\\f" + std::to_wstring(i) + L"\\Name.TXT";
        EXPECT_EQ(map(asked.c_str()), (folder / "NAME.txt").string()) << i;
    }
}
