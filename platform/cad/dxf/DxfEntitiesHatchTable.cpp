// Hatches and tables, both ways: loops and their edges, patterns, seed points; a table's grid and cells.
#include "cad/dxf/DxfEntitiesShared.h"

#include "cad/db/AcDbHatch.h"
#include "cad/db/AcDbTable.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace dxf {

AcDbHatch* readHatch(ReadContext& ctx, const Body& b, bool& whole) {
    auto* h = new AcDbHatch;
    h->setElevation(b.num(30));
    h->setNormal(b.vec(210, {0, 0, 1}));
    std::size_t i = b.b;
    auto at = [&](int code) { return i < b.e && b.t[i].code == code; };
    auto val = [&]() -> std::string_view { return b.t[i].value; };
    // Loops: from 91 to the 75 that ends the boundary data.
    while (i < b.e && b.t[i].code != 91) ++i;
    long long nloops = i < b.e ? parseInt(val()) : 0;
    ++i;
    for (long long l = 0; l < nloops && i < b.e; ++l) {
        AcDbHatchLoop loop;
        while (i < b.e && !at(92)) ++i;
        if (i >= b.e) break;
        loop.type = static_cast<Adesk::Int32>(parseInt(val()));
        ++i;
        if (loop.type & 2) {
            loop.isPolyline = true;
            bool bulges = at(72) && parseInt(val());
            if (at(72)) ++i;
            if (at(73)) {
                loop.closed = parseInt(val()) != 0;
                ++i;
            }
            long long nv = at(93) ? parseInt(val()) : 0;
            if (at(93)) ++i;
            // The count is the file's word: a vertex that brings no tag ends the list.
            for (long long k = 0; k < nv && at(10); ++k) {
                cadgeom::BulgeVertex v;
                if (at(10)) {
                    v.pt.x = parseDouble(val());
                    ++i;
                }
                if (at(20)) {
                    v.pt.y = parseDouble(val());
                    ++i;
                }
                if (bulges && at(42)) {
                    v.bulge = parseDouble(val());
                    ++i;
                }
                loop.vertices.push_back(v);
            }
        } else {
            long long ne = at(93) ? parseInt(val()) : 0;
            if (at(93)) ++i;
            for (long long k = 0; k < ne && i < b.e; ++k) {
                const std::size_t edgeAt = i;
                AcDbHatchEdge edge;
                edge.type = at(72) ? static_cast<int>(parseInt(val())) : 1;
                // Lines, arcs, elliptic arcs and splines: any other type ends the loop's edges.
                if (edge.type < AcDbHatchEdge::kLine || edge.type > AcDbHatchEdge::kSpline) {
                    whole = false;
                    break;
                }
                if (at(72)) ++i;
                auto num = [&](int code, double& out) {
                    if (at(code)) {
                        out = parseDouble(val());
                        ++i;
                    }
                };
                if (edge.type == AcDbHatchEdge::kLine) {
                    num(10, edge.start.x);
                    num(20, edge.start.y);
                    num(11, edge.end.x);
                    num(21, edge.end.y);
                } else if (edge.type == AcDbHatchEdge::kCirArc || edge.type == AcDbHatchEdge::kEllArc) {
                    num(10, edge.center.x);
                    num(20, edge.center.y);
                    if (edge.type == AcDbHatchEdge::kEllArc) {
                        num(11, edge.majorAxis.x);
                        num(21, edge.majorAxis.y);
                        num(40, edge.minorRatio);
                    } else {
                        num(40, edge.radius);
                    }
                    double s = 0, en = 0;
                    num(50, s);
                    num(51, en);
                    edge.startAngle = s * kDegree;
                    edge.endAngle = en * kDegree;
                    if (at(73)) {
                        edge.ccw = parseInt(val()) != 0;
                        ++i;
                    }
                } else {
                    // Spline data runs to the next edge or to the loop's source count. Its own 97
                    // (the fit-point count) comes once, after the control points: before another
                    // edge it is always the spline's; on the last edge it is when fit data or the
                    // loop's own 97 follows it.
                    bool fitCountSeen = false;
                    auto splineOwns97 = [&] {
                        if (fitCountSeen) return false;
                        if (k + 1 < ne) return true;
                        const int next = i + 2 < b.e ? b.t[i + 2].code : 0;
                        return next == 11 || next == 12 || next == 97;
                    };
                    while (i < b.e && !at(72) && !(at(97) && !splineOwns97())) {
                        if (at(97)) fitCountSeen = true;
                        if (fits(b.t, i, b.e)) edge.splineTags.emplace_back(b.t[i].code, wide(val()));
                        if (at(10) && i + 1 < b.e && b.t[i + 1].code == 20)
                            edge.splinePoints.emplace_back(parseDouble(val()), parseDouble(b.t[i + 1].value));
                        ++i;
                    }
                }
                if (i == edgeAt) break; // an edge that brings no tag: the count ran past the data
                loop.edges.push_back(std::move(edge));
            }
        }
        long long ns = at(97) ? parseInt(val()) : 0;
        if (at(97)) ++i;
        for (long long k = 0; k < ns && at(330); ++k, ++i) loop.sourceIds.push_back(ctx.idOf(val()));
        h->appendLoop(loop);
    }
    Body rest{b.t, i, b.e};
    auto ptype = enumIn(b.integer(76, 1), AcDbHatch::kUserDefined, AcDbHatch::kCustomDefined, AcDbHatch::kPreDefined);
    double angle = rest.num(52) * kDegree, scale = rest.num(41, 1);
    h->setPatternFields(ptype, b.str(2, L"SOLID").c_str(), angle, scale, rest.integer(77) != 0);
    h->setHatchStyle(enumIn(rest.integer(75), AcDbHatch::kNormal, AcDbHatch::kIgnore, AcDbHatch::kNormal));
    h->setAssociative(b.integer(71) != 0);
    std::vector<AcDbHatchPatternLine> lines;
    for (std::size_t k = i; k < b.e; ++k) {
        const Tag& t = b.t[k];
        if (t.code == 53) {
            lines.emplace_back();
            lines.back().angle = parseDouble(t.value) * kDegree;
        } else if (!lines.empty() && lines.back().dashes.empty()) {
            auto& pl = lines.back();
            if (t.code == 43)
                pl.base.x = parseDouble(t.value);
            else if (t.code == 44)
                pl.base.y = parseDouble(t.value);
            else if (t.code == 45)
                pl.offset.x = parseDouble(t.value);
            else if (t.code == 46)
                pl.offset.y = parseDouble(t.value);
            else if (t.code == 49)
                pl.dashes.push_back(parseDouble(t.value));
        } else if (!lines.empty() && t.code == 49) {
            lines.back().dashes.push_back(parseDouble(t.value));
        } else if (t.code == 98) {
            for (std::size_t s = k + 1; s + 1 < b.e && b.t[s].code == 10 && b.t[s + 1].code == 20; s += 2)
                h->appendSeedPoint(AcGePoint2d(parseDouble(b.t[s].value), parseDouble(b.t[s + 1].value)));
            break;
        }
    }
    h->setPatternDefinitions(std::move(lines));
    if (b.integer(450, 0) != 0) {
        h->setHatchObjectType(AcDbHatch::kGradientObject);
        // Each colour opens with 463 and gives its index (63) and then perhaps its true colour (421).
        std::vector<Adesk::UInt32> colors;
        double angle = 0;
        // A value that is not a number (an angle, a colour) is repaired and said: the angle 0, the colour its
        // index gave or black. The hatch is drawn and saved so.
        bool repaired = false;
        for (std::size_t k = i; k < b.e; ++k) {
            const Tag& t = b.t[k];
            const bool fits = valueFits(t.code, t.value);
            if (t.code == 460) {
                angle = parseDouble(t.value);
                if (!fits || !std::isfinite(angle)) {
                    angle = 0;
                    repaired = true;
                }
            }
            if (t.code == 463) colors.push_back(0);
            if (colors.empty()) continue;
            if (t.code == 63) {
                const long long index = parseInt(t.value);
                colors.back() = AcCmEntityColor::lookUpRGB(Adesk::UInt8(index >= 1 && index <= 255 ? index : 7));
            }
            if (t.code == 421 && fits) colors.back() = Adesk::UInt32(parseInt(t.value)) & 0xFFFFFF;
            repaired = repaired || ((t.code == 421 || t.code == 63) && !fits);
        }
        if (repaired) ++ctx.repairedGradients;
        h->setGradient(angle, std::move(colors));
    }
    return h;
}

