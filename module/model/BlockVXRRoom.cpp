#include "model/BlockVXRRoom.h"

#include "model/Asset.h"
#include "model/RegisterSupport.h"

KELMO_SOURCE_FILE(L"BlockVXRRoom");

CBlockVXRRoom::CBlockVXRRoom() {
    setType(typeVXRRoom);
}

void CBlockVXRRoom::applyToVXR(CStoredProcedure* procedure, int drawingID, int timeout) {
    const wchar_t* method = L"CBlockVXRRoom::applyToVXR";
    kelmo_model::RegisterCall call(procedure);
    KELMO_TRY
        applySpaceToVXR(call, L"__to_setRoomBlockInVXR", timeout);
        // The assets go in under the id the register gave the room.
        if (getAssets()) getAssets()->applyToVXR(procedure, drawingID, getId(), timeout);
    KELMO_REGISTER_CATCH(procedure, method)
}
