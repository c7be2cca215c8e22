#include "support/EntryFixture.h"

#include <fstream>
#include <sstream>

#include "cad/app/RxRegistry.h"
#include "classlib/DialogDriver.h"
#include "core/Globals.h"
#include "entry/KelmoEntry.h"
#include "win/Module.h"

namespace kelmo_test {

const char* const defaultPrefsFile =
    "//\tKelmo 2001\r\n//\r\n//\tConfiguration file for Ostrel\r\n//\r\n"
    "units\r\n0\r\nprecison\r\n2\r\ntextSize\r\n250.00\r\ntextScale\r\n1.00\r\ntextRotation\r\n0.00\r\n"
    "csvOpener\r\nNONE\r\nzoomBorder\r\n1000\r\ninc\r\n1\r\n";

void ModuleFixture::SetUp() {
    HostFixture::SetUp();
    instance = win::registerModule(L"C:\\CadHost\\kelmo.arx");
    DllMain(instance, 1, nullptr);
    g_hostDirectory = L"C:\\CadHost";
    acedRegCmds()->clearHistory();
}

void ModuleFixture::TearDown() {
    unloadApplication();
    acedRegCmds()->clearHistory();
    classlib::DialogDriver::clearQueue();
    classlib::DialogDriver::runPosted();
    EXPECT_TRUE(classlib::DialogDriver::dialogs().empty()) << "a dialog was left open";
    DllMain(instance, 0, nullptr);
    win::unregisterModule(instance);
    g_hostDirectory.Empty();
    g_tempDirectory.Empty();
    HostFixture::TearDown();
}

std::filesystem::path ModuleFixture::hostFolder() const {
    return host->tempDir() / "c" / "CadHost";
}

std::filesystem::path ModuleFixture::prefsFile() const {
    return hostFolder() / "kelmo" / "prefs" / "prefs.cfg";
}

void ModuleFixture::writePrefs(const std::string& bytes) const {
    std::filesystem::create_directories(prefsFile().parent_path());
    std::ofstream(prefsFile(), std::ios::binary) << bytes;
}

std::string ModuleFixture::readPrefs() const {
    return slurp(prefsFile());
}

std::string ModuleFixture::slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void ModuleFixture::onDialog(std::function<void(HWND)> action) {
    classlib::DialogDriver::queue([action] { action(classlib::DialogDriver::current()); });
}

std::wstring ModuleFixture::dumpCurrent() {
    HWND dialog = classlib::DialogDriver::current();
    return dialog ? classlib::DialogDriver::dump(dialog) : std::wstring();
}

} // namespace kelmo_test
