// Drawing the space a plot shows: its entities in drawing order and, on paper, what each viewport shows of
// model space, clipped to its frame; the work it does counted against the drawing's budget.
#include "cad/plot/PlotRenderer.h"

#include <cmath>

namespace plot::drawing {

namespace {

// An entity opened for the plot is closed again however its drawing ends.
struct OpenEntity {
    AcDbEntity* entity = nullptr;
    OpenEntity() = default;
    OpenEntity(const OpenEntity&) = delete;
    OpenEntity& operator=(const OpenEntity&) = delete;
    ~OpenEntity() {
        if (entity) entity->close();
    }
};

} // namespace

bool charge(Ctx& c, double amount, AcDbExpansionBudget::Work kind) {
    if (!c.stopped && !AcDbExpansionBudget::charge(amount, kind)) c.stopped = true;
    return !c.stopped;
}

bool workStopped(const Ctx& c) {
    return c.stopped || AcDbBlockReference::expansionStopped();
}

void drawSpace(Ctx& c, AcDbObjectId space, bool paper) {
    AcCmEntityColor white;
    white.setColorIndex(7);
    // The space is being drawn: a picture that names it (a dimension's, an insert's) adds nothing.
    const AcDbBlockExpansion drawing(space, true);
    AcDbBlockTableRecord* btr = nullptr;
    std::vector<AcDbObjectId> ids;
    if (acdbOpenObject(btr, space, AcDb::kForRead) == Acad::eOk) {
        ids = drawOrder(btr);
        btr->close();
    }
    for (const AcDbObjectId& id : ids) {
        OpenEntity open;
        if (acdbOpenObject(open.entity, id, AcDb::kForRead) != Acad::eOk) continue;
        AcDbEntity* e = open.entity;
        if (auto* vp = AcDbViewport::cast(e); vp && paper && vp->number() != 1 && vp->isOn() && vp->viewHeight() > 0) {
            // A viewport shows model space, clipped to its frame, at its scale.
            cairo_save(c.cr);
            AcGePoint3d ctr = vp->centerPoint();
            cairo_rectangle(c.cr, ctr.x - vp->width() / 2, ctr.y - vp->height() / 2, vp->width(), vp->height());
            cairo_clip(c.cr);
            // Its view centre is in the view's own terms: model space turned by the view's twist.
            double s = vp->height() / vp->viewHeight();
            AcGeMatrix3d m = AcGeMatrix3d::translation(AcGeVector3d(ctr.x, ctr.y, 0)) * AcGeMatrix3d::scaling(s) *
                             AcGeMatrix3d::translation(AcGeVector3d(-vp->viewCenter().x, -vp->viewCenter().y, 0)) *
                             AcGeMatrix3d::rotation(vp->twistAngle(), AcGeVector3d::kZAxis);
            // A view whose scale the output cannot invert (a view height of 1e-300) shows nothing that can
            // be drawn: its frame stands alone.
            cairo_matrix_t view;
            cairo_get_matrix(c.cr, &view);
            const cairo_matrix_t own = {m(0, 0), m(1, 0), m(0, 1), m(1, 1), m(0, 3), m(1, 3)};
            cairo_matrix_multiply(&view, &own, &view);
            const double det = view.xx * view.yy - view.xy * view.yx;
            if (!std::isfinite(det) || !std::isfinite(1 / det) || !std::isfinite(view.x0) || !std::isfinite(view.y0)) {
                leaveOutPart(c,
                             L"the views of viewports whose view the plot cannot scale (a view height "
                             L"of almost nothing or of no finite size)");
                cairo_restore(c.cr);
                drawEntity(c, e, AcGeMatrix3d::kIdentity, white, AcDbObjectId(), 0);
                continue;
            }
            // Dashes of the model's lines keep their paper size, whatever the viewport's scale.
            c.viewDashes = paperSizedDashes(c.db) && s > 0 && std::isfinite(1 / s) ? 1 / s : 1;
            AcDbObjectIdArray frozen;
            vp->getFrozenLayerList(frozen);
            c.frozenHere.assign(frozen.begin(), frozen.end());
            const AcDbBlockExpansion shown(c.db->modelSpaceId(), true);
            AcDbBlockTableRecord* ms = nullptr;
            std::vector<AcDbObjectId> mids;
            if (acdbOpenObject(ms, c.db->modelSpaceId(), AcDb::kForRead) == Acad::eOk) {
                mids = drawOrder(ms);
                ms->close();
            }
            for (const AcDbObjectId& mid : mids) {
                OpenEntity model;
                if (acdbOpenObject(model.entity, mid, AcDb::kForRead) != Acad::eOk) continue;
                drawEntity(c, model.entity, m, white, AcDbObjectId(), 0);
            }
            c.frozenHere.clear();
            c.viewDashes = 1;
            cairo_restore(c.cr);
            drawEntity(c, e, AcGeMatrix3d::kIdentity, white, AcDbObjectId(), 0); // its frame
        } else {
            drawEntity(c, e, AcGeMatrix3d::kIdentity, white, AcDbObjectId(), 0);
        }
    }
}

} // namespace plot::drawing
