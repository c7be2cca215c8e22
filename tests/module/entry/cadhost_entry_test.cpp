// The module loaded by cadhost from a script, as a user runs it on a fresh C drive.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "commands/Brenvik.h"
#include "module/CadhostRun.h"
#include "support/EntryFixture.h"
#include "win/Encoding.h"

namespace {

namespace fs = std::filesystem;

using cadhost_run::Outcome;
using cadhost_run::slurp;

class Cadhost : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("kelmo-entry-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "c");
        if (!fs::exists(program) || !fs::exists(module)) {
            GTEST_SKIP() << "cadhost or the module is not built";
        }
    }
    void TearDown() override { fs::remove_all(dir); }

    Outcome run(const std::string& script, const std::string& args = "") {
        std::ofstream(dir / "test.scr") << script;
        return cadhost_run::runIn(dir, "'" + program.string() + "' --batch --c-drive '" + (dir / "c").string() +
                                           "' --module '" + module.string() + "' --script test.scr " + args);
    }
    fs::path prefsFile() const { return dir / "c" / "CadHost" / "kelmo" / "prefs" / "prefs.cfg"; }
    void writePrefs() const {
        fs::create_directories(prefsFile().parent_path());
        std::ofstream(prefsFile(), std::ios::binary) << kelmo_test::defaultPrefsFile;
    }
    static bool has(const Outcome& r, const std::string& text) { return cadhost_run::has(r, text); }

    fs::path dir;
    fs::path program = cadhost_run::program();
    fs::path module = cadhost_run::module();
};

TEST_F(Cadhost, AFreshDriveAsksOnceForThePreferencesAndMprefsChangesThem) {
    Outcome first = run("dlg show\ndlg enter\n");
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_TRUE(has(first, "Brenvik - Preferences")) << first.out;
    EXPECT_EQ(slurp(prefsFile()), kelmo_test::defaultPrefsFile);

    // No dialog now: the first line runs the command.
    Outcome second = run("mprefs\ndlg set 292 1500\ndlg enter\n");
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_TRUE(has(second, "Command: mprefs\nKelmo Edit Preferences 64.04.00.01\n")) << second.out;
    std::string expected = kelmo_test::defaultPrefsFile;
    expected.replace(expected.find("1000"), 4, "1500");
    EXPECT_EQ(slurp(prefsFile()), expected);
}

TEST_F(Cadhost, HelpAndDiagnosticsPrintTheirLines) {
    writePrefs();
    Outcome r = run("m?\nmd?\nmd4\nmd8\n0\n2.5\n12\nsome words\nmd9\n\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    kelmo_test::TestHost host; // the same bytes as the commands print in-process
    commandHelp();
    diagnosticsHelp();
    const std::string tables = win::toUtf8(host.commandLine());
    const size_t cut = tables.find("  command      fullname");
    EXPECT_TRUE(has(r, "Command: m?\n" + tables.substr(0, cut) + "\nCommand: md?\n" + tables.substr(cut)));
    EXPECT_TRUE(has(r, "Error Test A - throws test error\nthe error has been handled - diagnostics\n"));
    EXPECT_TRUE(has(r, "boolean user input test successful - %b\n"));
    EXPECT_TRUE(has(r, "text user input test successful - some words\n"));
    EXPECT_TRUE(has(r, "xml test completed successfully\n"));
    const std::string xml = slurp(dir / "c" / "kelmoDiagnosis.xml");
    EXPECT_NE(xml.find("<root xmlns=\"http://schemas.kelmo.net/Ostrel\"><name>value</name></root>"), std::string::npos)
        << xml;
}

TEST_F(Cadhost, TheProductDecidesWhetherTheMarkerCommandsExist) {
    writePrefs();
    Outcome lt = run("mlmc\nmpmc\nmus\n", "--product 'AutoCAD LT 2015'");
    EXPECT_EQ(lt.status, 1);
    EXPECT_NE(lt.err.find("unknown command \"mlmc\""), std::string::npos) << lt.err;
    EXPECT_NE(lt.err.find("unknown command \"mpmc\""), std::string::npos) << lt.err;
    EXPECT_TRUE(has(lt, "Command: mus\nKelmo Update Spaces 64.04.00.01\n"));

    for (const char* product : {"'AutoCAD 2015'", "'BricsCAD V15'"}) {
        SCOPED_TRACE(product);
        // No drawing is open: each command says so in the error box.
        Outcome full = run("mlmc\nok\nmpmc\nok\n", std::string("--product ") + product);
        EXPECT_EQ(full.status, 1) << full.err; // each ended in that error
        EXPECT_TRUE(has(full, "Command: mlmc\nKelmo Create Legend Marker Block 64.04.00.01\n")) << full.out;
        EXPECT_TRUE(has(full, "Command: mpmc\nKelmo Create Pie Chart Marker Block 64.04.00.01\n")) << full.out;
    }
}

} // namespace
