#include "reports/ChartAreas.h"

#include "model/Block.h"
#include "model/Blocks.h"
#include "model/UnitChange.h"
#include "reports/Categories.h"
#include "reports/Category.h"
#include "reports/GraphicReport.h"

namespace kelmo_reports {

int unitsNamed(const CString& label) {
    if (label == L"sq.ft.") return 1;
    if (label == L"sq.m.") return 0;
    return -1;
}

double categoryArea(CCategory* category, int units) {
    double area = 0.0;
    CBlocks* blocks = category->getBlocks();
    for (int i = 0; blocks && i < blocks->getCount(); ++i) {
        CBlock* block = blocks->getAt(i);
        area += kelmo_model::areaInUnits(block->getArea(), block->getUnits(), units);
    }
    return area;
}

double totalArea(CGraphicReport* report, int units) {
    bool metric = false;
    bool imperial = false;
    CCategories* categories = report->getCategories();
    for (int i = 0; categories && i < categories->getCount(); ++i) {
        CBlocks* blocks = categories->getAt(i)->getBlocks();
        for (int j = 0; blocks && j < blocks->getCount(); ++j) {
            const int held = blocks->getAt(j)->getUnits();
            metric = metric || held == 0;
            imperial = imperial || held == 1;
        }
    }
    if (metric == imperial) return report->getTotalChildAreas();
    return kelmo_model::areaInUnits(report->getTotalChildAreas(), imperial ? 1 : 0, units);
}

} // namespace kelmo_reports
