#pragma once
// cadhost run on the report plans written by ezdxf (tests/data/reports/make_report_plans.py), with a
// prepared preferences file, and the saved drawings read back by ezdxf.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/EntryFixture.h"

namespace reportstest {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out, err;
};

inline std::string slurpText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string capture(const std::string& command) {
    std::string text;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return text;
    char buffer[4096];
    size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, read);
    ::pclose(pipe);
    return text;
}

inline fs::path reportGenerator() {
    return fs::path(KELMO_SOURCE_DIR) / "tests" / "data" / "reports" / "make_report_plans.py";
}

class ReportsHost : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        plans = fs::temp_directory_path() / ("kelmo-report-plans-" + std::to_string(::getpid()));
        fs::create_directories(plans);
        ezdxf = std::system(
                    ("/usr/bin/python3 '" + reportGenerator().string() + "' '" + plans.string() + "'").c_str()) == 0;
        std::istringstream lines(slurpText(plans / "handles.txt"));
        std::string line;
        while (std::getline(lines, line)) {
            const size_t equals = line.find('=');
            if (equals != std::string::npos) handles[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    static void TearDownTestSuite() { fs::remove_all(plans); }

    void SetUp() override {
        if (!fs::exists(program) || !fs::exists(module)) GTEST_SKIP() << "cadhost or the module is not built";
        if (!ezdxf) GTEST_SKIP() << "python3-ezdxf cannot write the plans";
        dir = fs::temp_directory_path() / ("kelmo-reports-host-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "c" / "CadHost" / "kelmo" / "prefs");
        std::ofstream(dir / "c" / "CadHost" / "kelmo" / "prefs" / "prefs.cfg", std::ios::binary)
            << kelmo_test::defaultPrefsFile;
    }
    void TearDown() override {
        if (!dir.empty() && !HasFailure()) fs::remove_all(dir);
    }

    // "#" and the handle of a named entity of the plans.
    static std::string pick(const std::string& name) { return "#" + handles.at(name); }

    // Copies the plan into the test's folder and runs the script on it there.
    Outcome run(const std::string& plan, const std::string& script, const std::string& extra = "") {
        std::ofstream(dir / "test.scr") << script;
        fs::copy_file(plans / plan, dir / plan, fs::copy_options::overwrite_existing);
        const std::string cmd = "cd '" + dir.string() + "' && '" + program.string() + "' " + extra +
                                " --batch --c-drive '" + (dir / "c").string() + "' --module '" + module.string() +
                                "' --script test.scr '" + plan + "' >out.txt 2>err.txt";
        Outcome r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurpText(dir / "out.txt");
        r.err = slurpText(dir / "err.txt");
        return r;
    }

    // The dump of a drawing of the test's folder, one fact per line.
    std::vector<std::string> dump(const std::string& drawing) const {
        std::vector<std::string> facts;
        std::istringstream lines(
            capture("/usr/bin/python3 '" + reportGenerator().string() + "' dump '" + (dir / drawing).string() + "'"));
        std::string line;
        while (std::getline(lines, line)) facts.push_back(line);
        return facts;
    }
    // The facts that begin with the prefix.
    static std::vector<std::string> starting(const std::vector<std::string>& facts, const std::string& prefix) {
        std::vector<std::string> found;
        for (const std::string& fact : facts)
            if (fact.rfind(prefix, 0) == 0) found.push_back(fact);
        return found;
    }
    static bool has(const Outcome& r, const std::string& text) { return r.out.find(text) != std::string::npos; }
    static size_t count(const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }
    std::string windowsPath(const std::string& name) const {
        std::string path = "Z:" + (dir / name).string();
        for (char& c : path)
            if (c == '/') c = '\\';
        return path;
    }

    static inline fs::path plans;
    static inline bool ezdxf = false;
    static inline std::map<std::string, std::string> handles;
    fs::path dir;
    fs::path program = fs::path(KELMO_BINARY_DIR) / "host" / "cadhost";
    fs::path module = fs::path(KELMO_BINARY_DIR) / "module" / "libkelmo.so";
};

} // namespace reportstest
