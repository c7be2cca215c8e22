// Linetypes on the plot: an entity's dash pattern from its own linetype, its layer's or its insert's, scaled.
#include "cad/plot/PlotRenderer.h"

#include <algorithm>
#include <cmath>

namespace plot::drawing {

std::vector<double> onOff(const std::vector<double>& dashes, double unit) {
    // Dashes (positive), gaps (negative) and dots (zero) in any order: alternating runs, drawn first. A dot is
    // a dash too short to see, which the round ends of the strokes make a dot as wide as the line (a run of no
    // length at all is not drawn); the gap after it gives up that length, so the pattern keeps its period.
    constexpr double kDot = 1e-3;
    std::vector<double> runs;
    double total = 0, owed = 0;
    bool anyGap = false;
    for (double d : dashes) {
        if (!std::isfinite(d)) return {};
        const bool gap = d < 0;
        anyGap = anyGap || gap;
        double length = std::fabs(d) * unit;
        if (d == 0) {
            length = kDot;
            owed += kDot;
        } else if (gap) {
            const double given = std::min(owed, length);
            length -= given;
            owed -= given;
        }
        total += std::fabs(d) * unit;
        if (runs.empty() && gap) runs.push_back(0); // a pattern that opens with a gap: no ink before it
        if (!runs.empty() && (runs.size() % 2 == 0) == gap)
            runs.back() += length; // a dash after a dash (or a gap after a gap) runs on
        else
            runs.push_back(length);
    }
    // Under a couple of dots the gaps cannot be seen: drawn continuous, which also bounds the dashes drawn.
    if (!anyGap || !(total >= 2.0)) return {};
    if (runs.size() % 2 != 0) runs.push_back(0);
    return runs;
}

namespace {

// The drawing's LTSCALE, read once per plot.
double drawingScale(Ctx& c) {
    if (c.ltscale > 0) return c.ltscale;
    c.ltscale = 1;
    if (!c.db) return c.ltscale;
    for (const auto& [name, tags] : c.db->headerExtra())
        if (name == L"$LTSCALE" && !tags.empty()) {
            const double v = std::wcstod(tags.front().second.c_str(), nullptr);
            if (std::isfinite(v) && v > 0) c.ltscale = v;
        }
    return c.ltscale;
}

// A linetype's dashes in drawing units; none for a continuous or unknown one.
const std::vector<double>& dashesOf(Ctx& c, AcDbObjectId id) {
    auto found = c.linetypes.find(id);
    if (found != c.linetypes.end()) return found->second;
    std::vector<double> dashes;
    AcDbLinetypeTableRecord* lt = nullptr;
    if (!id.isNull() && acdbOpenObject(lt, id, AcDb::kForRead) == Acad::eOk) {
        for (int i = 0; i < lt->numDashes(); ++i) dashes.push_back(lt->dashLengthAt(i));
        lt->close();
    }
    return c.linetypes[id] = std::move(dashes);
}

} // namespace

bool paperSizedDashes(const AcDbDatabase* db) {
    if (db)
        for (const auto& [name, tags] : db->headerExtra())
            if (name == L"$PSLTSCALE" && !tags.empty())
                return std::wcstol(tags.front().second.c_str(), nullptr, 10) != 0;
    return true;
}

LinetypeUse linetypeOf(Ctx& c, const AcDbEntity* e, AcDbObjectId layer) {
    // The name always goes with the record (an entity read before its record was found has the name only).
    const std::wstring& name = e->linetypeName();
    if (name.empty() || acdbSameName(name, L"ByLayer")) return {layerLinetype(c, layer), e->linetypeScale()};
    if (acdbSameName(name, L"ByBlock")) return {c.blockLinetype.id, e->linetypeScale() * c.blockLinetype.scale};
    AcDbObjectId id = e->linetypeId();
    if (id.isNull() && c.db) id = c.db->linetypeId(name);
    return {id, e->linetypeScale()};
}

void applyLinetype(Ctx& c, const AcDbEntity* e, AcDbObjectId layer, const AcGeMatrix3d& m) {
    const LinetypeUse use = linetypeOf(c, e, layer);
    c.dashes.clear();
    if (use.id.isNull()) return;
    const double scale = use.scale > 0 && std::isfinite(use.scale) ? use.scale : 1.0;
    c.dashes = onOff(dashesOf(c, use.id), drawingScale(c) * scale * axisScale(m) * c.viewDashes * c.pxPerUnit);
}

} // namespace plot::drawing
