#include "model/BlockVXRFloor.h"

#include "model/RegisterSupport.h"

KELMO_SOURCE_FILE(L"BlockVXRFloor");

CBlockVXRFloor::CBlockVXRFloor() {
    setType(typeVXRFloor);
}

void CBlockVXRFloor::applyToVXR(CStoredProcedure* procedure, int, int timeout) {
    const wchar_t* method = L"CBlockVXRFloor::applyToVXR";
    kelmo_model::RegisterCall call(procedure);
    KELMO_TRY
        applyGrossAreaToVXR(call, L"__to_setFloorBlockInVXR", timeout);
    KELMO_REGISTER_CATCH(procedure, method)
}
