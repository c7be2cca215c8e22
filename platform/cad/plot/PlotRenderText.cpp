// Setting text on the plot: single-line text at a point or between two, and paragraph text in lines, each
// line as runs of text set alike (heights, colours, underlines and overlines, stacked fractions).
#include "cad/plot/PlotRenderer.h"

#include <dlfcn.h>
#include <malloc.h>
#include <pango/pangocairo.h>
#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <unordered_map>

namespace plot::drawing {

namespace {

// Text is laid out once at this size (pixels of the em) and scaled to its height: outlines unhinted, glyph
// positions unrounded, so a text's shape and advance do not depend on its size or the plot's resolution.
constexpr double kLayoutSize = 256;

// The installed fonts, found once for the process: loading them is what setting text costs most.
PangoFontMap* g_fontMap = nullptr;

PangoFontMap* fontMap() {
    if (!g_fontMap) g_fontMap = pango_cairo_font_map_new();
    return g_fontMap;
}

// Pango finds and sorts fonts on threads of its own and reads the font configuration into buffers it does
// not check: where the process's address space is nearly used up (a night job under a limit), that ends
// the process. Text is set only while that much is left; otherwise the plot stops as short of memory.
constexpr std::size_t kTextHeadroom = std::size_t(64) << 20;

void ensureTextHeadroom() {
    void* probe = mmap(nullptr, kTextHeadroom, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (probe == MAP_FAILED) throw std::bad_alloc();
    munmap(probe, kTextHeadroom);
}

// Whether text is in scripts DejaVu Sans sets alone, left to right, one letter after another (Latin): the
// shaping of such text needs no search for fonts or directions, which would cost more than the shaping.
bool simpleLatin(const std::string& utf8) {
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b >= 0x20 && b < 0x7F) continue;
        // Two-byte sequences up to U+02FF (Latin-1 to the spacing modifiers), combining marks excluded.
        if (b >= 0xC2 && b <= 0xCB && i + 1 < utf8.size()) {
            ++i;
            continue;
        }
        return false;
    }
    return true;
}

} // namespace

// Runs are shaped and set by Pango: DejaVu Sans first, and for a character it does not hold (Chinese,
// Japanese, ...) whichever installed font holds it; right-to-left scripts run and join as they are written.
struct TextSetter {
    PangoContext* context = nullptr;
    PangoLayout* layout = nullptr;
    PangoFont* latin = nullptr;                 // DejaVu Sans, shaping simple Latin text directly
    cairo_scaled_font_t* latinScaled = nullptr; // and showing it (the font's own)
    PangoGlyphString* glyphs = nullptr;
    std::vector<cairo_glyph_t> placed;                // the glyphs as cairo shows them
    std::string current;                              // the text last shaped or laid out
    bool shaped = false;                              // in glyphs (simple Latin) rather than in the layout
    double width = 0;                                 // its advance, at kLayoutSize
    std::unordered_map<std::string, double> advances; // at kLayoutSize

