#include "model/BlockVXRBuilding.h"

#include "model/RegisterSupport.h"

KELMO_SOURCE_FILE(L"BlockVXRBuilding");

CBlockVXRBuilding::CBlockVXRBuilding() {
    setType(typeVXRBuilding);
}

void CBlockVXRBuilding::applyToVXR(CStoredProcedure* procedure, int, int timeout) {
    const wchar_t* method = L"CBlockVXRBuilding::applyToVXR";
    kelmo_model::RegisterCall call(procedure);
    KELMO_TRY
        applySpaceToVXR(call, L"__to_setBuildingBlockInVXR", timeout);
    KELMO_REGISTER_CATCH(procedure, method)
}
