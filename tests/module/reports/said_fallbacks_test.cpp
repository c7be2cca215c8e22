// What a report draws otherwise than it was given is said: a hatch layer no layer can be named, and
// marker settings edited by hand past what the marker prompts take; through cadhost on the report plan.
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
        // Characters a name cannot hold are left out, and the name as written is said.
        {"HATCH&lt;1&gt;", said + "HATCH<1> cannot be a layer name - its hatches are drawn on layer HATCH1.\n",
         "HATCH1"},
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

TEST_F(SaidFallbacks, MarkerSettingsEditedPastWhatThePromptsTakeFallBackToTheDefaultsWithALine) {
    struct Case {
        const char* tag;
        const char* text;
        std::string line; // empty: none is said
    };
    const std::string textSize = " is not a text size above 0 up to 1000000 - 250 is used.\n";
    const std::string precision = " is not a precision from 0 to 9 - 2 is used.\n";
    const Case cases[] = {
        {"LEGENDTEXTSIZE", "0", "legend marker: LEGENDTEXTSIZE 0" + textSize},
        {"LEGENDTEXTSIZE", "2000000", "legend marker: LEGENDTEXTSIZE 2000000" + textSize},
        {"LEGENDTEXTSIZE", "big", "legend marker: LEGENDTEXTSIZE big" + textSize},
        {"LEGENDPRECISION", "12", "legend marker: LEGENDPRECISION 12" + precision},
        {"PIETEXTSIZE", "-5", "pie chart marker: PIETEXTSIZE -5" + textSize},
        {"PIEPRECISION", "-1", "pie chart marker: PIEPRECISION -1" + precision},
        // The edges of what the prompts take.
        {"LEGENDTEXTSIZE", "1000000", ""},
        {"PIEPRECISION", "9", ""},
        {"PIEPRECISION", "0", ""},
    };
    Outcome marked = run("report_plan.dxf", "mlmc\n" + pick("outline") + "\n\n\n\nmpmc\n" + pick("circle") +
                                                "\n\n\n\nSAVEAS markers.dxf\n");
    ASSERT_EQ(marked.status, 0) << marked.err;
    fs::create_directories(dir / "staged");
    for (const Case& c : cases) {
        edit(std::string("attribute markers.dxf staged/edited.dxf ") + c.tag + " '" + c.text + "'");
        std::ofstream(dir / "apply.scr") << "magr\n" + writeReport("rooms.xml", green, "*") + "\n";
        Outcome r = runFile(dir / "staged" / "edited.dxf", dir / "apply.scr");
        ASSERT_EQ(r.status, 0) << r.err;
        if (c.line.empty())
            EXPECT_FALSE(has(r, " marker: ")) << c.tag << " " << c.text << "\n" << r.out;
        else
            EXPECT_TRUE(has(r, c.line)) << r.out;
        // The legend and the pie are still drawn.
        EXPECT_TRUE(has(r, "graphic report successfully applied.")) << r.out;
        EXPECT_FALSE(has(r, "pie chart not drawn")) << r.out;
    }
}

} // namespace
} // namespace reportstest
