#include "model/BlockDWGFloor.h"

#include "core/Catch.h"
#include "model/RegisterSupport.h"

KELMO_SOURCE_FILE(L"BlockDWGFloor");

CBlockDWGFloor::CBlockDWGFloor() {
    setBlockIdentifier(L"ROOM-GROSS_AREA");
    setType(typeDWGFloor);
    setAssets(nullptr);
}

CBlockDWGFloor::CBlockDWGFloor(AcDbBlockReference* reference, AcApDocument* document) : CBlockDWG(reference, document) {
    setType(typeDWGFloor);
}

void CBlockDWGFloor::exportTP(CStoredProcedure* procedure, int timeout, int id, CString exportParameters) {
    const wchar_t* method = L"CBlockDWGFloor::exportTP";
    kelmo_model::RegisterCall call(procedure);
    KELMO_TRY
        exportGrossAreaToTP(call, timeout, id, exportParameters);
    KELMO_REGISTER_CATCH(procedure, method)
}
