#pragma once
// The utilities' fixture on the drawings of make_measured_plans.py, with their entities' handles by name.
#include "NamedPlans.h"

namespace utilities {

class MeasuredPlans : public NamedPlans {
protected:
    static void SetUpTestSuite() { writePlans("measured"); }

    // The line saying why a space's value stays as stored.
    static std::string kept(const std::string& space, const std::string& why, const std::string& value) {
        return "\tSpace " + space + " (handle " + handles.at(space) + "): " + why + ", so its " + value +
               " is kept as stored\n";
    }
};

} // namespace utilities