namespace {

// The row types in the order a table's own values follow its cells, and the bits of the table's override
// flag (93) that say it has its own alignment and text height for each.
struct RowTypeOverride {
    AcDb::RowType type;
    long long alignmentBit, textHeightBit;
};
constexpr RowTypeOverride kRowTypeOverrides[] = {
    {AcDb::kTitleRow, 1LL << 14, 1LL << 20},
    {AcDb::kHeaderRow, 1LL << 15, 1LL << 21},
    {AcDb::kDataRow, 1LL << 16, 1LL << 22},
};

// Where the table's own values of a group code lie: the last tags of that code, one for each row type
// whose bit is set, after the last cell has begun (the cells' own tags come before them). Empty when
// the record holds fewer than the flag announces.
std::vector<std::size_t> ownValueTags(const Body& tp, long long flags, int code, long long RowTypeOverride::*bit) {
    std::size_t wanted = 0;
    for (const RowTypeOverride& o : kRowTypeOverrides) wanted += (flags & o.*bit) ? 1 : 0;
    std::size_t lastCell = tp.b;
    for (std::size_t k = tp.b; k < tp.e; ++k)
        if (tp.t[k].code == 171) lastCell = k;
    std::vector<std::size_t> at;
    for (std::size_t k = tp.e; k > lastCell && at.size() < wanted; --k)
        if (tp.t[k - 1].code == code) at.insert(at.begin(), k - 1);
    if (at.size() < wanted) at.clear();
    return at;
}

} // namespace

