// The preferences command, the preferences dialog's checks and clamps, and the about box.
#include <gtest/gtest.h>

#include "classlib/DialogDriver.h"
#include "commands/Brenvik.h"
#include "dialogs/PresAbout.h"
#include "dialogs/PresPreferences.h"
#include "support/EntryFixture.h"

namespace {

using classlib::DialogDriver;
using kelmo_test::defaultPrefsFile;

class Preferences : public kelmo_test::ModuleFixture {
protected:
    INT_PTR runDialog() {
        CPresPreferences dialog;
        dialog.setHostDirectory(L"C:\\CadHost");
        return dialog.DoModal();
    }
    static void set(const wchar_t* control, const wchar_t* text) {
        onDialog([=](HWND d) { EXPECT_TRUE(DialogDriver::setText(d, control, text)) << control; });
    }
    static void press(char key) {
        onDialog([key](HWND d) {
            EXPECT_TRUE(key == 'e'   ? DialogDriver::enter(d)
                        : key == 'x' ? DialogDriver::close(d)
                                     : DialogDriver::escape(d));
        });
    }
    static std::string with(std::string text, const std::string& from, const std::string& to) {
        return text.replace(text.find(from), from.size(), to);
    }
};

TEST_F(Preferences, SetValuesClampsSizesTurnsRotationsAndWritesTheValuesBack) {
    const double cases[][6] = {{0.0, 0.0, 200.0, 0.1, 0.1, -160.0},
                               {-5.0, -1.0, -200.0, 0.1, 0.1, 160.0},
                               {0.5, 2.0, 90.0, 0.5, 2.0, 90.0},
                               {1.0, 1.0, 400.0, 1.0, 1.0, 40.0}};
    for (const auto& c : cases) {
        CPresPreferences dialog;
        int units = 1, precision = 12;
        double size = c[0], scale = c[1], rotation = c[2], zoom = -3.0;
        CString opener = L"calc.exe";
        dialog.setValues(units, precision, size, scale, rotation, opener, zoom);
        EXPECT_TRUE(size == c[3] && scale == c[4] && rotation == c[5]) << size << " " << scale << " " << rotation;
        dialog.getValues(units, precision, size, scale, rotation, opener, zoom);
        EXPECT_TRUE(precision == 12 && size == c[3] && rotation == c[5] && opener == L"calc.exe" && zoom == -3.0);
    }
}

TEST_F(Preferences, ATextSizeBelowOneShowsAs250FromTheFileAndIsSavedAsOneFromTheDialog) {
    writePrefs(with(with(defaultPrefsFile, "250.00", "0.50"), "units\r\n0", "units\r\n1"));
    std::wstring shown;
    onDialog([&](HWND) { shown = dumpCurrent(); });
    set(L"291", L"0.5");
    set(L"341", L"2.5");
    set(L"342", L"-45");
    set(L"330", L"C:\\Tools\\sheet.exe");
    press('e');
    EXPECT_EQ(runDialog(), IDOK);
    EXPECT_NE(shown.find(L"291 edit \"250\""), std::wstring::npos) << shown;
    EXPECT_NE(shown.find(L"289 radio \"ft\" enabled visible checked"), std::wstring::npos) << shown;
    std::string expected = with(defaultPrefsFile, "units\r\n0", "units\r\n1");
    expected = with(with(expected, "250.00", "1.00"), "textScale\r\n1.00", "textScale\r\n2.50");
    expected = with(with(expected, "0.00", "-45.00"), "NONE", "C:\\Tools\\sheet.exe");
    EXPECT_EQ(readPrefs(), expected);
}

TEST_F(Preferences, AValueOutOfRangeIsReportedOnceAndNothingIsSaved) {
    writePrefs(defaultPrefsFile);
    set(L"290", L"10");
    press('e');
    set(L"290", L"3");
    set(L"292", L"20000");
    press('e');
    // A text scale the block editor would refuse on every OK after "mut" took it.
    set(L"292", L"1000");
    set(L"341", L"99999999");
    press('e');
    press('c');
    EXPECT_EQ(runDialog(), IDCANCEL);
    ASSERT_EQ(host->messageBoxes().size(), 3u);
    EXPECT_EQ(host->messageBoxes()[0].text, L"Please enter an integer between 0 and 9.");
    EXPECT_EQ(host->messageBoxes()[1].text, L"Please enter a number between 0 and 10000.");
    EXPECT_EQ(host->messageBoxes()[2].text, L"Text Scale: please enter a number between 0.01 and 100.");
    EXPECT_EQ(readPrefs(), defaultPrefsFile);
}

TEST_F(Preferences, AStoredTextScaleOutsideTheLabelsRangeIsShownAndSavedAsItStandsUntilThePersonChangesIt) {
    const struct {
        const char* stored;
        const wchar_t* box;
        const wchar_t* typed; // null: the box is left as shown
        const char* saved;
        size_t refusals;
    } cases[] = {
        {"150.00", L"150", nullptr, "150.00", 0},
        {"0.005", L"0.005", nullptr, "0.005", 0},
        {"150.00", L"150", L"2", "2.00", 0},
        // Typed, the same out-of-range value is refused; the file keeps what it held.
        {"1.00", L"1", L"150", "1.00", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        const size_t boxes = host->messageBoxes().size();
        writePrefs(with(defaultPrefsFile, "textScale\r\n1.00", std::string("textScale\r\n") + c.stored));
        std::wstring shown;
        onDialog([&](HWND) { shown = dumpCurrent(); });
        set(L"290", L"3");
        if (c.typed) set(L"341", c.typed);
        press('e');
        if (c.refusals) press('c');
        EXPECT_EQ(runDialog(), c.refusals ? IDCANCEL : IDOK);
        EXPECT_EQ(host->messageBoxes().size() - boxes, c.refusals);
        EXPECT_NE(shown.find(std::wstring(L"341 edit \"") + c.box + L"\""), std::wstring::npos) << shown;
        const std::string precision = c.refusals ? "precison\r\n2" : "precison\r\n3";
        EXPECT_EQ(readPrefs(), with(with(defaultPrefsFile, "textScale\r\n1.00", std::string("textScale\r\n") + c.saved),
                                    "precison\r\n2", precision));
    }
}

TEST_F(Preferences, TheCloseBoxSavesLikeOkButStaysOpenOnABadValue) {
    writePrefs(defaultPrefsFile);
    set(L"341", L"abc");
    press('x');
    set(L"341", L"3");
    press('x');
    EXPECT_EQ(runDialog(), IDCANCEL);
    ASSERT_EQ(host->messageBoxes().size(), 1u);
    EXPECT_EQ(host->messageBoxes()[0].text, L"Please enter a number.");
    EXPECT_EQ(readPrefs(), with(defaultPrefsFile, "textScale\r\n1.00", "textScale\r\n3.00"));
}

TEST_F(Preferences, ACsvOpenerPathThePreferencesFileCannotHoldIsRefusedSayingWhyAndOneItCanHoldIsKept) {
    const struct {
        const char* what;
        const wchar_t* typed;
        const char* saved;    // the file's bytes for it (Windows-1252); null: refused and not saved
        const wchar_t* shown; // the character the refusal names
    } cases[] = {
        {"Cyrillic", L"Z:\\tmp\\\x041F\x0440\x043E\x0433\x0440\x0430\x043C\x043C\x044B\\open.sh", nullptr, L"\x041F"},
        {"Greek after Latin", L"C:\\Tools\\caf\x00E9\\\x03B1.exe", nullptr, L"\x03B1"},
        {"an emoji", L"C:\\Tools\\\x1F600.exe", nullptr, L"\x1F600"},
        {"German",
         L"C:\\Programme\\\x00D6"
         L"ffnen.exe",
         "C:\\Programme\\\xD6"
         "ffnen.exe",
         nullptr},
        {"the euro sign and a dash", L"C:\\\x20AC\x2013tools\\x.exe", "C:\\\x80\x96tools\\x.exe", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const size_t boxes = host->messageBoxes().size();
        writePrefs(defaultPrefsFile);
        set(L"330", c.typed);
        press('e');
        if (!c.saved) press('c');
        EXPECT_EQ(runDialog(), c.saved ? IDOK : IDCANCEL);
        if (c.saved) {
            EXPECT_EQ(host->messageBoxes().size(), boxes);
            EXPECT_EQ(readPrefs(), with(defaultPrefsFile, "NONE", c.saved));
            continue;
        }
        ASSERT_EQ(host->messageBoxes().size(), boxes + 1);
        EXPECT_EQ(host->messageBoxes().back().text,
                  std::wstring(L"CSV Opener: the preferences file holds Western European characters only "
                               L"(Windows-1252), and this path holds one it cannot keep: \"") +
                      c.shown + L"\". Please enter the path of a program whose folders and name it can keep.");
        EXPECT_EQ(readPrefs(), defaultPrefsFile);
    }
}

TEST_F(Preferences, TheCommandSavesAChangeAndEscapeLeavesTheFileAlone) {
    writePrefs(defaultPrefsFile);
    set(L"292", L"1500");
    press('e');
    editPreferences();
    set(L"292", L"2500");
    press('c');
    editPreferences();
    EXPECT_EQ(host->commandLine(), L"Kelmo Edit Preferences 64.04.00.01\nKelmo Edit Preferences 64.04.00.01\n");
    EXPECT_EQ(readPrefs(), with(defaultPrefsFile, "1000", "1500"));
}

TEST_F(Preferences, TheAboutBoxShowsItsVersions) {
    std::wstring shown;
    onDialog([&](HWND) { shown = dumpCurrent(); });
    press('e');
    CPresAbout about;
    EXPECT_EQ(about.DoModal(), IDOK);
    for (const wchar_t* line : {L"\"About - Dorvane\"", L"326 static \"64.04.00.01\"", L"327 static \"Oct  3 2014\"",
                                L"337 static \"64bit 14\""}) {
        EXPECT_NE(shown.find(line), std::wstring::npos) << line << shown;
    }
}

} // namespace
