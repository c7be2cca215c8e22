#include "model/BlockDWGBuilding.h"

#include "core/Catch.h"
#include "model/RegisterSupport.h"

KELMO_SOURCE_FILE(L"BlockDWGBuilding");

CBlockDWGBuilding::CBlockDWGBuilding() {
    setBlockIdentifier(L"ROOM-");
    setType(typeDWGBuilding);
    setAssets(nullptr);
}

CBlockDWGBuilding::CBlockDWGBuilding(AcDbBlockReference* reference, AcApDocument* document)
    : CBlockDWG(reference, document) {
    setType(typeDWGBuilding);
}

void CBlockDWGBuilding::exportTP(CStoredProcedure* procedure, int timeout, int id, CString exportParameters) {
    const wchar_t* method = L"CBlockDWGBuilding::exportTP";
    kelmo_model::RegisterCall call(procedure);
    KELMO_TRY
        exportSpaceToTP(call, timeout, id, exportParameters);
    KELMO_REGISTER_CATCH(procedure, method)
}