AcDbTable* readTable(ReadContext& ctx, const Body& b) {
    auto* tb = new AcDbTable;
    auto it = ctx.blockIds.find(upper(b.raw(2)));
    if (it != ctx.blockIds.end()) tb->setBlockTableRecord(it->second);
    tb->setPosition(b.point(10));
    // The table part starts at its own subclass marker.
    std::size_t s = b.b;
    while (s < b.e && !(b.t[s].code == 100 && b.t[s].value == "AcDbTable")) ++s;
    Body tp{b.t, s, b.e};
    if (tp.has(342)) tb->setTableStyle(ctx.idOf(tp.raw(342)));
    tb->setDirection(tp.vec(11, {1, 0, 0}));
    int rows = static_cast<int>(tp.integer(91)), cols = static_cast<int>(tp.integer(92));
    // Every cell has tags of its own: a grid larger than the record can hold is not made.
    const long long cells = static_cast<long long>(rows) * cols;
    if (rows > 0 && cols > 0 && rows < 100000 && cols < 10000 && cells < 1000000 &&
        cells <= static_cast<long long>(b.e - s)) {
        tb->setSize(rows, cols);
        // The row types' own text heights and alignments, set before the cells that may override them.
        const long long flags = tp.integer(93);
        const std::vector<std::size_t> heights = ownValueTags(tp, flags, 140, &RowTypeOverride::textHeightBit);
        const std::vector<std::size_t> alignments = ownValueTags(tp, flags, 170, &RowTypeOverride::alignmentBit);
        std::size_t nh = 0, na = 0;
        for (const RowTypeOverride& o : kRowTypeOverrides) {
            if ((flags & o.textHeightBit) && nh < heights.size())
                tb->setTextHeight(parseDouble(b.t[heights[nh++]].value), o.type);
            if ((flags & o.alignmentBit) && na < alignments.size())
                tb->setAlignment(
                    enumIn(parseInt(b.t[alignments[na++]].value), AcDb::kTopLeft, AcDb::kBottomRight, AcDb::kTopLeft),
                    o.type);
        }
        auto tableOwn = [&](std::size_t k) {
            return std::find(heights.begin(), heights.end(), k) != heights.end() ||
                   std::find(alignments.begin(), alignments.end(), k) != alignments.end();
        };
        int r = 0, c = 0, cell = -1;
        for (std::size_t k = s; k < b.e; ++k) {
            const Tag& t = b.t[k];
            if (tableOwn(k)) continue;
            if (t.code == 141 && r < rows)
                tb->setRowHeight(r++, parseDouble(t.value));
            else if (t.code == 142 && c < cols)
                tb->setColumnWidth(c++, parseDouble(t.value));
            else if (t.code == 171) {
                ++cell;
                if (cell >= rows * cols) break;
                tb->cellForWrite(cell / cols, cell % cols).type =
                    enumIn(parseInt(t.value, 1), AcDb::kUnknownCell, AcDb::kBlockCell, AcDb::kTextCell);
            } else if (cell >= 0) {
                AcDbTableCell& cl = tb->cellForWrite(cell / cols, cell % cols);
                if (t.code == 1)
                    cl.text = wide(t.value);
                else if (t.code == 175)
                    cl.mergeCols = static_cast<int>(parseInt(t.value, 1));
                else if (t.code == 176)
                    cl.mergeRows = static_cast<int>(parseInt(t.value, 1));
                else if (t.code == 173)
                    cl.merged = parseInt(t.value) != 0;
                else if (t.code == 174)
                    cl.autoFit = parseInt(t.value) != 0;
                else if (t.code == 140)
                    cl.textHeight = parseDouble(t.value);
                else if (t.code == 170)
                    cl.alignment = enumIn(parseInt(t.value), static_cast<AcDb::CellAlignment>(0), AcDb::kBottomRight,
                                          static_cast<AcDb::CellAlignment>(0));
                else if (t.code == 340)
                    cl.block = ctx.idOf(t.value);
                else if (t.code == 7)
                    cl.textStyle = ctx.db->textStyleId(wide(t.value));
            }
        }
    }
    return tb;
}

