#pragma once
// cadhost run with scripts on the floors of make_floors.py, with the default preferences file, and
// the saved drawings read back by ezdxf: one line per insert, per room boundary and per polyline.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/EntryFixture.h"

namespace creationtest {

namespace fs = std::filesystem;

class CreationHost : public ::testing::Test {
protected:
    struct Outcome {
        int status = -1;
        std::string out, err;
    };

    static fs::path generator() { return fs::path(KELMO_SOURCE_DIR) / "tests/module/creation/make_floors.py"; }

    static void SetUpTestSuite() {
        floors = fs::temp_directory_path() / ("kelmo-floors-" + std::to_string(::getpid()));
        fs::create_directories(floors);
        ezdxf = std::system(("/usr/bin/python3 '" + generator().string() + "' '" + floors.string() + "'").c_str()) == 0;
    }
    static void TearDownTestSuite() { fs::remove_all(floors); }

    void SetUp() override {
        if (!fs::exists(program) || !fs::exists(module)) GTEST_SKIP() << "cadhost or the module is not built";
        if (!ezdxf) GTEST_SKIP() << "python3-ezdxf cannot write the floors";
        dir = fs::temp_directory_path() / ("kelmo-creation-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        const fs::path prefs = dir / "c/CadHost/kelmo/prefs/prefs.cfg";
        fs::create_directories(prefs.parent_path());
        std::ofstream(prefs, std::ios::binary) << kelmo_test::defaultPrefsFile;
    }
    void TearDown() override {
        if (!dir.empty()) fs::remove_all(dir);
    }

    static std::string slurp(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    Outcome run(const std::string& floor, const std::string& script) {
        fs::copy_file(floors / floor, dir / floor, fs::copy_options::overwrite_existing);
        std::ofstream(dir / "test.scr") << script;
        const std::string command = "cd '" + dir.string() + "' && '" + program.string() + "' --batch --c-drive '" +
                                    (dir / "c").string() + "' --module '" + module.string() + "' --script test.scr '" +
                                    floor + "' >out.txt 2>err.txt";
        Outcome r;
        const int raw = std::system(command.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(dir / "out.txt");
        r.err = slurp(dir / "err.txt");
        return r;
    }

    // The saved drawing as make_floors.py dumps it.
    std::string dump(const std::string& drawing) const {
        std::string text;
        const std::string command =
            "/usr/bin/python3 '" + generator().string() + "' dump '" + (dir / drawing).string() + "'";
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            char buffer[4096];
            size_t read = 0;
            while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, read);
            ::pclose(pipe);
        }
        return text;
    }

    static bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

    static inline fs::path floors;
    static inline bool ezdxf = false;
    fs::path dir;
    fs::path program = fs::path(KELMO_BINARY_DIR) / "host" / "cadhost";
    fs::path module = fs::path(KELMO_BINARY_DIR) / "module" / "libkelmo.so";
};

} // namespace creationtest
