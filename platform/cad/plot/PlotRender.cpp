#include "cad/plot/PlotEngine.h"

#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbEntity.h"
#include "cad/db/AcDbHatch.h"
#include "cad/db/AcDbTable.h"
#include "cad/app/DocumentFile.h"
#include "win/Encoding.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <jpeglib.h>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

namespace plot {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
    double r = 0, g = 0, b = 0;
};

Rgb fromPacked(Adesk::UInt32 v) {
    return {((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0};
}

// Colour 7 (white on a dark screen) and pure white print black on white paper.
Rgb paperColour(Adesk::UInt32 packed) {
    if ((packed & 0xFFFFFF) == 0xFFFFFF) return {0, 0, 0};
    return fromPacked(packed);
}

struct LayerInfo {
    bool plotted = true;
    AcCmEntityColor color;
};

struct Ctx {
    cairo_t* cr = nullptr;
    AcDbDatabase* db = nullptr;
    double pxPerUnit = 1; // device units per drawing unit
    double thinLine = 1;  // device units
    std::map<AcDbObjectId, LayerInfo> layers;
    std::vector<AcDbObjectId> frozenHere; // layers frozen in the viewport being drawn
    int drawn = 0;
};

const LayerInfo& layerOf(Ctx& c, AcDbObjectId id) {
    auto it = c.layers.find(id);
    if (it != c.layers.end()) return it->second;
    LayerInfo info;
    AcDbLayerTableRecord* l = nullptr;
    if (acdbOpenObject(l, id, AcDb::kForRead) == Acad::eOk) {
        info.plotted = !l->isOff() && !l->isFrozen() && l->isPlottable();
        info.color = l->color().entityColor();
        l->close();
    }
    return c.layers[id] = info;
}

Adesk::UInt32 packedOf(const AcCmEntityColor& col) {
    if (col.isByColor()) return col.trueColor() & 0xFFFFFF;
    int i = col.colorIndex();
    if (i < 1 || i > 255) i = 7;
    return AcCmEntityColor::lookUpRGB(Adesk::UInt8(i));
}

// Colour of an entity: by layer from its layer (layer 0 inside a block takes the insert's),
// by block from the insert.
Rgb colourOf(Ctx& c, const AcDbEntity* e, const AcCmEntityColor& byBlock, AcDbObjectId blockLayer) {
    AcCmEntityColor col = e->entityColor();
    if (col.isByBlock()) col = byBlock;
    if (col.isByLayer() || col.isByBlock()) {
        AcDbObjectId layer = e->layerId();
        if (!blockLayer.isNull() && e->layerName() == L"0") layer = blockLayer;
        col = layerOf(c, layer).color;
    }
    return paperColour(packedOf(col));
}

void setColour(Ctx& c, const Rgb& rgb) {
    cairo_set_source_rgb(c.cr, rgb.r, rgb.g, rgb.b);
}

void strokeDevice(Ctx& c, double width) {
    cairo_save(c.cr);
    cairo_identity_matrix(c.cr);
    cairo_set_line_width(c.cr, std::max(width, c.thinLine));
    cairo_set_line_cap(c.cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(c.cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(c.cr);
    cairo_restore(c.cr);
}

AcGePoint3d apply(const AcGeMatrix3d& m, const AcGePoint3d& p) {
    return m * p;
}

// Adds a bulged path (plane coordinates mapped by m) to the current cairo path.
void addPath(Ctx& c, const cadgeom::BulgePath& path, const AcGeMatrix3d& m, double elevation = 0) {
    size_t n = path.vertices.size();
    if (n == 0) return;
    auto to = [&](const AcGePoint2d& q) { return apply(m, AcGePoint3d(q.x, q.y, elevation)); };
    AcGePoint3d s = to(path.vertices[0].pt);
    cairo_move_to(c.cr, s.x, s.y);
    if (n == 1) {
        cairo_line_to(c.cr, s.x, s.y);
        return;
    }
    size_t segs = path.closed ? n : n - 1;
    for (size_t i = 0; i < segs; ++i) {
        const cadgeom::BulgeVertex& a = path.vertices[i];
        const cadgeom::BulgeVertex& b = path.vertices[(i + 1) % n];
        if (a.bulge != 0) {
            double sweep = 4 * std::atan(std::fabs(a.bulge));
            int steps = std::max(2, int(std::ceil(sweep / (kPi / 48))));
            for (int k = 1; k < steps; ++k) {
                AcGePoint3d q = to(cadgeom::pointOnSegment(a.pt, b.pt, a.bulge, double(k) / steps));
                cairo_line_to(c.cr, q.x, q.y);
            }
        }
        AcGePoint3d q = to(b.pt);
        cairo_line_to(c.cr, q.x, q.y);
    }
    if (path.closed) cairo_close_path(c.cr);
}

void addArc(Ctx& c, const AcGePoint3d& center, const AcGeVector3d& normal, double r, double a0, double sweep,
            const AcGeMatrix3d& m) {
    AcGeMatrix3d plane = m * AcGeMatrix3d::planeToWorld(normal);
    // The centre in plane coordinates.
    AcGePoint3d cp = AcGeMatrix3d::worldToPlane(normal) * center;
    int steps = std::max(8, int(std::ceil(sweep / (kPi / 72))));
    for (int k = 0; k <= steps; ++k) {
        double t = a0 + sweep * k / steps;
        AcGePoint3d q = plane * AcGePoint3d(cp.x + r * std::cos(t), cp.y + r * std::sin(t), cp.z);
        if (k == 0)
            cairo_move_to(c.cr, q.x, q.y);
        else
            cairo_line_to(c.cr, q.x, q.y);
    }
}

// Cells of a multiple insert closer than the thinnest line fall on what the cells beside them
// drew: one in so many is drawn (a grid may hold 65535 by 65535 cells). step is in line widths;
// cells at no distance at all are drawn once.
int cellStride(double step, int cells) {
    if (!(step > 0)) return std::max(cells, 1);
    if (step >= 1) return 1;
    return static_cast<int>(std::min(std::ceil(1 / step), double(std::max(cells, 1))));
}

// The cell after i, every so many; the last cell is always drawn, so the grid keeps its edge.
int nextCell(int i, int every, int cells) {
    if (i == cells - 1) return cells;
    return std::min(i + every, cells - 1);
}

double axisScale(const AcGeMatrix3d& m) {
    return std::hypot(m(0, 0), m(1, 0));
}
double axisAngle(const AcGeMatrix3d& m) {
    return std::atan2(m(1, 0), m(0, 0));
}

// Whether a text of that height at that place can be set: cairo's state would break for good on
// a font or matrix made from values that are not finite or too small to see.
bool textCanBeSet(const Ctx& c, AcGePoint3d at, double height, double rotation, double widthFactor) {
    return std::isfinite(at.x) && std::isfinite(at.y) && std::isfinite(rotation) && std::isfinite(widthFactor) &&
           std::isfinite(height * c.pxPerUnit) && height * c.pxPerUnit > 1e-3 &&
           (widthFactor <= 0 || widthFactor * height * c.pxPerUnit > 1e-3);
}

void drawTextAt(Ctx& c, const std::wstring& text, AcGePoint3d at, double height, double rotation, double widthFactor,
                int hAlign, int vAlign) {
    if (text.empty() || height <= 0 || !textCanBeSet(c, at, height, rotation, widthFactor)) return;
    std::string utf8 = win::toUtf8(text);
    cairo_save(c.cr);
    cairo_select_font_face(c.cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    // The text height is the height of capitals, about 0.73 of the font's size.
    cairo_set_font_size(c.cr, height / 0.73);
    cairo_translate(c.cr, at.x, at.y);
    cairo_rotate(c.cr, rotation);
    cairo_scale(c.cr, widthFactor > 0 ? widthFactor : 1.0, -1.0);
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
                     double widthFactor, bool fit) {
    double length = std::hypot(to.x - from.x, to.y - from.y);
    if (text.empty() || height <= 0 || !textCanBeSet(c, from, height, 0, widthFactor) || !std::isfinite(length)) return;
    if (length <= 0) {
        drawTextAt(c, text, from, height, 0, widthFactor, 0, 0);
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
    cairo_scale(c.cr, sx, -sy);
    cairo_move_to(c.cr, 0, 0);
    cairo_show_text(c.cr, utf8.c_str());
    cairo_restore(c.cr);
}

// A block's entities in drawing order: its draw-order table's when it has one, else as stored.
std::vector<AcDbObjectId> drawOrder(AcDbBlockTableRecord* btr) {
    std::vector<AcDbObjectId> ids = btr->entityIds();
    AcDbObjectId dictionaryId = btr->extensionDictionary();
    if (dictionaryId.isNull()) return ids;
    AcDbDictionary* dictionary = nullptr;
    if (acdbOpenObject(dictionary, dictionaryId, AcDb::kForRead) != Acad::eOk) return ids;
    AcDbObject* object = nullptr;
    if (dictionary->getAt(L"ACAD_SORTENTS", object, AcDb::kForRead) == Acad::eOk) {
        if (auto* table = AcDbSortentsTable::cast(object)) {
            AcDbObjectIdArray ordered;
            if (table->getFullDrawOrder(ordered) == Acad::eOk) ids.assign(ordered.begin(), ordered.end());
        }
        object->close();
    }
    dictionary->close();
    return ids;
}

void drawEntity(Ctx& c, AcDbEntity* e, const AcGeMatrix3d& m, const AcCmEntityColor& byBlock, AcDbObjectId blockLayer,
                int depth);

void drawBlock(Ctx& c, AcDbObjectId btrId, const AcGeMatrix3d& m, const AcCmEntityColor& byBlock,
               AcDbObjectId blockLayer, int depth) {
    if (depth > 16) return; // a block that contains itself
    AcDbBlockTableRecord* btr = nullptr;
    if (acdbOpenObject(btr, btrId, AcDb::kForRead) != Acad::eOk) return;
    std::vector<AcDbObjectId> ids = drawOrder(btr);
    btr->close();
    for (const AcDbObjectId& id : ids) {
        AcDbEntity* e = nullptr;
        if (acdbOpenObject(e, id, AcDb::kForRead) != Acad::eOk) continue;
        // A constant attribute definition shows in every insert, as text; the others only through
        // the insert's own attributes.
        auto* definition = AcDbAttributeDefinition::cast(e);
        if (!definition || (definition->isConstant() && !definition->isInvisible()))
            drawEntity(c, e, m, byBlock, blockLayer, depth + 1);
        e->close();
    }
}

// The cells i in [first, last] whose box [lo, hi], moved by i * step, meets [from, to] on one axis.
void narrowCells(double lo, double hi, double step, double from, double to, int& first, int& last) {
    if (step == 0) {
        if (hi < from || lo > to) last = first - 1;
        return;
    }
    double a = (from - hi) / step, b = (to - lo) / step;
    if (step < 0) std::swap(a, b);
    if (!(a <= b)) { // not a number: nothing is known
        return;
    }
    if (a > first) first = a > last ? last + 1 : static_cast<int>(std::ceil(a));
    if (b < last) last = b < first ? first - 1 : static_cast<int>(std::floor(b));
}

// A multiple insert's cells, stepping along the insert's rotated axes unscaled (as their extents
// are taken). Only cells on the page are drawn, and of cells closer than the thinnest line only
// one in so many: a grid may hold 65535 by 65535 cells.
void drawGrid(Ctx& c, AcDbMInsertBlock* mi, const AcGeMatrix3d& m, const AcCmEntityColor& byBlock,
              AcDbObjectId blockLayer, int depth) {
    const int rows = mi->rows(), cols = mi->columns();
    if (rows <= 0 || cols <= 0) return;
    AcGeMatrix3d frame =
        AcGeMatrix3d::planeToWorld(mi->normal()) * AcGeMatrix3d::rotation(mi->rotation(), AcGeVector3d::kZAxis);
    AcGeVector3d colStep = frame * AcGeVector3d(mi->columnSpacing(), 0, 0);
    AcGeVector3d rowStep = frame * AcGeVector3d(0, mi->rowSpacing(), 0);
    AcGeVector3d colOnPage = m * colStep, rowOnPage = m * rowStep;
    int colEvery = cellStride(colOnPage.length() * c.pxPerUnit / c.thinLine, cols);
    int rowEvery = cellStride(rowOnPage.length() * c.pxPerUnit / c.thinLine, rows);
    // The first cell's box on the page: the grid's extents less the moves to its far cells.
    bool culled = false;
    double lo[2] = {0, 0}, hi[2] = {0, 0}, page[4] = {0, 0, 0, 0};
    AcDbExtents grid;
    if (mi->getGeomExtents(grid) == Acad::eOk) {
        AcGePoint3d mn = grid.minPoint(), mx = grid.maxPoint();
        for (AcGeVector3d move : {colStep * (cols - 1), rowStep * (rows - 1)}) {
            mn -= AcGeVector3d(std::min(move.x, 0.0), std::min(move.y, 0.0), std::min(move.z, 0.0));
            mx -= AcGeVector3d(std::max(move.x, 0.0), std::max(move.y, 0.0), std::max(move.z, 0.0));
        }
        AcDbExtents cell;
        for (int k = 0; k < 8; ++k)
            cell.addPoint(m * AcGePoint3d(k & 1 ? mx.x : mn.x, k & 2 ? mx.y : mn.y, k & 4 ? mx.z : mn.z));
        lo[0] = cell.minPoint().x, lo[1] = cell.minPoint().y, hi[0] = cell.maxPoint().x, hi[1] = cell.maxPoint().y;
        cairo_clip_extents(c.cr, &page[0], &page[1], &page[2], &page[3]);
        double pad = c.thinLine / c.pxPerUnit;
        page[0] -= pad, page[1] -= pad, page[2] += pad, page[3] += pad;
        culled = std::isfinite(lo[0]) && std::isfinite(lo[1]) && std::isfinite(hi[0]) && std::isfinite(hi[1]);
    }
    AcGeMatrix3d bt = mi->blockTransform();
    for (int r = 0; r < rows; r = nextCell(r, rowEvery, rows)) {
        int first = 0, last = cols - 1;
        if (culled)
            for (int axis = 0; axis < 2; ++axis) {
                double shift = axis == 0 ? rowOnPage.x * r : rowOnPage.y * r;
                double step = axis == 0 ? colOnPage.x : colOnPage.y;
                narrowCells(lo[axis] + shift, hi[axis] + shift, step, page[axis], page[axis + 2], first, last);
            }
        if (first > last) continue;
        first -= first % colEvery; // the same columns in every row
        for (int col = first; col <= last; col = nextCell(col, colEvery, cols)) {
            AcGeMatrix3d move = AcGeMatrix3d::translation(colStep * col + rowStep * r);
            drawBlock(c, mi->blockTableRecord(), m * move * bt, byBlock, blockLayer, depth);
        }
    }
}

// The share of a pattern line that is drawn: its dashes against its gaps (dots count as nothing).
double inkShare(const AcDbHatchPatternLine& line) {
    double drawn = 0, total = 0;
    for (double d : line.dashes) {
        drawn += std::max(d, 0.0);
        total += std::fabs(d);
    }
    return total > 0 ? drawn / total : 1.0;
}

void drawHatch(Ctx& c, AcDbHatch* h, const AcGeMatrix3d& m, const Rgb& rgb) {
    AcGeMatrix3d plane = m * AcGeMatrix3d::planeToWorld(h->normal());
    cairo_new_path(c.cr);
    for (const AcDbHatchLoop& loop : h->loops()) {
        cadgeom::BulgePath p = loop.path();
        p.closed = true;
        addPath(c, p, plane, h->elevation());
    }
    cairo_set_fill_rule(c.cr, CAIRO_FILL_RULE_EVEN_ODD);
    setColour(c, rgb);
    if (h->isSolidFill()) {
        cairo_fill(c.cr);
        return;
    }
    // Pattern: the families of parallel lines clipped to the loops.
    double x0, y0, x1, y1;
    cairo_path_extents(c.cr, &x0, &y0, &x1, &y1);
    cairo_save(c.cr);
    cairo_clip(c.cr);
    double reach = std::hypot(x1 - x0, y1 - y0);
    double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    double scale = axisScale(plane);
    long budget = 200000;
    double uncovered = 1; // the share of the area the families too dense to draw leave bare
    for (const AcDbHatchPatternLine& line : h->patternDefinitions()) {
        double a = line.angle + axisAngle(plane);
        double ox = line.offset.x * scale, oy = line.offset.y * scale;
        double dir[2] = {std::cos(a), std::sin(a)};
        // Spacing between lines: the offset's part across the line direction.
        double across = -ox * dir[1] + oy * dir[0];
        double gap = std::fabs(across);
        if (!(gap > 0)) continue; // every line on one: no family to draw
        AcGePoint3d base = plane * AcGePoint3d(line.base.x, line.base.y, h->elevation());
        // Index range of lines crossing the extents.
        double baseAcross = -(base.x - cx) * dir[1] + (base.y - cy) * dir[0];
        double first = std::floor((-reach - baseAcross) / gap) - 1, last = std::ceil((reach - baseAcross) / gap) + 1;
        if (gap * c.pxPerUnit < 0.5 || !(last - first <= double(budget))) {
            // Denser than the output can show: the lines merge into an even tone, as on screen.
            uncovered *= 1 - std::min(1.0, c.thinLine / (gap * c.pxPerUnit)) * inkShare(line);
            continue;
        }
        long kMin = long(first), kMax = long(last);
        budget -= kMax - kMin;
        std::vector<double> dashes;
        for (double d : line.dashes) dashes.push_back(std::max(std::fabs(d) * scale * c.pxPerUnit, 0.5));
        for (long k = kMin; k <= kMax; ++k) {
            double px = base.x + ox * k, py = base.y + oy * k;
            // Slide the point along the line to the centre's foot so the segment covers the extents.
            double t = (cx - px) * dir[0] + (cy - py) * dir[1];
            px += t * dir[0];
            py += t * dir[1];
            cairo_move_to(c.cr, px - dir[0] * reach, py - dir[1] * reach);
            cairo_line_to(c.cr, px + dir[0] * reach, py + dir[1] * reach);
        }
        cairo_save(c.cr);
        cairo_identity_matrix(c.cr);
        if (dashes.size() >= 2) cairo_set_dash(c.cr, dashes.data(), int(dashes.size()), 0);
        cairo_set_line_width(c.cr, c.thinLine);
        cairo_stroke(c.cr);
        cairo_restore(c.cr);
    }
    if (uncovered < 1) cairo_paint_with_alpha(c.cr, 1 - uncovered);
    cairo_restore(c.cr);
    cairo_new_path(c.cr);
}

bool blockExtents(AcDbObjectId btrId, AcDbExtents& ext);

// A block cell: the block's extents centred in the cell, shrunk to fit inside a margin when larger.
void drawCellBlock(Ctx& c, AcDbTable* t, const AcDbTableCell& cell, const AcGeMatrix3d& tm, double x, double y,
                   double cw, double ch) {
    AcDbExtents ext;
    if (!blockExtents(cell.block, ext)) return;
    AcGePoint3d lo = ext.minPoint(), hi = ext.maxPoint();
    double s = AcDbTable::blockCellScale(hi.x - lo.x, hi.y - lo.y, cw, ch);
    if (s <= 0) return;
    AcGeMatrix3d place = tm * AcGeMatrix3d::translation(AcGeVector3d(x + cw / 2, -y - ch / 2, 0)) *
                         AcGeMatrix3d::scaling(s) *
                         AcGeMatrix3d::translation(AcGeVector3d(-(lo.x + hi.x) / 2, -(lo.y + hi.y) / 2, 0));
    drawBlock(c, cell.block, place, t->entityColor(), t->layerId(), 1);
}

void drawTable(Ctx& c, AcDbTable* t, const AcGeMatrix3d& m, const Rgb& rgb) {
    AcGeMatrix3d tm = m * t->blockTransform();
    for (const AcDbTableDrawnCell& d : t->drawnCells()) {
        const AcDbTableCell& cell = t->cell(d.row, d.col);
        const double x = d.x, y = d.y, cw = d.width, ch = d.height;
        AcGePoint3d p[4] = {tm * AcGePoint3d(x, -y, 0), tm * AcGePoint3d(x + cw, -y, 0),
                            tm * AcGePoint3d(x + cw, -y - ch, 0), tm * AcGePoint3d(x, -y - ch, 0)};
        cairo_move_to(c.cr, p[0].x, p[0].y);
        for (int k = 1; k < 4; ++k) cairo_line_to(c.cr, p[k].x, p[k].y);
        cairo_close_path(c.cr);
        setColour(c, rgb);
        strokeDevice(c, c.thinLine);
        if (cell.type == AcDb::kBlockCell && !cell.block.isNull()) {
            drawCellBlock(c, t, cell, tm, x, y, cw, ch);
        } else if (!cell.text.empty()) {
            double th = t->textHeight(d.row, d.col) * axisScale(tm);
            AcGePoint3d mid = tm * AcGePoint3d(x + cw / 2, -y - ch / 2, 0);
            drawTextAt(c, t->cellDisplayText(d.row, d.col), mid, th, axisAngle(tm), 1.0, 4, 2);
        }
    }
}

void drawEntity(Ctx& c, AcDbEntity* e, const AcGeMatrix3d& m, const AcCmEntityColor& byBlock, AcDbObjectId blockLayer,
                int depth) {
    if (e->visibility() != AcDb::kVisible) return;
    AcDbObjectId layer = e->layerId();
    if (!blockLayer.isNull() && e->layerName() == L"0") layer = blockLayer;
    if (!layerOf(c, layer).plotted) return;
    for (const AcDbObjectId& f : c.frozenHere)
        if (f == layer) return;
    Rgb rgb = colourOf(c, e, byBlock, blockLayer);
    ++c.drawn;
    cairo_new_path(c.cr);
    if (auto* l = AcDbLine::cast(e)) {
        AcGePoint3d a = m * l->startPoint(), b = m * l->endPoint();
        cairo_move_to(c.cr, a.x, a.y);
        cairo_line_to(c.cr, b.x, b.y);
        setColour(c, rgb);
        strokeDevice(c, c.thinLine);
    } else if (auto* p = AcDbPolyline::cast(e)) {
        double w = 0;
        p->getConstantWidth(w);
        double widest = w;
        for (unsigned i = 0; i < p->numVerts(); ++i) {
            double s = 0, t = 0;
            p->getWidthsAt(i, s, t);
            widest = std::max({widest, s, t});
        }
        AcGeMatrix3d pm = m * AcGeMatrix3d::planeToWorld(p->normal());
        addPath(c, p->planePath(), pm, p->elevation());
        setColour(c, rgb);
        strokeDevice(c, widest * axisScale(m) * c.pxPerUnit);
    } else if (auto* circle = AcDbCircle::cast(e)) {
        addArc(c, circle->center(), circle->normal(), circle->radius(), 0, 2 * kPi, m);
        cairo_close_path(c.cr);
        setColour(c, rgb);
        strokeDevice(c, c.thinLine);
    } else if (auto* arc = AcDbArc::cast(e)) {
        addArc(c, arc->center(), arc->normal(), arc->radius(), arc->startAngle(), arc->sweep(), m);
        setColour(c, rgb);
        strokeDevice(c, c.thinLine);
    } else if (auto* a = AcDbAttribute::cast(e)) {
        if (a->isInvisible()) return;
        bool aligned = !a->isDefaultAlignment();
        AcGePoint3d at = m * (aligned ? a->alignmentPoint() : a->position());
        setColour(c, rgb);
        if (a->horizontalMode() == AcDb::kTextAlign || a->horizontalMode() == AcDb::kTextFit)
            drawTextBetween(c, a->textStringConst(), m * a->position(), at, a->height() * axisScale(m),
                            a->widthFactor(), a->horizontalMode() == AcDb::kTextFit);
        else
            drawTextAt(c, a->textStringConst(), at, a->height() * axisScale(m), a->rotation() + axisAngle(m),
                       a->widthFactor(), a->horizontalMode(), a->verticalMode());
    } else if (auto* t = AcDbText::cast(e)) {
        bool aligned = !t->isDefaultAlignment();
        AcGePoint3d at = m * (aligned ? t->alignmentPoint() : t->position());
        setColour(c, rgb);
        if (t->horizontalMode() == AcDb::kTextAlign || t->horizontalMode() == AcDb::kTextFit)
            drawTextBetween(c, t->textStringConst(), m * t->position(), at, t->height() * axisScale(m),
                            t->widthFactor(), t->horizontalMode() == AcDb::kTextFit);
        else
            drawTextAt(c, t->textStringConst(), at, t->height() * axisScale(m), t->rotation() + axisAngle(m),
                       t->widthFactor(), t->horizontalMode(), t->verticalMode());
    } else if (auto* mt = AcDbMText::cast(e)) {
        setColour(c, rgb);
        double h = mt->textHeight() * axisScale(m), rot = mt->rotation() + axisAngle(m);
        std::vector<std::wstring> lines = mtextLines(c, mt->text(), h, mt->width() * axisScale(m));
        // The attachment point says which corner or middle of the text block lies on the location.
        int a = std::clamp(int(mt->attachment()) - 1, 0, 8);
        double step = h * 1.6667 * mt->lineSpacingFactor();
        double total = lines.empty() ? 0 : h + double(lines.size() - 1) * step;
        double above = a / 3 == 0 ? 0 : (a / 3 == 1 ? total / 2 : total);
        AcGePoint3d at = m * mt->location();
        for (size_t n = 0; n < lines.size(); ++n) {
            double down = h + double(n) * step - above;
            AcGePoint3d p(at.x + down * std::sin(rot), at.y - down * std::cos(rot), at.z);
            drawTextAt(c, lines[n], p, h, rot, 1.0, a % 3, 0);
        }
    } else if (auto* h = AcDbHatch::cast(e)) {
        drawHatch(c, h, m, rgb);
    } else if (auto* table = AcDbTable::cast(e)) {
        drawTable(c, table, m, rgb);
    } else if (auto* ref = AcDbBlockReference::cast(e)) {
        AcCmEntityColor inherit = e->entityColor();
        if (inherit.isByLayer()) inherit = layerOf(c, layer).color;
        if (inherit.isByBlock()) inherit = byBlock;
        AcDbBlockTableRecord* btr = nullptr;
        AcGeMatrix3d bt = ref->blockTransform();
        if (auto* mi = AcDbMInsertBlock::cast(e)) {
            drawGrid(c, mi, m, inherit, layer, depth);
        } else {
            drawBlock(c, ref->blockTableRecord(), m * bt, inherit, layer, depth);
        }
        (void)btr;
        for (const AcDbObjectId& aid : ref->attributeIds()) {
            AcDbEntity* att = nullptr;
            if (acdbOpenObject(att, aid, AcDb::kForRead) != Acad::eOk) continue;
            drawEntity(c, att, m, inherit, layer, depth + 1);
            att->close();
        }
    } else if (!AcDbViewport::cast(e) && !AcDbAttributeDefinition::cast(e)) {
        // Entity types drawn by no rule here: their selection outline.
        std::vector<cadgeom::BulgePath> paths;
        e->getSelectionGeometry(paths, m);
        for (const cadgeom::BulgePath& p : paths) addPath(c, p, AcGeMatrix3d::kIdentity);
        setColour(c, rgb);
        strokeDevice(c, c.thinLine);
    }
}

// Extents of what a block draws, for a plot of the extents.
bool blockExtents(AcDbObjectId btrId, AcDbExtents& ext) {
    AcDbBlockTableRecord* btr = nullptr;
    if (acdbOpenObject(btr, btrId, AcDb::kForRead) != Acad::eOk) return false;
    std::vector<AcDbObjectId> ids = btr->entityIds();
    btr->close();
    bool any = false;
    for (const AcDbObjectId& id : ids) {
        AcDbEntity* e = nullptr;
        if (acdbOpenObject(e, id, AcDb::kForRead) != Acad::eOk) continue;
        AcDbExtents x;
        if (!AcDbViewport::cast(e) && e->getGeomExtents(x) == Acad::eOk && !x.isEmpty()) {
            ext.addExt(x);
            any = true;
        }
        e->close();
    }
    return any;
}

// The font caches of cairo and fontconfig live until the process ends; they are released then
// so that leak checkers see only real leaks.
void releaseFontCachesAtExit() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    std::atexit([] {
        cairo_debug_reset_static_data();
        if (auto fini = reinterpret_cast<void (*)()>(dlsym(RTLD_DEFAULT, "FcFini"))) fini();
    });
}

// The JPEG library reports errors through its error manager, whose default ends the process: ours
// jumps back to the encoder with the library's message.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

void jpegFailed(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
    errors->manager.format_message(cinfo, errors->message);
    std::longjmp(errors->back, 1);
}

// The encoder's state lives outside the frame that calls setjmp, so that it is whole after a jump.
struct JpegJob {
    jpeg_compress_struct cinfo;
    JpegErrors errors;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    std::vector<unsigned char> row;
};

// The image as JPEG (quality 90) in job.out; false with the library's message.
bool encodeJpeg(JpegJob& job, cairo_surface_t* s) {
    int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    int stride = cairo_image_surface_get_stride(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    job.row.resize(size_t(w) * 3);
    job.cinfo.err = jpeg_std_error(&job.errors.manager);
    job.errors.manager.error_exit = jpegFailed;
    if (setjmp(job.errors.back)) {
        jpeg_destroy_compress(&job.cinfo);
        return false;
    }
    jpeg_create_compress(&job.cinfo);
    jpeg_mem_dest(&job.cinfo, &job.out, &job.outSize);
    job.cinfo.image_width = JDIMENSION(w);
    job.cinfo.image_height = JDIMENSION(h);
    job.cinfo.input_components = 3;
    job.cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&job.cinfo);
    jpeg_set_quality(&job.cinfo, 90, TRUE);
    jpeg_start_compress(&job.cinfo, TRUE);
    while (job.cinfo.next_scanline < job.cinfo.image_height) {
        const auto* px = reinterpret_cast<const uint32_t*>(data + size_t(job.cinfo.next_scanline) * size_t(stride));
        for (int x = 0; x < w; ++x) {
            job.row[size_t(x) * 3] = (px[x] >> 16) & 0xFF;
            job.row[size_t(x) * 3 + 1] = (px[x] >> 8) & 0xFF;
            job.row[size_t(x) * 3 + 2] = px[x] & 0xFF;
        }
        JSAMPROW rp = job.row.data();
        jpeg_write_scanlines(&job.cinfo, &rp, 1);
    }
    jpeg_finish_compress(&job.cinfo);
    jpeg_destroy_compress(&job.cinfo);
    return true;
}

bool writeJpeg(cairo_surface_t* s, docfile::Replacement& file, std::wstring& error) {
    auto job = std::make_unique<JpegJob>();
    bool ok = encodeJpeg(*job, s);
    if (!ok)
        error = L"the JPEG image cannot be made: " + win::fromUtf8(job->errors.message);
    else
        ok = file.write(std::string_view(reinterpret_cast<const char*>(job->out), job->outSize));
    std::free(job->out);
    return ok;
}

// cairo hands its output over in small pieces (a page of PDF in a few hundred writes of a few bytes
// each): they are gathered here and reach the file in large blocks.
class PlotOutput {
public:
    explicit PlotOutput(docfile::Replacement& file) : file_(file) {}

    bool write(std::string_view bytes) {
        if (pending_.size() + bytes.size() > kBlock && !flush()) return false;
        if (bytes.size() >= kBlock) return ok_ = file_.write(bytes);
        pending_.append(bytes);
        return ok_;
    }
    bool flush() {
        if (ok_ && !pending_.empty()) ok_ = file_.write(pending_);
        pending_.clear();
        return ok_;
    }

private:
    static constexpr std::size_t kBlock = 64 * 1024;
    docfile::Replacement& file_;
    std::string pending_;
    bool ok_ = true;
};

// cairo's output goes to the temporary file; a failed write stops it with a write error.
cairo_status_t toFile(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<PlotOutput*>(closure);
    return out->write(std::string_view(reinterpret_cast<const char*>(data), length)) ? CAIRO_STATUS_SUCCESS
                                                                                     : CAIRO_STATUS_WRITE_ERROR;
}

} // namespace

bool render(const Request& r, std::wstring& error, int* entitiesDrawn) {
    if (!r.db) {
        error = L"no drawing";
        return false;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target(r.nativePath);
    if (!target.has_parent_path() ? false : !fs::is_directory(target.parent_path(), ec)) {
        error = L"the folder " + win::fromUtf8(target.parent_path().string()) + L" does not exist";
        return false;
    }
    // Paper: the media's size, or A3 landscape; raster output at 150 dots per inch.
    double wMm = 420, hMm = 297;
    bool pixels = false;
    if (!r.media.empty()) AcDbPlotSettingsValidator::mediaSize(r.media, wMm, hMm, pixels);
    if (r.rotation == AcDbPlotSettings::k90degrees || r.rotation == AcDbPlotSettings::k270degrees) std::swap(wMm, hMm);
    bool raster = r.format != Format::kPdf;
    double devPerMm = raster ? (pixels ? 1.0 : 150.0 / 25.4) : 72.0 / 25.4;
    if (!raster && pixels) devPerMm = 72.0 / 96.0;
    double W = wMm * devPerMm, H = hMm * devPerMm;
    if (raster) {
        W = std::round(std::min(W, 8000.0));
        H = std::round(std::min(H, 8000.0));
    } else {
        // A PDF page is at most 200 inches a side.
        W = std::min(W, 14400.0);
        H = std::min(H, 14400.0);
    }
    if (!(W >= 1 && H >= 1)) {
        std::wostringstream why;
        why << L"the paper is too small to plot on (" << wMm << L" by " << hMm << (pixels ? L" pixels)" : L" mm)");
        error = why.str();
        return false;
    }

    // What to show: the block of the layout, and the area in its coordinates.
    AcDbObjectId space = r.db->modelSpaceId();
    AcDbLayout* layout = nullptr;
    bool paper = false;
    if (!r.layoutId.isNull() && acdbOpenObject(layout, r.layoutId, AcDb::kForRead) == Acad::eOk) {
        space = layout->getBlockTableRecordId();
        paper = space != r.db->modelSpaceId();
        layout->close();
    }
    AcDbExtents ext;
    if (r.area == AcDbPlotSettings::kWindow && r.window[2] > r.window[0] && r.window[3] > r.window[1]) {
        ext.set(AcGePoint3d(r.window[0], r.window[1], 0), AcGePoint3d(r.window[2], r.window[3], 0));
    } else if (paper && r.area == AcDbPlotSettings::kLayout) {
        // A paper layout plots its sheet: paper units are millimetres.
        ext.set(AcGePoint3d(0, 0, 0), AcGePoint3d(wMm, hMm, 0));
    } else if (!blockExtents(space, ext)) {
        ext.set(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0));
    }
    double ew = std::max(ext.maxPoint().x - ext.minPoint().x, 1e-9);
    double eh = std::max(ext.maxPoint().y - ext.minPoint().y, 1e-9);
    if (r.fitOrientation && ew != eh && (ew > eh) != (W > H)) std::swap(W, H);
    double margin = 0.03;
    double scale = std::min(W * (1 - 2 * margin) / ew, H * (1 - 2 * margin) / eh);

    // Drawn into a temporary file put in the target's place only when all of it was written: a
    // failed plot leaves an earlier one as it was.
    docfile::Replacement file;
    auto cannotWrite = [&] {
        error = L"cannot write " + win::fromUtf8(r.nativePath) + L": " + win::fromUtf8(file.why());
        return false;
    };
    if (!file.open(r.nativePath)) return cannotWrite();
    PlotOutput out(file);
    cairo_surface_t* surface = nullptr;
    if (raster)
        surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(W), int(H));
    else
        surface = cairo_pdf_surface_create_for_stream(toFile, &out, W, H);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        error = L"the plot cannot be drawn: " + win::fromUtf8(cairo_status_to_string(cairo_surface_status(surface)));
        cairo_surface_destroy(surface);
        return false;
    }
    releaseFontCachesAtExit();
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    // World to device: centred, Y up.
    cairo_translate(cr, W / 2, H / 2);
    cairo_scale(cr, scale, -scale);
    cairo_translate(cr, -(ext.minPoint().x + ext.maxPoint().x) / 2, -(ext.minPoint().y + ext.maxPoint().y) / 2);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        // Paper units cannot hold it: an entity lies absurdly far away or is absurdly large.
        std::wostringstream why;
        why << L"the drawing is too large to plot: its extents run from " << ext.minPoint().x << L","
            << ext.minPoint().y << L" to " << ext.maxPoint().x << L"," << ext.maxPoint().y;
        error = why.str();
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        return false;
    }

    Ctx c;
    c.cr = cr;
    c.db = r.db;
    c.pxPerUnit = scale;
    c.thinLine = std::max(0.25 * devPerMm, raster ? 1.0 : 0.3);
    AcCmEntityColor white;
    white.setColorIndex(7);
    AcDbBlockTableRecord* btr = nullptr;
    std::vector<AcDbObjectId> ids;
    if (acdbOpenObject(btr, space, AcDb::kForRead) == Acad::eOk) {
        ids = drawOrder(btr);
        btr->close();
    }
    for (const AcDbObjectId& id : ids) {
        AcDbEntity* e = nullptr;
        if (acdbOpenObject(e, id, AcDb::kForRead) != Acad::eOk) continue;
        if (auto* vp = AcDbViewport::cast(e); vp && paper && vp->number() != 1 && vp->isOn() && vp->viewHeight() > 0) {
            // A viewport shows model space, clipped to its frame, at its scale.
            cairo_save(cr);
            AcGePoint3d ctr = vp->centerPoint();
            cairo_rectangle(cr, ctr.x - vp->width() / 2, ctr.y - vp->height() / 2, vp->width(), vp->height());
            cairo_clip(cr);
            double s = vp->height() / vp->viewHeight();
            AcGeMatrix3d m = AcGeMatrix3d::translation(AcGeVector3d(ctr.x, ctr.y, 0)) * AcGeMatrix3d::scaling(s) *
                             AcGeMatrix3d::translation(AcGeVector3d(-vp->viewCenter().x, -vp->viewCenter().y, 0));
            AcDbObjectIdArray frozen;
            vp->getFrozenLayerList(frozen);
            c.frozenHere.assign(frozen.begin(), frozen.end());
            AcDbBlockTableRecord* ms = nullptr;
            std::vector<AcDbObjectId> mids;
            if (acdbOpenObject(ms, r.db->modelSpaceId(), AcDb::kForRead) == Acad::eOk) {
                mids = drawOrder(ms);
                ms->close();
            }
            for (const AcDbObjectId& mid : mids) {
                AcDbEntity* me = nullptr;
                if (acdbOpenObject(me, mid, AcDb::kForRead) != Acad::eOk) continue;
                drawEntity(c, me, m, white, AcDbObjectId(), 0);
                me->close();
            }
            c.frozenHere.clear();
            cairo_restore(cr);
        } else {
            drawEntity(c, e, AcGeMatrix3d::kIdentity, white, AcDbObjectId(), 0);
        }
        e->close();
    }
    cairo_status_t drawn = cairo_status(cr);
    cairo_destroy(cr);
    cairo_status_t written = CAIRO_STATUS_SUCCESS;
    bool encoded = true;
    if (drawn != CAIRO_STATUS_SUCCESS) {
        // Nothing is written: the surface may hold only part of the drawing.
    } else if (r.format == Format::kPng) {
        written = cairo_surface_write_to_png_stream(surface, toFile, &out);
    } else if (r.format == Format::kJpeg) {
        cairo_surface_flush(surface);
        encoded = writeJpeg(surface, file, error);
    } else {
        cairo_surface_finish(surface);
        written = cairo_surface_status(surface);
    }
    cairo_surface_destroy(surface);
    if (written == CAIRO_STATUS_SUCCESS && !out.flush()) written = CAIRO_STATUS_WRITE_ERROR;
    if (entitiesDrawn) *entitiesDrawn = c.drawn;
    if (drawn != CAIRO_STATUS_SUCCESS) {
        error = L"the plot cannot be drawn: " + win::fromUtf8(cairo_status_to_string(drawn));
        return false;
    }
    if (!encoded) return error.empty() ? cannotWrite() : false;
    if (written != CAIRO_STATUS_SUCCESS && file.why().empty()) {
        error = L"cannot write " + win::fromUtf8(r.nativePath) + L": " + win::fromUtf8(cairo_status_to_string(written));
        return false;
    }
    if (written != CAIRO_STATUS_SUCCESS || !file.commit()) return cannotWrite();
    return true;
}

} // namespace plot
