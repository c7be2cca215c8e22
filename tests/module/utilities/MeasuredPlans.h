#pragma once
// The utilities' fixture on the drawings of make_measured_plans.py, with their entities' handles by name.
#include <fstream>
#include <map>

#include "UtilitiesHost.h"

namespace utilities {

class MeasuredPlans : public Utilities {
protected:
    static void SetUpTestSuite() {
        plans = fs::temp_directory_path() / ("kelmo-measured-plans-" + std::to_string(::getpid()));
        fs::create_directories(plans);
        const fs::path maker = fs::path(KELMO_SOURCE_DIR) / "tests" / "module" / "utilities" / "make_measured_plans.py";
        ezdxf = std::system(("/usr/bin/python3 '" + maker.string() + "' '" + plans.string() + "'").c_str()) == 0;
        std::ifstream lines(plans / "measured.txt");
        std::string line;
        while (std::getline(lines, line)) {
            const size_t equals = line.find('=');
            if (equals != std::string::npos) handles[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    static void TearDownTestSuite() { fs::remove_all(plans); }

    // "#" and the handle of a named entity.
    static std::string pick(const std::string& name) { return "#" + handles.at(name); }
    // The line saying why a space's value stays as stored.
    static std::string kept(const std::string& space, const std::string& why, const std::string& value) {
        return "\tSpace " + space + " (handle " + handles.at(space) + "): " + why + ", so its " + value +
               " is kept as stored\n";
    }

    static inline std::map<std::string, std::string> handles;
};

} // namespace utilities
