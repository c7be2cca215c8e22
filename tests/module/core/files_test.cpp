// Windows-form path rules, folders through the path mapping, temporary files, waiting.
#include <gtest/gtest.h>

#include <filesystem>

#include "CoreTestSupport.h"
#include "core/FileUtilities.h"
#include "core/SystemUtilities.h"
#include "core/TempFiles.h"

namespace {

TEST(PathRules, PathTypes) {
    const struct {
        const wchar_t* path;
        int type;
        const wchar_t* after;
    } cases[] = {
        {L"", 3, L""},
        {L"report.xml", 0, L"report.xml"},
        {L"a.b.c", 0, L"a.b.c"},
        {L"plan?.dwg", 3, L"plan?.dwg"},
        {L"readme", 3, L"readme"},
        {L"c:\\plots\\", 1, L"c:\\plots\\"},
        {L"c:\\plots", 1, L"c:\\plots\\"},
        {L"\\\\server\\share", 1, L"\\\\server\\share\\"},
        {L"c:\\plots\\a.dwf", 2, L"c:\\plots\\a.dwf"},
        {L"\\\\server\\share\\file.txt", 2, L"\\\\server\\share\\file.txt"},
        {L"plots\\a.dwf", 3, L"plots\\a.dwf"},
        {L"plots\\sub", 3, L"plots\\sub"},
        {L"c:/plots", 1, L"c:\\plots\\"},
        {L"Z:/plans/a.dxf", 2, L"Z:\\plans\\a.dxf"},
        {L"plots/a.dwf", 3, L"plots\\a.dwf"},
        {L"Z:\\Plans v1.2\\", 1, L"Z:\\Plans v1.2\\"},
        {L"Z:\\Floors.2024\\copies", 1, L"Z:\\Floors.2024\\copies\\"},
        {L"\\\\server\\v1.2\\", 1, L"\\\\server\\v1.2\\"},
        {L"Z:\\Floors.2024\\plan.dxf", 2, L"Z:\\Floors.2024\\plan.dxf"},
    };
    for (const auto& c : cases) {
        CString path = c.path;
        EXPECT_EQ(CFileUtilities::getPathType(path), c.type) << CString(c.path).ToUtf8();
        EXPECT_EQ(path, CString(c.after)) << CString(c.path).ToUtf8();
    }
}

TEST(PathRules, FileNameSyntaxWithAndWithoutRepair) {
    CFileUtilities files;
    const struct {
        const wchar_t* name;
        BOOL valid;
    } checks[] = {
        {L"plan.dwg", TRUE}, {L"c:plan.dwg", TRUE}, {L"\\plan.dwg", FALSE}, {L"/plan.dwg", FALSE},
        {L"a:b:c", FALSE},   {L":a:b", TRUE},       {L"plan?.dwg", FALSE},  {L"a|b", FALSE},
    };
    for (const auto& c : checks) {
        CString name = c.name;
        EXPECT_EQ(files.checkFilenameSyntax(name, FALSE), c.valid) << CString(c.name).ToUtf8();
        EXPECT_EQ(name, CString(c.name));
    }
    const struct {
        const wchar_t* name;
        const wchar_t* repaired;
    } repairs[] = {
        {L"plan?.dwg", L"plan.dwg"},
        {L"\\plan.dwg", L"plan.dwg"},
        {L"a:b:c", L"a:bc"},
        {L"<a*b>", L"ab"},
    };
    for (const auto& c : repairs) {
        CString name = c.name;
        EXPECT_TRUE(files.checkFilenameSyntax(name, TRUE));
        EXPECT_EQ(name, CString(c.repaired));
    }
}

TEST(PathRules, FolderSyntaxKeepsTheDriveColonAndEndsInABackslash) {
    const struct {
        const wchar_t* path;
        const wchar_t* expected;
    } cases[] = {
        {L"c:\\plots", L"c:\\plots\\"},
        {L"c:\\plots\\", L"c:\\plots\\"},
        {L"c:\\a:b\\c", L"c:\\ab\\c\\"},
        {L"\\\\server\\share", L"\\\\server\\share\\"},
        {L"", L""},
        {L"c:\\a*?\"<>|b", L"c:\\ab\\"},
    };
    for (const auto& c : cases) {
        CString path = c.path;
        CFileUtilities::checkPathSyntax(path);
        EXPECT_EQ(path, CString(c.expected));
    }
}

TEST(PathRules, ExtensionsAndFolderParts) {
    EXPECT_EQ(CFileUtilities::swapFileExtension(L" Plan.dwg ", L".dwg", L".krp"), CString(L"Plan.krp"));
    EXPECT_EQ(CFileUtilities::swapFileExtension(L"Plan.DWG", L".dwg", L".krp"), CString(L"Plan.DWG.krp"));
    EXPECT_EQ(CFileUtilities::getDirectoryString(L"c:\\a\\b.txt"), CString(L"c:\\a\\"));
    EXPECT_EQ(CFileUtilities::getDirectoryString(L"c:\\a\\b\\"), CString(L"c:\\a\\"));
    EXPECT_EQ(CFileUtilities::getDirectoryString(L"plan.dwg"), CString(L""));
}

TEST(Folders, NestedFoldersAreCreatedThroughThePathMapping) {
    coretest::TempCDrive drive;
    std::filesystem::create_directories(drive.native("a"));
    coretest::clearCommandLine();
    EXPECT_TRUE(CFileUtilities::ensureDirectoryExists(L"C:\\a\\b\\c\\"));
    EXPECT_TRUE(std::filesystem::is_directory(drive.native("a/b/c")));
    EXPECT_TRUE(CFileUtilities::ensureDirectoryExists(L"c:\\a\\b\\c"));
    EXPECT_TRUE(CFileUtilities::ensureDirectoryExists(L"c:\\"));
    EXPECT_TRUE(CFileUtilities::directoryExists(L"C:\\a\\b\\"));
    EXPECT_FALSE(CFileUtilities::directoryExists(L"C:\\a\\x\\"));
    EXPECT_EQ(coretest::commandLineText(), L"");
}

TEST(Folders, AFolderThatCannotBeMadeIsReportedOnceAndABareNameSilently) {
    coretest::TempCDrive drive;
    coretest::writeBytes(drive.native("file"), "x");
    coretest::clearCommandLine();
    EXPECT_FALSE(CFileUtilities::ensureDirectoryExists(L"no-such-folder-anywhere"));
    EXPECT_EQ(coretest::commandLineText(), L"");
    EXPECT_FALSE(CFileUtilities::ensureDirectoryExists(L"C:\\file\\sub\\deeper\\"));
    EXPECT_EQ(coretest::commandLineText(), L"Cannot create C:\\file\\sub\n");
    // Another drive does not exist here.
    coretest::clearCommandLine();
    EXPECT_FALSE(CFileUtilities::ensureDirectoryExists(L"Q:\\x\\"));
}

TEST(Files, ExistenceDeletionAndModificationTime) {
    coretest::TempCDrive drive;
    coretest::writeBytes(drive.native("plans/plan.dxf"), "0\nEOF\n");
    EXPECT_TRUE(CFileUtilities::fileExists(L"C:\\plans\\plan.dxf"));
    EXPECT_TRUE(CFileUtilities::fileExists(L"C:\\plans"));
    EXPECT_TRUE(CFileUtilities::directoryExists(L"C:\\plans\\plan.dxf"));
    const COleDateTime modified = CFileUtilities::getModifiedTime(L"C:\\plans\\plan.dxf");
    EXPECT_GE(modified.GetYear(), 2020);
    EXPECT_EQ(CFileUtilities::getModifiedTime(L"C:\\plans\\none.dxf").GetYear(), 1899);
    coretest::clearCommandLine();
    CFileUtilities files;
    EXPECT_TRUE(files.deleteFile(L"C:\\plans\\plan.dxf"));
    EXPECT_FALSE(files.deleteFile(L"C:\\plans\\plan.dxf"));
    EXPECT_FALSE(CFileUtilities::fileExists(L"C:\\plans\\plan.dxf"));
    EXPECT_EQ(coretest::commandLineText(), L"");
}

TEST(TempFiles, ListedFilesGoAndMissingOnesAreSkipped) {
    coretest::TempCDrive drive;
    coretest::writeBytes(drive.native("t/1.tmp"), "1");
    coretest::writeBytes(drive.native("t/3.tmp"), "3");
    {
        CTempFiles temp;
        temp.add(L"C:\\t\\1.tmp");
        temp.add(L"C:\\t\\2.tmp");
        temp.add(L"C:\\t\\3.tmp");
        EXPECT_EQ(temp.getCount(), 3);
        temp.deleteTempFiles();
        EXPECT_EQ(temp.getCount(), 0);
        EXPECT_FALSE(std::filesystem::exists(drive.native("t/1.tmp")));
        EXPECT_FALSE(std::filesystem::exists(drive.native("t/3.tmp")));
        coretest::writeBytes(drive.native("t/4.tmp"), "4");
        coretest::writeBytes(drive.native("t/5.tmp"), "5");
        temp.add(L"C:\\t\\4.tmp");
        EXPECT_EQ(temp.getCount(), 1);
    } // the destructor deletes what is still listed, and only that
    EXPECT_FALSE(std::filesystem::exists(drive.native("t/4.tmp")));
    EXPECT_TRUE(std::filesystem::exists(drive.native("t/5.tmp")));
}

struct FileChooser : win::UiSink {
    win::FileDialogRequest last;
    bool confirm = true;
    bool chooseFile(const win::FileDialogRequest& request, std::wstring& path) override {
        last = request;
        if (confirm) {
            path = L"C:\\reports\\plan.xml";
        }
        return confirm;
    }
};

TEST(Browsing, TheFileDialogGetsAClosedFilterAndGivesTheFullPath) {
    FileChooser chooser;
    win::UiSink* previous = win::setUiSink(&chooser);
    EXPECT_EQ(CFileUtilities::browseForFile(L"XML Graphic Reports (*.xml)|*.xml"), CString(L"C:\\reports\\plan.xml"));
    EXPECT_EQ(chooser.last.filter, L"XML Graphic Reports (*.xml)|*.xml||");
    EXPECT_EQ(chooser.last.flags & 1u, 1u);
    CString fileTitle(L'x', 5000);
    EXPECT_EQ(CFileUtilities::browseForFile(L"Plans", L"C:\\plans", fileTitle, L"All Files (*.*)|*.*||"),
              CString(L"C:\\reports\\plan.xml"));
    EXPECT_EQ(chooser.last.title, L"Plans");
    EXPECT_EQ(chooser.last.filter, L"All Files (*.*)|*.*||");
    EXPECT_EQ(fileTitle, CString(L"plan.xml"));
    chooser.confirm = false;
    EXPECT_EQ(CFileUtilities::browseForFile(L"All Files (*.*)|*.*"), CString(L""));
    win::setUiSink(previous);
}

struct PumpCounter : win::UiSink {
    int pending = 3;
    int pumped = 0;
    bool hasPendingMessage() override { return pending > 0; }
    bool pumpMessage() override {
        ++pumped;
        --pending;
        return true;
    }
};

TEST(Waiting, DoEventsHandlesWhatWaitsThenReturns) {
    PumpCounter counter;
    win::UiSink* previous = win::setUiSink(&counter);
    CSystemUtilities::doEvents();
    EXPECT_EQ(counter.pumped, 3);
    CSystemUtilities::doEvents();
    EXPECT_EQ(counter.pumped, 3);
    CSystemUtilities::wait(0);
    CSystemUtilities::wait(-1);
    win::setUiSink(previous);
}

} // namespace
