// A report's categories loaded from the register, each with its hatch, blocks and assets.
#include "reports/Categories.h"

#include <cmath>
#include <limits>
#include <string>

#include "core/Utilities.h"
#include "model/Asset.h"
#include "model/Blocks.h"
#include "model/Hatch.h"
#include "model/RegisterSupport.h"
#include "reports/Category.h"
#include "reports/RegisterLists.h"
#include "reports/ReportSupport.h"

KELMO_SOURCE_FILE(L"Categories");

namespace {

// A hatch's angle or scale, which it holds as a whole number: one the register gives that is no
// number, infinite or past what a whole number holds is refused with the category's title, never cut
// to another value.
int wholeNumber(double value, const wchar_t* what, const CString& title) {
    if (std::isfinite(value) && value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max())
        return static_cast<int>(std::lround(value));
    const CString shown = kelmo_reports::exactText(value);
    throw new CEXCustom(
        CString(L"the hatch ") + what + L" " + shown + L" of category " + title + L" is no number the hatch can take",
        KELMO_BANNER, kelmoSourceFile, L"CCategories::getReportCategories", 0, nullptr);
}

// The category's hatch from its row; none when the row has no pattern. A scale the hatch holds only
// rounded is named with the value the register holds.
CHatch* hatchOf(kelmo_model::RegisterRows& rows, CCategory* category) {
    const CString title = category->getTitle();
    const CString pattern = rows.text(L"cHatchPattern");
    if (pattern.IsEmpty()) return nullptr;
    CHatch* hatch = new CHatch();
    try {
        hatch->setPattern(pattern);
        double value = 0.0;
        if (!rows.isNull(L"cHatchAngle")) {
            rows.readDouble(L"cHatchAngle", value);
            hatch->setAngle(wholeNumber(value, L"angle", title));
        }
        if (!rows.isNull(L"cHatchColour")) {
            AcCmColor colour = hatch->getColour();
            CUtilities::hashColourToAcad(rows.text(L"cHatchColour"), colour);
            hatch->setColour(colour);
        }
        if (!rows.isNull(L"cHatchScale")) {
            rows.readDouble(L"cHatchScale", value);
            hatch->setScale(wholeNumber(value, L"scale", title));
            if (hatch->getScale() != value)
                category->addReadProblem(L"hatch scale " + kelmo_reports::exactText(value) +
                                         L" the register holds is taken as " +
                                         CUtilities::IntToCString(hatch->getScale()));
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
                category->setHatch(hatchOf(rows, category));

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