    TextSetter() {
        ensureTextHeadroom();
        context = pango_font_map_create_context(fontMap());
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        pango_cairo_context_set_font_options(context, options);
        cairo_font_options_destroy(options);
        pango_context_set_round_glyph_positions(context, FALSE);
        layout = pango_layout_new(context);
        PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans");
        pango_font_description_set_absolute_size(font, kLayoutSize * PANGO_SCALE);
        pango_layout_set_font_description(layout, font);
        latin = pango_context_load_font(context, font);
        if (latin && PANGO_IS_CAIRO_FONT(latin))
            latinScaled = pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(latin));
        pango_font_description_free(font);
        pango_layout_set_single_paragraph_mode(layout, TRUE);
        glyphs = pango_glyph_string_new();
    }
    ~TextSetter() {
        pango_glyph_string_free(glyphs);
        if (latin) g_object_unref(latin);
        g_object_unref(layout);
        g_object_unref(context);
    }
    TextSetter(const TextSetter&) = delete;
    TextSetter& operator=(const TextSetter&) = delete;

    // Shapes the text, or lays it out where it needs more than one font or direction.
    void lay(const std::string& text) {
        if (text == current) return;
        const bool simple = latinScaled && simpleLatin(text);
        if (!simple) ensureTextHeadroom(); // another font may be looked for
        current = text;
        if (simple) {
            PangoAnalysis analysis{};
            analysis.font = latin;
            analysis.gravity = PANGO_GRAVITY_SOUTH;
            analysis.script = PANGO_SCRIPT_LATIN;
            analysis.language = pango_language_from_string("en");
            pango_shape_with_flags(text.data(), int(text.size()), text.data(), int(text.size()), &analysis, glyphs,
                                   PANGO_SHAPE_NONE);
            shaped = std::none_of(glyphs->glyphs, glyphs->glyphs + glyphs->num_glyphs,
                                  [](const PangoGlyphInfo& g) { return (g.glyph & PANGO_GLYPH_UNKNOWN_FLAG) != 0; });
            if (shaped) {
                placed.clear();
                double x = 0;
                for (int i = 0; i < glyphs->num_glyphs; ++i) {
                    const PangoGlyphInfo& g = glyphs->glyphs[i];
                    if (g.glyph != PANGO_GLYPH_EMPTY)
                        placed.push_back({g.glyph, x + double(g.geometry.x_offset) / PANGO_SCALE,
                                          double(g.geometry.y_offset) / PANGO_SCALE});
                    x += double(g.geometry.width) / PANGO_SCALE;
                }
                width = x;
                return;
            }
        }
        shaped = false;
        pango_layout_set_text(layout, text.data(), int(text.size()));
        PangoRectangle logical;
        pango_layout_get_extents(layout, nullptr, &logical);
        width = double(logical.width) / PANGO_SCALE;
    }
    // How far the text reaches along its line, at kLayoutSize.
    double advance(const std::string& text) {
        if (text == current) return width;
        if (const auto known = advances.find(text); known != advances.end()) return known->second;
        lay(text);
        if (advances.size() > 4096) advances.clear(); // kept small, as what a paragraph repeats
        return advances[text] = width;
    }
    // Shows the text with its baseline's start at the origin.
    void show(cairo_t* cr, const std::string& text) {
        lay(text);
        if (shaped) {
            cairo_set_scaled_font(cr, latinScaled);
            cairo_show_glyphs(cr, placed.data(), int(placed.size()));
        } else
            pango_cairo_show_layout_line(cr, pango_layout_get_line_readonly(layout, 0));
    }
};

void releaseTextFonts() {
    if (g_fontMap) g_object_unref(g_fontMap);
    g_fontMap = nullptr;
}

// Whether a plot of this process ran short of memory: cairo's caches may then hold entries that no
// longer add up, and resetting them at exit would end the process with an assertion.
bool g_shortOfMemory = false;

// The font caches of cairo and fontconfig live until the process ends; they are released then
// so that leak checkers see only real leaks, unless a plot ran short of memory.
void releaseFontCachesAtExit() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    std::atexit([] {
        if (g_shortOfMemory) return;
        releaseTextFonts();
        cairo_debug_reset_static_data();
        if (auto fini = reinterpret_cast<void (*)()>(dlsym(RTLD_DEFAULT, "FcFini"))) fini();
    });
}

void prepareTextFonts() {
    static bool ready = false;
    if (ready) return;
    releaseFontCachesAtExit();
    // Pango's threads take their memory from the one heap: a heap of their own would reserve 64 MB of
    // address space at a stroke, so that a plot under a limit failed or not by the timing of a thread.
    mallopt(M_ARENA_MAX, 1);
    ensureTextHeadroom();
    // The font configuration read here, on this thread, leaves Pango's reading of it on a thread of its own
    // nothing to do; the first font's set, sorted once, stays in the font map's caches for every plot.
    if (auto init = reinterpret_cast<int (*)()>(dlsym(RTLD_DEFAULT, "FcInit"))) init();
    { const TextSetter warm; }
    ready = true;
}

