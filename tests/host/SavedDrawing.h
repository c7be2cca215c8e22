#pragma once
// Drawings saved through cadhost in a folder of the test's own, and what ezdxf finds in the copies
// (a script of tests/host run on them).
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "module/CadhostRun.h"

class SavedDrawing : public ::testing::Test {
protected:
    using Outcome = cadhost_run::Outcome;

    void SetUp() override {
        if (!std::filesystem::exists(cadhost_run::program())) GTEST_SKIP() << "cadhost is not built";
        dir =
            std::filesystem::temp_directory_path() / ("kelmo-saved-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir / "c");
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // Opens the drawing and runs the commands (lines) on it.
    Outcome run(const std::filesystem::path& drawing, const std::string& commands) {
        std::ofstream(dir / "test.scr") << commands;
        return cadhost_run::runIn(dir, "'" + cadhost_run::program().string() + "' --batch --c-drive '" +
                                           (dir / "c").string() + "' --module '' --script test.scr '" +
                                           drawing.string() + "'");
    }
    // Opens the drawing and saves it as (in the test's folder).
    Outcome save(const std::filesystem::path& drawing, const std::string& as = "saved.dxf") {
        return run(drawing, "SAVEAS " + as + "\n");
    }
    // What a script of tests/host prints, run with the arguments (quoted each).
    static std::string script(const std::string& name, std::initializer_list<std::string> arguments) {
        std::string command = "/usr/bin/python3 -W ignore '" +
                              (std::filesystem::path(KELMO_SOURCE_DIR) / "tests" / "host" / name).string() + "'";
        for (const std::string& a : arguments) command += " '" + a + "'";
        return cadhost_run::capture(command + " 2>&1");
    }
    // Runs python code written to the test's folder with the arguments; true when it succeeds.
    bool python(const std::string& code, std::initializer_list<std::string> arguments) const {
        std::ofstream(dir / "make.py") << code;
        std::string command = "/usr/bin/python3 '" + (dir / "make.py").string() + "'";
        for (const std::string& a : arguments) command += " '" + a + "'";
        return std::system(command.c_str()) == 0;
    }

    std::filesystem::path dir;
};
