// Drawing blocks on the plot: a block's entities in draw order, multiple inserts' grids, a block's extents.
#include "cad/plot/PlotRenderer.h"

#include <algorithm>
#include <cmath>

namespace plot::drawing {

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

void drawBlock(Ctx& c, AcDbObjectId btrId, const AcGeMatrix3d& m, const AcCmEntityColor& byBlock,
               AcDbObjectId blockLayer, int depth) {
    // A block already being drawn or measured, one nested too deep, or a layout's block adds nothing.
    if (depth > AcDbBlockExpansion::kMaxNesting || c.stopped) return;
    AcDbBlockExpansion expansion(btrId);
    if (!expansion.entered()) return;
    AcDbBlockTableRecord* btr = nullptr;
    if (acdbOpenObject(btr, btrId, AcDb::kForRead) != Acad::eOk) return;
    std::vector<AcDbObjectId> ids = drawOrder(btr);
    btr->close();
    for (const AcDbObjectId& id : ids) {
        if (!charge(c)) return;
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

namespace {

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

} // namespace

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
    for (int r = 0; r < rows && !c.stopped; r = nextCell(r, rowEvery, rows)) {
        int first = 0, last = cols - 1;
        if (culled)
            for (int axis = 0; axis < 2; ++axis) {
                double shift = axis == 0 ? rowOnPage.x * r : rowOnPage.y * r;
                double step = axis == 0 ? colOnPage.x : colOnPage.y;
                narrowCells(lo[axis] + shift, hi[axis] + shift, step, page[axis], page[axis + 2], first, last);
            }
        if (first > last) continue;
        first -= first % colEvery; // the same columns in every row
        for (int col = first; col <= last && charge(c); col = nextCell(col, colEvery, cols)) {
            // Each cell drawn is charged, a cell of an empty block too.
            AcGeMatrix3d move = AcGeMatrix3d::translation(colStep * col + rowStep * r);
            drawBlock(c, mi->blockTableRecord(), m * move * bt, byBlock, blockLayer, depth);
            // The attributes stand where the first cell has them: each cell shows them moved with it.
            for (const AcDbObjectId& aid : mi->attributeIds()) {
                if (!charge(c)) return;
                AcDbEntity* att = nullptr;
                if (acdbOpenObject(att, aid, AcDb::kForRead) != Acad::eOk) continue;
                drawEntity(c, att, m * move, byBlock, blockLayer, depth + 1);
                att->close();
            }
        }
    }
}

namespace {

// What a text's letters cover beyond its box (from its baseline to its capitals' height): descenders below,
// ascenders and accents above, and a bottom-aligned text stands a descender's depth higher.
void addLetters(const AcDbText* t, AcDbExtents& ext) {
    std::vector<cadgeom::BulgePath> box;
    t->getSelectionGeometry(box, AcGeMatrix3d::kIdentity);
    if (box.empty() || box[0].vertices.size() != 4) return;
    const AcGePoint2d base = box[0].vertices[0].pt, up = box[0].vertices[3].pt, along = box[0].vertices[1].pt;
    // The box's side up the letters, whose height is the text's: turned over for upside-down text.
    AcGeVector2d rise = up - base;
    if (t->isMirroredInY()) rise = -rise;
    const double above = t->verticalMode() == AcDb::kTextBottom && t->horizontalMode() != AcDb::kTextMid ? 0.52 : 0.27;
    const double below = 0.32;
    for (const AcGePoint2d& p : {base, along})
        for (const double by : {-below, 1 + above}) {
            const AcGePoint2d q = (t->isMirroredInY() ? p + (up - base) : p) + rise * by;
            if (std::isfinite(q.x) && std::isfinite(q.y)) ext.addPoint(AcGePoint3d(q.x, q.y, 0));
        }
}

} // namespace

bool blockExtents(AcDbObjectId btrId, AcDbExtents& ext, bool space) {
    AcDbBlockExpansion expansion(btrId, space);
    if (!expansion.entered()) return false;
    AcDbBlockTableRecord* btr = nullptr;
    if (acdbOpenObject(btr, btrId, AcDb::kForRead) != Acad::eOk) return false;
    std::vector<AcDbObjectId> ids = btr->entityIds();
    btr->close();
    bool any = false;
    for (const AcDbObjectId& id : ids) {
        AcDbEntity* e = nullptr;
        if (acdbOpenObject(e, id, AcDb::kForRead) != Acad::eOk) continue;
        AcDbExtents x;
        if (annotationExtents(e, x)) {
            if (!x.isEmpty()) {
                ext.addExt(x);
                any = true;
            }
        } else if (!AcDbViewport::cast(e) && e->getGeomExtents(x) == Acad::eOk && !x.isEmpty()) {
            if (const auto* text = AcDbText::cast(e)) addLetters(text, x);
            ext.addExt(x);
            any = true;
        }
        e->close();
    }
    return any;
}

} // namespace plot::drawing
