// "mdb" puts a block's entities back in the order the block draws them, where the block lay among the
// drawing's entities: a square the block's draw-order table brought to the front stays in front, and what
// was drawn over the block stays over it, in the saved drawing and on the plot.
#include <cstdint>

#include "WrittenPlans.h"
#include "module/PlotPixels.h"

namespace utilities {
namespace {

constexpr std::uint32_t kBlue = 0x1E1EC8;  // 30, 30, 200
constexpr std::uint32_t kRed = 0xC81E1E;   // 200, 30, 30
constexpr std::uint32_t kGreen = 0x1EC81E; // 30, 200, 30

using plot_pixels::pixelsOf;

TEST_F(WrittenPlans, DeletedBlockKeepsTheOrderItsEntitiesWereDrawnIn) {
    const std::string insert = ask("handle", plans / "stacked.dxf", "PANEL");
    ASSERT_FALSE(insert.empty());
    Outcome r = run("stacked.dxf", "PLOT before.png\nmdb\n#" + insert + "\nPLOT after.png\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(r.out.find("Block Delete Failed"), std::string::npos) << r.out;
    // The red field first, the blue square over it, and the green drawn over the block last.
    EXPECT_EQ(ask("order", dir / "saved.dxf"), "HATCH(200, 30, 30) HATCH(30, 30, 200) HATCH(30, 200, 30)");
    for (const std::uint32_t colour : {kBlue, kGreen, kRed})
        EXPECT_GT(pixelsOf(dir / "before.png", colour), 1000u) << std::hex << colour;
    // The plot is the same as with the block.
    EXPECT_TRUE(cadhost_run::slurp(dir / "after.png") == cadhost_run::slurp(dir / "before.png")) << "the plots differ";
}

} // namespace
} // namespace utilities
