#pragma once
// Report files written by the tests into a temporary folder, and the module's exception chains read
// back.
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "classlib/Afx.h"
#include "core/KelmoExceptions.h"
#include "module/model/ModelTestSupport.h"

namespace reportstest {

namespace fs = std::filesystem;

// A folder of its own for one test, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        m_path = fs::temp_directory_path() / ("kelmo-reports-" + std::to_string(::getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    fs::path native(const std::string& name) const { return m_path / name; }
    // The path as the module sees it: Z: is the root.
    CString windows(const std::string& name) const {
        std::string path = "Z:" + native(name).string();
        for (char& c : path)
            if (c == '/') c = '\\';
        return CString(path.c_str());
    }
    CString write(const std::string& name, const std::string& text) const {
        std::ofstream(native(name), std::ios::binary) << text;
        return windows(name);
    }

private:
    fs::path m_path;
};

inline std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A report file around the given children of "graphicReport".
inline std::string reportFile(const std::string& children) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\">" +
           children + "</graphicReport>\n";
}

using modeltest::innermostDescription;

} // namespace reportstest
