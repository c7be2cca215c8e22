#pragma once
// A plot of a square window of a drawing read back: how many pixels of a box of drawing units are dark or
// of a colour. Boxes keep clear of glyph edges by a good part of a letter, so that neither the font nor its
// shading decides.
#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace plot_window {

class Plot {
public:
    // The window runs size units from (left, bottom).
    explicit Plot(const std::filesystem::path& png, double left = 0, double bottom = 0, double size = 100)
        : s_(cairo_image_surface_create_from_png(png.c_str())),
          cx_(left + size / 2),
          cy_(bottom + size / 2),
          size_(size) {}
    ~Plot() { cairo_surface_destroy(s_); }
    Plot(const Plot&) = delete;
    Plot& operator=(const Plot&) = delete;
    bool ok() const { return cairo_surface_status(s_) == CAIRO_STATUS_SUCCESS; }
    static constexpr std::uint32_t kDark = 1, kAnyInk = 2;
    // Pixels in the box (drawing units) that are of the colour, dark (the default) or not white (any ink).
    int count(double x0, double x1, double y0, double y1, std::uint32_t colour = kDark) const {
        const int w = cairo_image_surface_get_width(s_), h = cairo_image_surface_get_height(s_);
        const int stride = cairo_image_surface_get_stride(s_);
        const unsigned char* data = cairo_image_surface_get_data(s_);
        // Centred, the window over 94% of the shorter side.
        const double scale = std::min(w, h) * 0.94 / size_;
        int n = 0;
        for (int y = int(h / 2 - (y1 - cy_) * scale); y <= int(h / 2 - (y0 - cy_) * scale); ++y)
            for (int x = int(w / 2 + (x0 - cx_) * scale); x <= int(w / 2 + (x1 - cx_) * scale); ++x) {
                if (x < 0 || y < 0 || x >= w || y >= h) continue;
                const std::uint32_t p = *reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4) & 0xFFFFFF;
                const bool dark = ((p >> 16) & 0xFF) < 0x80 && ((p >> 8) & 0xFF) < 0x80 && (p & 0xFF) < 0x80;
                if (colour == kDark ? dark : colour == kAnyInk ? p != 0xFFFFFF : p == colour) ++n;
            }
        return n;
    }

private:
    cairo_surface_t* s_;
    double cx_, cy_, size_;
};

// A plot's pixels as 0xRRGGBB, row by row.
struct Image {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    // The first row that is not all white paper; height when there is none.
    int firstInkedRow() const {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] != 0xFFFFFF) return y;
        return height;
    }
};

inline Image imageOf(const std::filesystem::path& png) {
    Image read;
    cairo_surface_t* s = cairo_image_surface_create_from_png(png.c_str());
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        read.width = cairo_image_surface_get_width(s);
        read.height = cairo_image_surface_get_height(s);
        const int stride = cairo_image_surface_get_stride(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        for (int y = 0; y < read.height; ++y)
            for (int x = 0; x < read.width; ++x)
                read.pixels.push_back(*reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4) & 0xFFFFFF);
    }
    cairo_surface_destroy(s);
    return read;
}

// A box and whether ink belongs in it.
struct Ink {
    const char* what;
    double x0, x1, y0, y1;
    bool inked;
};

} // namespace plot_window
