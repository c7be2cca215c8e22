// The preferences file "prefs.cfg": its bytes on disk, its clamps on reading, and safe saving.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>

#include <filesystem>
#include <fstream>

#include "CoreTestSupport.h"
#include "core/Preferences.h"

namespace {

const wchar_t* const prefsPath = L"C:\\CadHost\\kelmo\\prefs\\prefs.cfg";
const char* const prefsNative = "CadHost/kelmo/prefs/prefs.cfg";

const std::string defaultFile =
    "//\tKelmo 2001\r\n"
    "//\r\n"
    "//\tConfiguration file for Ostrel\r\n"
    "//\r\n"
    "units\r\n0\r\n"
    "precison\r\n2\r\n"
    "textSize\r\n250.00\r\n"
    "textScale\r\n1.00\r\n"
    "textRotation\r\n0.00\r\n"
    "csvOpener\r\nNONE\r\n"
    "zoomBorder\r\n1000\r\n"
    "inc\r\n1\r\n";

TEST(PreferencesFile, DefaultsAreWrittenByteForByteIntoANewFolder) {
    coretest::TempCDrive drive;
    CPreferences preferences;
    ASSERT_TRUE(preferences.savePreferences(prefsPath));
    EXPECT_EQ(coretest::readBytes(drive.native(prefsNative)), defaultFile);
    EXPECT_FALSE(std::filesystem::exists(drive.native(std::string(prefsNative) + ".new")));
}

TEST(PreferencesFile, SavedValuesComeBackWithTheZoomBorderWhole) {
    coretest::TempCDrive drive;
    CPreferences saved;
    saved.setUnits(1);
    saved.setPrecision(3);
    saved.setTextSize(12.345);
    saved.setTextScale(0.5);
    saved.setTextRotation(-45.0);
    saved.setCsvOpener(L"C:\\Tools\\sheet.exe");
    saved.setZoomBorder(12.6);
    saved.setInc(5);
    ASSERT_TRUE(saved.savePreferences(prefsPath));
    CPreferences loaded;
    ASSERT_TRUE(loaded.loadPreferences(prefsPath));
    EXPECT_EQ(loaded.getUnits(), 1);
    EXPECT_EQ(loaded.getPrecision(), 3);
    EXPECT_DOUBLE_EQ(loaded.getTextSize(), 12.35);
    EXPECT_DOUBLE_EQ(loaded.getTextScale(), 0.5);
    EXPECT_DOUBLE_EQ(loaded.getTextRotation(), -45.0);
    EXPECT_EQ(loaded.getCsvOpener(), CString(L"C:\\Tools\\sheet.exe"));
    EXPECT_DOUBLE_EQ(loaded.getZoomBorder(), 13.0);
    EXPECT_EQ(loaded.getInc(), 5);
}

TEST(PreferencesFile, ReadingTurnsRotationsAndKeepsSizesAndIncrementUsable) {
    coretest::TempCDrive drive;
    const struct {
        std::string body;
        double textSize;
        double textScale;
        double textRotation;
        int inc;
    } cases[] = {
        {"textSize\n0\ntextScale\n-3\n", 250.0, 1.0, 0.0, 1},
        // A rotation is the angle it turns to.
        {"textRotation\n270\ninc\n0\n", 250.0, 1.0, -90.0, 1},
        {"textRotation\n-400\ninc\n101\n", 250.0, 1.0, -40.0, 1},
        {"textRotation\n-180\n", 250.0, 1.0, -180.0, 1},
        {"inc\n100\ntextSize\n  7.5 \n", 7.5, 1.0, 0.0, 100},
        // A label scale the block editor cannot take stays as the file holds it, for the person to change.
        {"textScale\n99999999\n", 250.0, 99999999.0, 0.0, 1},
        {"textScale\n0.001\n", 250.0, 0.001, 0.0, 1},
        // Written with a decimal comma or thousands, as the file's other writers may: read whole.
        {"textSize\n250,5\ntextScale\n1,50\ntextRotation\n-12,5\n", 250.5, 1.5, -12.5, 1},
        {"textSize\n1.250,5\ntextScale\n0,005\n", 1250.5, 0.005, 0.0, 1},
    };
    for (const auto& c : cases) {
        coretest::writeBytes(drive.native(prefsNative), c.body);
        CPreferences preferences;
        ASSERT_TRUE(preferences.loadPreferences(prefsPath));
        EXPECT_DOUBLE_EQ(preferences.getTextSize(), c.textSize) << c.body;
        EXPECT_DOUBLE_EQ(preferences.getTextScale(), c.textScale) << c.body;
        EXPECT_DOUBLE_EQ(preferences.getTextRotation(), c.textRotation) << c.body;
        EXPECT_EQ(preferences.getInc(), c.inc) << c.body;
    }
}

TEST(PreferencesFile, KeysMatchByTheirFirstCharactersAndCaseAndAnEmptyLineEndsTheFile) {
    coretest::TempCDrive drive;
    coretest::writeBytes(drive.native(prefsNative),
                         "unitsAndMore\r\n1\r\n"
                         "// a comment between settings\r\n"
                         "Precison\r\n5\r\n"
                         "csvOpener\r\n  viewer.exe  \r\n"
                         "\r\n"
                         "inc\r\n9\r\n");
    CPreferences preferences;
    ASSERT_TRUE(preferences.loadPreferences(prefsPath));
    EXPECT_EQ(preferences.getUnits(), 1);
    EXPECT_EQ(preferences.getPrecision(), 2);
    EXPECT_EQ(preferences.getCsvOpener(), CString(L"viewer.exe"));
    EXPECT_EQ(preferences.getInc(), 1);
}

TEST(PreferencesFile, AMissingFileLeavesEverySetting) {
    coretest::TempCDrive drive;
    CPreferences preferences;
    preferences.setUnits(1);
    EXPECT_FALSE(preferences.loadPreferences(prefsPath));
    EXPECT_EQ(preferences.getUnits(), 1);
}

TEST(PreferencesFile, DamagedValuesFallBackToTheDefaults) {
    coretest::TempCDrive drive;
    const struct {
        std::string body;
        int units;
        int precision;
        double textSize;
        double textScale;
        double textRotation;
        double zoomBorder;
    } cases[] = {
        {"units\n99\nprecison\n1000\n", 0, 2, 250.0, 1.0, 0.0, 1000.0},
        {"units\n-1\nprecison\n-5\n", 0, 2, 250.0, 1.0, 0.0, 1000.0},
        {"units\n1\nprecison\n9\nzoomBorder\n10000\n", 1, 9, 250.0, 1.0, 0.0, 10000.0},
        {"precison\n0\nzoomBorder\n0\n", 0, 0, 250.0, 1.0, 0.0, 0.0},
        {"textSize\nnan\ntextScale\ninf\ntextRotation\nnan\n", 0, 2, 250.0, 1.0, 0.0, 1000.0},
        {"textSize\n1e999\ntextScale\n0x10\nzoomBorder\n1e300\n", 0, 2, 250.0, 1.0, 0.0, 1000.0},
        {"zoomBorder\n-1\n", 0, 2, 250.0, 1.0, 0.0, 1000.0},
    };
    for (const auto& c : cases) {
        coretest::writeBytes(drive.native(prefsNative), c.body);
        CPreferences preferences;
        ASSERT_TRUE(preferences.loadPreferences(prefsPath));
        EXPECT_EQ(preferences.getUnits(), c.units) << c.body;
        EXPECT_EQ(preferences.getPrecision(), c.precision) << c.body;
        EXPECT_DOUBLE_EQ(preferences.getTextSize(), c.textSize) << c.body;
        EXPECT_DOUBLE_EQ(preferences.getTextScale(), c.textScale) << c.body;
        EXPECT_DOUBLE_EQ(preferences.getTextRotation(), c.textRotation) << c.body;
        EXPECT_DOUBLE_EQ(preferences.getZoomBorder(), c.zoomBorder) << c.body;
    }
    // What was loaded saves back as a file the dialog accepts.
    coretest::writeBytes(drive.native(prefsNative), "units\n-1\nprecison\n1000\ntextSize\nnan\n");
    CPreferences damaged;
    ASSERT_TRUE(damaged.loadPreferences(prefsPath));
    ASSERT_TRUE(damaged.savePreferences(prefsPath));
    const std::string saved = coretest::readBytes(drive.native(prefsNative));
    EXPECT_NE(saved.find("units\r\n0\r\nprecison\r\n2\r\ntextSize\r\n250.00\r\n"), std::string::npos) << saved;
}

TEST(PreferencesFile, SavingReplacesTheWholeOldFile) {
    coretest::TempCDrive drive;
    coretest::writeBytes(drive.native(prefsNative), std::string(5000, 'x'));
    CPreferences preferences;
    ASSERT_TRUE(preferences.savePreferences(prefsPath));
    EXPECT_EQ(coretest::readBytes(drive.native(prefsNative)), defaultFile);
}

TEST(PreferencesFile, AFailedSaveKeepsTheOldPreferences) {
    coretest::TempCDrive drive;
    const std::string old = "units\r\n1\r\nprecison\r\n4\r\n";
    coretest::writeBytes(drive.native(prefsNative), old);
    // The old file is read-only: no save may replace it.
    std::filesystem::permissions(drive.native(prefsNative), std::filesystem::perms::owner_read);
    coretest::BoxRecorder recorder;
    CPreferences preferences;
    EXPECT_FALSE(preferences.savePreferences(prefsPath));
    EXPECT_EQ(coretest::readBytes(drive.native(prefsNative)), old);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].caption, L"Error - Configuration Not Saved");
    // The file is named first; why it failed may follow.
    EXPECT_EQ(recorder.boxes[0].text.rfind(L"Unable to Write Configuration File - " + std::wstring(prefsPath), 0), 0u)
        << CString(recorder.boxes[0].text.c_str()).ToUtf8();
    EXPECT_EQ(recorder.boxes[0].type, 16u);
    CPreferences loaded;
    ASSERT_TRUE(loaded.loadPreferences(prefsPath));
    EXPECT_EQ(loaded.getPrecision(), 4);
}

