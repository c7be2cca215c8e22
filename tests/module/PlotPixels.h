#pragma once
// Plots cadhost wrote, read back by cairo: how much of a colour they show.
#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace plot_pixels {

// How many pixels of the PNG are exactly the colour (0xRRGGBB); 0 when it cannot be read.
inline std::size_t pixelsOf(const std::filesystem::path& png, std::uint32_t rgb) {
    cairo_surface_t* image = cairo_image_surface_create_from_png(png.c_str());
    std::size_t found = 0;
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

} // namespace plot_pixels
