// What a report draws otherwise than it was given is said: a hatch layer no layer can be named;
// through cadhost on the report plan.
#include "EditedPlans.h"

namespace reportstest {
namespace {

using SaidFallbacks = EditedPlans;

TEST_F(SaidFallbacks, AHatchLayerNoLayerCanBeNamedIsSaidWithTheLayerTheHatchesGoOn) {
    struct Case {
        std::string layer;
        std::string line; // empty: none is said
        std::string drawnOn;
    };
    const std::string said = "\t\tcategory ROOMS: hatch layer ";
    const Case cases[] = {
        {"HATCH:OFFICES", said + "HATCH:OFFICES cannot be a layer name - its hatches are drawn on layer 0.\n", "0"},
        {"HATCH|OFFICES", said + "HATCH|OFFICES cannot be a layer name - its hatches are drawn on layer 0.\n", "0"},
        {"***", said + "*** cannot be a layer name - its hatches are drawn on layer 0.\n", "0"},
        // Characters a name cannot hold that are simply left out.
        {"HATCH&lt;1&gt;", "", "HATCH1"},
    };
    for (const Case& c : cases) {
        Outcome r = run("report_plan.dxf", colour("layer.xml", green, "*", c.layer) + "SAVE\n");
        ASSERT_EQ(r.status, 0) << r.err;
        if (c.line.empty())
            EXPECT_FALSE(has(r, said)) << r.out;
        else
            EXPECT_TRUE(has(r, "\tapplying category ROOMS.\n" + c.line)) << r.out;
        EXPECT_EQ(starting(dump("report_plan.dxf"), "hatch|" + c.drawnOn + "|SOLID|").size(), 4u) << c.layer;
        EXPECT_TRUE(has(r, "graphic report successfully applied.")) << r.out;
    }
}

} // namespace
} // namespace reportstest
