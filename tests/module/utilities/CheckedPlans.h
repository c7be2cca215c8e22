#pragma once
// The utilities' fixture on the drawing of make_checked_plans.py, with its entities' handles by name.
#include <fstream>
#include <map>

#include "UtilitiesHost.h"

namespace utilities {

class CheckedPlans : public Utilities {
protected:
    static void SetUpTestSuite() {
        plans = fs::temp_directory_path() / ("kelmo-checked-plans-" + std::to_string(::getpid()));
        fs::create_directories(plans);
        const fs::path maker = fs::path(KELMO_SOURCE_DIR) / "tests" / "module" / "utilities" / "make_checked_plans.py";
        ezdxf = std::system(("/usr/bin/python3 '" + maker.string() + "' '" + plans.string() + "'").c_str()) == 0;
        std::ifstream lines(plans / "checked.txt");
        std::string line;
        while (std::getline(lines, line)) {
            const size_t equals = line.find('=');
            if (equals != std::string::npos) handles[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    static void TearDownTestSuite() { fs::remove_all(plans); }

    // "#" and the handle of a named entity of checked.dxf.
    static std::string pick(const std::string& name) { return "#" + handles.at(name); }

    static inline std::map<std::string, std::string> handles;
};

} // namespace utilities
