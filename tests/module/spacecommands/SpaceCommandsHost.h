#pragma once
// cadhost run on floor plans written by ezdxf (tests/data/commands/make_plans.py), with a prepared
// preferences file, and the saved drawings read back by ezdxf.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "module/CadhostRun.h"
#include "support/EntryFixture.h"

namespace spacecommands {

namespace fs = std::filesystem;

using cadhost_run::capture;
using cadhost_run::handlesIn;
using cadhost_run::Outcome;
using cadhost_run::slurp;

struct Attribute {
    std::string text;
    std::string placement;   // "@x,y hH wW rR"
    std::string multiline;   // what a multiline attribute's own text shows, without formatting
    std::string multilineAt; // "@x,y": where that text lies
};

// One insert of a saved drawing as ezdxf reads it.
struct Insert {
    std::string handle, block;
    std::map<std::string, Attribute> attributes;
    std::string data; // the "ADE" strings joined by ";"
};

inline fs::path generator() {
    return fs::path(KELMO_SOURCE_DIR) / "tests" / "data" / "commands" / "make_plans.py";
}

class SpaceCommands : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        plans = fs::temp_directory_path() / ("kelmo-plans-" + std::to_string(::getpid()));
        fs::create_directories(plans);
        ezdxf = std::system(("/usr/bin/python3 '" + generator().string() + "' '" + plans.string() + "'").c_str()) == 0;
    }
    static void TearDownTestSuite() { fs::remove_all(plans); }

    void SetUp() override {
        if (!fs::exists(program) || !fs::exists(module)) GTEST_SKIP() << "cadhost or the module is not built";
        if (!ezdxf) GTEST_SKIP() << "python3-ezdxf cannot write the plans";
        dir = fs::temp_directory_path() / ("kelmo-spaces-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "c");
        writePrefs({});
    }
    void TearDown() override {
        if (!dir.empty()) fs::remove_all(dir);
    }

    // The preferences file with some values replaced, keyed by the line before the value.
    void writePrefs(const std::map<std::string, std::string>& values) const {
        std::string text = kelmo_test::defaultPrefsFile;
        for (const auto& [key, value] : values) {
            const size_t at = text.find(key + "\r\n");
            const size_t start = at + key.size() + 2;
            text.replace(start, text.find("\r\n", start) - start, value);
        }
        const fs::path file = dir / "c" / "CadHost" / "kelmo" / "prefs" / "prefs.cfg";
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }

    // Copies the plan into the test's folder and runs the script on it there.
    // Extra options go before the others.
    Outcome run(const std::string& plan, const std::string& script, const std::string& extra = "") {
        std::ofstream(dir / "test.scr") << script;
        return runFile(plans / plan, dir / "test.scr", extra);
    }
    Outcome runFile(const fs::path& drawing, const fs::path& script, const std::string& extra = "") {
        const std::string plan = drawing.filename().string();
        fs::copy_file(drawing, dir / plan, fs::copy_options::overwrite_existing);
        return cadhost_run::runIn(dir, "'" + program.string() + "' " + extra + " --batch --c-drive '" +
                                           (dir / "c").string() + "' --module '" + module.string() + "' --script '" +
                                           script.string() + "' '" + plan + "'");
    }

    // The drawing's inserts by block name (the desks by handle).
    std::map<std::string, Insert> read(const std::string& drawing) const {
        std::map<std::string, Insert> inserts;
        const std::string text =
            capture("/usr/bin/python3 '" + generator().string() + "' dump '" + (dir / drawing).string() + "'");
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            std::vector<std::string> parts;
            size_t start = 0;
            for (size_t bar = line.find('|'); bar != std::string::npos; bar = line.find('|', start)) {
                parts.push_back(line.substr(start, bar - start));
                start = bar + 1;
            }
            parts.push_back(line.substr(start));
            Insert insert;
            insert.handle = parts[0];
            insert.block = parts[1];
            for (size_t i = 2; i < parts.size(); ++i) {
                if (parts[i].rfind("ADE:", 0) == 0) {
                    insert.data = parts[i].substr(4);
                    continue;
                }
                if (parts[i].rfind("MTEXT:", 0) == 0) {
                    const size_t equals = parts[i].find('=');
                    const size_t at = parts[i].rfind('@');
                    Attribute& attribute = insert.attributes[parts[i].substr(6, equals - 6)];
                    attribute.multiline = parts[i].substr(equals + 1, at - equals - 1);
                    attribute.multilineAt = parts[i].substr(at);
                    continue;
                }
                const size_t equals = parts[i].find('=');
                const size_t at = parts[i].rfind('@');
                insert.attributes[parts[i].substr(0, equals)] = {
                    parts[i].substr(equals + 1, at - equals - 1), parts[i].substr(at), {}, {}};
            }
            inserts[insert.block == "DESK" ? insert.handle : insert.block] = insert;
        }
        return inserts;
    }

    std::string windowsPath(const std::string& name) const {
        std::string path = "Z:" + (dir / name).string();
        for (char& c : path)
            if (c == '/') c = '\\';
        return path;
    }

    static bool has(const Outcome& r, const std::string& text) { return cadhost_run::has(r, text); }
    static size_t count(const std::string& text, const std::string& what) { return cadhost_run::count(text, what); }

    static inline fs::path plans;
    static inline bool ezdxf = false;
    fs::path dir;
    fs::path program = cadhost_run::program();
    fs::path module = cadhost_run::module();
};

} // namespace spacecommands
