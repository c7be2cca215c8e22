#pragma once
// A test host with the module attached as the host's loader attaches it, its host folder
// "C:\CadHost" in the test's C drive, and helpers for the preferences file and modal dialogs.
#include <filesystem>
#include <functional>
#include <string>

#include "support/HostFixture.h"
#include "win/WinTypes.h"

namespace kelmo_test {

class ModuleFixture : public HostFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // The native path of the preferences file and the folders below the host folder.
    std::filesystem::path hostFolder() const;
    std::filesystem::path prefsFile() const;
    void writePrefs(const std::string& bytes) const;
    std::string readPrefs() const;
    static std::string slurp(const std::filesystem::path& path);

    // Actions on the dialog the driver acts on, run in order by the next modal loop.
    static void onDialog(std::function<void(HWND)> action);
    static std::wstring dumpCurrent();

    HINSTANCE instance = nullptr;
};

// The file the preferences dialog writes when it is confirmed with the defaults.
extern const char* const defaultPrefsFile;

} // namespace kelmo_test
