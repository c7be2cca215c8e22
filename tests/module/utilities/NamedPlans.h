#pragma once
// The utilities' fixture on the drawings a generator of this folder writes (make_NAME_plans.py), with
// their entities' handles by name as it lists them (NAME.txt).
#include <map>

#include "UtilitiesHost.h"

namespace utilities {

class NamedPlans : public Utilities {
protected:
    // Writes the drawings of make_NAME_plans.py into a folder of the suite's and reads their handles.
    static void writePlans(const std::string& name) {
        plans = fs::temp_directory_path() / ("kelmo-" + name + "-plans-" + std::to_string(::getpid()));
        fs::create_directories(plans);
        const fs::path maker =
            fs::path(KELMO_SOURCE_DIR) / "tests" / "module" / "utilities" / ("make_" + name + "_plans.py");
        ezdxf = std::system(("/usr/bin/python3 '" + maker.string() + "' '" + plans.string() + "'").c_str()) == 0;
        handles = spacecommands::handlesIn(plans / (name + ".txt"));
    }

    // "#" and the handle of a named entity.
    static std::string pick(const std::string& name) { return "#" + handles.at(name); }

    static inline std::map<std::string, std::string> handles;
};

} // namespace utilities