namespace {

constexpr double kCapShare = 0.73;   // of a font's size, the height of its capitals
constexpr double kStackShare = 0.7;  // of a text's height, each part of a stacked fraction
constexpr double kStackTall = 1.25;  // of a text's height, a stacked fraction over its baseline
constexpr double kDecoration = 0.06; // of a text's height, an underline's or overline's width
constexpr double kTabStops = 4;      // of a text's height, the distance between tab stops

// Whether a text of that height in that frame can be set: cairo's state would break for good on a font or
// matrix made from values that are not finite, too small to see or flattened to a line (a text seen edge on).
bool textCanBeSet(const Ctx& c, const TextFrame& f, double height, double widthFactor) {
    const double across = f.x.x * f.y.y - f.x.y * f.y.x; // the area a unit square of the text covers on paper
    const double wide = widthFactor > 0 ? widthFactor : 1.0;
    const double device = height * c.pxPerUnit;
    return std::isfinite(f.origin.x) && std::isfinite(f.origin.y) && std::isfinite(across) && std::isfinite(wide) &&
           std::isfinite(device) && std::isfinite(f.x.x) && std::isfinite(f.x.y) && std::isfinite(f.y.x) &&
           std::isfinite(f.y.y) && std::fabs(across) * wide * device * device > 1e-6 &&
           std::hypot(f.y.x, f.y.y) * device > 1e-3 && std::hypot(f.x.x, f.x.y) * wide * device > 1e-3;
}

// Sets the text's frame as the drawing's: x along the baseline, y up the letters, in the text's units.
void enterFrame(Ctx& c, const TextFrame& f) {
    cairo_matrix_t frame;
    cairo_matrix_init(&frame, f.x.x, f.x.y, f.y.x, f.y.y, f.origin.x, f.origin.y);
    cairo_transform(c.cr, &frame);
}

// The largest letters the font engine sets, in output units along either axis of the font (it takes sizes
// under 65536); a size it refuses would fail the whole plot, and every later text set in that font.
constexpr double kLargestLetters = 32768;

enum class Letters { kSet, kUnseen, kTooLarge };

// Whether letters of that cap height can be set under the current transformation: a font whose size on the
// output is not finite or past what the font engine takes cannot; one that collapses to a line is not seen.
Letters lettersOf(Ctx& c, double capHeight) {
    const double size = capHeight / kCapShare;
    cairo_matrix_t m;
    cairo_get_matrix(c.cr, &m);
    const double along = std::hypot(m.xx, m.yx) * size, across = std::hypot(m.xy, m.yy) * size;
    const double area = (m.xx * m.yy - m.xy * m.yx) * size * size;
    if (std::isnan(along) || std::isnan(across) || std::isnan(area)) return Letters::kUnseen;
    if (!(along <= kLargestLetters && across <= kLargestLetters && std::isfinite(area))) return Letters::kTooLarge;
    return std::fabs(area) > 1e-9 ? Letters::kSet : Letters::kUnseen;
}

TextSetter& setterOf(Ctx& c) {
    if (!c.text) {
        releaseFontCachesAtExit();
        c.text = std::make_shared<TextSetter>();
    }
    return *c.text;
}

// How much the layout's letters are scaled to stand capHeight tall.
double layoutScale(double capHeight) {
    return capHeight / kCapShare / kLayoutSize;
}

// The text as UTF-8 the font engine takes: a character no text may hold (a noncharacter such as U+FFFE, a
// surrogate, past U+10FFFF) is replaced, and the plot says so once.
std::string settable(Ctx& c, const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    bool replaced = false;
    for (const wchar_t w : text) {
        auto u = static_cast<std::uint32_t>(w);
        if (u == 0 || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF) || (u >= 0xFDD0 && u <= 0xFDEF) ||
            (u & 0xFFFE) == 0xFFFE) {
            replaced = replaced || u != 0;
            u = 0xFFFD;
        }
        if (u < 0x80) {
            out += char(u);
        } else if (u < 0x800) {
            out += char(0xC0 | (u >> 6));
            out += char(0x80 | (u & 0x3F));
        } else if (u < 0x10000) {
            out += char(0xE0 | (u >> 12));
            out += char(0x80 | ((u >> 6) & 0x3F));
            out += char(0x80 | (u & 0x3F));
        } else {
            out += char(0xF0 | (u >> 18));
            out += char(0x80 | ((u >> 12) & 0x3F));
            out += char(0x80 | ((u >> 6) & 0x3F));
            out += char(0x80 | (u & 0x3F));
        }
    }
    if (replaced)
        leaveOutPart(c,
                     L"the characters of texts that no text may hold (such as U+FFFE and U+FFFF): a replacement "
                     L"character stands for each");
    return out;
}

