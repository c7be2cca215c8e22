#include "cad/plot/PlotFuzzEntry.h"

#include "cad/dxf/DxfDatabase.h"
#include "cad/editor/EdPrintf.h"
#include "cad/plot/PlotRenderer.h"

#include <algorithm>
#include <memory>
#include <string_view>

namespace {

// A layout's space drawn over its extents (paper: its sheet, at most so large) on a small raster page: all of the
// drawing's work is done, little of the page's filling.
void plotSpace(AcDbDatabase& db, AcDbObjectId space, bool paper) {
    constexpr int kWidth = 240, kHeight = 170;
    AcDbExpansionBudget budget(&db); // the extents and the drawing together, as a plot has it
    AcDbExtents ext;
    if (!plot::drawing::blockExtents(space, ext, true)) ext.set(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0));
    const double ew = std::max(ext.maxPoint().x - ext.minPoint().x, 1e-9);
    const double eh = std::max(ext.maxPoint().y - ext.minPoint().y, 1e-9);
    const double scale = std::min(kWidth * 0.94 / ew, kHeight * 0.94 / eh);
    const std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight), cairo_surface_destroy);
    const std::unique_ptr<cairo_t, decltype(&cairo_destroy)> context(cairo_create(surface.get()), cairo_destroy);
    cairo_t* cr = context.get();
    cairo_translate(cr, kWidth / 2.0, kHeight / 2.0);
    cairo_scale(cr, scale, -scale);
    cairo_translate(cr, -(ext.minPoint().x + ext.maxPoint().x) / 2, -(ext.minPoint().y + ext.maxPoint().y) / 2);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) return; // extents paper cannot hold: the plot refuses them
    plot::drawing::Ctx c;
    c.cr = cr;
    c.db = &db;
    c.pxPerUnit = scale;
    c.thinLine = 1;
    plot::drawing::drawSpace(c, space, paper);
}

} // namespace

bool plotFuzzOne(const char* data, std::size_t size) {
    AcDbDatabase db(false, true);
    std::vector<std::string> problems;
    try {
        dxf::loadDatabase(&db, std::string_view(data, size), "fuzz.dxf", problems);
    } catch (const dxf::Refused&) {
        return false;
    }
    plotSpace(db, db.modelSpaceId(), false);
    // The paper layouts, each by its own block (a damaged file may name one twice).
    std::vector<AcDbObjectId> spaces;
    for (const AcDbObjectId& id : db.allObjectIds()) {
        auto* btr = AcDbBlockTableRecord::cast(db.peek(id));
        if (btr && !btr->isErased() && btr->isLayout() && id != db.modelSpaceId() &&
            std::find(spaces.begin(), spaces.end(), id) == spaces.end())
            spaces.push_back(id);
    }
    for (const AcDbObjectId& space : spaces) plotSpace(db, space, true);
    ed::commandLine().clear(); // what the plots left out, said again by every input
    return true;
}
