// "mdb" puts a block's entities back in the order the block draws them, where the block lay among the
// drawing's entities: a square the block's draw-order table brought to the front stays in front, what
// was drawn over the block stays over it, and a block on top of a draw-order table whose sort values lie
// above the new handles stays on top, in the saved drawing and on the plot.
#include <cstdint>
#include <vector>

#include "WrittenPlans.h"
#include "module/PlotPixels.h"

namespace utilities {
namespace {

constexpr std::uint32_t kBlue = 0x1E1EC8;   // 30, 30, 200
constexpr std::uint32_t kRed = 0xC81E1E;    // 200, 30, 30
constexpr std::uint32_t kGreen = 0x1EC81E;  // 30, 200, 30
constexpr std::uint32_t kCyan = 0x1EC8C8;   // 30, 200, 200
constexpr std::uint32_t kYellow = 0xC8C81E; // 200, 200, 30

using plot_pixels::pixelsOf;

TEST_F(WrittenPlans, DeletedBlockKeepsTheOrderItsEntitiesWereDrawnIn) {
    struct Case {
        const char* plan;
        const char* block;
        const char* order; // model space's hatches, bottom first, once the block is taken apart
        std::vector<std::uint32_t> shown;
    };
    const Case cases[] = {
        // The red field first, the blue square over it, and the green drawn over the block last.
        {"stacked.dxf", "PANEL", "HATCH(200, 30, 30) HATCH(30, 30, 200) HATCH(30, 200, 30)", {kBlue, kGreen, kRed}},
        // The room's blue and cyan stay over the yellow ground.
        {"topmost.dxf",
         "ROOM-T",
         "HATCH(200, 200, 30) HATCH(30, 30, 200) HATCH(30, 200, 200)",
         {kBlue, kCyan, kYellow}},
    };
    for (const Case& c : cases) {
        const std::string insert = ask("handle", plans / c.plan, c.block);
        ASSERT_FALSE(insert.empty()) << c.plan;
        Outcome r = run(c.plan, "PLOT before.png\nmdb\n#" + insert + "\nPLOT after.png\nSAVEAS saved.dxf\n");
        ASSERT_EQ(r.status, 0) << c.plan << r.err << r.out;
        EXPECT_EQ(r.out.find("Block Delete Failed"), std::string::npos) << c.plan << r.out;
        EXPECT_EQ(ask("order", dir / "saved.dxf"), c.order) << c.plan;
        for (const std::uint32_t colour : c.shown) {
            EXPECT_GT(pixelsOf(dir / "before.png", colour), 1000u) << c.plan << " " << std::hex << colour;
            EXPECT_GT(pixelsOf(dir / "after.png", colour), 1000u) << c.plan << " " << std::hex << colour;
        }
        // The plot is the same as with the block.
        EXPECT_TRUE(cadhost_run::slurp(dir / "after.png") == cadhost_run::slurp(dir / "before.png"))
            << c.plan << ": the plots differ";
    }
}

} // namespace
} // namespace utilities
