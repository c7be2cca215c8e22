#pragma once
// The utilities' fixture on the drawing of make_checked_plans.py, with its entities' handles by name.
#include "NamedPlans.h"

namespace utilities {

class CheckedPlans : public NamedPlans {
protected:
    static void SetUpTestSuite() { writePlans("checked"); }
};

} // namespace utilities