TEST(PreferencesFile, ADiskThatFillsUpKeepsTheOldPreferences) {
    coretest::TempCDrive drive;
    // A small disk of its own for the preferences folder, in a mount namespace of the test program.
    static const bool ownNamespace =
        ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    const std::filesystem::path folder = drive.native(prefsNative).parent_path();
    std::filesystem::create_directories(folder);
    if (!ownNamespace || ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "no tmpfs can be mounted here";
    }
    const std::string old = "units\r\n1\r\n";
    coretest::writeBytes(drive.native(prefsNative), old);
    {
        std::ofstream filler(folder / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {}
    }
    coretest::BoxRecorder recorder;
    CPreferences preferences;
    EXPECT_FALSE(preferences.savePreferences(prefsPath));
    EXPECT_EQ(coretest::readBytes(drive.native(prefsNative)), old);
    EXPECT_EQ(recorder.boxes.size(), 1u);
    ::umount2(folder.c_str(), MNT_DETACH);
}

TEST(PreferencesFile, NothingStandingBesideThePreferencesIsWrittenThrough) {
    // The new file was written at the fixed name prefs.cfg.new: a link there had its file replaced.
    coretest::TempCDrive drive;
    const std::filesystem::path planted = drive.native(std::string(prefsNative) + ".new");
    const std::filesystem::path other = drive.native("other.txt");
    std::filesystem::create_directories(planted.parent_path());
    coretest::writeBytes(other, "someone's");
    std::filesystem::create_symlink(other, planted);
    CPreferences preferences;
    ASSERT_TRUE(preferences.savePreferences(prefsPath));
    EXPECT_EQ(coretest::readBytes(drive.native(prefsNative)), defaultFile);
    EXPECT_FALSE(std::filesystem::is_symlink(drive.native(prefsNative)));
    EXPECT_TRUE(std::filesystem::is_symlink(planted));
    EXPECT_EQ(coretest::readBytes(other), "someone's");
}

TEST(PreferencesFile, AFolderThatCannotBeMadeWritesNothing) {
    coretest::TempCDrive drive;
    coretest::writeBytes(drive.native("CadHost/kelmo"), "a file where the folder should be");
    CPreferences preferences;
    EXPECT_FALSE(preferences.savePreferences(prefsPath));
    EXPECT_EQ(coretest::readBytes(drive.native("CadHost/kelmo")), "a file where the folder should be");
}

} // namespace
