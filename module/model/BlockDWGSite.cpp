#include "model/BlockDWGSite.h"

#include "core/Catch.h"
#include "model/RegisterSupport.h"

KELMO_SOURCE_FILE(L"BlockDWGSite");

CBlockDWGSite::CBlockDWGSite() {
    setBlockIdentifier(L"ROOM-GROSS_AREA");
    setType(typeDWGSite);
    setAssets(nullptr);
}

CBlockDWGSite::CBlockDWGSite(AcDbBlockReference* reference, AcApDocument* document) : CBlockDWG(reference, document) {
    setType(typeDWGSite);
}

void CBlockDWGSite::exportTP(CStoredProcedure* procedure, int timeout, int id, CString exportParameters) {
    const wchar_t* method = L"CBlockDWGSite::exportTP";
    kelmo_model::RegisterCall call(procedure);
    KELMO_TRY
        exportGrossAreaToTP(call, timeout, id, exportParameters);
    KELMO_REGISTER_CATCH(procedure, method)
}
