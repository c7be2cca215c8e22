// The preferences command, the preferences dialog's checks and clamps, and the about box.
#include <gtest/gtest.h>

#include <string>

#include "classlib/DialogDriver.h"
#include "commands/Brenvik.h"
#include "core/Globals.h"
#include "dialogs/PresAbout.h"
#include "dialogs/PresPreferences.h"
#include "support/EntryFixture.h"

namespace {

namespace fs = std::filesystem;
using classlib::DialogDriver;
using kelmo_test::defaultPrefsFile;

class Preferences : public kelmo_test::ModuleFixture {
protected:
    // Runs the preferences dialog on the host folder with the actions queued.
    INT_PTR runDialog() {
        CPresPreferences dialog;
        dialog.setHostDirectory(g_hostDirectory);
        return dialog.DoModal();
    }
    static void set(const wchar_t* control, const wchar_t* text) {
        onDialog([=](HWND d) { EXPECT_TRUE(DialogDriver::setText(d, control, text)) << control; });
    }
    static void press(const char* key) {
        const std::string which = key;
        onDialog([which](HWND d) {
            if (which == "enter") {
                EXPECT_TRUE(DialogDriver::enter(d));
            } else if (which == "escape") {
                EXPECT_TRUE(DialogDriver::escape(d));
            } else {
                EXPECT_TRUE(DialogDriver::close(d));
            }
        });
    }
    static std::string replaced(std::string text, const std::string& from, const std::string& to) {
        text.replace(text.find(from), from.size(), to);
        return text;
    }
};

TEST_F(Preferences, SetValuesClampsAndWritesTheClampedValuesBack) {
    struct Case {
        double size, scale, rotation;
        double size2, scale2, rotation2;
    } cases[] = {
        {0.0, 0.0, 200.0, 0.1, 0.1, 180.0},
        {-5.0, -1.0, -200.0, 0.1, 0.1, -180.0},
        {0.5, 2.0, 90.0, 0.5, 2.0, 90.0},
        {12.0, 1.0, -180.0, 12.0, 1.0, -180.0},
    };
    for (const Case& c : cases) {
        CPresPreferences dialog;
        int units = 1, precision = 12;
        double size = c.size, scale = c.scale, rotation = c.rotation, zoom = -3.0;
        CString opener = L"notepad.exe";
        dialog.setValues(units, precision, size, scale, rotation, opener, zoom);
        EXPECT_EQ(size, c.size2);
        EXPECT_EQ(scale, c.scale2);
        EXPECT_EQ(rotation, c.rotation2);
        EXPECT_EQ(precision, 12);  // taken as given
        EXPECT_EQ(zoom, -3.0);
        int u2 = 0, p2 = 0;
        double s2 = 0, sc2 = 0, r2 = 0, z2 = 0;
        CString o2;
        dialog.getValues(u2, p2, s2, sc2, r2, o2, z2);
        EXPECT_EQ(u2, 1);
        EXPECT_EQ(p2, 12);
        EXPECT_EQ(s2, c.size2);
        EXPECT_EQ(sc2, c.scale2);
        EXPECT_EQ(r2, c.rotation2);
        EXPECT_EQ(o2, CString(L"notepad.exe"));
        EXPECT_EQ(z2, -3.0);
    }
}

TEST_F(Preferences, TheDialogShowsTheFilesValuesAndATinyTextSizeAs250) {
    writePrefs(replaced(replaced(defaultPrefsFile, "250.00", "0.50"), "units\r\n0", "units\r\n1"));
    std::wstring shown;
    onDialog([&](HWND) { shown = dumpCurrent(); });
    press("escape");
    EXPECT_EQ(runDialog(), IDCANCEL);
    EXPECT_NE(shown.find(L"291 edit \"250\""), std::wstring::npos) << shown;
    EXPECT_NE(shown.find(L"289 radio \"ft\" enabled visible checked"), std::wstring::npos) << shown;
}

TEST_F(Preferences, OkSavesAConfirmedTextSizeBelowOneAsOne) {
    writePrefs(defaultPrefsFile);
    set(L"291", L"0.5");
    set(L"341", L"2.5");
    set(L"342", L"-45");
    set(L"330", L"C:\\Tools\\sheet.exe");
    set(L"292", L"250");
    onDialog([](HWND d) { EXPECT_TRUE(DialogDriver::radio(d, L"289")); });
    press("enter");
    EXPECT_EQ(runDialog(), IDOK);
    std::string expected = defaultPrefsFile;
    expected = replaced(expected, "units\r\n0", "units\r\n1");
    expected = replaced(expected, "250.00", "1.00");
    expected = replaced(expected, "textScale\r\n1.00", "textScale\r\n2.50");
    expected = replaced(expected, "0.00", "-45.00");
    expected = replaced(expected, "NONE", "C:\\Tools\\sheet.exe");
    expected = replaced(expected, "1000", "250");
    EXPECT_EQ(readPrefs(), expected);
}

TEST_F(Preferences, AValueOutOfRangeIsReportedOnceAndNothingIsSaved) {
    writePrefs(defaultPrefsFile);
    set(L"290", L"10");
    press("enter");
    onDialog([](HWND d) { EXPECT_NE(d, nullptr) << "the dialog stays open"; });
    set(L"290", L"3");
    set(L"292", L"20000");
    press("enter");
    press("escape");
    EXPECT_EQ(runDialog(), IDCANCEL);
    ASSERT_EQ(host->messageBoxes().size(), 2u);
    EXPECT_EQ(host->messageBoxes()[0].text, L"Please enter an integer between 0 and 9.");
    EXPECT_EQ(host->messageBoxes()[1].text, L"Please enter a number between 0 and 10000.");
    EXPECT_EQ(readPrefs(), defaultPrefsFile);
}

TEST_F(Preferences, TheCloseBoxSavesLikeOkAndEscapeSavesNothing) {
    writePrefs(defaultPrefsFile);
    set(L"290", L"4");
    press("escape");
    EXPECT_EQ(runDialog(), IDCANCEL);
    EXPECT_EQ(readPrefs(), defaultPrefsFile);

    set(L"290", L"4");
    press("close");
    EXPECT_EQ(runDialog(), IDCANCEL);
    EXPECT_EQ(readPrefs(), replaced(defaultPrefsFile, "precison\r\n2", "precison\r\n4"));
}

TEST_F(Preferences, TheCloseBoxKeepsTheDialogOpenWhenAValueFailsItsCheck) {
    writePrefs(defaultPrefsFile);
    set(L"341", L"abc");
    press("close");
    onDialog([](HWND d) { EXPECT_NE(d, nullptr) << "the dialog stays open"; });
    set(L"341", L"3");
    press("close");
    runDialog();
    ASSERT_EQ(host->messageBoxes().size(), 1u);
    EXPECT_EQ(host->messageBoxes()[0].text, L"Please enter a number.");
    EXPECT_EQ(readPrefs(), replaced(defaultPrefsFile, "textScale\r\n1.00", "textScale\r\n3.00"));
}

TEST_F(Preferences, AFileThatCannotBeWrittenIsReportedAndTheDialogStillCloses) {
    fs::create_directories(prefsFile());  // a folder where the file should be
    press("enter");
    EXPECT_EQ(runDialog(), IDOK);
    ASSERT_FALSE(host->messageBoxes().empty());
    EXPECT_EQ(host->messageBoxes().back().caption, L"Error - Configuration Not Saved");
    EXPECT_EQ(host->messageBoxes().back().text.rfind(L"Unable to Write Configuration File - ", 0), 0u);
}

TEST_F(Preferences, TheCommandPrintsItsTitleAndSavesAChangedValue) {
    writePrefs(defaultPrefsFile);
    set(L"292", L"1500");
    press("enter");
    editPreferences();
    EXPECT_EQ(host->commandLine(), L"Kelmo Edit Preferences 64.04.00.01\n");
    EXPECT_EQ(readPrefs(), replaced(defaultPrefsFile, "1000", "1500"));

    host->clearCommandLine();
    set(L"292", L"2500");
    press("escape");
    editPreferences();
    EXPECT_EQ(host->commandLine(), L"Kelmo Edit Preferences 64.04.00.01\n");
    EXPECT_EQ(readPrefs(), replaced(defaultPrefsFile, "1000", "1500"));
}

TEST_F(Preferences, TheAboutBoxShowsItsVersions) {
    std::wstring shown;
    onDialog([&](HWND) { shown = dumpCurrent(); });
    press("enter");
    CPresAbout about;
    EXPECT_EQ(about.DoModal(), IDOK);
    EXPECT_NE(shown.find(L"\"About - Dorvane\""), std::wstring::npos) << shown;
    EXPECT_NE(shown.find(L"326 static \"64.04.00.01\""), std::wstring::npos) << shown;
    EXPECT_NE(shown.find(L"327 static \"Oct  3 2014\""), std::wstring::npos) << shown;
    EXPECT_NE(shown.find(L"337 static \"64bit 14\""), std::wstring::npos) << shown;
}

} // namespace
