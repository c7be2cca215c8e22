// Plot settings and layouts: paper, plotted area and scale, and the layout's block, tab and viewports.
#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbObject.h"

ACRX_DEFINE_MEMBERS(AcDbPlotSettings, AcDbObject, L"PLOTSETTINGS")
ACRX_DEFINE_MEMBERS(AcDbLayout, AcDbPlotSettings, L"LAYOUT")

// ---------------------------------------------------------------- plot settings and layouts

#define PS_SET_STR(FN, FIELD)                                \
    Acad::ErrorStatus AcDbPlotSettings::FN(const ACHAR* v) { \
        assertWriteEnabled();                                \
        FIELD = v ? v : L"";                                 \
        return Acad::eOk;                                    \
    }
PS_SET_STR(setPlotSettingsName, settingsName_)
PS_SET_STR(setPlotCfgName, cfgName_)
PS_SET_STR(setCanonicalMediaName, mediaName_)
PS_SET_STR(setCurrentStyleSheet, styleSheet_)
PS_SET_STR(setPlotViewName, viewName_)
#undef PS_SET_STR

void AcDbPlotSettings::getPlotPaperMargins(double& l, double& b, double& r, double& t) const {
    l = margins_[0];
    b = margins_[1];
    r = margins_[2];
    t = margins_[3];
}
void AcDbPlotSettings::setPlotPaperMargins(double l, double b, double r, double t) {
    assertWriteEnabled();
    margins_[0] = l;
    margins_[1] = b;
    margins_[2] = r;
    margins_[3] = t;
}
void AcDbPlotSettings::setPlotPaperSize(double w, double h) {
    assertWriteEnabled();
    paperW_ = w;
    paperH_ = h;
}
void AcDbPlotSettings::setPlotOrigin(double x, double y) {
    assertWriteEnabled();
    origin_.set(x, y);
}
void AcDbPlotSettings::getPlotWindowArea(double& x0, double& y0, double& x1, double& y1) const {
    x0 = window_[0];
    y0 = window_[1];
    x1 = window_[2];
    y1 = window_[3];
}
void AcDbPlotSettings::setPlotWindowArea(double x0, double y0, double x1, double y1) {
    assertWriteEnabled();
    window_[0] = x0;
    window_[1] = y0;
    window_[2] = x1;
    window_[3] = y1;
}
void AcDbPlotSettings::setCustomPrintScale(double n, double d) {
    assertWriteEnabled();
    scaleNum_ = n;
    scaleDen_ = d;
}
void AcDbPlotSettings::setStdScale(double s) {
    assertWriteEnabled();
    stdScale_ = s;
}
void AcDbPlotSettings::setPlotPaperUnits(PlotPaperUnits u) {
    assertWriteEnabled();
    units_ = u;
}
void AcDbPlotSettings::setPlotRotation(PlotRotation r) {
    assertWriteEnabled();
    rotation_ = r;
}
void AcDbPlotSettings::setPlotType(PlotType t) {
    assertWriteEnabled();
    plotType_ = t;
}
void AcDbPlotSettings::setStdScaleType(StdScaleType t) {
    assertWriteEnabled();
    stdScaleType_ = t;
}
void AcDbPlotSettings::setUseStandardScale(bool v) {
    assertWriteEnabled();
    useStdScale_ = v;
}
void AcDbPlotSettings::setPlotCentered(bool v) {
    assertWriteEnabled();
    centered_ = v;
}

Acad::ErrorStatus AcDbLayout::setLayoutName(const ACHAR* name) {
    if (!name || !*name) return Acad::eInvalidInput;
    assertWriteEnabled();
    name_ = name;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbLayout::setBlockTableRecordId(AcDbObjectId id) {
    assertWriteEnabled();
    block_ = id;
    return Acad::eOk;
}

void AcDbLayout::setTabOrder(int order) {
    assertWriteEnabled();
    tabOrder_ = order;
}

AcDbObjectIdArray AcDbLayout::getViewportArray() const {
    AcDbObjectIdArray out;
    AcDbDatabase* db = database();
    auto* btr = db ? AcDbBlockTableRecord::cast(db->peek(block_)) : nullptr;
    if (!btr) return out;
    for (AcDbObjectId id : btr->entityIds()) {
        AcDbObject* o = db->peek(id);
        if (o && !o->isErased() && o->isKindOf(AcDbViewport::desc())) out.append(id);
    }
    return out;
}

void AcDbLayout::collectReferences(std::vector<AcDbObjectId*>& refs) {
    AcDbPlotSettings::collectReferences(refs);
    refs.push_back(&block_);
    refs.push_back(&lastViewport_);
}
