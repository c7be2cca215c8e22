#pragma once
// Floor plans in other languages written by ezdxf (make_language_plans.py) in the release and code page such
// drawings come in, and the saved drawing as ezdxf reads it back.
#include <utility>

#include "SpaceCommandsHost.h"

namespace spacecommands {

class Languages : public SpaceCommands {
protected:
    static fs::path languagePlans() {
        return fs::path(KELMO_SOURCE_DIR) / "tests" / "module" / "spacecommands" / "make_language_plans.py";
    }
    struct Plan {
        Plan(const char* release, const char* page, const char* codec, std::string name,
             std::string special = "<Not Set>", std::string label = "")
            : release(release),
              page(page),
              codec(codec),
              name(std::move(name)),
              special(std::move(special)),
              label(std::move(label)) {}
        const char* release;
        const char* page;  // as the header names it
        const char* codec; // Python's name for it
        std::string name;
        std::string special;
        std::string label; // the NAME label; the name when empty
    };
    static std::string quoted(const std::string& text) { return "'" + text + "'"; }
    // Writes the plan among the suite's plans under the file name given.
    void make(const std::string& file, const Plan& plan) const {
        const std::string command = "/usr/bin/python3 " + quoted(languagePlans().string()) + " plan " +
                                    quoted((plans / file).string()) + " " + plan.release + " " + quoted(plan.page) +
                                    " " + plan.codec + " " + quoted(plan.name) + " " + quoted(plan.special) + " " +
                                    quoted(plan.label.empty() ? plan.name : plan.label);
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    // The saved drawing as ezdxf reads it: "CODEPAGE=...", "TEXT|layer|text", "ROOM|block|NAME label|AREA
    // label|stored NAME|stored AREA|stored SPECIAL_REQ".
    std::string dump(const std::string& drawing) const {
        return capture("/usr/bin/python3 " + quoted(languagePlans().string()) + " dump " +
                       quoted((dir / drawing).string()));
    }
};

} // namespace spacecommands
