// Drawing an entity on the plot: its layer and colour, lines, polylines, circles and arcs, and the rest by family.
#include "cad/plot/PlotRenderer.h"

#include <algorithm>
#include <cmath>

namespace plot::drawing {

namespace {

constexpr double kPi = 3.14159265358979323846;

Rgb fromPacked(Adesk::UInt32 v) {
    return {((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0};
}

// Colour 7 (white on a dark screen) and pure white print black on white paper.
Rgb paperColour(Adesk::UInt32 packed) {
    if ((packed & 0xFFFFFF) == 0xFFFFFF) return {0, 0, 0};
    return fromPacked(packed);
}

} // namespace

namespace {

const LayerInfo& layerOf(Ctx& c, AcDbObjectId id) {
    auto it = c.layers.find(id);
    if (it != c.layers.end()) return it->second;
    LayerInfo info;
    AcDbLayerTableRecord* l = nullptr;
    if (acdbOpenObject(l, id, AcDb::kForRead) == Acad::eOk) {
        info.plotted = !l->isOff() && !l->isFrozen() && l->isPlottable();
        info.color = l->color().entityColor();
        info.linetype = l->linetypeObjectId();
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

// The colour an insert's entities take by block: the insert's own, its layer's or the one it takes itself.
AcCmEntityColor inheritedColour(Ctx& c, const AcDbEntity* e, const AcCmEntityColor& byBlock, AcDbObjectId layer) {
    AcCmEntityColor inherit = e->entityColor();
    if (inherit.isByLayer()) inherit = layerOf(c, layer).color;
    if (inherit.isByBlock()) inherit = byBlock;
    return inherit;
}

} // namespace

AcDbObjectId layerLinetype(Ctx& c, AcDbObjectId layer) {
    return layerOf(c, layer).linetype;
}

void setColour(Ctx& c, const Rgb& rgb) {
    cairo_set_source_rgb(c.cr, rgb.r, rgb.g, rgb.b);
}

namespace {

// A dashed stroke costs the dashes it draws: its path's length on the page over the pattern's, times the
// pattern's dashes.
void chargeDashes(Ctx& c) {
    double period = 0;
    for (double d : c.dashes) period += d;
    if (!(period > 0)) return;
    cairo_path_t* flat = cairo_copy_path_flat(c.cr);
    double length = 0, x = 0, y = 0, startX = 0, startY = 0;
    for (int i = 0; flat && i < flat->num_data; i += flat->data[i].header.length) {
        const cairo_path_data_t& d = flat->data[i];
        if (d.header.type == CAIRO_PATH_MOVE_TO) {
            x = startX = d.header.length > 1 ? flat->data[i + 1].point.x : x;
            y = startY = d.header.length > 1 ? flat->data[i + 1].point.y : y;
        } else if (d.header.type == CAIRO_PATH_LINE_TO && d.header.length > 1) {
            length += std::hypot(flat->data[i + 1].point.x - x, flat->data[i + 1].point.y - y);
            x = flat->data[i + 1].point.x;
            y = flat->data[i + 1].point.y;
        } else if (d.header.type == CAIRO_PATH_CLOSE_PATH) {
            length += std::hypot(startX - x, startY - y);
            x = startX;
            y = startY;
        }
    }
    cairo_path_destroy(flat);
    if (std::isfinite(length))
        charge(c, length / period * double(c.dashes.size() / 2), AcDbExpansionBudget::Work::kDashes);
}

} // namespace

void strokeDevice(Ctx& c, double width) {
    cairo_save(c.cr);
    cairo_identity_matrix(c.cr);
    const double wide = std::max(width, c.thinLine);
    cairo_set_line_width(c.cr, wide);
    cairo_set_line_cap(c.cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(c.cr, CAIRO_LINE_JOIN_ROUND);
    // The round ends of dashes close every gap narrower than the line: such dashes are finer than the page
    // shows and the stroke is continuous.
    double widestGap = 0;
    for (size_t k = 1; k < c.dashes.size(); k += 2) widestGap = std::max(widestGap, c.dashes[k]);
    if (!c.dashes.empty() && widestGap >= wide) {
        chargeDashes(c);
        cairo_set_dash(c.cr, c.dashes.data(), int(c.dashes.size()), 0);
    }
    cairo_stroke(c.cr);
    cairo_restore(c.cr);
}

namespace {

AcGePoint3d apply(const AcGeMatrix3d& m, const AcGePoint3d& p) {
    return m * p;
}

} // namespace

void addPath(Ctx& c, const cadgeom::BulgePath& path, const AcGeMatrix3d& m, double elevation) {
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

namespace {

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

} // namespace

namespace {

// One side of a wide segment: its points, each with the segment's width there, offset across it.
struct Band {
    std::vector<AcGePoint2d> left, right;
};

Band bandOf(const AcGePoint2d& a, const AcGePoint2d& b, double bulge, double startWidth, double endWidth) {
    Band band;
    const double sweep = 4 * std::atan(std::fabs(bulge));
    const int steps = bulge != 0 ? std::max(2, int(std::ceil(sweep / (kPi / 48)))) : 1;
    for (int k = 0; k <= steps; ++k) {
        const double t = double(k) / steps;
        const AcGePoint2d q = cadgeom::pointOnSegment(a, b, bulge, t);
        // The direction of travel there: across it lies the width.
        const AcGePoint2d before = cadgeom::pointOnSegment(a, b, bulge, std::max(0.0, t - 1e-4));
        const AcGePoint2d after = cadgeom::pointOnSegment(a, b, bulge, std::min(1.0, t + 1e-4));
        const double dx = after.x - before.x, dy = after.y - before.y, len = std::hypot(dx, dy);
        if (!(len > 0)) return {};
        const double half = (startWidth + (endWidth - startWidth) * t) / 2;
        band.left.emplace_back(q.x - dy / len * half, q.y + dx / len * half);
        band.right.emplace_back(q.x + dy / len * half, q.y - dx / len * half);
    }
    return band;
}

// Each piece filled on its own: pieces that overlap the other way round would cancel out in one path.
void fillPolygon(Ctx& c, const std::vector<AcGePoint2d>& points, const AcGeMatrix3d& m, double elevation) {
    cairo_new_path(c.cr);
    for (size_t i = 0; i < points.size(); ++i) {
        const AcGePoint3d q = m * AcGePoint3d(points[i].x, points[i].y, elevation);
        if (i == 0)
            cairo_move_to(c.cr, q.x, q.y);
        else
            cairo_line_to(c.cr, q.x, q.y);
    }
    cairo_close_path(c.cr);
    cairo_fill(c.cr);
}

} // namespace

void drawPolyline(Ctx& c, const AcDbPolyline* p, const AcGeMatrix3d& m, const Rgb& rgb) {
    const AcGeMatrix3d pm = m * AcGeMatrix3d::planeToWorld(p->normal());
    setColour(c, rgb);
    // The centre line, thin: what a segment without width shows.
    addPath(c, p->planePath(), pm, p->elevation());
    strokeDevice(c, c.thinLine);
    double constant = 0;
    p->getConstantWidth(constant);
    const unsigned n = p->numVerts();
    const unsigned segments = p->isClosed() ? n : (n > 0 ? n - 1 : 0);
    // Widths wider than the thinnest line are filled bands, tapering where the widths differ; a constant
    // width stands for every vertex's.
    const double toDevice = axisScale(m) * c.pxPerUnit;
    std::vector<Band> bands(segments);
    bool any = false;
    for (unsigned i = 0; i < segments; ++i) {
        double s = constant, t = constant;
        if (!(constant > 0)) p->getWidthsAt(i, s, t);
        if (!std::isfinite(s) || !std::isfinite(t) || std::max(s, t) * toDevice <= c.thinLine) continue;
        AcGePoint2d a, b;
        double bulge = 0;
        p->getPointAt(i, a);
        p->getPointAt((i + 1) % n, b);
        p->getBulgeAt(i, bulge);
        bands[i] = bandOf(a, b, bulge, std::max(s, 0.0), std::max(t, 0.0));
        any = any || !bands[i].left.empty();
    }
    if (!any) return;
    cairo_set_fill_rule(c.cr, CAIRO_FILL_RULE_WINDING);
    for (unsigned i = 0; i < segments; ++i) {
        const Band& band = bands[i];
        if (band.left.empty()) continue;
        std::vector<AcGePoint2d> outline(band.left);
        outline.insert(outline.end(), band.right.rbegin(), band.right.rend());
        fillPolygon(c, outline, pm, p->elevation());
        // The corner with the next wide segment, bevelled on both sides.
        const unsigned next = i + 1 < segments ? i + 1 : (p->isClosed() ? 0 : segments);
        if (next < segments && !bands[next].left.empty()) {
            AcGePoint2d at;
            p->getPointAt((i + 1) % n, at);
            fillPolygon(c, {at, band.left.back(), bands[next].left.front()}, pm, p->elevation());
            fillPolygon(c, {at, band.right.back(), bands[next].right.front()}, pm, p->elevation());
        }
    }
}

TextFrame textFrame(const AcGeMatrix3d& m, const AcGePoint3d& origin, const AcGeVector3d& normal,
                    const AcGeVector3d& along) {
    // Up the letters lies across the baseline in the text's plane; its plane turned over shows it mirrored.
    const AcGeVector3d n = normal.isZeroLength() ? AcGeVector3d::kZAxis : normal.normal();
    const AcGeVector3d x = along.isZeroLength() ? AcGeVector3d::kXAxis : along.normal();
    return {m * origin, m * x, m * n.crossProduct(x)};
}

TextFrame textFrame(const AcGeMatrix3d& m, const AcGePoint3d& origin, const AcGeVector3d& normal, double rotation) {
    const AcGeVector3d n = normal.isZeroLength() ? AcGeVector3d::kZAxis : normal.normal();
    return textFrame(m, origin, n,
                     AcGeMatrix3d::planeToWorld(n) * AcGeVector3d(std::cos(rotation), std::sin(rotation), 0));
}

double axisScale(const AcGeMatrix3d& m) {
    return std::hypot(m(0, 0), m(1, 0));
}
double axisAngle(const AcGeMatrix3d& m) {
    return std::atan2(m(1, 0), m(0, 0));
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
    c.dashes.clear();
    if (AcDbLine::cast(e) || AcDbPolyline::cast(e) || AcDbCircle::cast(e) || AcDbArc::cast(e) || AcDbRawEntity::cast(e))
        applyLinetype(c, e, layer, m);
    if (auto* l = AcDbLine::cast(e)) {
        AcGePoint3d a = m * l->startPoint(), b = m * l->endPoint();
        cairo_move_to(c.cr, a.x, a.y);
        cairo_line_to(c.cr, b.x, b.y);
        setColour(c, rgb);
        strokeDevice(c, c.thinLine);
    } else if (auto* p = AcDbPolyline::cast(e)) {
        drawPolyline(c, p, m, rgb);
    } else if (auto* circle = AcDbCircle::cast(e)) {
        addArc(c, circle->center(), circle->normal(), circle->radius(), 0, 2 * kPi, m);
        cairo_close_path(c.cr);
        setColour(c, rgb);
        strokeDevice(c, c.thinLine);
    } else if (auto* arc = AcDbArc::cast(e)) {
        addArc(c, arc->center(), arc->normal(), arc->radius(), arc->startAngle(), arc->sweep(), m);
        setColour(c, rgb);
        strokeDevice(c, c.thinLine);
    } else if (auto* t = AcDbText::cast(e)) {
        if (auto* a = AcDbAttribute::cast(e); a && a->isInvisible()) return;
        setColour(c, rgb);
        // An attribute definition standing in a space shows its tag; a constant one in an insert, its value.
        const auto* definition = AcDbAttributeDefinition::cast(e);
        const ACHAR* text = definition && depth == 0 ? definition->tagConst() : t->textStringConst();
        if (t->horizontalMode() == AcDb::kTextAlign || t->horizontalMode() == AcDb::kTextFit) {
            const AcGeVector3d baseline = t->alignmentPoint() - t->position();
            const TextFrame f = baseline.isZeroLength() ? textFrame(m, t->position(), t->normal(), t->rotation())
                                                        : textFrame(m, t->position(), t->normal(), baseline);
            drawTextBetween(c, text, f, baseline.length(), t->height(), t->widthFactor(),
                            t->horizontalMode() == AcDb::kTextFit, t->generationFlags());
        } else {
            const TextFrame f =
                textFrame(m, t->isDefaultAlignment() ? t->position() : t->alignmentPoint(), t->normal(), t->rotation());
            drawTextAt(c, text, f, t->height(), t->widthFactor(), t->horizontalMode(), t->verticalMode(),
                       t->generationFlags());
        }
    } else if (auto* mt = AcDbMText::cast(e)) {
        setColour(c, rgb);
        drawParagraph(c, mt, m);
    } else if (auto* h = AcDbHatch::cast(e)) {
        drawHatch(c, h, m, rgb);
    } else if (auto* table = AcDbTable::cast(e)) {
        drawTable(c, table, m, rgb);
    } else if (auto* ref = AcDbBlockReference::cast(e)) {
        const AcCmEntityColor inherit = inheritedColour(c, e, byBlock, layer);
        AcDbBlockTableRecord* btr = nullptr;
        AcGeMatrix3d bt = ref->blockTransform();
        // What "ByBlock" means for the linetypes of the block's entities.
        const LinetypeUse outer = c.blockLinetype;
        c.blockLinetype = linetypeOf(c, e, layer);
        if (auto* mi = AcDbMInsertBlock::cast(e)) {
            drawGrid(c, mi, m, inherit, layer, depth);
        } else {
            drawBlock(c, ref->blockTableRecord(), m * bt, inherit, layer, depth);
        }
        c.blockLinetype = outer;
        c.dashes.clear();
        (void)btr;
        // A grid's attributes are drawn with each of its cells.
        if (!AcDbMInsertBlock::cast(e))
            for (const AcDbObjectId& aid : ref->attributeIds()) {
                AcDbEntity* att = nullptr;
                if (acdbOpenObject(att, aid, AcDb::kForRead) != Acad::eOk) continue;
                drawEntity(c, att, m, inherit, layer, depth + 1);
                att->close();
            }
    } else if (auto* vp = AcDbViewport::cast(e)) {
        // A viewport's frame, on paper; the paper's own viewport (1) has none.
        if (vp->number() != 1 && vp->width() > 0 && vp->height() > 0) {
            const AcGePoint3d ctr = vp->centerPoint();
            const double w = vp->width() / 2, h = vp->height() / 2;
            const AcGePoint3d corners[4] = {m * (ctr + AcGeVector3d(-w, -h, 0)), m * (ctr + AcGeVector3d(w, -h, 0)),
                                            m * (ctr + AcGeVector3d(w, h, 0)), m * (ctr + AcGeVector3d(-w, h, 0))};
            cairo_move_to(c.cr, corners[0].x, corners[0].y);
            for (int k = 1; k < 4; ++k) cairo_line_to(c.cr, corners[k].x, corners[k].y);
            cairo_close_path(c.cr);
            setColour(c, rgb);
            strokeDevice(c, c.thinLine);
        }
    } else if (drawAnnotation(c, e, m, rgb, inheritedColour(c, e, byBlock, layer), layer, depth)) {
    } else if (auto* kept = AcDbRawEntity::cast(e)) {
        drawKept(c, kept, m, rgb);
    } else if (!AcDbViewport::cast(e) && !AcDbAttributeDefinition::cast(e)) {
        leaveOut(c, e->dxfTypeName());
    }
}

} // namespace plot::drawing