void writeHatchBody(WriteContext& ctx, Out& o, const AcDbHatch* h) {
    o.marker("AcDbHatch");
    o.d(10, 0);
    o.d(20, 0);
    o.d(30, h->elevation());
    AcGeVector3d n = h->normal();
    o.v(210, n);
    o.s(2, h->patternName());
    o.i(70, h->isSolidFill() ? 1 : 0);
    o.i(71, h->associative() ? 1 : 0);
    o.i(91, h->numLoops());
    for (const AcDbHatchLoop& loop : h->loops()) {
        o.i(92, loop.type | (loop.isPolyline ? 2 : 0));
        if (loop.isPolyline) {
            bool bulges = false;
            for (const auto& v : loop.vertices) bulges = bulges || v.bulge != 0;
            o.i(72, bulges ? 1 : 0);
            o.i(73, loop.closed ? 1 : 0);
            o.i(93, static_cast<long long>(loop.vertices.size()));
            for (const auto& v : loop.vertices) {
                o.p2(10, v.pt);
                if (bulges) o.d(42, v.bulge);
            }
        } else {
            o.i(93, static_cast<long long>(loop.edges.size()));
            for (const AcDbHatchEdge& e : loop.edges) {
                o.i(72, e.type);
                if (e.type == AcDbHatchEdge::kLine) {
                    o.p2(10, e.start);
                    o.p2(11, e.end);
                } else if (e.type == AcDbHatchEdge::kCirArc || e.type == AcDbHatchEdge::kEllArc) {
                    o.p2(10, e.center);
                    if (e.type == AcDbHatchEdge::kEllArc) {
                        o.d(11, e.majorAxis.x);
                        o.d(21, e.majorAxis.y);
                        o.d(40, e.minorRatio);
                    } else {
                        o.d(40, e.radius);
                    }
                    o.d(50, e.startAngle / kDegree);
                    o.d(51, e.endAngle / kDegree);
                    o.i(73, e.ccw ? 1 : 0);
                } else {
                    o.extras(e.splineTags);
                }
            }
        }
        o.i(97, static_cast<long long>(loop.sourceIds.size()));
        for (const AcDbObjectId& id : loop.sourceIds) o.s8(330, ctx.handle(id));
    }
    o.i(75, h->hatchStyle());
    o.i(76, h->patternType());
    if (!h->isSolidFill()) {
        o.d(52, h->patternAngle() / kDegree);
        o.d(41, h->patternScale());
        o.i(77, h->patternDouble() ? 1 : 0);
        o.i(78, h->numPatternDefinitions());
        for (const AcDbHatchPatternLine& l : h->patternDefinitions()) {
            o.d(53, l.angle / kDegree);
            o.d(43, l.base.x);
            o.d(44, l.base.y);
            o.d(45, l.offset.x);
            o.d(46, l.offset.y);
            o.i(79, static_cast<long long>(l.dashes.size()));
            for (double d : l.dashes) o.d(49, d);
        }
    }
    o.i(98, h->numSeedPoints());
    for (int i = 0; i < h->numSeedPoints(); ++i) o.p2(10, h->getSeedPointAt(i));
    if (h->hatchObjectType() == AcDbHatch::kGradientObject) {
        // A linear gradient through its colours, evenly spaced, along its angle.
        const std::vector<Adesk::UInt32>& colors = h->gradientColors();
        o.i(450, 1);
        o.i(451, 0);
        o.d(460, h->gradientAngle());
        o.d(461, 0);
        o.i(452, colors.size() == 1 ? 1 : 0);
        o.d(462, 0);
        o.i(453, static_cast<long long>(colors.size()));
        for (std::size_t k = 0; k < colors.size(); ++k) {
            o.d(463, colors.size() > 1 ? double(k) / double(colors.size() - 1) : 0.0);
            o.i(421, colors[k]);
        }
        o.s8(470, "LINEAR");
    }
}

