// Drawing hatches and tables on the plot: fills, pattern lines and tones, and table cells with their text or block.
#include "cad/plot/PlotRenderer.h"

#include <algorithm>
#include <cmath>

namespace plot::drawing {

namespace {

// The share of a pattern line that is drawn: its dashes against its gaps (dots count as nothing).
double inkShare(const AcDbHatchPatternLine& line) {
    double drawn = 0, total = 0;
    for (double d : line.dashes) {
        drawn += std::max(d, 0.0);
        total += std::fabs(d);
    }
    return total > 0 ? drawn / total : 1.0;
}

Rgb rgbOf(Adesk::UInt32 packed) {
    return {((packed >> 16) & 0xFF) / 255.0, ((packed >> 8) & 0xFF) / 255.0, (packed & 0xFF) / 255.0};
}

// A gradient over the current path: its colours evenly along the angle across the path's extents; one colour
// fills evenly.
void fillGradient(Ctx& c, const std::vector<Adesk::UInt32>& colors, double angle) {
    if (colors.size() == 1) {
        setColour(c, rgbOf(colors.front()));
        cairo_fill(c.cr);
        return;
    }
    double x0, y0, x1, y1;
    cairo_path_extents(c.cr, &x0, &y0, &x1, &y1);
    const double dx = std::cos(angle), dy = std::sin(angle);
    const double half = (std::fabs(dx) * (x1 - x0) + std::fabs(dy) * (y1 - y0)) / 2;
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    cairo_pattern_t* ramp = cairo_pattern_create_linear(cx - dx * half, cy - dy * half, cx + dx * half, cy + dy * half);
    for (size_t i = 0; i < colors.size(); ++i) {
        const Rgb rgb = rgbOf(colors[i]);
        cairo_pattern_add_color_stop_rgb(ramp, double(i) / double(colors.size() - 1), rgb.r, rgb.g, rgb.b);
    }
    cairo_set_source(c.cr, ramp);
    cairo_fill(c.cr);
    cairo_pattern_destroy(ramp);
}

// A closed path's outline as corners, its arcs in short chords.
std::vector<AcGePoint2d> outlineOf(const cadgeom::BulgePath& path) {
    std::vector<AcGePoint2d> corners;
    const std::size_t n = path.vertices.size();
    for (std::size_t i = 0; i < n; ++i) {
        const cadgeom::BulgeVertex& a = path.vertices[i];
        corners.push_back(a.pt);
        if (a.bulge == 0) continue;
        for (int k = 1; k < 16; ++k)
            corners.push_back(cadgeom::pointOnSegment(a.pt, path.vertices[(i + 1) % n].pt, a.bulge, k / 16.0));
    }
    return corners;
}

// The loops a hatch's style fills, all with alternating parity: normal fills every loop (islands left bare, an
// island's island filled again); outer, the outermost loops and the islands straight inside them (the outermost
// areas alone); ignore, the outermost loops whole.
std::vector<cadgeom::BulgePath> filledLoops(Ctx& c, const AcDbHatch* h) {
    std::vector<cadgeom::BulgePath> paths;
    for (const AcDbHatchLoop& loop : h->loops()) {
        paths.push_back(loop.path());
        paths.back().closed = true;
    }
    if (h->hatchStyle() == AcDbHatch::kNormal || paths.size() < 2) return paths;
    // Each loop is weighed against every other: a hatch of very many loops is charged for it.
    if (!charge(c, paths.size() * paths.size() / 1024 + 1)) return paths;
    // How deep each loop lies: the loops it lies wholly inside.
    std::vector<std::vector<AcGePoint2d>> outlines;
    std::vector<std::pair<AcGePoint2d, AcGePoint2d>> boxes;
    for (const cadgeom::BulgePath& p : paths) {
        outlines.push_back(outlineOf(p));
        AcGePoint2d lo, hi;
        cadgeom::pathExtents(p, lo, hi);
        boxes.emplace_back(lo, hi);
    }
    const int deepest = h->hatchStyle() == AcDbHatch::kOuter ? 1 : 0;
    std::vector<cadgeom::BulgePath> kept;
    const auto sameBox = [&](std::size_t a, std::size_t b) {
        return boxes[a].first.x == boxes[b].first.x && boxes[a].first.y == boxes[b].first.y &&
               boxes[a].second.x == boxes[b].second.x && boxes[a].second.y == boxes[b].second.y;
    };
    for (std::size_t i = 0; i < paths.size(); ++i) {
        int depth = 0;
        std::vector<std::size_t> holders; // a loop drawn twice holds it once
        for (std::size_t j = 0; j < paths.size() && depth <= deepest; ++j) {
            // Only a loop whose box holds this one's, and is larger, can hold it (a loop's twin does not).
            const bool around = j != i && boxes[j].first.x <= boxes[i].first.x &&
                                boxes[j].first.y <= boxes[i].first.y && boxes[j].second.x >= boxes[i].second.x &&
                                boxes[j].second.y >= boxes[i].second.y &&
                                (boxes[j].first.x < boxes[i].first.x || boxes[j].first.y < boxes[i].first.y ||
                                 boxes[j].second.x > boxes[i].second.x || boxes[j].second.y > boxes[i].second.y);
            if (!around) continue;
            // Every side of the one against every side of the other.
            if (!charge(c, paths[i].vertices.size() * outlines[j].size() / 4096 + 1)) return paths;
            if (std::any_of(holders.begin(), holders.end(), [&](std::size_t k) { return sameBox(j, k); })) continue;
            if (cadgeom::pathInsidePolygon(paths[i], outlines[j])) {
                holders.push_back(j);
                ++depth;
            }
        }
        if (depth <= deepest) kept.push_back(paths[i]);
    }
    return kept;
}

} // namespace

void drawHatch(Ctx& c, AcDbHatch* h, const AcGeMatrix3d& m, const Rgb& rgb) {
    AcGeMatrix3d plane = m * AcGeMatrix3d::planeToWorld(h->normal());
    cairo_new_path(c.cr);
    double points = 0; // of its loops, their curved edges worked out
    for (const cadgeom::BulgePath& p : filledLoops(c, h)) {
        points += double(p.vertices.size());
        addPath(c, p, plane, h->elevation());
    }
    if (points > 16 && !charge(c, points, AcDbExpansionBudget::Work::kCurvePoints)) {
        cairo_new_path(c.cr);
        return;
    }
    cairo_set_fill_rule(c.cr, CAIRO_FILL_RULE_EVEN_ODD);
    setColour(c, rgb);
    if (h->hatchObjectType() == AcDbHatch::kGradientObject && !h->gradientColors().empty()) {
        const AcGeVector3d toward = plane * AcGeVector3d(std::cos(h->gradientAngle()), std::sin(h->gradientAngle()), 0);
        fillGradient(c, h->gradientColors(), std::atan2(toward.y, toward.x));
        return;
    }
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
    long budget = 200000;
    double uncovered = 1; // the share of the area the families too dense to draw leave bare
    for (const AcDbHatchPatternLine& line : h->patternDefinitions()) {
        // The insert's whole transform turns, stretches and mirrors each family: its direction, its step from
        // line to line and its dashes along it.
        const AcGeVector3d along = plane * AcGeVector3d(std::cos(line.angle), std::sin(line.angle), 0);
        const AcGeVector3d step = plane * AcGeVector3d(line.offset.x, line.offset.y, 0);
        const double scale = std::hypot(along.x, along.y);   // of a length along the line
        if (!(scale > 0) || !std::isfinite(scale)) continue; // seen edge on: no family to draw
        const double a = std::atan2(along.y, along.x);
        double ox = step.x, oy = step.y;
        double dir[2] = {std::cos(a), std::sin(a)};
        // Spacing between lines: the offset's part across the line direction. Stepping back from the base
        // gives the same lines (a mirrored pattern steps so): the lines are counted forward.
        double across = -ox * dir[1] + oy * dir[0];
        if (across < 0) {
            ox = -ox;
            oy = -oy;
            across = -across;
        }
        double gap = std::fabs(across);
        // A family whose offset has no part across its lines steps along one line: that line, through its base
        // point, is the family.
        const bool single = gap == 0;
        if (!(gap > 0) && !single) continue; // offsets that are not numbers: no family to draw
        AcGePoint3d base = plane * AcGePoint3d(line.base.x, line.base.y, h->elevation());
        // Index range of lines crossing the extents.
        double baseAcross = -(base.x - cx) * dir[1] + (base.y - cy) * dir[0];
        double first = 0, last = 0;
        if (!single) {
            first = std::floor((-reach - baseAcross) / gap) - 1;
            last = std::ceil((reach - baseAcross) / gap) + 1;
        }
        if (!single && (gap * c.pxPerUnit < c.thinLine || !(last - first <= double(budget)))) {
            // Closer than the lines' own width, or too many to draw: they merge into an even tone, as on screen.
            uncovered *= 1 - std::min(1.0, c.thinLine / (gap * c.pxPerUnit)) * inkShare(line);
            continue;
        }
        long kMin = long(first), kMax = long(last);
        budget -= kMax - kMin;
        std::vector<double> dashes = onOff(line.dashes, scale * c.pxPerUnit);
        double period = 0; // the dash pattern's length along the line, in drawing units
        for (double d : line.dashes) period += std::fabs(d) * scale;
        // Gaps narrower than the line's own width close on the page: such a pattern draws continuous.
        double widestGap = 0;
        for (size_t k = 1; k < dashes.size(); k += 2) widestGap = std::max(widestGap, dashes[k]);
        if (!dashes.empty() && widestGap < c.thinLine) dashes.clear();
        double drawn = 0; // the lines' length within the loops' extents, in drawing units
        for (long k = kMin; k <= kMax; ++k) {
            // Line k runs through the base point stepped k offsets (across and along), its dashes starting there.
            const double px = base.x + ox * k, py = base.y + oy * k;
            // Only its stretch across the loops' extents is drawn; it starts a whole number of patterns from
            // its own point, so that every line's dashes fall where the pattern puts them.
            double from = -HUGE_VAL, to = HUGE_VAL;
            const double lo[2] = {x0, y0}, hi[2] = {x1, y1}, at[2] = {px, py};
            for (int axis = 0; axis < 2; ++axis) {
                if (std::fabs(dir[axis]) < 1e-12) {
                    if (at[axis] < lo[axis] || at[axis] > hi[axis]) from = HUGE_VAL;
                    continue;
                }
                double enter = (lo[axis] - at[axis]) / dir[axis], leave = (hi[axis] - at[axis]) / dir[axis];
                if (enter > leave) std::swap(enter, leave);
                from = std::max(from, enter);
                to = std::min(to, leave);
            }
            if (!(from < to)) continue;
            drawn += to - from;
            if (!dashes.empty()) from = std::floor(from / period) * period;
            cairo_move_to(c.cr, px + dir[0] * from, py + dir[1] * from);
            cairo_line_to(c.cr, px + dir[0] * to, py + dir[1] * to);
        }
        // The family costs its lines, and the ink they lay on the page in lengths of 32 device units (a family
        // that is mostly gaps costs what its dashes draw), and the dashes drawn.
        const double onPage = drawn * c.pxPerUnit;
        double dashCount = 0;
        if (!dashes.empty()) {
            double runs = 0;
            for (double d : dashes) runs += d;
            dashCount = runs > 0 ? onPage / runs * double(dashes.size() / 2) : 0;
        }
        if (!charge(c, double(kMax - kMin + 1) + onPage * inkShare(line) / 32,
                    AcDbExpansionBudget::Work::kPatternLines) ||
            (dashCount > 0 && !charge(c, dashCount, AcDbExpansionBudget::Work::kDashes))) {
            cairo_new_path(c.cr);
            break;
        }
        cairo_save(c.cr);
        cairo_identity_matrix(c.cr);
        if (!dashes.empty()) cairo_set_dash(c.cr, dashes.data(), int(dashes.size()), 0);
        // Round ends show a pattern's dots, which are dashes of no length.
        cairo_set_line_cap(c.cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_width(c.cr, c.thinLine);
        cairo_stroke(c.cr);
        cairo_restore(c.cr);
    }
    if (uncovered < 1) cairo_paint_with_alpha(c.cr, 1 - uncovered);
    cairo_restore(c.cr);
    cairo_new_path(c.cr);
}

namespace {

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

} // namespace

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
            const TextFrame f{tm * AcGePoint3d(x + cw / 2, -y - ch / 2, 0), tm * AcGeVector3d::kXAxis,
                              tm * AcGeVector3d::kYAxis};
            drawTextAt(c, t->cellDisplayText(d.row, d.col), f, t->textHeight(d.row, d.col), 1.0, 4, 2);
        }
    }
}

} // namespace plot::drawing
