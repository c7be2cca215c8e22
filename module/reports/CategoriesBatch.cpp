// A report's categories loaded from the register, each with its hatch, blocks and assets.
#include "reports/Categories.h"

#include <cmath>

#include "core/Utilities.h"
#include "model/Asset.h"
#include "model/Blocks.h"
#include "model/Hatch.h"
#include "model/RegisterSupport.h"
#include "reports/Category.h"
#include "reports/RegisterLists.h"

KELMO_SOURCE_FILE(L"Categories");

namespace {

// The category's hatch from its row; none when the row has no pattern.
CHatch* hatchOf(kelmo_model::RegisterRows& rows) {
    const CString pattern = rows.text(L"cHatchPattern");
    if (pattern.IsEmpty()) return nullptr;
    CHatch* hatch = new CHatch();
    try {
        hatch->setPattern(pattern);
        double value = 0.0;
        if (!rows.isNull(L"cHatchAngle")) {
            rows.readDouble(L"cHatchAngle", value);
            hatch->setAngle(static_cast<int>(std::lround(value)));
        }
        if (!rows.isNull(L"cHatchColour")) {
            AcCmColor colour = hatch->getColour();
            CUtilities::hashColourToAcad(rows.text(L"cHatchColour"), colour);
            hatch->setColour(colour);
        }
        if (!rows.isNull(L"cHatchScale")) {
            rows.readDouble(L"cHatchScale", value);
            hatch->setScale(static_cast<int>(std::lround(value)));
        }
        hatch->setLayer(rows.isNull(L"cHatchLayer") ? CString(L"_Kelmo") : rows.text(L"cHatchLayer"));
    } catch (...) {
        delete hatch;
        throw;
    }
    return hatch;
}

} // namespace

void CCategories::getReportCategories(CStoredProcedure* procedure, int graphicReportID, int timeout) {
    const wchar_t* method = L"CCategories::getReportCategories";
    KELMO_TRY
        kelmo_model::RegisterCall call(procedure);
        call.addInt(L"@graphicReportID", 1, graphicReportID);
        call.prepare(L"__gr_getReportCategories", timeout);
        kelmo_model::RegisterRows rows(procedure->execSPReturnParas());
        if (rows.empty()) return;
        for (; !rows.atEnd(); rows.next()) {
            CCategory* category = new CCategory();
            try {
                int id = category->getID();
                rows.readInt(L"cID", id);
                category->setID(id);
                if (!rows.isNull(L"cTitle")) category->setTitle(rows.text(L"cTitle"));
                category->setHatch(hatchOf(rows));

                category->setBlocks(kelmo_reports::loadedList<CBlocks>([&](CBlocks* list) {
                    list->getCategoryDWGBlocks(procedure, timeout, category->getID(), category->getHatch());
                }));
                category->setAssets(kelmo_reports::loadedList<CAssets>([&](CAssets* list) {
                    list->getCategoryAssets(procedure, timeout, category->getID(), category->getHatch());
                }));
            } catch (...) {
                delete category;
                throw;
            }
            // One that looks like a category held already adds nothing to the legend.
            if (!add(category)) delete category;
        }
        rows.close();
    KELMO_REGISTER_CATCH(procedure, method)
}
