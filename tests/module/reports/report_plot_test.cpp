// Plots of coloured plans through cadhost, read back pixel by pixel: what the drawing holds shows
// on the paper.
#include <cairo.h>

#include "ReportsHost.h"

namespace reportstest {
namespace {

// A PNG read back.
class Png {
public:
    explicit Png(const fs::path& file) : m_surface(cairo_image_surface_create_from_png(file.c_str())) {}
    ~Png() { cairo_surface_destroy(m_surface); }
    Png(const Png&) = delete;
    Png& operator=(const Png&) = delete;
    bool ok() const { return cairo_surface_status(m_surface) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(m_surface); }
    int height() const { return cairo_image_surface_get_height(m_surface); }
    uint32_t at(int x, int y) const {
        const unsigned char* row =
            cairo_image_surface_get_data(m_surface) + y * cairo_image_surface_get_stride(m_surface);
        return *reinterpret_cast<const uint32_t*>(row + x * 4) & 0xFFFFFF;
    }
    // The pixels of the box (corners included) that are within a few steps of the colour.
    int near(uint32_t colour, int x0, int y0, int x1, int y1) const {
        int found = 0;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const uint32_t p = at(x, y);
                bool close = true;
                for (int shift : {0, 8, 16})
                    close = close && std::abs(int((p >> shift) & 0xFF) - int((colour >> shift) & 0xFF)) <= 12;
                found += close ? 1 : 0;
            }
        return found;
    }
    // The pixels that are not white in the band of that width along each edge.
    int markedAtTheEdges(int band) const {
        int found = 0;
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x) {
                const bool edge = x < band || y < band || x >= width() - band || y >= height() - band;
                found += edge && at(x, y) != 0xFFFFFF ? 1 : 0;
            }
        return found;
    }

private:
    cairo_surface_t* m_surface;
};

class ReportPlots : public ReportsHost {
protected:
    std::string writeReport(const std::string& name, const std::string& pattern, int scale) {
        std::ofstream(dir / name) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                     "<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\"><grID>7</grID>"
                                     "<grTitle>Level 1 use</grTitle><grTotalChildAreas>100</grTotalChildAreas>"
                                     "<categories><category><cID>1</cID><cTitle>Offices</cTitle><cHatchPattern>"
                                  << pattern << "</cHatchPattern><cHatchColour>#E07020</cHatchColour><cHatchScale>"
                                  << scale
                                  << "</cHatchScale><cHatchAngle>0</cHatchAngle><cHatchLayer>HATCH-OFFICES"
                                     "</cHatchLayer><kelmoBlocks><kelmoBlock><mbHandle>"
                                  << handles.at("Office A") << "</mbHandle></kelmoBlock><kelmoBlock><mbHandle>"
                                  << handles.at("Office B")
                                  << "</mbHandle></kelmoBlock></kelmoBlocks></category><category><cID>2</cID>"
                                     "<cTitle>Service</cTitle><cHatchPattern>SOLID</cHatchPattern><cHatchColour>"
                                     "#3070C0</cHatchColour><cHatchScale>1</cHatchScale><cHatchAngle>0</cHatchAngle>"
                                     "<cHatchLayer>HATCH-SERVICE</cHatchLayer><kelmoBlocks><kelmoBlock><mbHandle>"
                                  << handles.at("Store")
                                  << "</mbHandle></kelmoBlock></kelmoBlocks></category></categories>"
                                     "</graphicReport>\n";
        return windowsPath(name);
    }
};

TEST_F(ReportPlots, APatternDenserThanAPixelPlotsAsAnEvenToneOfItsColour) {
    // ANSI31 at scale 1 on a plan 42 m wide: lines 3.2 mm apart, a fifth of a pixel.
    const std::string report = writeReport("dense.xml", "ANSI31", 1);
    Outcome r = run("report_plan.dxf", "magr\n" + report + "\n\n\n\n\n\n\nPLOT " + windowsPath("dense.png") + "\n");
    ASSERT_EQ(r.status, 0) << r.err;
    Png png(dir / "dense.png");
    ASSERT_TRUE(png.ok());
    // The plan's extents, (0,-13000) to (42000,7800), fill the width of the paper less 3% each side.
    const double scale = std::min(png.width() * 0.94 / 42000, png.height() * 0.94 / 20800);
    auto column = [&](double x) { return int(png.width() / 2 + (x - 21000) * scale); };
    auto row = [&](double y) { return int(png.height() / 2 - (y + 2600) * scale); };
    struct Sample {
        const char* room;
        double x, y;
        uint32_t colour;
    };
    const Sample samples[] = {
        {"Office A", 5000, 3500, 0xE07020}, {"Office B", 13000, 3500, 0xE07020}, {"Store", 18000, 600, 0x3070C0}};
    for (const Sample& s : samples) {
        SCOPED_TRACE(s.room);
        const int x = column(s.x), y = row(s.y);
        EXPECT_EQ(png.near(s.colour, x - 10, y - 10, x + 10, y + 10), 21 * 21);
    }
}

TEST_F(ReportPlots, PieLabelsAndATurnedLegendLieInsideThePlot) {
    struct Case {
        const char* plan;
        std::string markers; // the text sizes make labels and the legend reach past the plan
    };
    const Case cases[] = {
        {"report_plan.dxf", "mlmc\n" + pick("outline") + "\n\n\n\nmpmc\n" + pick("circle") + "\n\n3000\n\n"},
        {"report_plan_ucs.dxf", "mlmc\n" + pick("outline") + "\n\n1000\n\nmpmc\n" + pick("circle") + "\n\n\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plan);
        const std::string report = writeReport("labels.xml", "SOLID", 1);
        Outcome r = run(c.plan, c.markers + "magr\n" + report + "\nPLOT " + windowsPath("labels.png") + "\n");
        ASSERT_EQ(r.status, 0) << r.err;
        Png png(dir / "labels.png");
        ASSERT_TRUE(png.ok());
        // Nothing is cut by the paper's edge: the margin is white.
        EXPECT_EQ(png.markedAtTheEdges(png.height() / 200), 0);
        // The labels and the legend's swatches are drawn.
        EXPECT_GT(png.near(0x3070C0, 0, 0, png.width() - 1, png.height() - 1), 0);
    }
}

} // namespace
} // namespace reportstest
