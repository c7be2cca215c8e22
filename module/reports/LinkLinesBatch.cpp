// A report's link lines loaded from the register.
#include "reports/LinkLines.h"

#include "model/RegisterSupport.h"
#include "reports/LinkLine.h"

KELMO_SOURCE_FILE(L"LinkLines");

void CLinkLines::getGraphicReportLinkLines(CStoredProcedure* procedure, int graphicReportID, int timeout) {
    const wchar_t* method = L"CLinkLines::getGraphicReportLinkLines";
    KELMO_TRY
        kelmo_model::RegisterCall call(procedure);
        call.addInt(L"@graphicReportID", 1, graphicReportID);
        call.prepare(L"__gr_getReportLinkLines", timeout);
        kelmo_model::RegisterRows rows(procedure->execSPReturnParas());
        if (rows.empty()) return;
        for (; !rows.atEnd(); rows.next()) {
            CLinkLine* linkLine = new CLinkLine();
            try {
                // A null column leaves its field empty: a null layer draws on the default layer.
                linkLine->setStartHandle(rows.text(L"llStartHandle"));
                linkLine->setEndHandle(rows.text(L"llEndHandle"));
                linkLine->setLayer(rows.text(L"llLayerName"));
                linkLine->setText(rows.text(L"llLabelText"));
            } catch (...) {
                delete linkLine;
                throw;
            }
            // A second line between the same two ends in the same direction adds nothing.
            if (!add(linkLine)) delete linkLine;
        }
        rows.close();
    KELMO_REGISTER_CATCH(procedure, method)
}
