// "mdb" puts a block's entities back in the order the block draws them: a square its draw-order table
// brought to the front stays in front, in the saved drawing and on the plot.
#include <cairo.h>

#include <cstdint>

#include "WrittenPlans.h"

namespace utilities {
namespace {

constexpr std::uint32_t kBlue = 0x1E1EC8; // 30, 30, 200
constexpr std::uint32_t kRed = 0xC81E1E;  // 200, 30, 30

// How many pixels of the plot are exactly the colour.
size_t pixelsOf(const fs::path& png, std::uint32_t rgb) {
    cairo_surface_t* image = cairo_image_surface_create_from_png(png.c_str());
    size_t found = 0;
    if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
        const int width = cairo_image_surface_get_width(image);
        const int height = cairo_image_surface_get_height(image);
        const int stride = cairo_image_surface_get_stride(image);
        const unsigned char* data = cairo_image_surface_get_data(image);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if ((*reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4) & 0xFFFFFF) == rgb) ++found;
    }
    cairo_surface_destroy(image);
    return found;
}

TEST_F(WrittenPlans, DeletedBlockKeepsTheOrderItsEntitiesWereDrawnIn) {
    const std::string insert = ask("handle", plans / "stacked.dxf", "PANEL");
    ASSERT_FALSE(insert.empty());
    Outcome r = run("stacked.dxf", "PLOT before.png\nmdb\n#" + insert + "\nPLOT after.png\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(r.out.find("Block Delete Failed"), std::string::npos) << r.out;
    // The red field first, the blue square over it.
    EXPECT_EQ(ask("order", dir / "saved.dxf"), "HATCH(200, 30, 30) HATCH(30, 30, 200)");
    const size_t blueBefore = pixelsOf(dir / "before.png", kBlue);
    const size_t blueAfter = pixelsOf(dir / "after.png", kBlue);
    ASSERT_GT(blueBefore, 1000u);
    // The square shows as it did inside the block, give or take its edge.
    EXPECT_GT(blueAfter, blueBefore * 95 / 100);
    EXPECT_LT(blueAfter, blueBefore * 105 / 100);
    EXPECT_GT(pixelsOf(dir / "after.png", kRed), blueAfter);
}

} // namespace
} // namespace utilities