double advanceOf(Ctx& c, const std::wstring& text, double capHeight) {
    if (text.empty() || lettersOf(c, capHeight) != Letters::kSet) return 0;
    return setterOf(c).advance(settable(c, text)) * layoutScale(capHeight);
}

// Where a tab at x along a line of text of that height takes what follows: the next tab stop.
double nextTabStop(double x, double height) {
    const double every = kTabStops * height;
    if (!(every > 0) || !std::isfinite(x / every)) return x;
    return (std::floor(x / every + 1e-9) + 1) * every;
}

// Calls show(piece, x) for each piece of text between tabs, x from the line's start; gives where it ends.
template <typename Show>
double acrossTabs(Ctx& c, const std::wstring& text, double capHeight, double height, double x, Show show) {
    std::size_t from = 0;
    while (true) {
        const std::size_t tab = text.find(L'\t', from);
        const std::wstring piece = text.substr(from, tab == std::wstring::npos ? std::wstring::npos : tab - from);
        show(piece, x);
        x += advanceOf(c, piece, capHeight);
        if (tab == std::wstring::npos) return x;
        x = nextTabStop(x, height);
        from = tab + 1;
    }
}

// How far a run that starts at x along its line reaches, in the line's own units.
double runAdvance(Ctx& c, const TextRun& r, double height, double x) {
    const double h = height * r.scale;
    if (!r.stack) return acrossTabs(c, r.text, h, height, x, [](const std::wstring&, double) {}) - x;
    const double up = advanceOf(c, r.text, h * kStackShare), down = advanceOf(c, r.under, h * kStackShare);
    if (r.stack == L'#') return up + advanceOf(c, L"/", h) + down;
    return std::max(up, down);
}

