// Setting text on the plot: single-line text at a point or between two, and paragraph text in lines, each
// line as runs of text set alike (heights, colours, underlines and overlines, stacked fractions).
#include "cad/plot/PlotRenderer.h"

#include "win/Encoding.h"

#include <algorithm>
#include <cmath>

namespace plot::drawing {

namespace {

constexpr double kCapShare = 0.73;   // of a font's size, the height of its capitals
constexpr double kStackShare = 0.7;  // of a text's height, each part of a stacked fraction
constexpr double kStackTall = 1.25;  // of a text's height, a stacked fraction over its baseline
constexpr double kDecoration = 0.06; // of a text's height, an underline's or overline's width

// Whether a text of that height at that place can be set: cairo's state would break for good on
// a font or matrix made from values that are not finite or too small to see.
bool textCanBeSet(const Ctx& c, AcGePoint3d at, double height, double rotation, double widthFactor) {
    return std::isfinite(at.x) && std::isfinite(at.y) && std::isfinite(rotation) && std::isfinite(widthFactor) &&
           std::isfinite(height * c.pxPerUnit) && height * c.pxPerUnit > 1e-3 &&
           (widthFactor <= 0 || widthFactor * height * c.pxPerUnit > 1e-3);
}

void selectFont(Ctx& c, double capHeight) {
    cairo_select_font_face(c.cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(c.cr, capHeight / kCapShare);
}

double advanceOf(Ctx& c, const std::wstring& text, double capHeight) {
    if (text.empty()) return 0;
    selectFont(c, capHeight);
    cairo_text_extents_t ext;
    cairo_text_extents(c.cr, win::toUtf8(text).c_str(), &ext);
    return ext.x_advance;
}

// How far a run reaches along its line, in the line's own units.
double runAdvance(Ctx& c, const TextRun& r, double height) {
    const double h = height * r.scale;
    if (!r.stack) return advanceOf(c, r.text, h);
    const double up = advanceOf(c, r.text, h * kStackShare), down = advanceOf(c, r.under, h * kStackShare);
    if (r.stack == L'#') return up + advanceOf(c, L"/", h) + down;
    return std::max(up, down);
}

double lineAdvance(Ctx& c, const TextLine& line, double height) {
    double sum = 0;
    for (const TextRun& r : line) sum += runAdvance(c, r, height);
    return sum;
}

// How tall a line stands over its baseline, in heights of its text.
double lineTall(const TextLine& line) {
    double tall = 1;
    for (const TextRun& r : line) tall = std::max(tall, r.scale * (r.stack ? kStackTall : 1.0));
    return tall;
}

void showAt(Ctx& c, const std::wstring& text, double capHeight, double x, double y) {
    if (text.empty()) return;
    selectFont(c, capHeight);
    cairo_move_to(c.cr, x, y);
    cairo_show_text(c.cr, win::toUtf8(text).c_str());
    cairo_new_path(c.cr);
}

// A stroke across the run at y, as wide as the letters' strokes.
void decorate(Ctx& c, double x0, double x1, double y, double h) {
    cairo_move_to(c.cr, x0, y);
    cairo_line_to(c.cr, x1, y);
    strokeDevice(c, kDecoration * h * c.pxPerUnit);
}

// Shows the runs from (x, y) on the baseline, along the current x axis with y running down as letters do.
void showRuns(Ctx& c, const TextLine& line, double height, double x, double y) {
    for (const TextRun& r : line) {
        const double h = height * r.scale, w = runAdvance(c, r, height);
        cairo_save(c.cr);
        if (r.coloured) setColour(c, r.colour);
        if (!r.stack) {
            showAt(c, r.text, h, x, y);
        } else {
            const double part = h * kStackShare;
            const double up = advanceOf(c, r.text, part), down = advanceOf(c, r.under, part);
            if (r.stack == L'#') {
                showAt(c, r.text, part, x, y - 0.45 * h);
                showAt(c, L"/", h, x + up, y);
                showAt(c, r.under, part, x + w - down, y);
            } else {
                showAt(c, r.text, part, x + (w - up) / 2, y - 0.55 * h);
                showAt(c, r.under, part, x + (w - down) / 2, y + 0.3 * h);
                if (r.stack == L'/') decorate(c, x, x + w, y - 0.475 * h, h);
            }
        }
        if (r.underline) decorate(c, x, x + w, y + 0.18 * h, h);
        if (r.overline) decorate(c, x, x + w, y - (r.stack ? kStackTall : 1.0) * h - 0.18 * h, h);
        if (r.strike) decorate(c, x, x + w, y - 0.5 * h, h);
        cairo_restore(c.cr);
        x += w;
    }
}

bool blank(const TextLine& line) {
    return std::all_of(line.begin(), line.end(), [](const TextRun& r) { return r.text.empty() && r.under.empty(); });
}

// A paragraph's words: its runs parted at spaces, a word's runs kept together.
std::vector<TextLine> wordsOf(const TextLine& paragraph) {
    std::vector<TextLine> words(1);
    for (const TextRun& r : paragraph) {
        if (r.stack) {
            words.back().push_back(r);
            continue;
        }
        size_t from = 0;
        while (true) {
            const size_t space = r.text.find(L' ', from);
            TextRun piece = r;
            piece.text = r.text.substr(from, space == std::wstring::npos ? std::wstring::npos : space - from);
            if (!piece.text.empty()) words.back().push_back(piece);
            if (space == std::wstring::npos) break;
            words.emplace_back();
            from = space + 1;
        }
    }
    words.erase(std::remove_if(words.begin(), words.end(), [](const TextLine& w) { return w.empty(); }), words.end());
    return words;
}

// The lines of a paragraph text: its own line breaks, and words wrapped at the text's width when it has one.
std::vector<TextLine> wrapped(Ctx& c, const std::vector<TextLine>& paragraphs, double height, double width) {
    std::vector<TextLine> lines;
    cairo_save(c.cr);
    const double h = height > 0 && std::isfinite(height) && height * c.pxPerUnit > 1e-3 ? height : 1.0;
    for (const TextLine& paragraph : paragraphs) {
        if (width <= 0 || height <= 0 || lineAdvance(c, paragraph, h) <= width) {
            lines.push_back(paragraph);
            continue;
        }
        TextLine line;
        for (const TextLine& word : wordsOf(paragraph)) {
            if (line.empty()) {
                line = word;
                continue;
            }
            TextLine longer = line;
            TextRun space = line.back();
            space.stack = 0;
            space.text = L" ";
            space.under.clear();
            longer.push_back(space);
            longer.insert(longer.end(), word.begin(), word.end());
            if (lineAdvance(c, longer, h) > width) {
                lines.push_back(line);
                line = word;
            } else {
                line = std::move(longer);
            }
        }
        lines.push_back(line);
    }
    cairo_restore(c.cr);
    return lines;
}

} // namespace

void drawTextAt(Ctx& c, const std::wstring& text, AcGePoint3d at, double height, double rotation, double widthFactor,
                int hAlign, int vAlign, bool mirrored) {
    drawTextAt(c, singleLineRuns(text), at, height, rotation, widthFactor, hAlign, vAlign, mirrored);
}

void drawTextAt(Ctx& c, const TextLine& text, AcGePoint3d at, double height, double rotation, double widthFactor,
                int hAlign, int vAlign, bool mirrored) {
    if (blank(text) || height <= 0 || !textCanBeSet(c, at, height, rotation, widthFactor)) return;
    cairo_save(c.cr);
    cairo_translate(c.cr, at.x, at.y);
    cairo_rotate(c.cr, rotation);
    // Paper runs y up and letters y down; a mirrored text keeps the letters' way, upside down on paper.
    cairo_scale(c.cr, widthFactor > 0 ? widthFactor : 1.0, mirrored ? 1.0 : -1.0);
    const double advance = lineAdvance(c, text, height);
    double dx = 0, dy = 0;
    if (hAlign == 1 || hAlign == 4)
        dx = -advance / 2;
    else if (hAlign == 2)
        dx = -advance;
    if (vAlign == 2 || hAlign == 4)
        dy = height / 2;
    else if (vAlign == 3)
        dy = height;
    else if (vAlign == 1)
        dy = -height * 0.25;
    showRuns(c, text, height, dx, dy);
    cairo_restore(c.cr);
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
    const TextLine line = singleLineRuns(text);
    cairo_save(c.cr);
    double natural = lineAdvance(c, line, height) * (widthFactor > 0 ? widthFactor : 1.0);
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
    showRuns(c, line, height, 0, 0);
    cairo_restore(c.cr);
}

void drawParagraph(Ctx& c, const AcDbMText* mt, const AcGeMatrix3d& m) {
    const TextFrame f = textFrame(m, mt->normal(), mt->rotation(), mt->textHeight(), 1.0);
    const double h = f.height, rot = f.rotation;
    const std::vector<TextLine> lines =
        wrapped(c, paragraphRuns(mt->contentsText(), mt->textHeight()), h, mt->width() * axisScale(m));
    // Each line's baseline lies a line's height below the one before, taller lines further.
    const double step = h * 1.6667 * mt->lineSpacingFactor();
    std::vector<double> downs;
    for (size_t n = 0; n < lines.size(); ++n)
        downs.push_back(n == 0 ? h * lineTall(lines[0]) : downs.back() + step * lineTall(lines[n]));
    // The attachment point says which corner or middle of the text block lies on the location.
    const int a = std::clamp(int(mt->attachment()) - 1, 0, 8);
    const double total = downs.empty() ? 0 : downs.back();
    const double above = a / 3 == 0 ? 0 : (a / 3 == 1 ? total / 2 : total);
    const AcGePoint3d at = m * mt->location();
    // Lines go down the text's own y axis, which a mirrored text turns the other way.
    const double downward = f.mirrored ? -1.0 : 1.0;
    for (size_t n = 0; n < lines.size(); ++n) {
        const double down = (downs[n] - above) * downward;
        const AcGePoint3d p(at.x + down * std::sin(rot), at.y - down * std::cos(rot), at.z);
        drawTextAt(c, lines[n], p, h, rot, f.widthFactor, a % 3, 0, f.mirrored);
    }
}

} // namespace plot::drawing
