#pragma once
// cadhost run on the report plans written by ezdxf (tests/data/reports/make_report_plans.py), with the
// space commands' preferences file and script runner, and the saved drawings read back by ezdxf.
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "module/spacecommands/SpaceCommandsHost.h"

namespace reportstest {

namespace fs = std::filesystem;
using spacecommands::capture;
using spacecommands::Outcome;

inline std::string slurpText(const fs::path& path) {
    return spacecommands::slurp(path);
}

inline fs::path reportGenerator() {
    return fs::path(KELMO_SOURCE_DIR) / "tests" / "data" / "reports" / "make_report_plans.py";
}

class ReportsHost : public spacecommands::SpaceCommands {
protected:
    static void SetUpTestSuite() {
        plans = fs::temp_directory_path() / ("kelmo-report-plans-" + std::to_string(::getpid()));
        fs::create_directories(plans);
        ezdxf = std::system(
                    ("/usr/bin/python3 '" + reportGenerator().string() + "' '" + plans.string() + "'").c_str()) == 0;
        handles = spacecommands::handlesIn(plans / "handles.txt");
    }
    static void TearDownTestSuite() { fs::remove_all(plans); }

    // "#" and the handle of a named entity of the plans.
    static std::string pick(const std::string& name) { return "#" + handles.at(name); }

    // The dump of a drawing of the test's folder, one fact per line.
    std::vector<std::string> dump(const std::string& drawing) const {
        std::vector<std::string> facts;
        std::istringstream lines(
            capture("/usr/bin/python3 '" + reportGenerator().string() + "' dump '" + (dir / drawing).string() + "'"));
        std::string line;
        while (std::getline(lines, line)) facts.push_back(line);
        return facts;
    }
    // The entities of a layout ("Model" or a paper layout) of a drawing of the test's folder, bottom first.
    std::vector<std::string> drawn(const std::string& drawing, const std::string& layout) const {
        std::vector<std::string> entities;
        std::istringstream lines(capture("/usr/bin/python3 '" + reportGenerator().string() + "' drawn '" +
                                         (dir / drawing).string() + "' '" + layout + "'"));
        for (std::string line; std::getline(lines, line);) entities.push_back(line);
        return entities;
    }
    // The facts that begin with the prefix.
    static std::vector<std::string> starting(const std::vector<std::string>& facts, const std::string& prefix) {
        std::vector<std::string> found;
        for (const std::string& fact : facts)
            if (fact.rfind(prefix, 0) == 0) found.push_back(fact);
        return found;
    }

    static inline std::map<std::string, std::string> handles;
};

} // namespace reportstest
