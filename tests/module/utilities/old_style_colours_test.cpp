// Spaces of an R12 drawing, whose boundaries are all old-style 2D polylines, coloured and listed through
// cadhost: "magr" and "msc_has" hatch each as its lightweight form would be, arcs and a listed hole
// included, the plot shows the colour, "msc_has" counts only the spaces it hatched, and "mlb" finds the
// desks inside them; the saved drawing read back by ezdxf and the plot's pixels.
#include "MeasuredPlans.h"
#include "module/reports/EditedPlans.h"

namespace utilities {
namespace {

using OldStyleColours = MeasuredPlans;
using cadhost_run::count;
using cadhost_run::has;
using reportstest::pixelsOf;

TEST_F(OldStyleColours, EverySpaceWithABoundaryGetsItsColourAndOnlyThoseAreCounted) {
    std::ofstream(dir / "green.xml") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                        "<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\"><grID>7</grID>"
                                        "<grTitle>Ground use</grTitle><grTotalChildAreas>200</grTotalChildAreas>"
                                        "<categories><category><cID>1</cID><cTitle>ROOMS</cTitle>"
                                        "<cHatchPattern>SOLID</cHatchPattern><cHatchColour>#30C030</cHatchColour>"
                                        "<cHatchScale>1</cHatchScale><cHatchAngle>0</cHatchAngle>"
                                        "<cHatchLayer>HATCH-ROOMS</cHatchLayer><kelmoBlocks><kelmoBlock>"
                                        "<mbHandle>*</mbHandle></kelmoBlock></kelmoBlocks></category></categories>"
                                        "</graphicReport>\n";
    struct Case {
        const char* what;
        std::string script;
        std::string colour;
        std::string said; // on the command line
    };
    const Case cases[] = {
        // No markers: Enter to each question of the legend and pie defined instead.
        {"magr", "magr\n" + windowsPath("green.xml") + "\n\n\n\n\n\n\n", "#30C030",
         "graphic report successfully applied."},
        // The Atrium's block holds no polyline: its warning is the one message box.
        {"msc_has", "msc_has\nok\n", "#FFFF00", "4 block(s) hatched in"},
    };
    for (const Case& c : cases) {
        Outcome r = run("r12.dxf", c.script + "PLOT plan.png\nSAVE\n");
        // The Atrium left unhatched is an error of msc_has's, shown in its box.
        ASSERT_EQ(r.status, c.what == std::string("msc_has") ? 1 : 0) << c.what << "\n" << r.err << r.out;
        EXPECT_TRUE(has(r, c.said)) << c.what << "\n" << r.out;
        // The Atrium alone is said to be left unhatched; the Store's column is left out without a word.
        EXPECT_EQ(count(r.out, "Unable to hatch"), 1u) << c.what << "\n" << r.out;
        EXPECT_TRUE(has(r, "Unable to hatch Kelmo Block: Atrium. Handle: " + handles.at("Atrium") + "."))
            << c.what << "\n"
            << r.out;
        EXPECT_EQ(count(r.out, "Unable to apply"), 0u) << c.what << "\n" << r.out;
        std::vector<std::string> found;
        for (const auto& row : dump("r12.dxf").all("HATCH")) found.push_back(row[3] + " " + row[4]);
        std::sort(found.begin(), found.end());
        // By the corners of their loops' vertices: the Annex twice as wide as its block.
        const std::string hatch = c.colour == "#30C030" ? "(48, 192, 48) " : "(255, 255, 0) ";
        EXPECT_EQ(found, (std::vector<std::string>{
                             hatch + "0.0,0.0 5000.0,4000.0", hatch + "0.0,10000.0 8000.0,15000.0",
                             hatch + "10000.0,0.0 13000.0,3000.0", hatch + "20000.0,0.0 28000.0,2500.0"}))
            << c.what;
        EXPECT_GT(pixelsOf(dir / "plan.png", c.colour), 10000u) << c.what;
    }
}

TEST_F(OldStyleColours, TheDesksInsideASpaceAreItsAssets) {
    Outcome r = run("r12.dxf", "mlb\n\n\n");
    ASSERT_EQ(r.status, 0) << r.err;
    // The second desk stands where only the Annex's doubled width reaches.
    for (const auto& [space, desks] : {std::pair<std::string, int>{"Office", 1}, {"Store", 0}, {"Annex", 1}}) {
        const std::string handle = handles.at(space);
        const std::string line =
            "," + handle + "," + std::to_string(std::stoi(handle, nullptr, 16)) + "," + std::to_string(desks) + "\n";
        EXPECT_TRUE(has(r, line)) << space << ": " << line << r.out;
    }
}

} // namespace
} // namespace utilities