void writeTableBody(WriteContext& ctx, Out& o, const AcDbTable* t) {
    std::string block = ctx.nameOf(t->blockTableRecord());
    std::string record = t->blockTableRecord().isNull() ? std::string() : ctx.handle(t->blockTableRecord());
    if (auto made = ctx.tableBlocks.find(t->handle().value()); made != ctx.tableBlocks.end()) {
        block = made->second.first;
        record = handleText(made->second.second);
    }
    o.marker("AcDbBlockReference");
    o.s8(2, block);
    o.p(10, t->position());
    o.marker("AcDbTable");
    o.i(280, 0);
    if (!t->tableStyle().isNull()) o.s8(342, ctx.handle(t->tableStyle()));
    if (!record.empty()) o.s8(343, record);
    o.v(11, t->direction());
    o.i(90, 22);
    o.i(91, t->numRows());
    o.i(92, t->numColumns());
    long long flags = 0;
    for (const RowTypeOverride& ov : kRowTypeOverrides) {
        if (t->hasOwnAlignment(ov.type)) flags |= ov.alignmentBit;
        if (t->hasOwnTextHeight(ov.type)) flags |= ov.textHeightBit;
    }
    o.i(93, flags);
    o.i(94, 0);
    o.i(95, 0);
    o.i(96, 0);
    for (Adesk::UInt32 r = 0; r < t->numRows(); ++r) o.d(141, t->rowHeight(static_cast<int>(r)));
    for (Adesk::UInt32 c = 0; c < t->numColumns(); ++c) o.d(142, t->columnWidth(static_cast<int>(c)));
    for (Adesk::UInt32 r = 0; r < t->numRows(); ++r)
        for (Adesk::UInt32 c = 0; c < t->numColumns(); ++c) {
            const AcDbTableCell& cl = t->cell(static_cast<int>(r), static_cast<int>(c));
            o.i(171, cl.type);
            o.i(172, 0);
            o.i(173, cl.merged ? 1 : 0);
            o.i(174, cl.autoFit ? 1 : 0);
            o.i(175, cl.mergeCols);
            o.i(176, cl.mergeRows);
            o.i(91, 0);
            o.i(178, 0);
            o.i(145, 0);
            if (cl.alignment != 0) o.i(170, cl.alignment);
            if (cl.textHeight != 0) o.d(140, cl.textHeight);
            if (!cl.textStyle.isNull()) o.s(7, styleName(ctx, cl.textStyle));
            if (cl.type == AcDb::kBlockCell && !cl.block.isNull())
                o.s8(340, ctx.handle(cl.block));
            else
                o.s(1, cl.text);
        }
    // The row types' own values follow the cells: text heights, then alignments, as the flag says.
    for (const RowTypeOverride& ov : kRowTypeOverrides)
        if (t->hasOwnTextHeight(ov.type)) o.d(140, t->textHeight(ov.type));
    for (const RowTypeOverride& ov : kRowTypeOverrides)
        if (t->hasOwnAlignment(ov.type)) o.i(170, t->alignment(ov.type));
}

} // namespace dxf