double lineAdvance(Ctx& c, const TextLine& line, double height) {
    double sum = 0;
    for (const TextRun& r : line) sum += runAdvance(c, r, height, sum);
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
    if (const Letters letters = lettersOf(c, capHeight); letters != Letters::kSet) {
        if (letters == Letters::kTooLarge)
            leaveOutPart(c, L"text whose letters are too large to set (a height far past the page's)");
        return;
    }
    const std::string utf8 = settable(c, text);
    cairo_save(c.cr);
    cairo_translate(c.cr, x, y);
    const double k = layoutScale(capHeight);
    cairo_scale(c.cr, k, k);
    cairo_move_to(c.cr, 0, 0); // where a layout's line starts
    setterOf(c).show(c.cr, utf8);
    cairo_restore(c.cr);
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
    const double start = x; // tab stops count from the line's start
    for (const TextRun& r : line) {
        const double h = height * r.scale, w = runAdvance(c, r, height, x - start);
        if (lettersOf(c, h) == Letters::kTooLarge) {
            leaveOutPart(c, L"text whose letters are too large to set (a height far past the page's)");
            continue;
        }
        cairo_save(c.cr);
        if (r.coloured) setColour(c, r.colour);
        if (!r.stack) {
            acrossTabs(c, r.text, h, height, x - start,
                       [&](const std::wstring& piece, double at) { showAt(c, piece, h, start + at, y); });
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
        // How the run's words are set, without its letters: a copy of the whole run for each word costs its
        // square.
        TextRun style = r;
        style.text.clear();
        size_t from = 0;
        while (true) {
            const size_t space = r.text.find(L' ', from);
            const size_t end = space == std::wstring::npos ? r.text.size() : space;
            if (end > from) {
                TextRun piece = style;
                piece.text = r.text.substr(from, end - from);
                words.back().push_back(std::move(piece));
            }
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
        // Where runs set from x end (tabs stop where they do from the line's start): each word is measured
        // where it would stand, so that a long line is not measured again for every word it takes.
        const auto endOf = [&](const TextLine& runs, double x) {
            for (const TextRun& r : runs) x += runAdvance(c, r, h, x);
            return x;
        };
        TextLine line;
        double advance = 0;
        for (TextLine& word : wordsOf(paragraph)) {
            if (line.empty()) {
                advance = endOf(word, 0);
                line = std::move(word);
                continue;
            }
            TextRun space = line.back();
            space.stack = 0;
            space.text = L" ";
            space.under.clear();
            const double longer = endOf(word, advance + runAdvance(c, space, h, advance));
            if (longer > width) {
                lines.push_back(std::move(line));
                advance = endOf(word, 0);
                line = std::move(word);
            } else {
                line.push_back(std::move(space));
                line.insert(line.end(), std::make_move_iterator(word.begin()), std::make_move_iterator(word.end()));
                advance = longer;
            }
        }
        lines.push_back(std::move(line));
    }
    cairo_restore(c.cr);
    return lines;
}

} // namespace

void drawTextAt(Ctx& c, const std::wstring& text, const TextFrame& f, double height, double widthFactor, int hAlign,
                int vAlign, int generation) {
    drawTextAt(c, singleLineRuns(text), f, height, widthFactor, hAlign, vAlign, generation);
}

namespace {

// Backward text is mirrored along its baseline about its origin, upside-down text across it.
void mirrorAsGenerated(Ctx& c, int generation) {
    cairo_scale(c.cr, (generation & kTextBackward) ? -1.0 : 1.0, (generation & kTextUpsideDown) ? -1.0 : 1.0);
}

} // namespace

void drawTextAt(Ctx& c, const TextLine& text, const TextFrame& f, double height, double widthFactor, int hAlign,
                int vAlign, int generation) {
    if (blank(text) || height <= 0 || !textCanBeSet(c, f, height, widthFactor)) return;
    double characters = 0;
    for (const TextRun& r : text) characters += double(r.text.size() + r.under.size());
    if (!charge(c, characters, AcDbExpansionBudget::Work::kCharacters)) return;
    cairo_save(c.cr);
    enterFrame(c, f);
    mirrorAsGenerated(c, generation);
    // The text's frame runs y up and letters y down.
    cairo_scale(c.cr, widthFactor > 0 ? widthFactor : 1.0, -1.0);
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
void drawTextBetween(Ctx& c, const std::wstring& text, const TextFrame& f, double length, double height,
                     double widthFactor, bool fit, int generation) {
    if (text.empty() || height <= 0 || !textCanBeSet(c, f, height, widthFactor) || !std::isfinite(length)) return;
    if (length <= 0) {
        drawTextAt(c, text, f, height, widthFactor, 0, 0, generation);
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
    if (!textCanBeSet(c, f, height * std::min(sx, sy), 1.0)) {
        cairo_restore(c.cr);
        return;
    }
    enterFrame(c, f);
    // Mirrored about the middle of its baseline, where it stays between its points.
    cairo_translate(c.cr, length / 2, 0);
    mirrorAsGenerated(c, generation);
    cairo_translate(c.cr, -length / 2, 0);
    cairo_scale(c.cr, sx, -sy);
    showRuns(c, line, height, 0, 0);
    cairo_restore(c.cr);
}

namespace {

// How a paragraph text is set in columns, as the part that follows its own (an "Embedded Object", from R2018
// on) says: none, or columns of one width with a gutter between, each as tall as its height (none: no limit).
struct Columns {
    bool any = false;
    double width = 0, gutter = 0, total = 0;
    bool shareHeight = false; // static columns and dynamic ones of automatic height: all as tall as height
    double height = 0;
    std::vector<double> heights;
    double limit(std::size_t column) const {
        if (shareHeight) return height;
        return column < heights.size() ? heights[column] : 0;
    }
};

Columns columnsOf(const AcDbMText* mt) {
    Columns columns;
    const AcDbDxfTags& t = mt->dxfExtraTags();
    const auto embedded = std::find_if(t.begin(), t.end(), [](const auto& tag) { return tag.first == 101; });
    if (embedded == t.end()) return columns;
    int type = 0;
    bool automatic = false;
    for (auto it = embedded + 1; it != t.end(); ++it) {
        const double v = std::wcstod(it->second.c_str(), nullptr);
        if (!std::isfinite(v)) continue;
        switch (it->first) {
            case 71:
                type = int(v);
                break;
            case 41:
                columns.height = v;
                break;
            case 42:
                columns.total = v;
                break;
            case 44:
                columns.width = v;
                break;
            case 45:
                columns.gutter = std::max(v, 0.0);
                break;
            case 73:
                automatic = v != 0;
                break;
            case 46:
                if (columns.heights.size() < 4096) columns.heights.push_back(std::max(v, 0.0));
                break;
            default:
                break;
        }
    }
    columns.any = (type == 1 || type == 2) && columns.width > 0;
    columns.shareHeight = type == 1 || automatic;
    return columns;
}

// A line of a paragraph as placed: its column and how far its baseline lies below the column's top.
struct PlacedLine {
    TextLine runs;
    std::size_t column = 0;
    double down = 0;
};

} // namespace

void drawParagraph(Ctx& c, const AcDbMText* mt, const AcGeMatrix3d& m) {
    const double h = mt->textHeight();
    const TextFrame f = textFrame(m, mt->location(), mt->normal(), mt->direction());
    const Columns columns = columnsOf(mt);
    std::vector<std::size_t> breaks;
    const std::vector<TextLine> paragraphs = paragraphRuns(mt->contentsText(), h, columns.any ? &breaks : nullptr);
    // Each line's baseline lies a line's height below the one before, taller lines further; in columns, a line
    // that a column's height cannot hold, or a column break, starts the next column.
    const double step = h * 1.6667 * mt->lineSpacingFactor();
    std::vector<PlacedLine> placed;
    std::size_t from = 0, column = 0;
    for (std::size_t group = 0; group <= breaks.size(); ++group) {
        const std::size_t to = group < breaks.size() ? breaks[group] : paragraphs.size();
        const std::vector<TextLine> part(paragraphs.begin() + std::ptrdiff_t(from),
                                         paragraphs.begin() + std::ptrdiff_t(std::max(from, to)));
        bool first = true; // each part starts at the top of its column
        if (group > 0) ++column;
        for (TextLine& line : wrapped(c, part, h, columns.any ? columns.width : mt->width())) {
            const double tall = lineTall(line);
            double down = first ? h * tall : placed.back().down + step * tall;
            const double limit = columns.limit(column);
            if (!first && columns.any && limit > 0 && down > limit) {
                ++column;
                down = h * tall;
            }
            placed.push_back({std::move(line), column, down});
            first = false;
        }
        from = std::max(from, to);
    }
    // The attachment point says which corner or middle of the text block lies on the location.
    const int a = std::clamp(int(mt->attachment()) - 1, 0, 8);
    double total = 0;
    for (const PlacedLine& line : placed) total = std::max(total, line.down);
    const double above = a / 3 == 0 ? 0 : (a / 3 == 1 ? total / 2 : total);
    const std::size_t used = placed.empty() ? 1 : placed.back().column + 1;
    const double wide =
        columns.total > 0 ? columns.total : double(used) * columns.width + double(used - 1) * columns.gutter;
    for (const PlacedLine& line : placed) {
        TextFrame at = f;
        at.origin = f.origin - f.y * (line.down - above);
        if (columns.any) {
            const double left = -(a % 3) * wide / 2 + double(line.column) * (columns.width + columns.gutter);
            at.origin = at.origin + f.x * (left + (a % 3) * columns.width / 2);
        }
        drawTextAt(c, line.runs, at, h, 1.0, a % 3, 0);
    }
}

} // namespace plot::drawing
