// Setting text on the plot: single-line text at a point or between two, and paragraph text in lines.
#include "cad/plot/PlotRenderer.h"

#include "win/Encoding.h"

#include <cmath>
#include <sstream>

namespace plot::drawing {

namespace {

// Whether a text of that height at that place can be set: cairo's state would break for good on
// a font or matrix made from values that are not finite or too small to see.
bool textCanBeSet(const Ctx& c, AcGePoint3d at, double height, double rotation, double widthFactor) {
    return std::isfinite(at.x) && std::isfinite(at.y) && std::isfinite(rotation) && std::isfinite(widthFactor) &&
           std::isfinite(height * c.pxPerUnit) && height * c.pxPerUnit > 1e-3 &&
           (widthFactor <= 0 || widthFactor * height * c.pxPerUnit > 1e-3);
}

} // namespace

void drawTextAt(Ctx& c, const std::wstring& text, AcGePoint3d at, double height, double rotation, double widthFactor,
                int hAlign, int vAlign, bool mirrored) {
    if (text.empty() || height <= 0 || !textCanBeSet(c, at, height, rotation, widthFactor)) return;
    std::string utf8 = win::toUtf8(text);
    cairo_save(c.cr);
    cairo_select_font_face(c.cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    // The text height is the height of capitals, about 0.73 of the font's size.
    cairo_set_font_size(c.cr, height / 0.73);
    cairo_translate(c.cr, at.x, at.y);
    cairo_rotate(c.cr, rotation);
    // Paper runs y up and letters y down; a mirrored text keeps the letters' way, upside down on paper.
    cairo_scale(c.cr, widthFactor > 0 ? widthFactor : 1.0, mirrored ? 1.0 : -1.0);
    cairo_text_extents_t ext;
    cairo_text_extents(c.cr, utf8.c_str(), &ext);
    double dx = 0, dy = 0;
    if (hAlign == 1 || hAlign == 4)
        dx = -ext.x_advance / 2;
    else if (hAlign == 2)
        dx = -ext.x_advance;
    if (vAlign == 2 || hAlign == 4)
        dy = height / 2;
    else if (vAlign == 3)
        dy = height;
    else if (vAlign == 1)
        dy = -height * 0.25;
    cairo_move_to(c.cr, dx, dy);
    cairo_show_text(c.cr, utf8.c_str());
    cairo_restore(c.cr);
}

// The lines of a paragraph text: its own line breaks, and words wrapped at the text's width when it has one.
std::vector<std::wstring> mtextLines(Ctx& c, const std::wstring& text, double height, double width) {
    std::vector<std::wstring> lines;
    cairo_save(c.cr);
    cairo_select_font_face(c.cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(c.cr, height > 0 && std::isfinite(height) && height * c.pxPerUnit > 1e-3 ? height / 0.73 : 1.0);
    auto fits = [&](const std::wstring& line) {
        cairo_text_extents_t ext;
        cairo_text_extents(c.cr, win::toUtf8(line).c_str(), &ext);
        return ext.x_advance <= width;
    };
    std::wstringstream paragraphs(text);
    std::wstring paragraph;
    while (std::getline(paragraphs, paragraph)) {
        if (width <= 0 || height <= 0 || fits(paragraph)) {
            lines.push_back(paragraph);
            continue;
        }
        std::wstringstream words(paragraph);
        std::wstring word, line;
        while (words >> word) {
            std::wstring longer = line.empty() ? word : line + L" " + word;
            if (!line.empty() && !fits(longer)) {
                lines.push_back(line);
                line = word;
            } else {
                line = longer;
            }
        }
        lines.push_back(line);
    }
    cairo_restore(c.cr);
    return lines;
}

// Aligned and fitted text runs from its first point to its second: aligned text keeps its proportions
// and so changes height, fitted text keeps its height and is stretched.
void drawTextBetween(Ctx& c, const std::wstring& text, AcGePoint3d from, AcGePoint3d to, double height,
                     double widthFactor, bool fit, bool mirrored) {
    double length = std::hypot(to.x - from.x, to.y - from.y);
    if (text.empty() || height <= 0 || !textCanBeSet(c, from, height, 0, widthFactor) || !std::isfinite(length)) return;
    if (length <= 0) {
        drawTextAt(c, text, from, height, 0, widthFactor, 0, 0, mirrored);
        return;
    }
    std::string utf8 = win::toUtf8(text);
    cairo_save(c.cr);
    cairo_select_font_face(c.cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(c.cr, height / 0.73);
    cairo_text_extents_t ext;
    cairo_text_extents(c.cr, utf8.c_str(), &ext);
    double natural = ext.x_advance * (widthFactor > 0 ? widthFactor : 1.0);
    if (natural <= 0) {
        cairo_restore(c.cr);
        return;
    }
    double sx = length / natural * (widthFactor > 0 ? widthFactor : 1.0);
    double sy = fit ? 1.0 : length / natural;
    if (!(sx * height * c.pxPerUnit > 1e-3 && sy * height * c.pxPerUnit > 1e-3)) {
        cairo_restore(c.cr);
        return;
    }
    cairo_translate(c.cr, from.x, from.y);
    cairo_rotate(c.cr, std::atan2(to.y - from.y, to.x - from.x));
    cairo_scale(c.cr, sx, mirrored ? sy : -sy);
    cairo_move_to(c.cr, 0, 0);
    cairo_show_text(c.cr, utf8.c_str());
    cairo_restore(c.cr);
}

} // namespace plot::drawing
