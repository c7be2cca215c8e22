#pragma once
// Plots cadhost wrote, read back by cairo: how much of a colour they show, and how far two plots differ.
#include <cairo.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace plot_pixels {

// A PNG's pixels as 0xRRGGBB, row by row; none when it cannot be read.
struct Image {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
};

inline Image imageOf(const std::filesystem::path& png) {
    Image read;
    cairo_surface_t* image = cairo_image_surface_create_from_png(png.c_str());
    if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
        read.width = cairo_image_surface_get_width(image);
        read.height = cairo_image_surface_get_height(image);
        const int stride = cairo_image_surface_get_stride(image);
        const unsigned char* data = cairo_image_surface_get_data(image);
        read.pixels.reserve(static_cast<std::size_t>(read.width) * static_cast<std::size_t>(read.height));
        for (int y = 0; y < read.height; ++y)
            for (int x = 0; x < read.width; ++x)
                read.pixels.push_back(*reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4) & 0xFFFFFF);
    }
    cairo_surface_destroy(image);
    return read;
}

// How many pixels of the PNG are exactly the colour (0xRRGGBB); 0 when it cannot be read.
inline std::size_t pixelsOf(const std::filesystem::path& png, std::uint32_t rgb) {
    const Image image = imageOf(png);
    return static_cast<std::size_t>(std::count(image.pixels.begin(), image.pixels.end(), rgb));
}

// How many pixels of the PNG are not white paper.
inline std::size_t inkedPixels(const std::filesystem::path& png) {
    const Image image = imageOf(png);
    return image.pixels.size() -
           static_cast<std::size_t>(std::count(image.pixels.begin(), image.pixels.end(), 0xFFFFFFu));
}

// How many pixels of two plots differ in some channel by more than the tolerance: edges that the
// rounding of one drawing or the other shades a little lighter count as alike. Plots of different sizes
// (or one unread) differ everywhere.
inline std::size_t differingPixels(const std::filesystem::path& a, const std::filesystem::path& b, int tolerance) {
    const Image first = imageOf(a), second = imageOf(b);
    if (first.width != second.width || first.height != second.height || first.pixels.empty())
        return std::max(first.pixels.size(), second.pixels.size()) + 1;
    std::size_t differing = 0;
    for (std::size_t i = 0; i < first.pixels.size(); ++i)
        for (int shift : {0, 8, 16})
            if (std::abs(int((first.pixels[i] >> shift) & 0xFF) - int((second.pixels[i] >> shift) & 0xFF)) >
                tolerance) {
                ++differing;
                break;
            }
    return differing;
}

} // namespace plot_pixels
