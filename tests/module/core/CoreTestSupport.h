#pragma once
// A private C: drive and a recorder of message boxes for the core services' tests.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "core/HostCalls.h"
#include "win/Win32.h"

// Readable CString values in test failures.
inline void PrintTo(const CString& text, std::ostream* out) {
    *out << '"' << text.ToUtf8() << '"';
}

namespace coretest {

// A temporary folder that plays the C: drive for the length of one test.
class TempCDrive {
public:
    TempCDrive() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelmo-core-XXXXXX").string();
        char* made = ::mkdtemp(pattern.data());
        m_root = made != nullptr ? made : pattern;
        win::setCDrive(m_root.string());
    }
    ~TempCDrive() {
        std::error_code ignored;
        std::filesystem::permissions(m_root, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ignored);
        std::filesystem::remove_all(m_root, ignored);
    }
    TempCDrive(const TempCDrive&) = delete;
    TempCDrive& operator=(const TempCDrive&) = delete;

    // The native path of a path below C:\ written with "/".
    std::filesystem::path native(const std::string& relative) const { return m_root / relative; }

private:
    std::filesystem::path m_root;
};

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

struct MessageBoxRecord {
    std::wstring caption;
    std::wstring text;
    UINT type;
};

// Records every message box while it is installed and answers OK.
class BoxRecorder : public win::UiSink {
public:
    BoxRecorder() { m_previous = win::setUiSink(this); }
    ~BoxRecorder() override { win::setUiSink(m_previous); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    int messageBox(HWND, const std::wstring& text, const std::wstring& caption, UINT type) override {
        boxes.push_back({caption, text, type});
        return IDOK;
    }

    std::vector<MessageBoxRecord> boxes;

private:
    win::UiSink* m_previous = nullptr;
};

// What the module printed on the host's command line since the last clear.
inline std::wstring commandLineText() {
    return ed::commandLine().text();
}

inline void clearCommandLine() {
    ed::commandLine().clear();
}

} // namespace coretest
